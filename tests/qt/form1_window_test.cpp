// SPDX-License-Identifier: GPL-3.0-or-later
// The real main window, offscreen, on a Form1 wired to fakes.
#include "qt/form1_window.h"

#include <gmock/gmock.h>

#include <QAction>
#include <QApplication>
#include <QFontInfo>
#include <QFontMetrics>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <functional>

#include "form1_harness.h"
#include "qt/qt_text.h"
#include "qt/widget_text.h"

namespace ondrix {
namespace {

struct Form1WindowTest : ::testing::Test {
  Harness<> h;
  std::unique_ptr<Form1Window> window;

  void SetUp() override {
    h.form.Form_Load();
    window = std::make_unique<Form1Window>(h.form);
    window->refresh();
  }
  template <typename W = QWidget>
  W* widget(const char* name) {
    auto* w = window->findChild<W*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  QPushButton* button(const char* name) { return widget<QPushButton>(name); }
};

struct Placement {
  const char* name;
  int left, top, width, height;
  const char16_t* caption;  // nullptr: not a captioned control
};

// Positions in twips and captions, as the control table has them.
const Placement kPlacements[] = {
    {"Text2", 120, 0, 4035, 495, nullptr},
    {"Command1", 4320, 60, 600, 375, u"送信"},
    {"Text3", 120, 600, 4035, 1335, nullptr},
    {"UpBtn", 4320, 600, 600, 375, u"▲"},
    {"DownBtn", 4320, 960, 600, 375, u"▼"},
    {"ClsBtn", 4320, 1440, 600, 375, u"ｸﾘｱ"},
    {"FuncBtn", 120, 2040, 600, 375, u"F"},
    {"ConnBtn", 3600, 2040, 600, 375, u"通"},
    {"CutBtn", 4320, 2040, 600, 375, u"切"},
    {"ReDialBtn", 120, 2520, 600, 375, u""},
    {"Label2", 15, 3210, 5010, 525, nullptr},
    {"ComNo", 1320, 3285, 375, 375, nullptr},
    {"StartBtn", 1920, 3285, 900, 375, u"開始"},
    {"StopBtn", 2880, 3285, 900, 375, u"停止"},
    {"ScarchBtn", 3840, 3285, 900, 375, u"自動検索"},
    {"Text4", 1320, 3840, 495, 495, nullptr},
    {"Image1", 1920, 3840, 1440, 600, nullptr},
    {"ClsBtn2", 4320, 3840, 600, 375, u"ｸﾘｱ"},
    {"NumBtn0", 840, 2040, 600, 360, u"0"},
    {"NumBtn3", 2640, 2040, 600, 360, u"3"},
    {"NumBtn4", 840, 2400, 600, 360, u"4"},
    {"NumBtn7", 2640, 2400, 600, 360, u"7"},
    {"NumBtn8", 840, 2760, 600, 360, u"8"},
    {"NumBtn9", 1440, 2760, 600, 360, u"9"},
    {"NumBtn10", 2040, 2760, 600, 360, u"*"},
    {"NumBtn11", 2640, 2760, 600, 360, u"#"},
};

TEST_F(Form1WindowTest, ControlsStandWhereTheTablePutsThemWithTheirCaptions) {
  for (const Placement& p : kPlacements) {
    SCOPED_TRACE(p.name);
    QWidget* w = widget(p.name);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->geometry(), QRect(p.left / 15, p.top / 15, p.width / 15, p.height / 15));
    if (p.caption != nullptr) {
      EXPECT_EQ(static_cast<QPushButton*>(w)->text(), QString::fromUtf16(p.caption));
    }
  }
  // All twelve keys exist; the ones not listed fill the rows in index order.
  for (int i = 0; i < 12; ++i) {
    QPushButton* key = window->findChild<QPushButton*>(QStringLiteral("NumBtn%1").arg(i));
    ASSERT_NE(key, nullptr) << i;
    EXPECT_EQ(key->pos(), QPoint((840 + 600 * (i % 4)) / 15, (2040 + 360 * (i / 4)) / 15));
  }
}

TEST_F(Form1WindowTest, LabelsStartWhereTheTablePutsThemAndShowTheirWholeCaption) {
  struct {
    const char* name;
    int left, top, width;
    const char16_t* caption;
  } const labels[] = {{"Label1", 240, 3405, 975, u"ポート(COM)"},
                      {"Label3", 120, 3960, 975, u"転送データ"}};
  for (const auto& l : labels) {
    auto* label = widget<QLabel>(l.name);
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), QString::fromUtf16(l.caption));
    EXPECT_EQ(label->pos(), QPoint(l.left / 15, l.top / 15));
    EXPECT_GE(label->width(), l.width / 15);
    EXPECT_GE(label->width(), QFontMetrics(label->font()).horizontalAdvance(label->text()));
  }
}

TEST_F(Form1WindowTest, WindowIsFixedAroundTheClientAreaAndTitled) {
  EXPECT_EQ(window->windowTitle(), QStringLiteral("Ondrix Server"));
  EXPECT_EQ(window->centralWidget()->size(), QSize(335, 303));
  EXPECT_EQ(window->minimumSize(), window->maximumSize());
  EXPECT_EQ(window->height(), 303 + window->menuBar()->sizeHint().height());
}

TEST_F(Form1WindowTest, GothicControlsUseAFaceWithJapaneseGlyphsAtTheirSizes) {
  struct {
    const char* name;
    int points;
    QChar sample;
  } const fonts[] = {{"ConnBtn", 12, QChar(u'通')}, {"NumBtn5", 12, QChar(u'5')},
                     {"Text3", 12, QChar(u'着')},   {"ComNo", 12, QChar(u'1')},
                     {"Text2", 9, QChar(u'発')},    {"Text4", 18, QChar(u'楽')}};
  const auto named = [](const char16_t* face, int points,
                        QFont::StyleHint hint = QFont::TypeWriter) {
    QFont font(QString::fromUtf16(face));
    font.setPointSize(points);
    font.setStyleHint(hint);
    return font;
  };
  for (const auto& f : fonts) {
    SCOPED_TRACE(f.name);
    QWidget* w = widget(f.name);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->font().pointSize(), f.points);
    // The face actually chosen must hold kanji itself, not rely on luck.
    EXPECT_TRUE(QFontMetrics(w->font()).inFont(QChar(u'通')))
        << qPrintable(QFontInfo(w->font()).family());
    // Asked for by the face installed in its place: the one Qt takes for the name.
    EXPECT_EQ(QFontInfo(w->font()).family(), QFontInfo(named(u"ＭＳ ゴシック", f.points)).family());
  }
  // The labels' and keys' face likewise.
  EXPECT_EQ(QFontInfo(widget("Label1")->font()).family(),
            QFontInfo(named(u"MS UI Gothic", 9, QFont::AnyStyle)).family());
}

TEST_F(Form1WindowTest, MenusHoldTheirItemsInOrderWithSaveItemsDisabled) {
  auto* file = window->findChild<QMenu*>(QStringLiteral("CMFILE"));
  auto* help = window->findChild<QMenu*>(QStringLiteral("CMHELP"));
  ASSERT_NE(file, nullptr);
  ASSERT_NE(help, nullptr);
  EXPECT_EQ(file->title(), QStringLiteral(u"ﾌｧｲﾙ(&F)"));
  EXPECT_EQ(help->title(), QStringLiteral(u"ﾍﾙﾌﾟ(&H)"));
  QStringList fileItems;
  for (QAction* a : file->actions()) {
    fileItems << (a->isSeparator() ? QStringLiteral("-")
                                   : a->objectName() + QLatin1Char('=') + a->text());
  }
  EXPECT_EQ(fileItems, QStringList({QStringLiteral(u"CMLOADMMD=ﾒﾛﾃﾞｨｰ読込み"),
                                    QStringLiteral(u"CMLOADIMG=ｲﾒｰｼﾞ読込み"), QStringLiteral("-"),
                                    QStringLiteral(u"CMSAVEMMD=ﾒﾛﾃﾞｨｰ保存"),
                                    QStringLiteral(u"CMSAVEIMG=ｲﾒｰｼﾞ保存"), QStringLiteral("-"),
                                    QStringLiteral(u"loginStartItem=ログイン時に自動起動")}));
  EXPECT_TRUE(file->actions()[6]->isCheckable());
  EXPECT_FALSE(file->actions()[6]->isChecked());
  ASSERT_EQ(help->actions().size(), 2);
  EXPECT_EQ(help->actions()[0]->text(), QStringLiteral(u"目次(&C)"));
  EXPECT_EQ(help->actions()[1]->text(), QStringLiteral(u"バージョン情報(&A)"));
  EXPECT_TRUE(file->actions()[0]->isEnabled());
  EXPECT_FALSE(file->actions()[3]->isEnabled());
  EXPECT_FALSE(file->actions()[4]->isEnabled());

  // The widgets follow the model when a handler enables an item.
  h.form.CMSAVEMMD.enabled = true;
  window->refresh();
  EXPECT_TRUE(file->actions()[3]->isEnabled());
}

// The port controls in the three situations of the operator's session.
TEST_F(Form1WindowTest, PortControlsFollowStartUpStartAndStop) {
  struct State {
    const char* when;
    bool comNo, start, stop, search, func;
    bool comNoButtonFace;
  };
  auto check = [&](const State& s) {
    SCOPED_TRACE(s.when);
    EXPECT_EQ(widget("ComNo")->isEnabled(), s.comNo);
    EXPECT_EQ(button("StartBtn")->isEnabled(), s.start);
    EXPECT_EQ(button("StopBtn")->isEnabled(), s.stop);
    EXPECT_EQ(button("ScarchBtn")->isEnabled(), s.search);
    EXPECT_EQ(button("FuncBtn")->isEnabled(), s.func);
    QWidget* comNo = widget("ComNo");
    const QColor base = comNo->palette().color(
        comNo->isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::Base);
    const QPalette app = QApplication::palette();
    EXPECT_EQ(base, s.comNoButtonFace ? app.color(QPalette::Button) : app.color(QPalette::Base));
  };
  check({"after start-up", true, true, false, true, false, false});

  button("StartBtn")->click();
  check({"port opened", false, false, true, false, true, true});
  EXPECT_EQ(h.fakes.serial.written(), h.form.StartCommand + CR);
  EXPECT_EQ(h.form.StartCommand, u"at#sy1=40");
  EXPECT_EQ(h.fakes.timer1.interval(), 100);

  button("StopBtn")->click();
  check({"after stop", true, true, false, true, false, false});
  EXPECT_FALSE(h.fakes.serial.isOpen());
}

TEST_F(Form1WindowTest, StatusBoxShowsLinesWithTheCaretWhereTheHandlerPutIt) {
  h.form.showStatusLine(u"QV-M7が見つかました");
  h.form.appendStatusLine(u"0123456789");
  window->refresh();
  auto* text3 = widget<QPlainTextEdit>("Text3");
  EXPECT_EQ(text3->toPlainText(), QStringLiteral(u"QV-M7が見つかました\n0123456789\n"));
  EXPECT_EQ(text3->textCursor().position(), text3->toPlainText().size());
  EXPECT_TRUE(text3->isReadOnly());

  h.form.statusCaretToStart();
  window->refresh();
  EXPECT_EQ(text3->textCursor().position(), 0);
}

TEST(Form1WindowText, LineEndsBecomeOneBreakAndTheCaretFollows) {
  struct {
    Text text;
    std::int32_t caret;
    QString shown;
    int shownCaret;
  } const cases[] = {
      {u"ab\r\ncd\r\n", 8, QStringLiteral("ab\ncd\n"), 6},
      {u"ab\r\ncd\r\n", 4, QStringLiteral("ab\ncd\n"), 3},
      {u"a\rb\nc", 5, QStringLiteral("a\nb\nc"), 5},
      {u"\r\n\r\n", 2, QStringLiteral("\n\n"), 1},
      {u"", 0, QString(), 0},
      {u"abc", 99, QStringLiteral("abc"), 3},
  };
  for (const auto& c : cases) {
    int caret = -1;
    EXPECT_EQ(displayText(c.text, c.caret, &caret), c.shown);
    EXPECT_EQ(caret, c.shownCaret);
  }
  EXPECT_EQ(modelText(QStringLiteral("at\nat")), Text(u"at\r\nat"));
}

// Keys typed into the port box go through the handlers' filter.
TEST_F(Form1WindowTest, PortBoxKeysPassTheFilter) {
  struct {
    const char* what;
    Text before;
    int key;
    Qt::KeyboardModifiers mods;
    QString text;
    Text after;
  } const cases[] = {
      {"digit replaces", u"3", Qt::Key_7, Qt::NoModifier, QStringLiteral("7"), u"7"},
      {"zero discarded", u"3", Qt::Key_0, Qt::NoModifier, QStringLiteral("0"), u"3"},
      {"letter discarded", u"3", Qt::Key_A, Qt::NoModifier, QStringLiteral("a"), u"3"},
      {"backspace discarded", u"3", Qt::Key_Backspace, Qt::NoModifier, QStringLiteral("\b"), u"3"},
      {"delete discarded", u"3", Qt::Key_Delete, Qt::NoModifier, QString(), u"3"},
      {"up from blank 3", u" 3", Qt::Key_Up, Qt::NoModifier, QString(), u"2"},
      {"down from 9 wraps", u"9", Qt::Key_Down, Qt::NoModifier, QString(), u"1"},
      {"paste refused", u"3", Qt::Key_V, Qt::ControlModifier, QString(), u"3"},
  };
  auto* comNo = widget<QLineEdit>("ComNo");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    h.form.ComNo.text = c.before;
    window->refresh();
    comNo->setCursorPosition(comNo->text().size());
    QKeyEvent press(QEvent::KeyPress, c.key, c.mods, c.text);
    QApplication::sendEvent(comNo, &press);
    EXPECT_EQ(h.form.ComNo.text, c.after);
    EXPECT_EQ(comNo->text(), toQString(c.after));
  }
}

// Whatever the path, the box ends up holding one digit from 1 to 9.
TEST_F(Form1WindowTest, PortBoxTakesOneDigitThroughEveryInputPath) {
  auto* comNo = widget<QLineEdit>("ComNo");
  const struct {
    const char* what;
    std::function<void()> input;
    Text after;
  } cases[] = {
      {"input method commits two digits",
       [&] {
         QInputMethodEvent e;
         e.setCommitString(QStringLiteral("12"));
         QApplication::sendEvent(comNo, &e);
       },
       u"2"},
      {"input method commits a letter",
       [&] {
         QInputMethodEvent e;
         e.setCommitString(QStringLiteral("a"));
         QApplication::sendEvent(comNo, &e);
       },
       u"3"},
      {"text inserted behind the filter", [&] { comNo->insert(QStringLiteral("12")); }, u"3"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    h.form.ComNo.text = Text(1, u'3');  // not a literal: GCC 12 warns falsely on that
    window->refresh();
    c.input();
    EXPECT_EQ(h.form.ComNo.text, c.after);
    EXPECT_EQ(comNo->text(), toQString(c.after));
  }
}

TEST_F(Form1WindowTest, TabLeavesThePortBox) {
  auto* comNo = widget<QLineEdit>("ComNo");
  QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier, QStringLiteral("\t"));
  tab.ignore();
  // The box must not take the key for itself: the window's focus chain does.
  QObject* filter = &*window;
  EXPECT_FALSE(filter->eventFilter(comNo, &tab));
  EXPECT_EQ(comNo->text(), QStringLiteral("1"));
}

TEST_F(Form1WindowTest, SendButtonWritesWhatWasTypedIntoTheCommandLine) {
  widget<QPlainTextEdit>("Text2")->setPlainText(QStringLiteral("ATD123"));
  button("Command1")->click();
  EXPECT_EQ(h.fakes.serial.written(), Text(u"ATD123\r"));
  // The box of the command line keeps its text; the status box shows the step.
  EXPECT_EQ(widget<QPlainTextEdit>("Text2")->toPlainText(), QStringLiteral("ATD123"));
  EXPECT_EQ(widget<QPlainTextEdit>("Text3")->toPlainText(), QStringLiteral(u"コマンド送出中\n"));
}

TEST_F(Form1WindowTest, ClosingTheWindowClosesThePortThenWritesStoreAndSettings) {
  button("StartBtn")->click();
  h.fakes.serial.clearWrites();
  window->close();
  EXPECT_FALSE(h.fakes.serial.isOpen());
  EXPECT_TRUE(h.fakes.serial.writes().empty());
  const auto& log = h.fakes.files.writeLog();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_THAT(log[0], ::testing::EndsWith("amp.dat"));
  EXPECT_THAT(log[1], ::testing::EndsWith("brellin.ini"));
  // A second close does not write again.
  window->close();
  EXPECT_EQ(h.fakes.files.writeLog().size(), 2u);
}

}  // namespace
}  // namespace ondrix
