// SPDX-License-Identifier: GPL-3.0-or-later
// The autostart entry's text and what an entry found there says.
#include "store/login_entry.h"

#include <string>
#include <string_view>

namespace ondrix {

namespace {

// The desktop entry's own name and icon, so the login start looks like it.
constexpr std::string_view kEntryHead =
    "[Desktop Entry]\n"
    "Type=Application\n"
    "Name=Ondrix Server\n"
    "Name[ja]=Ondrix サーバー\n"
    "Icon=ondrix-server\n"
    "Terminal=false\n"
    "Exec=";

// A command's word that holds one of these must be quoted.
constexpr std::u16string_view kReserved = u" \t\n\"'\\><~|&;$*?#()`";
// Inside the quotes these take a backslash.
constexpr std::u16string_view kEscapedInQuotes = u"\"`$\\";

// The command's word for `path`: quoted where it must be, a per cent sign
// doubled (it would start a field code), and then, as in every string
// value, each backslash doubled.
Text execWord(const Text& path) {
  const bool quoted = path.find_first_of(kReserved) != Text::npos;
  Text word;
  if (quoted) word += u'"';
  for (const char16_t c : path) {
    if (quoted && kEscapedInQuotes.find(c) != std::u16string_view::npos) word += u'\\';
    word += c;
    if (c == u'%') word += u'%';
  }
  if (quoted) word += u'"';
  Text value;
  for (const char16_t c : word) {
    value += c;
    if (c == u'\\') value += u'\\';
  }
  return value;
}

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
    s.remove_suffix(1);
  }
  return s;
}

// Whether the [Desktop Entry] group of `content` sets `key` to `value`.
bool groupSets(const Bytes& content, std::string_view key, std::string_view value) {
  const std::string text(content.begin(), content.end());
  bool inGroup = false;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string_view line = trimmed(std::string_view(text).substr(start, end - start));
    start = end + 1;
    if (!line.empty() && line.front() == '[') {
      inGroup = line == "[Desktop Entry]";
      continue;
    }
    const std::size_t eq = line.find('=');
    if (!inGroup || eq == std::string_view::npos) continue;
    if (trimmed(line.substr(0, eq)) == key && trimmed(line.substr(eq + 1)) == value) return true;
  }
  return false;
}

}  // namespace

std::optional<Bytes> loginEntryBytes(const Text& programPath, const Text& folder) {
  for (const Text* path : {&programPath, &folder}) {
    if (path == &folder && folder.empty()) continue;
    if (path->empty() || path->front() != u'/') return std::nullopt;
    for (const char16_t c : *path) {
      if (c < 0x20 || c == 0x7F) return std::nullopt;
    }
  }
  std::string entry(kEntryHead);
  entry += toUtf8(execWord(programPath));
  entry += " --start";
  // A server of one line among several starts again in its own folder.
  if (!folder.empty()) entry += " --dir " + toUtf8(execWord(folder));
  entry += "\n";
  return Bytes(entry.begin(), entry.end());
}

bool loginEntryActive(LoginEntryPlace place, const Bytes& content) {
  return place == LoginEntryPlace::Entry && !groupSets(content, "Hidden", "true") &&
         !groupSets(content, "X-GNOME-Autostart-enabled", "false");
}

LoginStartStep loginStartStep(LoginEntryPlace place, const Bytes& content) {
  if (place == LoginEntryPlace::Folder) return LoginStartStep::Refuse;
  // An entry switched off is replaced by one that starts the program.
  return loginEntryActive(place, content) ? LoginStartStep::Remove : LoginStartStep::Write;
}

}  // namespace ondrix
