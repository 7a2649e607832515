// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt/qt_files.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <filesystem>
#include <system_error>

#include "qt/qt_cp932.h"
#include "qt/qt_text.h"

namespace ondrix {

namespace {

bool canWriteIn(const QString& dir) {
  QTemporaryFile probe(dir + QStringLiteral("/.ondrix-write-probe-XXXXXX"));
  return probe.open();
}

// The per-user data directory, made when missing; empty when it cannot be.
QString userDataDirectory() {
  const QString dataDir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
  if (dataDir.isEmpty() || !QDir().mkpath(dataDir)) return {};
  return dataDir;
}

Text defaultProgramDirectory() {
  const QString appDir = QCoreApplication::applicationDirPath();
  if (!appDir.isEmpty() && canWriteIn(appDir)) return toText(QDir::toNativeSeparators(appDir));
  const QString dataDir = userDataDirectory();
  if (!dataDir.isEmpty()) return toText(QDir::toNativeSeparators(dataDir));
  return toText(QDir::toNativeSeparators(appDir));
}

std::optional<QByteArray> readAll(const QString& native) {
  QFile file(native);
  if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
  QByteArray data = file.readAll();
  if (file.error() != QFileDevice::NoError) return std::nullopt;
  return data;
}

// Writes a temporary file beside the target and renames it over the target,
// so a failure at any point leaves the old file as it was. Unless `synced` is
// false, the data is on the disk before the rename, so not even a power cut
// can leave an empty file where the mail store was.
bool replaceWith(const QString& native, const QByteArray& data, bool synced = true) {
  if (!synced) {
    // A plain file, so it gets the usual permissions (a temporary file's
    // are the owner's only); the process id keeps two servers apart.
    const QString temp = native + QStringLiteral(".%1.tmp").arg(QCoreApplication::applicationPid());
    QFile::remove(temp);  // left over from a process that was killed
    QFile file(temp);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly) || file.write(data) != data.size() ||
        !file.flush()) {
      file.close();
      QFile::remove(temp);
      return false;
    }
    file.close();
    std::error_code ec;
    std::filesystem::rename(QFile::encodeName(temp).toStdString(),
                            QFile::encodeName(native).toStdString(), ec);
    if (ec) QFile::remove(temp);
    return !ec;
  }
  QSaveFile file(native);
  if (!file.open(QIODevice::WriteOnly)) return false;
  if (file.write(data) != data.size()) {
    file.cancelWriting();
    return false;
  }
  return file.commit();
}

}  // namespace

QtFiles::QtFiles() : programDir_(defaultProgramDirectory()) {}

QtFiles::QtFiles(Text programDirectory) : programDir_(std::move(programDirectory)) {}

QString QtFiles::nativePath(const Text& path) const {
  for (const Text* directory : {&programDir_, &fallbackDir_}) {
    const std::size_t n = directory->size();
    if (n == 0 || path.size() <= n + 1 || path.compare(0, n, *directory) != 0 || path[n] != u'\\') {
      continue;
    }
    const QString name = toQString(TextView(path).substr(n + 1));
    if (name.contains(QLatin1Char('\\')) || name.contains(QLatin1Char('/'))) continue;

    const QDir dir(QDir::fromNativeSeparators(toQString(*directory)));
    const QString exact = dir.filePath(name);
    if (QFileInfo::exists(exact)) return exact;
    // Sorted, so the same entry wins every time when several differ in case.
    const QStringList entries = dir.entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& entry : entries) {
      if (entry.compare(name, Qt::CaseInsensitive) == 0) return dir.filePath(entry);
    }
    return exact;
  }
  return toQString(path);
}

std::optional<Text> QtFiles::readText(const Text& path) {
  const auto data = readAll(nativePath(path));
  if (!data) return std::nullopt;
  Cp932Decoder decoder;
  return toText(decoder.decode(*data));
}

bool QtFiles::writeText(const Text& path, const Text& text) {
  return replaceWith(nativePath(path),
                     encodeCp932(QStringView(text.data(), static_cast<qsizetype>(text.size()))));
}

bool QtFiles::writeWorkingText(const Text& path, const Text& text) {
  return replaceWith(nativePath(path),
                     encodeCp932(QStringView(text.data(), static_cast<qsizetype>(text.size()))),
                     /*synced=*/false);
}

bool QtFiles::writeWorkingBytes(const Text& path, const Bytes& bytes) {
  const QByteArray data(reinterpret_cast<const char*>(bytes.data()),
                        static_cast<qsizetype>(bytes.size()));
  return replaceWith(nativePath(path), data, /*synced=*/false);
}

std::optional<Bytes> QtFiles::readBytes(const Text& path) {
  const auto data = readAll(nativePath(path));
  if (!data) return std::nullopt;
  return Bytes(data->begin(), data->end());
}

bool QtFiles::writeBytes(const Text& path, const Bytes& bytes) {
  const QByteArray data(reinterpret_cast<const char*>(bytes.data()),
                        static_cast<qsizetype>(bytes.size()));
  return replaceWith(nativePath(path), data);
}

bool QtFiles::copy(const Text& from, const Text& to) {
  const auto data = readAll(nativePath(from));
  if (!data) return false;
  return replaceWith(nativePath(to), *data);
}

Text QtFiles::fallbackDirectory() {
  fallbackDir_ = toText(QDir::toNativeSeparators(userDataDirectory()));
  return fallbackDir_;
}

bool QtFiles::exists(const Text& path) { return QFileInfo::exists(nativePath(path)); }

bool QtFiles::isDirectory(const Text& path) { return QFileInfo(nativePath(path)).isDir(); }

void QtFiles::setCurrentDirectory(const Text& path) { QDir::setCurrent(nativePath(path)); }

}  // namespace ondrix
