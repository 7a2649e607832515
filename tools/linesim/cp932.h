// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The line carries CP932: the simulator builds its texts in UTF-8 and turns
// them into the bytes a terminal sends and expects; bytes are shown back
// readable or escaped.
#include <string>
#include <string_view>

namespace linesim {

// CP932 bytes of a UTF-8 text. A character CP932 cannot carry becomes "?".
std::string toCp932(std::string_view utf8);

// Every byte visible: printable ASCII as is, CR, LF, tab, quote and backslash
// as C escapes, everything else as \xNN.
std::string escaped(std::string_view bytes);

// CP932 bytes as UTF-8 text for the dialogue transcript: control bytes and
// bytes that do not decode are escaped as in `escaped`.
std::string readable(std::string_view bytes);

}  // namespace linesim
