// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main window: the widgets of Form1's controls. Every click and key goes
// to the core's handler; afterwards the controls' data is copied back into
// the widgets (refresh), so the core never paints.
#include <QMainWindow>
#include <array>

#include "core/text.h"
#include "qt/window_style.h"

class QAction;
class QFrame;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;

namespace ondrix {

class Form1;
struct TextBoxModel;

class Form1Window : public QMainWindow {
  Q_OBJECT

 public:
  explicit Form1Window(Form1& form, QWidget* parent = nullptr);

  // Copies the controls' data (texts, enabled states, caret, backgrounds,
  // menu items) into the widgets. Call after every handler. The picture of
  // Image1 is the desktop's to load, as the core asks.
  void refresh();

  Form1& form() { return form_; }
  // Image1, which the desktop loads pictures into (Form1 asks it to).
  QLabel* pictureBox() const { return image1_; }

 signals:
  // Emitted once, when the window has been painted for the first time.
  void firstPainted();

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  template <typename Handler>
  void run(Handler handler) {
    handler();
    refresh();
  }
  QPushButton* addButton(const char* name, const Text& caption, const QRect& rect);
  // Accessible names, tooltips and the Tab order, once every control exists.
  void nameControls();
  QAction* addMenuItem(QMenu* menu, const char* name, const Text& caption);
  bool comNoKey(QKeyEvent* key);
  // Drag and drop of files onto Text4 or Image1; the drop goes to its handler.
  bool fileDrop(QObject* target, QEvent* event);
  void applyTextBox(QLineEdit* box, const TextBoxModel& model);

  Form1& form_;
  QWidget* client_ = nullptr;
  QPlainTextEdit* text2_ = nullptr;
  QPlainTextEdit* text3_ = nullptr;
  QLineEdit* comNo_ = nullptr;
  QLineEdit* text4_ = nullptr;
  QLabel* image1_ = nullptr;
  QPushButton* command1_ = nullptr;
  QPushButton* upBtn_ = nullptr;
  QPushButton* downBtn_ = nullptr;
  QPushButton* clsBtn_ = nullptr;
  QPushButton* funcBtn_ = nullptr;
  QPushButton* connBtn_ = nullptr;
  QPushButton* cutBtn_ = nullptr;
  QPushButton* reDialBtn_ = nullptr;
  QPushButton* startBtn_ = nullptr;
  QPushButton* stopBtn_ = nullptr;
  QPushButton* scarchBtn_ = nullptr;
  QPushButton* clsBtn2_ = nullptr;
  std::array<QPushButton*, 12> numBtn_{};
  QAction* cmLoadMmd_ = nullptr;
  QAction* cmLoadImg_ = nullptr;
  QAction* cmSaveMmd_ = nullptr;
  QAction* cmSaveImg_ = nullptr;
  QAction* cmHelpMenu_ = nullptr;
  QAction* cmInfo_ = nullptr;
  QAction* loginStart_ = nullptr;

  // What the status box was last given, so that a refresh that changes
  // nothing leaves the operator's scrolling alone.
  Text text3Shown_;
  std::int32_t text3CaretShown_ = -1;
  bool text3Applied_ = false;
  bool painted_ = false;
  bool unloaded_ = false;
};

}  // namespace ondrix
