// SPDX-License-Identifier: GPL-3.0-or-later
// The main window at run time: copies the controls' data into the widgets
// after every handler and forwards keys, drops and the close to the core.
#include "qt/form1_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDropEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>
#include <algorithm>

#include "qt/qt_text.h"
#include "qt/widget_text.h"
#include "qt/window_style.h"
#include "state/form1.h"

namespace ondrix {

void Form1Window::applyTextBox(QLineEdit* box, const TextBoxModel& model) {
  int caret = 0;
  const QString shown = displayText(model.text, model.caret, &caret);
  if (box->text() != shown) {
    box->setText(shown);
    box->setCursorPosition(caret);
  }
  box->setEnabled(model.enabled);
  applyBackground(box, model.background);
}

void Form1Window::refresh() {
  // Text2 is the operator's own; only a change made by a handler is copied.
  if (modelText(text2_->toPlainText()) != form_.Text2.text) {
    const QSignalBlocker block(text2_);
    text2_->setPlainText(displayText(form_.Text2.text, 0, nullptr));
  }
  text2_->setEnabled(form_.Text2.enabled);

  const TextBoxModel& t3 = form_.Text3;
  if (!text3Applied_ || t3.text != text3Shown_ || t3.caret != text3CaretShown_) {
    int caret = 0;
    const QString shown = displayText(t3.text, t3.caret, &caret);
    if (!text3Applied_ || t3.text != text3Shown_) text3_->setPlainText(shown);
    QTextCursor cursor = text3_->textCursor();
    cursor.setPosition(std::min(caret, static_cast<int>(text3_->document()->characterCount() - 1)));
    text3_->setTextCursor(cursor);
    text3_->ensureCursorVisible();
    text3Shown_ = t3.text;
    text3CaretShown_ = t3.caret;
    text3Applied_ = true;
  }
  text3_->setEnabled(t3.enabled);
  applyBackground(text3_, t3.background);
  applyBackground(text2_, form_.Text2.background);

  applyTextBox(comNo_, form_.ComNo);
  applyTextBox(text4_, form_.Text4);

  const std::pair<QPushButton*, const ButtonModel*> buttons[] = {
      {command1_, &form_.Command1}, {upBtn_, &form_.UpBtn},         {downBtn_, &form_.DownBtn},
      {clsBtn_, &form_.ClsBtn},     {funcBtn_, &form_.FuncBtn},     {connBtn_, &form_.ConnBtn},
      {cutBtn_, &form_.CutBtn},     {reDialBtn_, &form_.ReDialBtn}, {startBtn_, &form_.StartBtn},
      {stopBtn_, &form_.StopBtn},   {scarchBtn_, &form_.ScarchBtn}, {clsBtn2_, &form_.ClsBtn2},
  };
  for (const auto& [widget, model] : buttons) {
    widget->setEnabled(model->enabled);
    const QString caption = toQString(model->caption);
    if (widget->text() != caption) widget->setText(caption);
  }

  const std::pair<QAction*, const MenuItemModel*> items[] = {
      {cmLoadMmd_, &form_.CMLOADMMD},       {cmLoadImg_, &form_.CMLOADIMG},
      {cmSaveMmd_, &form_.CMSAVEMMD},       {cmSaveImg_, &form_.CMSAVEIMG},
      {cmHelpMenu_, &form_.CMHELPMENU},     {cmInfo_, &form_.CMINFO},
      {loginStart_, &form_.loginStartItem},
  };
  for (const auto& [action, model] : items) {
    action->setEnabled(model->enabled);
    const QString caption = toQString(model->caption);
    if (action->text() != caption) action->setText(caption);
  }
  // Qt flips the mark at the click; the core's answer is what stands.
  loginStart_->setChecked(form_.loginStartItem.checked);
}

bool Form1Window::comNoKey(QKeyEvent* key) {
  // Tab and Shift+Tab move the focus on, as in any other box.
  if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) return false;
  // Edits that do not come as typed characters would bypass the filter.
  if (key->matches(QKeySequence::Paste) || key->matches(QKeySequence::Cut) ||
      key->matches(QKeySequence::Undo) || key->matches(QKeySequence::Redo)) {
    return true;
  }
  const std::int16_t code = keyCodeOf(key->key());
  if (code != 0) {
    std::int16_t k = code;
    run([&] { form_.ComNo_KeyDown(k, shiftOf(key->modifiers())); });
    if (k == 0) return true;
  }

  std::int16_t ascii = 0;
  const QString text = key->text();
  if (!text.isEmpty()) {
    ascii = static_cast<std::int16_t>(text.at(0).unicode());
  } else if ((key->modifiers() & Qt::ControlModifier) && key->key() >= Qt::Key_A &&
             key->key() <= Qt::Key_Z) {
    ascii = static_cast<std::int16_t>(key->key() - Qt::Key_A + 1);  // control character
  }
  if (ascii == 0) return false;  // a key without a character: the box handles it

  std::int16_t a = ascii;
  run([&] { form_.ComNo_KeyPress(a); });
  if (a == 0) return true;
  if (a != ascii) {
    // The handler replaced the character: insert the replacement instead.
    comNo_->insert(QString(QChar(static_cast<char16_t>(a))));
    form_.ComNo.text = toText(comNo_->text());
    return true;
  }
  return false;  // the box inserts it; textEdited copies the result back
}

bool Form1Window::fileDrop(QObject* target, QEvent* event) {
  auto* drop = static_cast<QDropEvent*>(event);
  std::vector<Text> paths = droppedFilePaths(drop->mimeData());
  if (paths.empty()) {
    drop->ignore();
    return true;
  }
  drop->setDropAction(Qt::CopyAction);
  drop->accept();
  if (event->type() != QEvent::Drop) return true;
  if (target == text4_) {
    run([&] { form_.Text4_OLEDragDrop(paths); });
  } else {
    run([&] { form_.Image1_OLEDragDrop(paths); });
  }
  return true;
}

bool Form1Window::eventFilter(QObject* watched, QEvent* event) {
  if (watched == comNo_) {
    if (event->type() == QEvent::KeyPress) return comNoKey(static_cast<QKeyEvent*>(event));
    if (event->type() == QEvent::InputMethod) {
      // A committed string counts as its characters typed one by one.
      const QString commit = static_cast<QInputMethodEvent*>(event)->commitString();
      for (QChar c : commit) {
        std::int16_t a = static_cast<std::int16_t>(c.unicode());
        run([&] { form_.ComNo_KeyPress(a); });
      }
      return true;
    }
    if ((event->type() == QEvent::MouseButtonPress ||
         event->type() == QEvent::MouseButtonRelease) &&
        static_cast<QMouseEvent*>(event)->button() == Qt::MiddleButton) {
      return true;  // the X11 selection would be pasted unfiltered
    }
  }
  if ((watched == text4_ || watched == image1_) &&
      (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove ||
       event->type() == QEvent::Drop)) {
    return fileDrop(watched, event);
  }
  if (watched == client_ && event->type() == QEvent::Paint && !painted_) {
    painted_ = true;
    emit firstPainted();
  }
  return QMainWindow::eventFilter(watched, event);
}

void Form1Window::closeEvent(QCloseEvent* event) {
  if (!unloaded_) {
    unloaded_ = true;
    form_.Form_Unload();
  }
  event->accept();
  QCoreApplication::quit();
}

}  // namespace ondrix
