// SPDX-License-Identifier: GPL-3.0-or-later
// What only the toolkit does for the operator's features: file drops, the
// preview window, the about box, the File menu, the player, the wiring.
#include <gmock/gmock.h>

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFontInfo>
#include <QFontMetrics>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QTranslator>
#include <QUrl>
#include <map>

#include "fakes.h"
#include "qt/form1_window.h"
#include "qt/form2_window.h"
#include "qt/form_help_window.h"
#include "qt/qt_desktop.h"
#include "qt/qt_files.h"
#include "qt/qt_text.h"
#include "qt/qt_translations.h"
#include "state/form1.h"

namespace ondrix {
namespace {

// A bitmap whose pixels depend on `seed`, so two pictures of one size differ.
QImage picture(int w, int h, int seed) {
  QImage image(w, h, QImage::Format_Mono);
  image.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) image.setPixel(x, y, (x + y * seed) % 3 == 0 ? 1 : 0);
  }
  return image;
}

QImage shown(const QLabel* label) {
  return label->pixmap().toImage().convertToFormat(QImage::Format_RGB32);
}

// Drags the files onto the widget and drops them as the file manager would;
// false when the widget refuses the drag.
bool dropFiles(QWidget* target, const QList<QUrl>& urls) {
  QMimeData data;
  data.setUrls(urls);
  QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &enter);
  if (!enter.isAccepted()) return false;
  QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &drop);
  return drop.isAccepted();
}

// The fakes' desktop, but pictures go to the real picture box.
struct WindowDesktop : FakeDesktop {
  QtDesktop real;
  bool showPicture(const Text& path) override { return real.showPicture(path); }
};

// The main window on a Form1 with real files in a temporary directory.
struct OperatorWindowTest : ::testing::Test {
  QTemporaryDir dir;
  FakeSerialLine serial;
  FakeTimer timer1, timer2;
  FakeClock clock;
  QtFiles files{toText(dir.path())};
  WindowDesktop desktop;
  Form1 form{{serial, timer1, timer2, clock, files, desktop}};
  std::unique_ptr<Form1Window> window;

  void SetUp() override {
    form.Form_Load();
    window = std::make_unique<Form1Window>(form);
    desktop.real.setPictureBox(window->pictureBox());
  }
  template <typename W = QWidget>
  W* widget(const char* name) {
    return window->findChild<W*>(QString::fromLatin1(name));
  }
  QString file(const QString& name, const QByteArray& bytes) {
    QFile f(dir.filePath(name));
    EXPECT_TRUE(f.open(QIODevice::WriteOnly)) << qPrintable(name);
    f.write(bytes);
    return f.fileName();
  }
};

TEST_F(OperatorWindowTest, DroppedFilesReachTheirControlsHandlerInOrder) {
  QList<QUrl> melodies;
  for (const char* name : {"b.mmd", "a tune.MMD", "c.mmd", "d\\e.mmd"}) {
    melodies << QUrl::fromLocalFile(
        file(QString::fromLatin1(name), QByteArray("<MEL=") + name + "\r\nx"));
  }
  // The desktop delivers drags only to widgets that accept drops.
  EXPECT_TRUE(widget("Text4")->acceptDrops() && widget("Image1")->acceptDrops());
  ASSERT_TRUE(dropFiles(widget("Text4"), melodies));
  EXPECT_EQ(form.MelodyCount, 4);
  EXPECT_EQ(
      std::vector<Text>(form.MelodyPool.begin(), form.MelodyPool.begin() + 4),
      (std::vector<Text>{u"<MEL=b.mmd", u"<MEL=a tune.MMD", u"<MEL=c.mmd", u"<MEL=d\\e.mmd"}));
  EXPECT_EQ(widget<QLineEdit>("Text4")->text(), QStringLiteral(u"♪"));

  QList<QUrl> images;
  for (int i = 0; i < 3; ++i) {
    const QString path = dir.filePath(QStringLiteral("p%1.bmp").arg(i));
    ASSERT_TRUE(picture(10 + i, 8, i + 1).save(path, "BMP"));
    images << QUrl::fromLocalFile(path);
  }
  ASSERT_TRUE(dropFiles(widget("Image1"), images));
  EXPECT_EQ(form.ImageCount, 3);
  // The picture box shows the last bitmap taken.
  EXPECT_EQ(shown(widget<QLabel>("Image1")),
            picture(12, 8, 3).convertToFormat(QImage::Format_RGB32));

  // A bitmap the codec takes but the box cannot show withdraws the offer.
  QFile good(images[1].toLocalFile());
  ASSERT_TRUE(good.open(QIODevice::ReadOnly));
  const QString bad = file(QStringLiteral("bad.bmp"), good.readAll().replace(0, 2, "XX"));
  ASSERT_TRUE(dropFiles(widget("Image1"), {images[0], QUrl::fromLocalFile(bad)}));
  EXPECT_EQ(form.ImageCount, 0);
  EXPECT_TRUE(widget<QLabel>("Image1")->pixmap().isNull());
  // Only local files are taken; a drag without any is refused.
  EXPECT_FALSE(dropFiles(widget("Text4"), {QUrl(QStringLiteral("https://example.org/x.mmd"))}));
  EXPECT_EQ(form.MelodyCount, 4);
  widget<QPushButton>("ClsBtn2")->click();
  EXPECT_TRUE(widget<QLabel>("Image1")->pixmap().isNull());
  EXPECT_TRUE(widget<QLineEdit>("Text4")->text().isEmpty());
}

TEST_F(OperatorWindowTest, FileMenuEnablesTheSaveItemsOfTheMailShownWhenOpened) {
  struct {
    PendingCmdCode pending;
    bool hasMelody, hasImage, saveMelody, saveImage;
  } const cases[] = {{PendingCmdCode::MailBrowse, true, false, true, false},
                     {PendingCmdCode::MailBrowse, false, true, false, true},
                     {PendingCmdCode::NoPending, true, true, false, false}};
  auto* menu = window->findChild<QMenu*>(QStringLiteral("CMFILE"));
  form.BrowseIndex = 3;
  form.MailStore.MailText[3] = u"text";
  for (const auto& c : cases) {
    form.PendingCmd = c.pending;
    form.MailStore.MailMelody[3] = c.hasMelody ? u"<MEL=x" : u"";
    form.MailStore.MailImage[3] = c.hasImage ? u"RE9U" : u"";
    menu->popup(QPoint(0, 0));
    EXPECT_EQ(widget<QAction>("CMSAVEMMD")->isEnabled(), c.saveMelody);
    EXPECT_EQ(widget<QAction>("CMSAVEIMG")->isEnabled(), c.saveImage);
    menu->hide();
  }
}

// Every key and item reaches its handler; each row shows one effect of it.
TEST_F(OperatorWindowTest, KeysAndItemsReachTheirHandlers) {
  form.LineState = LineStateCode::Idle;
  // Clicked, or pressed with Return or Enter as when they have the focus.
  const std::pair<const char*, int> keys[] = {
      {"NumBtn0", 0}, {"NumBtn3", Qt::Key_Return}, {"NumBtn10", Qt::Key_Enter}, {"NumBtn11", 0}};
  for (const auto& [key, press] : keys) {
    if (press == 0) {
      widget<QPushButton>(key)->click();
      continue;
    }
    QKeyEvent event(QEvent::KeyPress, press,
                    press == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
    QApplication::sendEvent(widget(key), &event);
  }
  EXPECT_EQ(widget<QPlainTextEdit>("Text3")->toPlainText(), QStringLiteral("03*#\n"));
  widget<QPushButton>("ConnBtn")->click();
  EXPECT_EQ(serial.written(), Text(u"atdv03*#\r"));
  widget<QPushButton>("CutBtn")->click();
  EXPECT_EQ(serial.written(), Text(u"atdv03*#\rat"));
  form.PendingCmd = PendingCmdCode::NoPending;
  widget<QPushButton>("ReDialBtn")->click();
  EXPECT_EQ(form.DialNumber, u"03*#");
  widget<QPushButton>("CutBtn")->click();
  widget<QPushButton>("FuncBtn")->setEnabled(true);
  widget<QPushButton>("FuncBtn")->click();
  EXPECT_EQ(form.PendingCmd, PendingCmdCode::FuncMenu);
  widget<QPushButton>("CutBtn")->click();
  for (const char* browse : {"UpBtn", "DownBtn"}) {
    form.Text3.text.clear();
    widget<QPushButton>(browse)->click();
    EXPECT_EQ(form.Text3.text.substr(0, 11), u"受信メールはありません") << browse;
  }
  widget<QAction>("CMLOADMMD")->trigger();
  widget<QAction>("CMLOADIMG")->trigger();
  ASSERT_EQ(desktop.dialogs.size(), 2u);
  EXPECT_EQ(desktop.dialogs[1].title, u"イメージ読込み");
  widget<QAction>("CMHELPMENU")->trigger();
  EXPECT_EQ(desktop.helpOpened.size(), 1u);
  widget<QAction>("CMINFO")->trigger();
  EXPECT_EQ(desktop.aboutShown, 1);
  // The mark is the core's answer, not Qt's own flip: a refused entry
  // leaves it off.
  FakeLoginStart login;
  form.loginStart = &login;
  for (const bool written : {false, true}) {
    login.writeSucceeds = written;
    widget<QAction>("loginStartItem")->trigger();
    EXPECT_EQ(widget<QAction>("loginStartItem")->isChecked(), written);
  }
  form.loginStart = nullptr;
}

// The controls a screen reader stops at: buttons, text boxes, labels, pictures.
void collectControls(QAccessibleInterface* iface, std::vector<QAccessibleInterface*>& out) {
  for (int i = 0; i < iface->childCount(); ++i) {
    QAccessibleInterface* child = iface->child(i);
    const auto role = child->role();
    if (role == QAccessible::ScrollBar || role == QAccessible::MenuBar) continue;
    if (role == QAccessible::PushButton || role == QAccessible::EditableText ||
        role == QAccessible::StaticText || role == QAccessible::Graphic) {
      out.push_back(child);
    }
    collectControls(child, out);
  }
}

TEST_F(OperatorWindowTest, EveryControlOfTheThreeWindowsIsNamedAndNoTwoButtonsShareAName) {
  const QString bitmap = dir.filePath(QStringLiteral("Image.bmp"));
  ASSERT_TRUE(picture(16, 8, 1).save(bitmap, "BMP"));
  desktop.real.setOwner(window.get());
  desktop.real.showPreview(toText(bitmap));
  desktop.real.showAbout();
  std::vector<QAccessibleInterface*> controls;
  for (QWidget* w : std::initializer_list<QWidget*>{window.get(), desktop.real.preview(),
                                                    desktop.real.about()}) {
    EXPECT_FALSE(QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name).isEmpty());
    collectControls(QAccessible::queryAccessibleInterface(w), controls);
  }
  // The main window's 31 controls, the preview's picture, the about box's 3.
  EXPECT_EQ(controls.size(), 35u);
  std::map<QString, QObject*> buttons;
  for (QAccessibleInterface* c : controls) {
    const QString name = c->text(QAccessible::Name);
    EXPECT_FALSE(name.trimmed().isEmpty()) << qPrintable(c->object()->objectName());
    if (c->role() == QAccessible::PushButton) {
      EXPECT_TRUE(buttons.emplace(name, c->object()).second) << qPrintable(name);
    }
  }
  EXPECT_EQ(buttons[QStringLiteral(u"リダイヤル")], widget("ReDialBtn"));
  EXPECT_EQ(widget("UpBtn")->toolTip(), QStringLiteral(u"前のメール"));
}

TEST_F(OperatorWindowTest, RedialKeyShowsASixteenPixelTwoColourPicture) {
  const QImage icon = widget<QPushButton>("ReDialBtn")->icon().pixmap(16, 16).toImage();
  ASSERT_EQ(icon.size(), QSize(16, 16));
  QSet<QRgb> colours;
  for (int i = 0; i < 16 * 16; ++i) colours.insert(icon.pixel(i % 16, i / 16));
  EXPECT_EQ(colours.size(), 2);
  // The arrow as a painter draws it: an arc with a 2-pixel pen and a filled
  // head, without antialiasing.
  QImage drawn(16, 16, QImage::Format_ARGB32_Premultiplied);
  drawn.fill(Qt::transparent);
  QPainter painter(&drawn);
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
  painter.end();
  EXPECT_EQ(icon.convertToFormat(QImage::Format_ARGB32_Premultiplied), drawn);
}

// Preview and about box over a plain owner window placed where a case says.
struct DesktopWindowsTest : ::testing::Test {
  QTemporaryDir dir;
  QWidget owner;
  QtDesktop desktop;

  void SetUp() override {
    desktop.setOwner(&owner);
    owner.show();
  }
  void place(const QRect& r) {
    owner.setGeometry(r);
    QApplication::processEvents();
  }
  // The rule both windows are placed by, on outer rectangles.
  static QPoint centred(const QRect& ownerFrame, const QSize& frame) {
    return {ownerFrame.x() + (ownerFrame.width() - frame.width()) / 2,
            ownerFrame.y() + (ownerFrame.height() - frame.height()) / 2};
  }
};

TEST_F(DesktopWindowsTest, PreviewFitsThePictureAndIsCentredOverTheMainWindow) {
  struct {
    QRect owner;
    QSize picture;
  } const cases[] = {{{100, 50, 300, 200}, {96, 64}},
                     // Larger than the owner: negative odd halves truncate towards zero.
                     {{500, 400, 41, 31}, {95, 63}},
                     {{20, 30, 335, 325}, {96, 64}}};
  const QString path = dir.filePath(QStringLiteral("Image.bmp"));
  Form2Window* first = nullptr;
  int seed = 1;
  for (const auto& c : cases) {
    place(c.owner);
    // Rewritten at once under the same name: the new picture must show.
    const QImage image = picture(c.picture.width(), c.picture.height(), ++seed);
    ASSERT_TRUE(image.save(path, "BMP"));
    desktop.showPreview(toText(path));
    Form2Window* preview = desktop.preview();
    ASSERT_NE(preview, nullptr);
    if (first == nullptr) first = preview;
    EXPECT_EQ(preview, first) << "one window, reused";
    EXPECT_TRUE(preview->isVisible());
    EXPECT_FALSE(preview->isModal());
    EXPECT_EQ(preview->windowTitle(), QStringLiteral(u"イメージ"));
    EXPECT_EQ(preview->size(), c.picture);
    auto* box = preview->findChild<QLabel*>(QStringLiteral("Image1"));
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->geometry(), QRect(QPoint(0, 0), c.picture));
    EXPECT_EQ(shown(box), image.convertToFormat(QImage::Format_RGB32));
    EXPECT_EQ(preview->frameGeometry().topLeft(),
              centred(owner.frameGeometry(), preview->frameGeometry().size()));
  }
}

TEST_F(DesktopWindowsTest, AboutBoxDisablesTheMainWindowUntilClosedEitherWay) {
  struct {
    const char* how;
    QRect owner;
  } const cases[] = {{"ok", {100, 100, 335, 325}}, {"close", {300, 10, 120, 90}}};
  FormHelpWindow* previous = nullptr;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.how);
    place(c.owner);
    desktop.showAbout();
    QPointer<FormHelpWindow> about = desktop.about();
    ASSERT_NE(about, nullptr);
    EXPECT_NE(about.data(), previous) << "a new box after the last was closed";
    previous = about.data();
    EXPECT_TRUE(about->isVisible());
    EXPECT_FALSE(owner.isEnabled());
    EXPECT_TRUE(about->isEnabled());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(about->windowTitle(), QStringLiteral(u"このプログラムについて"));
    EXPECT_EQ(about->size(), QSize(213, 130));
    const std::pair<const char*, QString> texts[] = {
        {"Label1", QStringLiteral("Ondrix Server")},
        {"Label2", QStringLiteral("Ver1.50 by Hesket")},
        {"Command1", QStringLiteral(u"ＯＫ")}};
    for (const auto& [name, text] : texts) {
      QWidget* w = about->findChild<QWidget*>(QString::fromLatin1(name));
      ASSERT_NE(w, nullptr) << name;
      EXPECT_EQ(w->property("text").toString(), text) << name;
    }
    QWidget* ok = about->findChild<QWidget*>(QStringLiteral("Command1"));
    EXPECT_EQ(ok->geometry(), QRect(56, 96, 97, 25));
    // Drawn in a Japanese monospace face: each full-width letter as wide as
    // a kanji, not shrunk to "OK".
    const QFontMetrics okFace(ok->font());
    EXPECT_EQ(okFace.horizontalAdvance(QChar(u'Ｏ')), okFace.horizontalAdvance(QChar(u'通')))
        << qPrintable(QFontInfo(ok->font()).family());
    EXPECT_EQ(about->frameGeometry().topLeft(),
              centred(owner.frameGeometry(), about->frameGeometry().size()));

    if (std::string(c.how) == "ok") {
      about->findChild<QPushButton*>(QStringLiteral("Command1"))->click();
    } else {
      about->close();
    }
    EXPECT_TRUE(owner.isEnabled());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(about, nullptr);
  }
}

TEST(DesktopDialogs, TitleFilterAndModeAsSetAndTheChosenPathOrNothing) {
  QTemporaryDir dir;
  QFile(dir.filePath(QStringLiteral("a.mmd"))).open(QIODevice::WriteOnly);
  struct {
    FileDialogSetup setup;
    QString filter;
    const char* choose;  // nullptr: cancel
  } const cases[] = {
      {{u"メロディー読込み", u"TAVIXメロディーファイル(*.mmd)|*.mmd", 4096},
       QStringLiteral(u"TAVIXメロディーファイル(*.mmd)"),
       "a.mmd"},
      {{u"x", u"Melodies|*.mmd;*.mid", 4}, QStringLiteral("Melodies (*.mmd *.mid)"), nullptr},
  };
  QtDesktop desktop;
  for (const bool save : {false, true}) {
    for (const auto& c : cases) {
      QTimer::singleShot(0, [&] {
        auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->windowTitle(), toQString(c.setup.title));
        EXPECT_EQ(d->nameFilters(), QStringList{c.filter});
        // 4096: the file must exist; a save replaces a file without asking.
        EXPECT_EQ(d->fileMode() == QFileDialog::ExistingFile, c.setup.flags == 4096);
        EXPECT_EQ(d->acceptMode(), save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        EXPECT_TRUE(d->testOption(QFileDialog::DontConfirmOverwrite));
        if (c.choose == nullptr) return d->reject();
        d->selectFile(dir.filePath(QString::fromLatin1(c.choose)));
        static_cast<QDialog*>(d)->accept();  // through the public slot
      });
      const auto chosen = save ? desktop.saveFileDialog(c.setup) : desktop.openFileDialog(c.setup);
      EXPECT_EQ(chosen, c.choose == nullptr ? std::optional<Text>()
                                            : toText(dir.filePath(QString::fromLatin1(c.choose))));
    }
  }
}

// Qt's texts follow the installed translations whatever the locale; a
// missing file leaves them English and stops nothing.
TEST(DesktopDialogs, SpeakJapaneseOnceQtsTranslationsAreInstalled) {
  EXPECT_EQ(installJapaneseQtTexts(QStringLiteral("/nonexistent")), nullptr);
  const std::unique_ptr<QTranslator> translator(installJapaneseQtTexts());
  ASSERT_NE(translator, nullptr) << "Qt's Japanese translations are not installed";
  QString cancel = QStringLiteral("<no dialog of Qt's own>");
  QTimer::singleShot(0, [&] {
    auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (d == nullptr) return;
    if (auto* box = d->findChild<QDialogButtonBox*>()) {
      cancel = box->button(QDialogButtonBox::Cancel)->text();
    }
    d->reject();
  });
  QtDesktop desktop;
  EXPECT_EQ(desktop.saveFileDialog({u"イメージを保存", u"ビットマップファイル(*.bmp)|*.bmp", 4}),
            std::nullopt);
  EXPECT_EQ(cancel, QStringLiteral(u"キャンセル"));
}

// A player that records its arguments, one a line, next to itself.
TEST(DesktopPlayer, StartsTheProgramWithItsArgumentsAndTheMelodyPathWhole) {
  QTemporaryDir dir;
  const QString player = dir.filePath(QStringLiteral("my player.sh"));
  const QString record = dir.filePath(QStringLiteral("args.txt"));
  QFile script(player);
  ASSERT_TRUE(script.open(QIODevice::WriteOnly));
  script.write(
      "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$0.tmp\"\n"
      "mv \"$0.tmp\" \"" +
      record.toUtf8() + "\"\n");
  script.close();
  script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("app dir")));
  const QString melody = dir.filePath(QStringLiteral("app dir/melody.mmd"));
  QFile(melody).open(QIODevice::WriteOnly);

  QtFiles files(toText(dir.filePath(QStringLiteral("app dir"))));
  QtDesktop desktop(&files);
  const Text path = toText(player);
  // As typed; as brellin.ini gives it back once a save turned its quotes
  // into ”; a whole path holding a blank.
  const std::pair<Text, QString> lines[] = {
      {u"\"" + path + u"\" -q \"two words\"", QStringLiteral("-q\ntwo words\n")},
      {u"”" + path + u"” -q ”two words”", QStringLiteral("-q\ntwo words\n")},
      {path, QString()}};
  for (const auto& [commandLine, arguments] : lines) {
    QFile::remove(record);
    ASSERT_TRUE(desktop.startProgram(commandLine, files.programDirectory() + u"\\melody.mmd"));
    QElapsedTimer waited;
    waited.start();
    while (!QFile::exists(record) && waited.elapsed() < 5000) QThread::msleep(20);
    QFile out(record);
    ASSERT_TRUE(out.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(out.readAll()), arguments + melody + QLatin1Char('\n'));
  }

  // A program that is not there fails in the child: the window never waits.
  EXPECT_TRUE(desktop.startProgram(toText(dir.filePath(QStringLiteral("missing"))), u"x"));
  EXPECT_FALSE(desktop.startProgram(u"  ", u"x"));
}

}  // namespace
}  // namespace ondrix
