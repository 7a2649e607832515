// SPDX-License-Identifier: GPL-3.0-or-later
// Base64 of the image texts: the encoder and the tolerant decoder.
#include "store/base64.h"

#include <cstdint>

namespace ondrix {

namespace {

constexpr char16_t kAlphabet[] =
    u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int sextet(char16_t c) {
  if (c >= u'A' && c <= u'Z') return c - u'A';
  if (c >= u'a' && c <= u'z') return c - u'a' + 26;
  if (c >= u'0' && c <= u'9') return c - u'0' + 52;
  if (c == u'+') return 62;
  if (c == u'/') return 63;
  return -1;
}

}  // namespace

Bytes decodeBase64Tolerant(TextView text) {
  Bytes out;
  out.reserve(text.size() * 3 / 4);
  std::uint32_t acc = 0;
  int count = 0;
  for (char16_t c : text) {
    const int v = sextet(c);
    if (v < 0) continue;
    acc = acc * 64 + static_cast<std::uint32_t>(v);
    if (++count == 4) {
      out.push_back(static_cast<std::uint8_t>(acc >> 16));
      out.push_back(static_cast<std::uint8_t>((acc >> 8) & 0xFF));
      out.push_back(static_cast<std::uint8_t>(acc & 0xFF));
      acc = 0;
      count = 0;
    }
  }
  if (count == 2) {
    out.push_back(static_cast<std::uint8_t>(acc >> 4));
  } else if (count == 3) {
    out.push_back(static_cast<std::uint8_t>(acc >> 10));
    out.push_back(static_cast<std::uint8_t>((acc >> 2) & 0xFF));
  }
  return out;
}

Text encodeBase64(const Bytes& bytes) {
  Text out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const std::uint32_t v = (bytes[i] << 16) | (bytes[i + 1] << 8) | bytes[i + 2];
    out += kAlphabet[v >> 18];
    out += kAlphabet[(v >> 12) & 63];
    out += kAlphabet[(v >> 6) & 63];
    out += kAlphabet[v & 63];
  }
  const std::size_t rest = bytes.size() - i;
  if (rest == 1) {
    const std::uint32_t v = bytes[i] << 16;
    out += kAlphabet[v >> 18];
    out += kAlphabet[(v >> 12) & 63];
    out += u"==";
  } else if (rest == 2) {
    const std::uint32_t v = (bytes[i] << 16) | (bytes[i + 1] << 8);
    out += kAlphabet[v >> 18];
    out += kAlphabet[(v >> 12) & 63];
    out += kAlphabet[(v >> 6) & 63];
    out += u'=';
  }
  return out;
}

}  // namespace ondrix
