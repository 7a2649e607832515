#include "platform/qt/form1_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDropEvent>
#include <QFont>
#include <QFrame>
#include <QImage>
#include <QKeyEvent>
#include <QRegularExpressionValidator>
#include <QMouseEvent>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextCursor>
#include <QUrl>
#include <QWindow>
#include <algorithm>

#include "platform/qt/qt_files.h"
#include "platform/qt/qt_text.h"
#include "state/form1.h"

namespace ondrix {

namespace {

const QString kGothic = QStringLiteral(u"ＭＳ ゴシック");
// The proportional face of the desktop's dialogs.
const QString kUiGothic = QStringLiteral("MS UI Gothic");

QFont gothic(int points) {
  QFont f(kGothic);
  f.setPointSize(points);
  f.setStyleHint(QFont::TypeWriter);
  return f;
}

QColor backgroundColour(Background b) {
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

// Key codes of the keys the port box filters and of the ordinary keys, as
// the handlers know them; 0 for keys they have no code for.
std::int16_t keyCodeOf(int qtKey) {
  if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) return static_cast<std::int16_t>(qtKey);
  if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) return static_cast<std::int16_t>(qtKey);
  if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24) {
    return static_cast<std::int16_t>(112 + (qtKey - Qt::Key_F1));
  }
  switch (qtKey) {
    case Qt::Key_Backspace:
      return kKeyBack;
    case Qt::Key_Tab:
      return 9;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return 13;
    case Qt::Key_Escape:
      return 27;
    case Qt::Key_Space:
      return 32;
    case Qt::Key_PageUp:
      return 33;
    case Qt::Key_PageDown:
      return 34;
    case Qt::Key_End:
      return 35;
    case Qt::Key_Home:
      return 36;
    case Qt::Key_Left:
      return 37;
    case Qt::Key_Up:
      return kKeyUp;
    case Qt::Key_Right:
      return 39;
    case Qt::Key_Down:
      return kKeyDown;
    case Qt::Key_Insert:
      return 45;
    case Qt::Key_Delete:
      return kKeyDelete;
    default:
      return 0;
  }
}

std::int16_t shiftOf(Qt::KeyboardModifiers m) {
  std::int16_t s = 0;
  if (m & Qt::ShiftModifier) s |= 1;
  if (m & Qt::ControlModifier) s |= 2;
  if (m & Qt::AltModifier) s |= 4;
  return s;
}

}  // namespace

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
  comNo_->setValidator(
      new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[1-9]")), comNo_));

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
  QMenu* help = menuBar()->addMenu(QStringLiteral(u"ﾍﾙﾌﾟ(&H)"));
  help->setObjectName(QStringLiteral("CMHELP"));
  cmHelpMenu_ = addMenuItem(help, "CMHELPMENU", form_.CMHELPMENU.caption);
  cmInfo_ = addMenuItem(help, "CMINFO", form_.CMINFO.caption);
  connect(file, &QMenu::aboutToShow, this, [this] { run([this] { form_.CMFILE_Click(); }); });

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
      {cmLoadMmd_, &Form1::CMLOADMMD_Click},   {cmLoadImg_, &Form1::CMLOADIMG_Click},
      {cmSaveMmd_, &Form1::CMSAVEMMD_Click},   {cmSaveImg_, &Form1::CMSAVEIMG_Click},
      {cmHelpMenu_, &Form1::CMHELPMENU_Click}, {cmInfo_, &Form1::CMINFO_Click},
  };
  for (const auto& [action, handler] : items) {
    connect(action, &QAction::triggered, this,
            [this, h = handler] { run([this, h] { (form_.*h)(); }); });
  }

  // Files dragged from the desktop onto the melody box and the picture box.
  for (QWidget* target : {static_cast<QWidget*>(text4_), static_cast<QWidget*>(image1_)}) {
    target->setAcceptDrops(true);
    target->installEventFilter(this);
  }

  // The client area is fixed; the window is as large as it and the menu bar.
  setFixedSize(client_->width(), client_->height() + menuBar()->sizeHint().height());
  refresh();
}

QPushButton* Form1Window::addButton(const char* name, const Text& caption, const QRect& rect) {
  auto* b = new QPushButton(toQString(caption), client_);
  b->setObjectName(QString::fromLatin1(name));
  b->setGeometry(rect);
  b->setAutoDefault(false);
  return b;
}

QAction* Form1Window::addMenuItem(QMenu* menu, const char* name, const Text& caption) {
  QAction* a = menu->addAction(toQString(caption));
  a->setObjectName(QString::fromLatin1(name));
  return a;
}

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

void Form1Window::applyPicture() {
  // Only a change of the model touches the file; refreshes come every tick.
  const PictureBoxModel& model = form_.Image1;
  if (model.picturePath == picturePath_ && model.loads == pictureLoads_) return;
  picturePath_ = model.picturePath;
  pictureLoads_ = model.loads;
  if (picturePath_.empty()) {
    image1_->clear();
  } else {
    // A missing or unreadable file shows as no picture. Read through QImage:
    // a pixmap loaded by name is cached by name, second and size, which would
    // show the old picture of a file rewritten within the same second.
    const QImage picture(QtFiles::nativePath(picturePath_));
    if (picture.isNull()) {
      image1_->clear();
    } else {
      image1_->setPixmap(QPixmap::fromImage(picture));
    }
  }
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
  applyPicture();

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
      {cmLoadMmd_, &form_.CMLOADMMD},   {cmLoadImg_, &form_.CMLOADIMG},
      {cmSaveMmd_, &form_.CMSAVEMMD},   {cmSaveImg_, &form_.CMSAVEIMG},
      {cmHelpMenu_, &form_.CMHELPMENU}, {cmInfo_, &form_.CMINFO},
  };
  for (const auto& [action, model] : items) {
    action->setEnabled(model->enabled);
    const QString caption = toQString(model->caption);
    if (action->text() != caption) action->setText(caption);
  }
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
