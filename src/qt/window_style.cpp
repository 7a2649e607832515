// SPDX-License-Identifier: GPL-3.0-or-later
// The look the windows share: the Japanese faces, twips, backgrounds, the
// redial key's picture and where windows of their own stand.
#include "qt/window_style.h"

#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QWindow>
#include <algorithm>

namespace ondrix {

namespace {

const QString kGothic = QStringLiteral(u"ＭＳ ゴシック");
// The proportional face of the desktop's dialogs.
const QString kUiGothic = QStringLiteral("MS UI Gothic");

}  // namespace

QFont gothic(int points) {
  QFont f(kGothic);
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

// The redial key's picture: a two-colour 16 x 16 "again" arrow.
QIcon redialIcon() {
  QPixmap pm(16, 16);
  pm.fill(Qt::transparent);
  QPainter painter(&pm);
  painter.setRenderHint(QPainter::Antialiasing, false);
  QPen pen(Qt::black);
  pen.setWidth(2);
  painter.setPen(pen);
  painter.drawArc(QRect(2, 3, 11, 11), 30 * 16, 280 * 16);
  QPainterPath head;
  head.moveTo(10, 1);
  head.lineTo(15, 5);
  head.lineTo(9, 7);
  head.closeSubpath();
  painter.fillPath(head, Qt::black);
  return QIcon(pm);
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
  QFont f(kUiGothic);
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
