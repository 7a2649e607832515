// SPDX-License-Identifier: GPL-3.0-or-later
// The about box FormHelp: its controls, its place over the owner, its close.
#include "qt/form_help_window.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>

#include "qt/accessible_controls.h"
#include "qt/window_style.h"

#ifndef ONDRIX_VERSION_MAJOR
#error "the build passes the program's version numbers"
#endif

namespace ondrix {

namespace {

constexpr int kAboutWidthTwips = 3195;
constexpr int kAboutHeightTwips = 1950;

QLabel* addLabel(QWidget* parent, const char* name, const QString& text, const QRect& rect) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  label->setGeometry(rect);
  return label;
}

}  // namespace

QString versionLine(int major, int minor, int revision) {
  return QStringLiteral("Ver%1.%2%3 by Hesket").arg(major).arg(minor).arg(revision);
}

FormHelpWindow::FormHelpWindow() {
  registerJapaneseFontSubstitutes();
  setObjectName(QStringLiteral("FormHelp"));
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                 Qt::MSWindowsFixedSizeDialogHint);
  setWindowTitle(QStringLiteral(u"このプログラムについて"));
  setFont(windowFont());
  setFixedSize(twipsRect(0, 0, kAboutWidthTwips, kAboutHeightTwips).size());

  addLabel(this, "Label1", QStringLiteral("Ondrix Server"), twipsRect(240, 120, 2775, 255));
  addLabel(this, "Label2",
           versionLine(ONDRIX_VERSION_MAJOR, ONDRIX_VERSION_MINOR, ONDRIX_VERSION_REVISION),
           twipsRect(600, 480, 2055, 255));
  auto* ok = new QPushButton(QStringLiteral(u"ＯＫ"), this);
  ok->setObjectName(QStringLiteral("Command1"));
  ok->setGeometry(twipsRect(840, 1440, 1455, 375));
  // The keypad's face: in the desktop's proportional face the full-width
  // letters shrink to "OK".
  ok->setFont(gothic(windowFont().pointSize()));
  ok->setAutoDefault(true);
  pressOnReturn(ok);
  ok->setFocus();
  connect(ok, &QPushButton::clicked, this, &QWidget::close);
}

FormHelpWindow::~FormHelpWindow() { enableOwner(); }

void FormHelpWindow::Start(QWidget* owner) {
  owner_ = owner;
  if (owner != nullptr) {
    owner->setEnabled(false);
    keepAbove(this, owner);
    const QSize frame = frameGeometry().size() - geometry().size();
    move(centredOver(owner->frameGeometry(), size() + frame));
  }
  show();
  raise();
  activateWindow();
}

void FormHelpWindow::closeEvent(QCloseEvent* event) {
  enableOwner();
  event->accept();
}

void FormHelpWindow::enableOwner() {
  if (owner_ != nullptr) owner_->setEnabled(true);
}

}  // namespace ondrix
