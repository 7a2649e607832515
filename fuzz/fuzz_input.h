// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What every fuzz target shares: fuzz bytes as texts, input split into
// parts, and the clock that catches a slow handler.
#include <time.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "core/text.h"

namespace ondrix::fuzz {

// Separates the parts of an input; never part of a text.
inline constexpr std::uint8_t kSeparator = 0xFF;

// Bytes below 0xF0 stand for themselves, so the ASCII words of the line and
// the files are one mutation away; the top bytes reach the texts the
// handlers write themselves, the quote the files write instead of '"', and
// units that are no character at all.
inline char16_t charOf(std::uint8_t b) {
  static constexpr char16_t kHigh[15] = {u'着',
                                         u'信',
                                         u'通',
                                         u'話',
                                         u'ア',
                                         u'ｱ',
                                         u'♪',
                                         u'◆',
                                         u'★',
                                         u'\u201D',
                                         u'\u3000',
                                         u'\uFFFD',
                                         char16_t{0xD800},
                                         char16_t{0xDC00},
                                         u'\u201C'};
  return b < 0xF0 ? static_cast<char16_t>(b) : kHigh[(b - 0xF0) % 15];
}

inline Text textOf(std::basic_string_view<std::uint8_t> bytes) {
  Text t;
  t.reserve(bytes.size());
  for (std::uint8_t b : bytes) t += charOf(b);
  return t;
}

using ByteView = std::basic_string_view<std::uint8_t>;

inline std::vector<ByteView> splitParts(ByteView input) {
  std::vector<ByteView> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = input.find(kSeparator, start);
    if (end == ByteView::npos) {
      parts.push_back(input.substr(start));
      return parts;
    }
    parts.push_back(input.substr(start, end - start));
    start = end + 1;
  }
}

[[noreturn]] inline void fail(const char* what) {
  std::fprintf(stderr, "fuzz check failed: %s\n", what);
  std::abort();
}

inline void check(bool ok, const char* what) {
  if (!ok) fail(what);
}

// CPU time of this thread, so a busy machine does not make a handler look
// slow; only work done counts.
inline double threadCpuMs() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

// Times the handlers of one run. The first handler over the limit is
// remembered rather than fatal at once: a page-fault storm of the sanitizer's
// allocator or a busy core can stretch a single call, so the caller runs the
// same input again and fails only when that run has a slow handler too.
class TickClock {
 public:
  explicit TickClock(double limitMs) : limitMs_(limitMs) {}

  template <typename F>
  void time(const char* name, F&& handler) {
    const double start = threadCpuMs();
    handler();
    const double ms = threadCpuMs() - start;
    ++calls_;
    if (ms > worstMs_) worstMs_ = ms;
    if (ms > limitMs_ && !slowName_) {
      slowName_ = name;
      slowMs_ = ms;
      slowCall_ = calls_;  // counted from the start of the run, for the report
    }
  }

  bool slow() const { return slowName_ != nullptr; }
  void report() const {
    std::fprintf(stderr, "fuzz check failed: %s (call %ld) took %.1f ms (limit %.0f ms)\n",
                 slowName_, slowCall_, slowMs_, limitMs_);
  }
  double worstMs() const { return worstMs_; }

 private:
  double limitMs_;
  double worstMs_ = 0;
  const char* slowName_ = nullptr;
  double slowMs_ = 0;
  long slowCall_ = 0;
  long calls_ = 0;
};

}  // namespace ondrix::fuzz
