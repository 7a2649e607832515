// SPDX-License-Identifier: GPL-3.0-or-later
// The look the windows share: the Japanese faces, twips, backgrounds, the
// redial key's picture and where windows of their own stand.
#include "qt/window_style.h"

#include <QApplication>
#include <QFontDatabase>
#include <QHash>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QWindow>
#include <algorithm>
#include <cstdint>
#include <utility>

namespace ondrix {

namespace {

const QString kGothic = QStringLiteral(u"ＭＳ ゴシック");
// The proportional face of the desktop's dialogs.
const QString kUiGothic = QStringLiteral("MS UI Gothic");

// `face` when it is installed, else the first installed face it is
// substituted by, else `face`: the face Qt would take, asked for by the name
// it is installed under. Asked for by a name that is not installed, Qt first
// sorts every installed face against that name and only then tries the
// substitutes, a second lookup for each font made. Kept per face while its
// substitutes stay the same.
QString installedFace(const QString& face) {
  static QHash<QString, std::pair<QStringList, QString>> resolved;
  const QStringList substitutes = QFont::substitutes(face);
  const auto known = resolved.constFind(face);
  if (known != resolved.cend() && known->first == substitutes) return known->second;
  const QStringList installed = QFontDatabase::families();
  QString chosen = face;
  for (const QString& candidate : QStringList{face} + substitutes) {
    if (installed.contains(candidate, Qt::CaseInsensitive)) {
      chosen = candidate;
      break;
    }
  }
  resolved.insert(face, {substitutes, chosen});
  return chosen;
}

}  // namespace

QFont gothic(int points) {
  QFont f(installedFace(kGothic));
  f.setPointSize(points);
  f.setStyleHint(QFont::TypeWriter);
  return f;
}

static QColor backgroundColour(Background b) {
  // "Window background" is the system colour of text-box interiors; "button
  // face" that of buttons and dialogs.
  const QPalette p = QApplication::palette();
  return b == Background::ButtonFace ? p.color(QPalette::Button) : p.color(QPalette::Base);
}

// Gives a text box the model's background, touching the palette only when
// it differs (refreshes come every tick).
void applyBackground(QWidget* w, Background b) {
  const QColor c = backgroundColour(b);
  QPalette p = w->palette();
  if (p.color(QPalette::Active, QPalette::Base) == c &&
      p.color(QPalette::Disabled, QPalette::Base) == c) {
    return;
  }
  for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    p.setColor(group, QPalette::Base, c);
  }
  w->setPalette(p);
}

// The redial key's picture: a two-colour 16 x 16 "again" arrow, an open
// circle with its head at the upper right. Kept as its pixels: drawing it
// with a painter would load the arc and stroke code and the sine tables at
// start for one small picture.
QIcon redialIcon() {
  static constexpr std::uint16_t kRows[16] = {
      0x0000, 0x0020, 0x07f0, 0x0ff8, 0x187c, 0x307c, 0x6068, 0x6000,
      0x6000, 0x6000, 0x6000, 0x3000, 0x1870, 0x0ff0, 0x07c0, 0x0000,
  };
  QImage image(16, 16, QImage::Format_ARGB32_Premultiplied);
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) {
      image.setPixel(x, y, (kRows[y] & (0x8000u >> x)) != 0 ? 0xff000000u : 0u);
    }
  }
  return QIcon(QPixmap::fromImage(image));
}

// A label has no border, so where this desktop's face is a little wider
// than the one the widths were made for, the label grows to the right rather
// than clip its caption.
void placeLabel(QLabel* label, const QRect& rect) {
  QRect r = rect;
  r.setWidth(std::max(rect.width(), label->sizeHint().width()));
  label->setGeometry(r);
}

QRect twipsRect(int left, int top, int width, int height) {
  auto px = [](int twips) { return (twips + kTwipsPerPixel / 2) / kTwipsPerPixel; };
  return QRect(px(left), px(top), px(width), px(height));
}

QPoint centredOver(const QRect& owner, const QSize& outer) {
  return QPoint(owner.left() + (owner.width() - outer.width()) / 2,
                owner.top() + (owner.height() - outer.height()) / 2);
}

void keepAbove(QWidget* window, QWidget* owner) {
  QWidget* top = owner->window();
  window->winId();  // the native window exists from here on
  if (window->windowHandle() != nullptr && top->windowHandle() != nullptr) {
    window->windowHandle()->setTransientParent(top->windowHandle());
  }
}

QFont windowFont() {
  // The desktop's face at the small size the control table's label widths
  // are made for.
  QFont f(installedFace(kUiGothic));
  f.setPointSize(9);
  return f;
}

void registerJapaneseFontSubstitutes() {
  const QStringList faces{QStringLiteral("IPAGothic"),
                          QStringLiteral(u"IPAゴシック"),
                          QStringLiteral("Noto Sans Mono CJK JP"),
                          QStringLiteral("Noto Sans CJK JP"),
                          QStringLiteral("VL Gothic"),
                          QStringLiteral("TakaoGothic"),
                          QStringLiteral("IPAexGothic"),
                          QStringLiteral("MS Gothic")};
  QFont::insertSubstitutions(kGothic, faces);
  QFont::insertSubstitutions(QStringLiteral("MS Gothic"), faces);
  QFont::insertSubstitutions(kUiGothic,
                             {QStringLiteral("IPAPGothic"), QStringLiteral(u"IPA Pゴシック"),
                              QStringLiteral("Noto Sans CJK JP"), QStringLiteral("VL PGothic"),
                              QStringLiteral("TakaoPGothic"), QStringLiteral("IPAexGothic")});
}

}  // namespace ondrix
