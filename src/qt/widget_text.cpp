// SPDX-License-Identifier: GPL-3.0-or-later
// Texts and keys between the widgets and the controls' data: line breaks,
// carets, dropped files and the key codes the handlers know.
#include "qt/widget_text.h"

#include <QDir>
#include <QMimeData>
#include <QUrl>

#include "qt/qt_text.h"
#include "state/key_codes.h"

namespace ondrix {

// Key codes of the keys the port box filters and of the ordinary keys, as
// the handlers know them; 0 for keys they have no code for.
std::int16_t keyCodeOf(int qtKey) {
  if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) return static_cast<std::int16_t>(qtKey);
  if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) return static_cast<std::int16_t>(qtKey);
  if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24) {
    return static_cast<std::int16_t>(kKeyF1 + (qtKey - Qt::Key_F1));
  }
  switch (qtKey) {
    case Qt::Key_Backspace:
      return kKeyBack;
    case Qt::Key_Tab:
      return kKeyTab;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return kKeyReturn;
    case Qt::Key_Escape:
      return kKeyEscape;
    case Qt::Key_Space:
      return kKeySpace;
    case Qt::Key_PageUp:
      return kKeyPageUp;
    case Qt::Key_PageDown:
      return kKeyPageDown;
    case Qt::Key_End:
      return kKeyEnd;
    case Qt::Key_Home:
      return kKeyHome;
    case Qt::Key_Left:
      return kKeyLeft;
    case Qt::Key_Up:
      return kKeyUp;
    case Qt::Key_Right:
      return kKeyRight;
    case Qt::Key_Down:
      return kKeyDown;
    case Qt::Key_Insert:
      return kKeyInsert;
    case Qt::Key_Delete:
      return kKeyDelete;
    default:
      return kKeyNone;
  }
}

std::int16_t shiftOf(Qt::KeyboardModifiers m) {
  std::int16_t s = 0;
  if (m & Qt::ShiftModifier) s |= kShiftMask;
  if (m & Qt::ControlModifier) s |= kCtrlMask;
  if (m & Qt::AltModifier) s |= kAltMask;
  return s;
}

QString displayText(const Text& text, std::int32_t caret, int* displayCaret) {
  QString out;
  out.reserve(static_cast<qsizetype>(text.size()));
  int mapped = -1;
  const std::size_t n = text.size();
  for (std::size_t i = 0; i < n; ++i) {
    if (mapped < 0 && static_cast<std::int32_t>(i) >= caret) mapped = static_cast<int>(out.size());
    const char16_t c = text[i];
    if (c == CR) {
      out += QLatin1Char('\n');
      if (i + 1 < n && text[i + 1] == LF) ++i;  // the pair is one break
    } else if (c == LF) {
      out += QLatin1Char('\n');
    } else {
      out += QChar(c);
    }
  }
  if (mapped < 0) mapped = static_cast<int>(out.size());
  if (displayCaret != nullptr) *displayCaret = mapped;
  return out;
}

std::vector<Text> droppedFilePaths(const QMimeData* data) {
  std::vector<Text> paths;
  if (data == nullptr) return paths;
  for (const QUrl& url : data->urls()) {
    if (url.isLocalFile()) paths.push_back(toText(QDir::toNativeSeparators(url.toLocalFile())));
  }
  return paths;
}

Text modelText(const QString& shown) {
  Text out;
  out.reserve(static_cast<std::size_t>(shown.size()));
  for (QChar c : shown) {
    if (c == QLatin1Char('\n') || c == QChar::ParagraphSeparator) {
      out += CRLF;
    } else {
      out += static_cast<char16_t>(c.unicode());
    }
  }
  return out;
}

}  // namespace ondrix
