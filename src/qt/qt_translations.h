// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Qt's own texts (file dialogs, message box buttons, the text boxes' context
// menus) in Japanese, as every other text of the windows is.
#include <QString>

class QTranslator;

namespace ondrix {

// Installs Qt's Japanese translations ("qtbase_ja") from `directory`, Qt's
// translations directory when empty, whatever the session's locale. Returns
// the translator, owned by the application, or nullptr when the file is
// missing or unreadable: Qt's English texts then stay.
QTranslator* installJapaneseQtTexts(const QString& directory = {});

}  // namespace ondrix
