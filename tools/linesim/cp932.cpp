// SPDX-License-Identifier: GPL-3.0-or-later
// UTF-8 to CP932 for the simulator's texts, and the bytes shown readable.
#include "cp932.h"

#include <iconv.h>

#include <algorithm>
#include <cstdio>

namespace linesim {

namespace {

// One conversion through iconv; false when any input byte did not convert.
bool convert(const char* to, const char* from, std::string_view in, std::string& out) {
  iconv_t cd = ::iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  std::string src(in);
  char* inp = src.data();
  std::size_t inLeft = src.size();
  std::string buf(src.size() * 4 + 16, '\0');
  char* outp = buf.data();
  std::size_t outLeft = buf.size();
  const std::size_t r = ::iconv(cd, &inp, &inLeft, &outp, &outLeft);
  ::iconv_close(cd);
  if (r == static_cast<std::size_t>(-1) || inLeft != 0) return false;
  out.assign(buf.data(), buf.size() - outLeft);
  return true;
}

std::size_t utf8Length(unsigned char lead) {
  if (lead < 0x80) return 1;
  if ((lead & 0xE0) == 0xC0) return 2;
  if ((lead & 0xF0) == 0xE0) return 3;
  if ((lead & 0xF8) == 0xF0) return 4;
  return 1;
}

bool isCp932Lead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

void escapeByte(unsigned char c, std::string& out) {
  switch (c) {
    case '\r':
      out += "\\r";
      return;
    case '\n':
      out += "\\n";
      return;
    case '\t':
      out += "\\t";
      return;
    case '"':
      out += "\\\"";
      return;
    case '\\':
      out += "\\\\";
      return;
    default:
      break;
  }
  if (c >= 0x20 && c < 0x7F) {
    out += static_cast<char>(c);
    return;
  }
  char hex[8];
  std::snprintf(hex, sizeof hex, "\\x%02X", c);
  out += hex;
}

}  // namespace

std::string toCp932(std::string_view utf8) {
  std::string out;
  if (convert("CP932", "UTF-8", utf8, out)) return out;
  // Character by character, so that one unmappable character costs only itself.
  out.clear();
  for (std::size_t i = 0; i < utf8.size();) {
    const std::size_t n =
        std::min(utf8Length(static_cast<unsigned char>(utf8[i])), utf8.size() - i);
    std::string one;
    out += convert("CP932", "UTF-8", utf8.substr(i, n), one) ? one : "?";
    i += n;
  }
  return out;
}

std::string escaped(std::string_view bytes) {
  std::string out;
  for (char c : bytes) escapeByte(static_cast<unsigned char>(c), out);
  return out;
}

std::string readable(std::string_view bytes) {
  std::string out;
  for (std::size_t i = 0; i < bytes.size();) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    if (c < 0x80) {
      if (c == '"' || c == '\\')
        out += static_cast<char>(c);
      else
        escapeByte(c, out);
      ++i;
      continue;
    }
    const std::size_t n = (isCp932Lead(c) && i + 1 < bytes.size()) ? 2 : 1;
    std::string one;
    if (convert("UTF-8", "CP932", bytes.substr(i, n), one)) {
      out += one;
      i += n;
    } else {
      escapeByte(c, out);
      ++i;
    }
  }
  return out;
}

}  // namespace linesim
