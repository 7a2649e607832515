// SPDX-License-Identifier: GPL-3.0-or-later
// The offer file: written whole whenever the offer changes, read at start.
#include "store/offer_file.h"

#include <algorithm>
#include <string_view>

namespace ondrix {

namespace {

constexpr std::string_view kVersionLine = "ondrix-offer 1";

struct Kind {
  std::string_view word;
  std::array<Text, kPoolSlots> FileIOModule1::*pool;
  std::int16_t FileIOModule1::*count;
  TextView head, tail;  // what every entry of the kind begins and ends with
};
const Kind kKinds[] = {
    {"melodies", &FileIOModule1::MelodyPool, &FileIOModule1::MelodyCount, u"<MEL=", u""},
    {"images", &FileIOModule1::ImagePool, &FileIOModule1::ImageCount, u"<IMAGE>", u"</IMAGE>"},
};

constexpr std::int16_t kMostOffered = 10;

// Entries in use: those below the count, and entry 0 while it holds a text.
std::int16_t entriesInUse(const FileIOModule1& pools, const Kind& kind) {
  const std::int16_t count = pools.*kind.count;
  if (count > 0) return std::min<std::int16_t>(count, kMostOffered);
  return (pools.*kind.pool)[0].empty() ? 0 : 1;
}

bool entryFits(const Text& entry, const Kind& kind) {
  return entry.size() >= kind.head.size() + kind.tail.size() &&
         TextView(entry).substr(0, kind.head.size()) == kind.head &&
         TextView(entry).substr(entry.size() - kind.tail.size()) == kind.tail &&
         entry.find_first_of(u"\r\n") == Text::npos;
}

// The next line of `bytes` from `at` on, without its LF; false at the end
// or when the last line has no LF (a torn file).
bool nextLine(std::string_view bytes, std::size_t& at, std::string_view& line) {
  const std::size_t end = bytes.find('\n', at);
  if (end == std::string_view::npos) return false;
  line = bytes.substr(at, end - at);
  at = end + 1;
  return true;
}

// "WORD COUNT ENTRIES" with both numbers of one or two digits.
bool readHeader(std::string_view line, std::string_view word, int& count, int& entries) {
  if (line.substr(0, word.size()) != word || line.size() <= word.size() ||
      line[word.size()] != ' ') {
    return false;
  }
  line.remove_prefix(word.size() + 1);
  const auto number = [&line](int& n) {
    std::size_t digits = 0;
    n = 0;
    while (digits < line.size() && digits < 3 && line[digits] >= '0' && line[digits] <= '9') {
      n = n * 10 + (line[digits++] - '0');
    }
    line.remove_prefix(digits);
    return digits > 0;
  };
  if (!number(count) || line.empty() || line[0] != ' ') return false;
  line.remove_prefix(1);
  return number(entries) && line.empty();
}

}  // namespace

std::int16_t melodiesOffered(const FileIOModule1& pools) { return entriesInUse(pools, kKinds[0]); }
std::int16_t imagesOffered(const FileIOModule1& pools) { return entriesInUse(pools, kKinds[1]); }

Bytes offerFileBytes(const FileIOModule1& pools) {
  std::string out(kVersionLine);
  out.push_back('\n');
  for (const Kind& kind : kKinds) {
    const std::int16_t entries = entriesInUse(pools, kind);
    out.append(kind.word).append(" " + std::to_string(pools.*kind.count) + " " +
                                 std::to_string(entries) + "\n");
    for (std::int16_t i = 0; i < entries; ++i) out.append(toUtf8((pools.*kind.pool)[i]) + "\n");
  }
  out.append("end\n");
  return Bytes(out.begin(), out.end());
}

bool readOfferFile(const Bytes& bytes, FileIOModule1& pools) {
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  std::size_t at = 0;
  std::string_view line;
  // A newer version's file is not guessed at.
  if (!nextLine(text, at, line) || line != kVersionLine) return false;
  std::array<Text, kPoolSlots> read[2];
  int counts[2] = {0, 0};
  for (int k = 0; k < 2; ++k) {
    const Kind& kind = kKinds[k];
    int entries = 0;
    if (!nextLine(text, at, line) || !readHeader(line, kind.word, counts[k], entries)) return false;
    // As entriesInUse writes them: the count's entries, or entry 0 alone.
    const int expected = counts[k] > 0 ? counts[k] : std::min(entries, 1);
    if (counts[k] > kMostOffered || entries != expected) return false;
    for (int i = 0; i < entries; ++i) {
      if (!nextLine(text, at, line)) return false;
      read[k][i] = fromUtf8(line);
      if (!entryFits(read[k][i], kind) || toUtf8(read[k][i]) != line) return false;
    }
  }
  if (!nextLine(text, at, line) || line != "end" || at != text.size()) return false;
  for (int k = 0; k < 2; ++k) {
    pools.*kKinds[k].pool = read[k];
    pools.*kKinds[k].count = static_cast<std::int16_t>(counts[k]);
  }
  return true;
}

std::string offerListing(const FileIOModule1& pools) {
  const std::int16_t melodies = melodiesOffered(pools);
  const std::int16_t images = imagesOffered(pools);
  if (melodies == 0 && images == 0) return "nothing on offer\n";
  std::string out = "on offer: " + std::to_string(melodies) +
                    (melodies == 1 ? " melody, " : " melodies, ") + std::to_string(images) +
                    (images == 1 ? " image\n" : " images\n");
  for (std::int16_t i = 0; i < melodies; ++i) {
    const Text& melody = pools.MelodyPool[i];
    out += "melody " + std::to_string(i + 1) + ": " + toUtf8(leftOf(melody, 48)) +
           (melody.size() > 48 ? "…" : "") + "\n";
  }
  for (std::int16_t i = 0; i < images; ++i) {
    out += "image " + std::to_string(i + 1) + ": " +
           std::to_string(pools.ImagePool[i].size() - 15) + " characters of Base64\n";
  }
  return out;
}

}  // namespace ondrix
