// SPDX-License-Identifier: GPL-3.0-or-later
// The archive's ledger as text, one "<state> <identity>" line per change
// after a line naming its version, and the records' identities.
#include "records/archive_ledger.h"

#include <cstdio>

namespace ondrix {
namespace {

constexpr std::string_view kHeader = "ondrix archive ledger 1\n";
constexpr std::string_view kHeaderPrefix = "ondrix archive ledger ";

bool isIdChar(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || c == '.'; }

std::uint64_t keyOf(const MailStoreArrays& store, int slot) {
  // FNV-1a over the UTF-16 units of the five fields, each closed by a unit
  // no text holds.
  std::uint64_t h = 14695981039346656037ull;
  const auto add = [&h](char16_t c) {
    h ^= static_cast<std::uint8_t>(c);
    h *= 1099511628211ull;
    h ^= static_cast<std::uint8_t>(c >> 8);
    h *= 1099511628211ull;
  };
  for (const auto* column :
       {&store.MailTime, &store.MailCaller, &store.MailText, &store.MailMelody, &store.MailImage}) {
    for (char16_t c : (*column)[static_cast<std::size_t>(slot)]) add(c);
    add(0xFFFF);
  }
  return h;
}

std::string idFor(std::uint64_t key, int occurrence) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%016llx.%d", static_cast<unsigned long long>(key), occurrence);
  return buf;
}

}  // namespace

LedgerRead readLedgerBytes(const std::optional<Bytes>& bytes) {
  LedgerRead read;
  if (!bytes) return read;
  const std::string all(bytes->begin(), bytes->end());
  read.health = LedgerRead::Health::Unreadable;
  // A ledger of a newer version, or one torn before its first line.
  if (all.compare(0, kHeader.size(), kHeader) != 0) return read;
  read.health = LedgerRead::Health::Sound;
  for (std::size_t from = kHeader.size(); from < all.size();) {
    const std::size_t end = all.find('\n', from);
    // The last append cut short: whatever it was, the Maildir tells.
    if (end == std::string::npos) break;
    const std::string line = all.substr(from, end - from);
    from = end + 1;
    bool valid =
        line.size() > 2 && line[1] == ' ' && (line[0] == 'N' || line[0] == 'A' || line[0] == 'D');
    for (std::size_t i = 2; valid && i < line.size(); ++i) valid = isIdChar(line[i]);
    if (!valid) {
      read.health = LedgerRead::Health::Unreadable;
      continue;
    }
    read.filed[line.substr(2)] = static_cast<Filed>(line[0]);
    ++read.lines;
  }
  return read;
}

Bytes ledgerLine(Filed filed, const std::string& id) {
  const std::string line = static_cast<char>(filed) + (" " + id) + "\n";
  return Bytes(line.begin(), line.end());
}

Bytes ledgerBytes(const std::map<std::string, Filed>& filed) {
  Bytes out(kHeader.begin(), kHeader.end());
  for (const auto& [id, state] : filed) {
    const Bytes line = ledgerLine(state, id);
    out.insert(out.end(), line.begin(), line.end());
  }
  return out;
}

bool holdsRecord(const MailStoreArrays& store, int slot) {
  const auto s = static_cast<std::size_t>(slot);
  return !store.MailTime[s].empty() || !store.MailText[s].empty();
}

StoreIds storeIds(const MailStoreArrays& store) {
  StoreIds ids;
  std::map<std::uint64_t, int> seen;
  // Counted from the oldest, so a record keeps its identity as newer ones come.
  for (int slot = kMailSlots; slot >= 1; --slot) {
    if (!holdsRecord(store, slot)) continue;
    const std::uint64_t key = keyOf(store, slot);
    ids[static_cast<std::size_t>(slot)] = idFor(key, ++seen[key]);
  }
  return ids;
}

std::string newestId(const MailStoreArrays& store) {
  const std::uint64_t key = keyOf(store, 1);
  int occurrence = 1;
  for (int slot = 2; slot <= kMailSlots; ++slot) {
    const auto s = static_cast<std::size_t>(slot);
    if (store.MailTime[s] == store.MailTime[1] && holdsRecord(store, slot) &&
        keyOf(store, slot) == key) {
      ++occurrence;
    }
  }
  return idFor(key, occurrence);
}

std::string idOfMessage(TextView path) {
  const std::size_t at = path.rfind(kIdInName);
  if (at == TextView::npos) return {};
  std::string id;
  for (std::size_t i = at + kIdInName.size(); i < path.size() && path[i] != u':'; ++i) {
    if (path[i] > 0x7F || !isIdChar(static_cast<char>(path[i]))) return {};
    id += static_cast<char>(path[i]);
  }
  return id;
}

}  // namespace ondrix
