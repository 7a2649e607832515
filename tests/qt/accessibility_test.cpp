// What a screen reader and the keyboard find in the three windows, offscreen.
#include <gmock/gmock.h>

#include <QAccessible>
#include <QImage>
#include <QTemporaryDir>
#include <map>

#include "form1_harness.h"
#include "qt/form1_window.h"
#include "qt/form2_window.h"
#include "qt/form_help_window.h"
#include "qt/qt_desktop.h"
#include "qt/qt_text.h"

namespace ondrix {
namespace {

struct AccessibilityTest : ::testing::Test {
  Harness<> h;
  Form1Window window{h.form};
};

// The controls a screen reader stops at, as "path=name" by role.
void collectControls(QAccessibleInterface* iface, const QString& path,
                     std::multimap<QAccessible::Role, QString>& out) {
  for (int i = 0; i < iface->childCount(); ++i) {
    QAccessibleInterface* child = iface->child(i);
    const QString where = path + QLatin1Char('/') + child->object()->objectName();
    const QAccessible::Role role = child->role();
    if (role == QAccessible::PushButton || role == QAccessible::EditableText ||
        role == QAccessible::StaticText || role == QAccessible::Graphic) {
      out.emplace(role, where + QLatin1Char('=') + child->text(QAccessible::Name));
    }
    if (role != QAccessible::ScrollBar && role != QAccessible::MenuBar) {
      collectControls(child, where, out);
    }
  }
}

TEST_F(AccessibilityTest, EveryControlOfTheThreeWindowsIsNamedAndNoTwoButtonsShareAName) {
  QTemporaryDir dir;
  const QString picture = dir.filePath(QStringLiteral("Image.bmp"));
  ASSERT_TRUE(QImage(16, 8, QImage::Format_Mono).save(picture, "BMP"));
  QtDesktop desktop;
  desktop.setOwner(&window);
  desktop.showPreview(toText(picture));
  desktop.showAbout();
  std::multimap<QAccessible::Role, QString> controls;
  for (QWidget* w : {static_cast<QWidget*>(&window), static_cast<QWidget*>(desktop.preview()),
                     static_cast<QWidget*>(desktop.about())}) {
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w);
    EXPECT_FALSE(iface->text(QAccessible::Name).isEmpty()) << qPrintable(w->objectName());
    collectControls(iface, w->objectName(), controls);
  }
  // The main window's 31 controls, the preview's picture, the about box's 3.
  EXPECT_EQ(controls.size(), 35u);
  std::map<QString, QString> buttons;  // name -> the first button with it
  for (const auto& [role, control] : controls) {
    const QString name = control.section(QLatin1Char('='), 1);
    EXPECT_FALSE(name.trimmed().isEmpty()) << qPrintable(control);
    if (role != QAccessible::PushButton) continue;
    EXPECT_TRUE(buttons.emplace(name, control).second)
        << qPrintable(control) << " and " << qPrintable(buttons[name]);
  }
  for (const char16_t* name : {u"前のメール", u"次のメール", u"リダイヤル"}) {
    EXPECT_EQ(buttons.count(QString::fromUtf16(name)), 1u) << qPrintable(QString::fromUtf16(name));
  }
  EXPECT_EQ(window.findChild<QWidget*>(QStringLiteral("UpBtn"))->toolTip(),
            QStringLiteral(u"前のメール"));
}

// Tab from control to control: the next one stands to the right in the
// same row, or in a row below; every control that takes the focus once.
TEST_F(AccessibilityTest, TabReadsTheWindowRowByRowFromLeftToRight) {
  QWidget* client = window.centralWidget();
  const auto takesTab = [client](QWidget* w) {
    return w->parentWidget() == client && (w->focusPolicy() & Qt::TabFocus) != 0;
  };
  std::vector<QWidget*> chain;
  for (QWidget* w = client->nextInFocusChain(); w != client; w = w->nextInFocusChain()) {
    if (takesTab(w)) chain.push_back(w);
  }
  const QList<QWidget*> all = client->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
  EXPECT_EQ(chain.size(),
            static_cast<std::size_t>(std::count_if(all.begin(), all.end(), takesTab)));
  for (std::size_t i = 1; i < chain.size(); ++i) {
    const QRect a = chain[i - 1]->geometry(), b = chain[i]->geometry();
    const bool inRow = b.top() <= a.bottom() && b.bottom() >= a.top() && b.left() > a.right();
    EXPECT_TRUE(inRow || b.center().y() > a.bottom())
        << qPrintable(chain[i - 1]->objectName() + QStringLiteral(" -> ") + chain[i]->objectName());
  }
}

}  // namespace
}  // namespace ondrix
