// SPDX-License-Identifier: GPL-3.0-or-later
// The fakes of the platform interfaces, and how tests print texts.
#include "fakes.h"

#include <algorithm>
#include <cctype>

namespace ondrix {

void PrintTo(const Text& text, std::ostream* os) {
  *os << "u\"";
  for (char16_t c : text) {
    if (c == u'\r') {
      *os << "\\r";
    } else if (c == u'\n') {
      *os << "\\n";
    } else {
      *os << toUtf8(Text(1, c));
    }
  }
  *os << "\"";
}

bool FakeSerialLine::selectPort(std::int16_t port) {
  port_ = port;
  return port >= 1;
}

bool FakeSerialLine::open() {
  if (open_) return true;
  if (gone_ || available_.count(port_) == 0) return false;
  open_ = true;
  opened_.push_back(port_);
  return true;
}

void FakeSerialLine::close() {
  if (open_) ++closes_;
  open_ = false;
}

int FakeSerialLine::pendingInput() {
  if (!open_ || chunks_.empty()) return 0;
  // Any non-empty chunk counts as pending input; the exact byte count does
  // not matter to the callers.
  return static_cast<int>(std::max<std::size_t>(1, chunks_.front().size()));
}

Text FakeSerialLine::readAll() {
  if (chunks_.empty()) return {};
  Text chunk = std::move(chunks_.front());
  chunks_.pop_front();
  return chunk;
}

void FakeSerialLine::write(const Text& text) { writes_.push_back(text); }

Text FakeSerialLine::written() const {
  Text all;
  for (const auto& w : writes_) all += w;
  return all;
}

bool FakeSerialLine::setDataTerminalReady(bool on) {
  if (!open_ || !modemLines_) return false;
  dtr_.push_back(on);
  return true;
}

void FakeSerialLine::vanish() {
  gone_ = true;
  open_ = false;
  chunks_.clear();
  raiseCarrierChange(false);
}

void FakeSerialLine::raiseCarrierChange(bool on) {
  carrier_ = on;
  raiseEvent(CommEvent::CarrierDetectChange);
}

void FakeSerialLine::raiseEvent(CommEvent kind) {
  event_ = kind;
  notify();
  event_ = CommEvent::None;
}

// Names are exact, as on the server's file system.
std::string FakeFiles::key(const Text& path) {
  std::string k = toUtf8(path);
  std::replace(k.begin(), k.end(), '\\', '/');
  return k;
}

// Texts written as bytes are kept as their UTF-16 units, low byte first, so
// any text, an unpaired surrogate too, reads back as it went.
std::optional<Text> FakeFiles::readText(const Text& path) {
  const auto k = key(path);
  if (const auto it = texts_.find(k); it != texts_.end()) return it->second;
  const auto ib = bytes_.find(k);
  if (ib == bytes_.end()) return std::nullopt;
  Text t;
  for (std::size_t i = 0; i + 1 < ib->second.size(); i += 2) {
    t += static_cast<char16_t>(ib->second[i] | ib->second[i + 1] << 8);
  }
  return t;
}

void FakeFiles::appendEncoded(TextView text, Bytes& out) {
  for (const char16_t u : text) {
    out.push_back(static_cast<std::uint8_t>(u & 0xFF));
    out.push_back(static_cast<std::uint8_t>(u >> 8));
  }
}

bool FakeFiles::refuses(const std::string& k) const {
  return failWrites_ || std::any_of(readOnlyDirs_.begin(), readOnlyDirs_.end(),
                                    [&](const std::string& dir) { return k.rfind(dir, 0) == 0; });
}

bool FakeFiles::writeText(const Text& path, const Text& text) {
  const auto k = key(path);
  if (refuses(k)) return false;
  bytes_.erase(k);
  texts_[k] = text;
  writeLog_.push_back(k);
  return true;
}

std::optional<Bytes> FakeFiles::readBytes(const Text& path) {
  const auto k = key(path);
  if (const auto it = bytes_.find(k); it != bytes_.end()) return it->second;
  if (const auto it = texts_.find(k); it != texts_.end()) {
    const std::string utf8 = toUtf8(it->second);
    return Bytes(utf8.begin(), utf8.end());
  }
  return std::nullopt;
}

bool FakeFiles::writeBytes(const Text& path, const Bytes& bytes) {
  const auto k = key(path);
  if (refuses(k)) return false;
  texts_.erase(k);
  bytes_[k] = bytes;
  writeLog_.push_back(k);
  return true;
}

std::optional<std::int64_t> FakeFiles::appendBytes(const Text& path, const Bytes& bytes) {
  const auto k = key(path);
  if (refuses(k) || dirs_.count(k)) return std::nullopt;
  auto& file = bytes_[k];
  if (const auto it = texts_.find(k); it != texts_.end()) {
    const std::string utf8 = toUtf8(it->second);
    file.assign(utf8.begin(), utf8.end());
    texts_.erase(it);
  }
  file.insert(file.end(), bytes.begin(), bytes.end());
  writeLog_.push_back(k);
  ++appends_;
  lastAppended_ = bytes;
  return static_cast<std::int64_t>(file.size());
}

bool FakeFiles::rename(const Text& from, const Text& to) {
  const auto f = key(from);
  const auto t = key(to);
  if (refuses(t) || refuses(f)) return false;
  if (const auto it = bytes_.find(f); it != bytes_.end()) {
    texts_.erase(t);
    bytes_[t] = std::move(it->second);
    bytes_.erase(it);
  } else if (const auto it2 = texts_.find(f); it2 != texts_.end()) {
    bytes_.erase(t);
    texts_[t] = std::move(it2->second);
    texts_.erase(it2);
  } else {
    return false;
  }
  writeLog_.push_back(t);
  return true;
}

bool FakeFiles::copy(const Text& from, const Text& to) {
  const auto f = key(from);
  const auto t = key(to);
  if (refuses(t)) return false;
  if (const auto it = texts_.find(f); it != texts_.end()) {
    texts_[t] = it->second;
  } else if (const auto ib = bytes_.find(f); ib != bytes_.end()) {
    bytes_[t] = ib->second;
  } else {
    return false;
  }
  writeLog_.push_back(t);
  return true;
}

bool FakeFiles::exists(const Text& path) {
  const auto k = key(path);
  return texts_.count(k) || bytes_.count(k) || dirs_.count(k);
}

bool FakeFiles::isDirectory(const Text& path) { return dirs_.count(key(path)) > 0; }

}  // namespace ondrix
