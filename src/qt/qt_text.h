// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Text (UTF-16) <-> QString, without copying through another encoding.
#include <QString>

#include "core/text.h"

namespace ondrix {

inline QString toQString(TextView text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

inline Text toText(const QString& s) {
  return Text(reinterpret_cast<const char16_t*>(s.utf16()), static_cast<std::size_t>(s.size()));
}

}  // namespace ondrix
