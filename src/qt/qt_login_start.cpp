// SPDX-License-Identifier: GPL-3.0-or-later
// The start at login through the desktop's autostart folder.
#include "qt/qt_login_start.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "qt/qt_text.h"

namespace ondrix {

namespace {

// The entry's name is the desktop entry's, so desktops show its icon.
constexpr char kEntryName[] = "org.example.ondrix.server.desktop";
// An entry is a few lines; anything longer is read only this far.
constexpr qint64 kEntryReadLimit = 64 * 1024;

// Makes `path` and any missing parent, each new one the user's alone, as
// a configuration folder is.
bool makeFolders(const QString& path) {
  const QFileInfo info(path);
  if (info.isDir()) return true;
  if (info.exists() || info.isSymLink()) return false;
  const QString parent = info.absolutePath();
  if (parent == path || !makeFolders(parent)) return false;
  return QDir().mkdir(path,
                      QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

}  // namespace

QString QtLoginStart::entryPath(const QString& folder) {
  // A relative value is to be ignored, as an unset one.
  QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
  if (config.isEmpty() || QDir::isRelativePath(config)) config = QDir::homePath() + "/.config";
  QString name = QLatin1String(kEntryName);
  if (!folder.isEmpty()) {
    const QByteArray hash =
        QCryptographicHash::hash(QFile::encodeName(folder), QCryptographicHash::Sha256);
    name.insert(name.size() - 8, QLatin1Char('-') + QString::fromLatin1(hash.toHex().left(12)));
  }
  return config + "/autostart/" + name;
}

Text QtLoginStart::dataFolder() { return toText(folder_); }

LoginEntryPlace QtLoginStart::look(Bytes& content) {
  content.clear();
  const QFileInfo info(entryPath(folder_));
  if (!info.exists()) return LoginEntryPlace::Free;
  // Anything that is no file (a folder, a pipe that would block the read)
  // stands in the way and is never removed.
  if (!info.isFile()) return LoginEntryPlace::Folder;
  QFile file(info.filePath());
  if (file.open(QIODevice::ReadOnly)) {
    const QByteArray bytes = file.read(kEntryReadLimit);
    content.assign(bytes.begin(), bytes.end());
  }
  return LoginEntryPlace::Entry;
}

// The executable's own path, so a copy started from a folder of its own
// starts that copy again.
Text QtLoginStart::programPath() { return toText(QCoreApplication::applicationFilePath()); }

bool QtLoginStart::write(const Bytes& entry) {
  const QString path = entryPath(folder_);
  if (!makeFolders(QFileInfo(path).absolutePath())) return false;
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return false;
  // The user's own configuration: readable, and writable by the user alone
  // whatever the umask, since a desktop runs what it says.
  file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                      QFileDevice::ReadOther);
  const auto size = static_cast<qint64>(entry.size());
  if (file.write(reinterpret_cast<const char*>(entry.data()), size) != size) {
    file.cancelWriting();
    return false;
  }
  return file.commit();
}

bool QtLoginStart::remove() {
  const QString path = entryPath(folder_);
  QFile::remove(path);
  const QFileInfo info(path);
  return !info.exists() && !info.isSymLink();
}

}  // namespace ondrix
