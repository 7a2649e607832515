// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Texts and keys between the widgets and the controls' data.
#include <QString>
#include <Qt>
#include <cstdint>
#include <vector>

#include "core/text.h"

class QMimeData;

namespace ondrix {

// A text box's content as the widget shows it: every CR LF, lone CR or lone
// LF becomes one line break. `caret` (a position in `text`) is mapped to the
// matching position in the result.
QString displayText(const Text& text, std::int32_t caret, int* displayCaret);
// The local files among dragged items, as native paths in the order given.
std::vector<Text> droppedFilePaths(const QMimeData* data);

// What the operator typed, as the control's text: line breaks become CR LF.
Text modelText(const QString& shown);

// The key code the handlers know for a Qt key; kKeyNone for keys they have
// none for.
std::int16_t keyCodeOf(int qtKey);
// The handlers' shift state: kShiftMask, kCtrlMask and kAltMask combined.
std::int16_t shiftOf(Qt::KeyboardModifiers m);

}  // namespace ondrix
