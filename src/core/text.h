// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Text and integer conventions shared by every layer.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ondrix {

// Texts count UTF-16 units; that is what the handlers mean by a character.
using Text = std::u16string;
using TextView = std::u16string_view;
using Bytes = std::vector<std::uint8_t>;

inline constexpr char16_t CR = u'\r';
inline constexpr char16_t LF = u'\n';
inline const Text CRLF = u"\r\n";

// The leading whole number of a text: leading blanks skipped, an optional
// sign, then digits up to the first character that cannot continue them.
// No digits give 0. Values beyond the 16-bit range give 0, since no caller
// can use them (port numbers, wait counters).
std::int16_t leadingNumber(TextView text);

// Plain decimal digits of n (a minus sign for negative values).
Text decimal(long long n);

// The first `count` characters of `text` (fewer when it is shorter).
TextView leftOf(TextView text, std::size_t count);

// UTF-8 <-> UTF-16 for logging, tests and the command line. Invalid input
// becomes U+FFFD.
std::string toUtf8(TextView text);
Text fromUtf8(std::string_view utf8);

}  // namespace ondrix
