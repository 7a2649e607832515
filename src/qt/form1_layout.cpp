// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's widgets: where each control stands, its face, and which
// handler each click goes to.
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QValidator>

#include "qt/accessible_controls.h"
#include "qt/form1_window.h"
#include "qt/qt_text.h"
#include "qt/widget_text.h"
#include "qt/window_style.h"
#include "state/form1.h"

namespace ondrix {

namespace {

// The port box holds one digit from 1 to 9 or nothing. Checked by hand: a
// regular expression would load and compile the expression engine at start
// for one character.
class PortDigitValidator : public QValidator {
 public:
  using QValidator::QValidator;
  State validate(QString& input, int& pos) const override {
    if (input.isEmpty()) return Intermediate;
    if (input.size() == 1 && input.at(0) >= u'1' && input.at(0) <= u'9') return Acceptable;
    pos = static_cast<int>(input.size());
    return Invalid;
  }
};

}  // namespace

Form1Window::Form1Window(Form1& form, QWidget* parent) : QMainWindow(parent), form_(form) {
  registerJapaneseFontSubstitutes();
  setWindowTitle(QStringLiteral("Ondrix Server"));
  setObjectName(QStringLiteral("Form1"));

  client_ = new QWidget(this);
  client_->setObjectName(QStringLiteral("Form1Client"));
  client_->setFixedSize(twipsRect(0, 0, kClientWidthTwips, kClientHeightTwips).size());
  setCentralWidget(client_);
  client_->installEventFilter(this);
  // The controls without a font of their own use the window's.
  client_->setFont(windowFont());

  // The frame first, so that the port controls it surrounds stay above it.
  auto* label2 = new QFrame(client_);
  label2->setObjectName(QStringLiteral("Label2"));
  label2->setFrameStyle(QFrame::Box | QFrame::Plain);
  label2->setLineWidth(1);
  label2->setGeometry(twipsRect(15, 3210, 5010, 525));

  text2_ = new QPlainTextEdit(client_);
  text2_->setObjectName(QStringLiteral("Text2"));
  text2_->setGeometry(twipsRect(120, 0, 4035, 495));
  text2_->setFont(gothic(9));
  text2_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  text2_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  text2_->setTabChangesFocus(true);
  connect(text2_, &QPlainTextEdit::textChanged, this,
          [this] { form_.Text2.text = modelText(text2_->toPlainText()); });

  command1_ = addButton("Command1", form_.Command1.caption, twipsRect(4320, 60, 600, 375));
  connect(command1_, &QPushButton::clicked, this,
          [this] { run([this] { form_.Command1_Click(); }); });

  text3_ = new QPlainTextEdit(client_);
  text3_->setObjectName(QStringLiteral("Text3"));
  text3_->setGeometry(twipsRect(120, 600, 4035, 1335));
  text3_->setFont(gothic(12));
  text3_->setReadOnly(true);
  text3_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  text3_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  text3_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  text3_->setTabChangesFocus(true);

  upBtn_ = addButton("UpBtn", form_.UpBtn.caption, twipsRect(4320, 600, 600, 375));
  downBtn_ = addButton("DownBtn", form_.DownBtn.caption, twipsRect(4320, 960, 600, 375));
  clsBtn_ = addButton("ClsBtn", form_.ClsBtn.caption, twipsRect(4320, 1440, 600, 375));

  funcBtn_ = addButton("FuncBtn", form_.FuncBtn.caption, twipsRect(120, 2040, 600, 375));
  connBtn_ = addButton("ConnBtn", form_.ConnBtn.caption, twipsRect(3600, 2040, 600, 375));
  cutBtn_ = addButton("CutBtn", form_.CutBtn.caption, twipsRect(4320, 2040, 600, 375));
  reDialBtn_ = addButton("ReDialBtn", form_.ReDialBtn.caption, twipsRect(120, 2520, 600, 375));
  reDialBtn_->setIcon(redialIcon());
  reDialBtn_->setIconSize(QSize(16, 16));
  static const char16_t* const kKeyCaptions[12] = {u"0", u"1", u"2", u"3", u"4", u"5",
                                                   u"6", u"7", u"8", u"9", u"*", u"#"};
  for (int i = 0; i < 12; ++i) {
    const QByteArray name = "NumBtn" + QByteArray::number(i);
    numBtn_[static_cast<std::size_t>(i)] =
        addButton(name.constData(), kKeyCaptions[i],
                  twipsRect(840 + 600 * (i % 4), 2040 + 360 * (i / 4), 600, 360));
  }
  for (QPushButton* b : {funcBtn_, connBtn_, cutBtn_, reDialBtn_}) b->setFont(gothic(12));
  for (QPushButton* b : numBtn_) b->setFont(gothic(12));

  auto* label1 = new QLabel(QStringLiteral(u"ポート(COM)"), client_);
  label1->setObjectName(QStringLiteral("Label1"));
  placeLabel(label1, twipsRect(240, 3405, 975, 255));

  comNo_ = new QLineEdit(client_);
  comNo_->setObjectName(QStringLiteral("ComNo"));
  comNo_->setGeometry(twipsRect(1320, 3285, 375, 375));
  comNo_->setFont(gothic(12));
  // Only keys may change the port number: they pass the handlers' filter.
  comNo_->setContextMenuPolicy(Qt::NoContextMenu);
  comNo_->setAcceptDrops(false);
  comNo_->installEventFilter(this);
  connect(comNo_, &QLineEdit::textEdited, this,
          [this](const QString& t) { form_.ComNo.text = toText(t); });
  // Every other way text can reach the box (an input method, the X11
  // selection, a drop) is turned into typed keys or refused in the event
  // filter; the validator refuses whatever edit is left, so the box never
  // holds more than the one digit the handlers accepted.
  comNo_->setValidator(new PortDigitValidator(comNo_));

  startBtn_ = addButton("StartBtn", form_.StartBtn.caption, twipsRect(1920, 3285, 900, 375));
  connect(startBtn_, &QPushButton::clicked, this,
          [this] { run([this] { form_.StartBtn_Click(); }); });
  stopBtn_ = addButton("StopBtn", form_.StopBtn.caption, twipsRect(2880, 3285, 900, 375));
  connect(stopBtn_, &QPushButton::clicked, this,
          [this] { run([this] { form_.StopBtn_Click(); }); });
  scarchBtn_ = addButton("ScarchBtn", form_.ScarchBtn.caption, twipsRect(3840, 3285, 900, 375));
  connect(scarchBtn_, &QPushButton::clicked, this,
          [this] { run([this] { form_.ScarchBtn_Click(); }); });

  auto* label3 = new QLabel(QStringLiteral(u"転送データ"), client_);
  label3->setObjectName(QStringLiteral("Label3"));
  placeLabel(label3, twipsRect(120, 3960, 975, 255));

  text4_ = new QLineEdit(client_);
  text4_->setObjectName(QStringLiteral("Text4"));
  text4_->setGeometry(twipsRect(1320, 3840, 495, 495));
  text4_->setFont(gothic(18));
  text4_->setReadOnly(true);
  text4_->setAlignment(Qt::AlignCenter);

  image1_ = new QLabel(client_);
  image1_->setObjectName(QStringLiteral("Image1"));
  image1_->setGeometry(twipsRect(1920, 3840, 1440, 600));
  image1_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  image1_->setAlignment(Qt::AlignLeft | Qt::AlignTop);

  clsBtn2_ = addButton("ClsBtn2", form_.ClsBtn2.caption, twipsRect(4320, 3840, 600, 375));

  QMenu* file = menuBar()->addMenu(QStringLiteral(u"ﾌｧｲﾙ(&F)"));
  file->setObjectName(QStringLiteral("CMFILE"));
  cmLoadMmd_ = addMenuItem(file, "CMLOADMMD", form_.CMLOADMMD.caption);
  cmLoadImg_ = addMenuItem(file, "CMLOADIMG", form_.CMLOADIMG.caption);
  file->addSeparator();
  cmSaveMmd_ = addMenuItem(file, "CMSAVEMMD", form_.CMSAVEMMD.caption);
  cmSaveImg_ = addMenuItem(file, "CMSAVEIMG", form_.CMSAVEIMG.caption);
  file->addSeparator();
  loginStart_ = addMenuItem(file, "loginStartItem", form_.loginStartItem.caption);
  loginStart_->setCheckable(true);
  QMenu* help = menuBar()->addMenu(QStringLiteral(u"ﾍﾙﾌﾟ(&H)"));
  help->setObjectName(QStringLiteral("CMHELP"));
  cmHelpMenu_ = addMenuItem(help, "CMHELPMENU", form_.CMHELPMENU.caption);
  cmInfo_ = addMenuItem(help, "CMINFO", form_.CMINFO.caption);
  connect(file, &QMenu::aboutToShow, this, [this] {
    run([this] {
      form_.CMFILE_Click();
      form_.loginStartShown();
    });
  });

  const std::pair<QPushButton*, void (Form1::*)()> clicks[] = {
      {upBtn_, &Form1::UpBtn_Click},         {downBtn_, &Form1::DownBtn_Click},
      {clsBtn_, &Form1::ClsBtn_Click},       {funcBtn_, &Form1::FuncBtn_Click},
      {connBtn_, &Form1::ConnBtn_Click},     {cutBtn_, &Form1::CutBtn_Click},
      {reDialBtn_, &Form1::ReDialBtn_Click}, {clsBtn2_, &Form1::ClsBtn2_Click},
  };
  for (const auto& [button, handler] : clicks) {
    connect(button, &QPushButton::clicked, this,
            [this, h = handler] { run([this, h] { (form_.*h)(); }); });
  }
  for (std::size_t i = 0; i < numBtn_.size(); ++i) {
    const auto index = static_cast<std::int16_t>(i);
    connect(numBtn_[i], &QPushButton::clicked, this,
            [this, index] { run([this, index] { form_.NumBtn_Click(index); }); });
  }
  const std::pair<QAction*, void (Form1::*)()> items[] = {
      {cmLoadMmd_, &Form1::CMLOADMMD_Click},    {cmLoadImg_, &Form1::CMLOADIMG_Click},
      {cmSaveMmd_, &Form1::CMSAVEMMD_Click},    {cmSaveImg_, &Form1::CMSAVEIMG_Click},
      {cmHelpMenu_, &Form1::CMHELPMENU_Click},  {cmInfo_, &Form1::CMINFO_Click},
      {loginStart_, &Form1::loginStartClicked},
  };
  for (const auto& [action, handler] : items) {
    connect(action, &QAction::triggered, this,
            [this, h = handler] { run([this, h] { (form_.*h)(); }); });
  }

  label1->setBuddy(comNo_);
  nameControls();

  // Files dragged from the desktop onto the melody box and the picture box.
  for (QWidget* target : {static_cast<QWidget*>(text4_), static_cast<QWidget*>(image1_)}) {
    target->setAcceptDrops(true);
    target->installEventFilter(this);
  }

  // The client area is fixed; the window is as large as it and the menu bar.
  setFixedSize(client_->width(), client_->height() + menuBar()->sizeHint().height());
  refresh();
}

void Form1Window::nameControls() {
  // Each says what the control is, so the two "ｸﾘｱ" keys differ, and the
  // keys that show a symbol or a picture have words.
  const std::pair<QWidget*, const char16_t*> names[] = {
      {text2_, u"コマンド入力"},
      {command1_, u"コマンド送信"},
      {text3_, u"状態表示"},
      {upBtn_, u"前のメール"},
      {downBtn_, u"次のメール"},
      {clsBtn_, u"メールの消去"},
      {funcBtn_, u"ファンクション"},
      {connBtn_, u"通話"},
      {cutBtn_, u"切断"},
      {reDialBtn_, u"リダイヤル"},
      {numBtn_[10], u"アスタリスク"},
      {numBtn_[11], u"シャープ"},
      {comNo_, u"ポート番号"},
      {startBtn_, u"開始"},
      {stopBtn_, u"停止"},
      {scarchBtn_, u"モデムの自動検索"},
      {text4_, u"転送データのメロディー"},
      {image1_, u"転送データのイメージ"},
      {clsBtn2_, u"転送データのクリア"},
  };
  for (const auto& [control, name] : names) nameControl(control, QString::fromUtf16(name));
  for (std::size_t i = 0; i < 10; ++i) nameControl(numBtn_[i], QString::number(i));

  // Tab reads the window row by row, each from left to right.
  const auto& n = numBtn_;
  chainTabOrder({text2_,     command1_,                     // command line
                 text3_,     upBtn_,    downBtn_, clsBtn_,  // status box
                 funcBtn_,   n[0],      n[1],     n[2],       n[3],
                 connBtn_,   cutBtn_,                                // keypad, first row
                 reDialBtn_, n[4],      n[5],     n[6],       n[7],  // second row
                 n[8],       n[9],      n[10],    n[11],             // third row
                 comNo_,     startBtn_, stopBtn_, scarchBtn_,        // port
                 text4_,     clsBtn2_});                             // transfer data
}

QPushButton* Form1Window::addButton(const char* name, const Text& caption, const QRect& rect) {
  auto* b = new QPushButton(toQString(caption), client_);
  b->setObjectName(QString::fromLatin1(name));
  b->setGeometry(rect);
  b->setAutoDefault(false);
  pressOnReturn(b);
  return b;
}

QAction* Form1Window::addMenuItem(QMenu* menu, const char* name, const Text& caption) {
  QAction* a = menu->addAction(toQString(caption));
  a->setObjectName(QString::fromLatin1(name));
  return a;
}

}  // namespace ondrix
