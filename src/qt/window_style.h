// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The look the windows share: faces, twips, backgrounds, and windows of
// their own kept above their owner.
#include <QFont>
#include <QPoint>
#include <QRect>
#include <QSize>

#include "state/controls.h"

class QIcon;
class QLabel;
class QWidget;

namespace ondrix {

// Positions are kept in twips as the control table gives them; 15 twips make
// one pixel at 96 dpi.
inline constexpr int kTwipsPerPixel = 15;
inline constexpr int kClientWidthTwips = 5025;
inline constexpr int kClientHeightTwips = 4545;
QRect twipsRect(int left, int top, int width, int height);

// Where a window of outer size `outer` goes to stand centred over the outer
// rectangle `owner`: each half is truncated towards zero, so a window larger
// than its owner overhangs it evenly.
QPoint centredOver(const QRect& owner, const QSize& outer);

// Keeps a window of its own (not a child, so that disabling the owner does
// not disable it) stacked above `owner`.
void keepAbove(QWidget* window, QWidget* owner);

// The face of the controls that have no font of their own.
QFont windowFont();

// Maps the Japanese gothic face the controls ask for onto the Japanese
// monospace faces that may be installed, so no glyph renders as a box.
void registerJapaneseFontSubstitutes();

// The Japanese gothic face of the keypad and the boxes, at `points`.
QFont gothic(int points);

// Gives a widget the model's background, touching the palette only when it
// differs (refreshes come every tick).
void applyBackground(QWidget* w, Background b);

// The redial key's picture: a two-colour 16 x 16 "again" arrow.
QIcon redialIcon();

// Places a label, letting it grow to the right rather than clip its caption.
void placeLabel(QLabel* label, const QRect& rect);

}  // namespace ondrix
