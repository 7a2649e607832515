// SPDX-License-Identifier: GPL-3.0-or-later
// Qt's Japanese translations, loaded at start whatever the locale.
#include "qt/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace ondrix {

QTranslator* installJapaneseQtTexts(const QString& directory) {
  const QString dir =
      directory.isEmpty() ? QLibraryInfo::path(QLibraryInfo::TranslationsPath) : directory;
  auto* translator = new QTranslator(QCoreApplication::instance());
  // Loaded by its own name: loading by locale would follow the session's.
  if (!translator->load(QStringLiteral("qtbase_ja"), dir) ||
      !QCoreApplication::installTranslator(translator)) {
    delete translator;
    return nullptr;
  }
  return translator;
}

}  // namespace ondrix
