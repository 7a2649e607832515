// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main window's controls as plain data. Handlers change these; the window
// copies them into its widgets after every handler, and tests read them.
#include <cstdint>

#include "core/text.h"

namespace ondrix {

enum class Background : std::int16_t { Window, ButtonFace };

struct TextBoxModel {
  Text text;
  bool enabled = true;
  // Caret (selection start) in characters from the start of the text.
  std::int32_t caret = 0;
  Background background = Background::Window;
};

struct ButtonModel {
  Text caption;
  bool enabled = true;
};

struct MenuItemModel {
  Text caption;
  bool enabled = true;
};

// A menu item that shows a check mark.
struct CheckMenuItemModel : MenuItemModel {
  bool checked = false;
};

// The picture itself goes to the box through the desktop, which says
// whether the box took it; this is the record of what the box was given.
struct PictureBoxModel {
  // Path of the bitmap shown; empty when the box shows no picture.
  Text picturePath;
  // Counts the loads into the box, clearing included.
  std::uint32_t loads = 0;
};

struct Form1Controls {
  TextBoxModel Text2;  // command line
  ButtonModel Command1{u"送信"};
  TextBoxModel Text3{{}, true, 0, Background::ButtonFace};  // status box
  ButtonModel UpBtn{u"▲"};
  ButtonModel DownBtn{u"▼"};
  ButtonModel ClsBtn{u"ｸﾘｱ"};
  ButtonModel FuncBtn{u"F", false};
  ButtonModel ConnBtn{u"通"};
  ButtonModel CutBtn{u"切"};
  ButtonModel ReDialBtn{u""};
  TextBoxModel ComNo{u"1"};  // port box
  ButtonModel StartBtn{u"開始"};
  ButtonModel StopBtn{u"停止", false};
  ButtonModel ScarchBtn{u"自動検索"};
  TextBoxModel Text4{{}, true, 0, Background::ButtonFace};  // melody indicator
  PictureBoxModel Image1;
  ButtonModel ClsBtn2{u"ｸﾘｱ"};

  MenuItemModel CMLOADMMD{u"ﾒﾛﾃﾞｨｰ読込み"};
  MenuItemModel CMLOADIMG{u"ｲﾒｰｼﾞ読込み"};
  MenuItemModel CMSAVEMMD{u"ﾒﾛﾃﾞｨｰ保存", false};
  MenuItemModel CMSAVEIMG{u"ｲﾒｰｼﾞ保存", false};
  // The File menu's last item, after a separator: checked while the desktop
  // starts the server at login.
  CheckMenuItemModel loginStartItem{{u"ログイン時に自動起動"}};
  MenuItemModel CMHELPMENU{u"目次(&C)"};
  MenuItemModel CMINFO{u"バージョン情報(&A)"};
};

}  // namespace ondrix
