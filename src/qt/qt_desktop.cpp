// SPDX-License-Identifier: GPL-3.0-or-later
// Desktop services through Qt: dialogs, message box, help viewer, player,
// and the operator's windows besides the main one.
#include "qt/qt_desktop.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QImage>
#include <QMessageBox>
#include <QProcess>
#include <QTimer>
#include <QUrl>

#include "qt/child_start.h"
#include "qt/form2_window.h"
#include "qt/form_help_window.h"
#include "qt/qt_files.h"
#include "qt/qt_text.h"

namespace ondrix {

QStringList qtNameFilters(const Text& filter) {
  const QStringList parts = toQString(filter).split(QLatin1Char('|'));
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    const QString& description = parts[i];
    QString patterns = parts[i + 1];
    patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
    // Qt takes the patterns from the parentheses at the end; a description
    // that already ends in them is used as it stands.
    const QString tail = QLatin1Char('(') + patterns + QLatin1Char(')');
    filters << (description.endsWith(tail) ? description : description + QLatin1Char(' ') + tail);
  }
  return filters;
}

QtDesktop::~QtDesktop() {
  delete form2_.data();
  delete formHelp_.data();
}

QString QtDesktop::nativePath(const Text& path) const {
  return files_ != nullptr ? files_->nativePath(path) : toQString(path);
}

Form2Window* QtDesktop::preview() const { return form2_.data(); }
FormHelpWindow* QtDesktop::about() const { return formHelp_.data(); }

void runMessageBox(const QString& text, QWidget* owner,
                   const std::function<void(QWidget&)>& shown) {
  QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Ondrix Server"), text, QMessageBox::Ok,
                  owner);
  if (shown) QTimer::singleShot(0, &box, [&box, &shown] { shown(box); });
  box.exec();
}

void QtDesktop::messageBox(const Text& message) {
  runMessageBox(toQString(message), owner_.data());
}

std::optional<Text> QtDesktop::fileDialog(const FileDialogSetup& setup, bool save) {
  QFileDialog dialog(owner_.data(), toQString(setup.title));
  dialog.setObjectName(QStringLiteral("CommonDialog1"));
  // Qt's own dialog speaks the Japanese of the installed translations; a
  // desktop's dialog would follow the session's locale instead.
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode((setup.flags & kDialogFileMustExist) != 0 ? QFileDialog::ExistingFile
                                                               : QFileDialog::AnyFile);
  // A save replaces the chosen file without asking unless the caller asks.
  dialog.setOption(QFileDialog::DontConfirmOverwrite, (setup.flags & kDialogOverwritePrompt) == 0);
  const QStringList filters = qtNameFilters(setup.filter);
  if (!filters.isEmpty()) dialog.setNameFilters(filters);
  dialog.selectFile(QString());
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty() || chosen.first().isEmpty()) return std::nullopt;
  return toText(QDir::toNativeSeparators(chosen.first()));
}

std::optional<Text> QtDesktop::openFileDialog(const FileDialogSetup& setup) {
  return fileDialog(setup, false);
}

std::optional<Text> QtDesktop::saveFileDialog(const FileDialogSetup& setup) {
  return fileDialog(setup, true);
}

void QtDesktop::openHelp(const Text& path) {
  QDesktopServices::openUrl(QUrl::fromLocalFile(nativePath(path)));
}

bool QtDesktop::startProgram(const Text& commandLine, const Text& argument) {
  // No shell, and no look at the file system here: the child tries each
  // way in turn, so a slow or hung file system never stalls the window.
  const QString line = toQString(commandLine);
  if (line.trimmed().isEmpty()) return false;
  const auto encoded = [](const QString& s) { return QFile::encodeName(s).toStdString(); };
  // The melody file is one argument, whatever blanks it holds.
  const std::string file = encoded(nativePath(argument));
  child::Launch launch;
  // A line that is the path of a program is that program, blanks and all:
  // the settings file keeps such a path whole between its quotes, while
  // quotes of the line's own become ” when the file is saved.
  launch.attempts.push_back({encoded(line), {encoded(line), file}});
  // Else split as a desktop splits a command line, ” grouping as the double
  // quote it was saved for, the program looked for as execvp would.
  QString split = line;
  split.replace(QChar(0x201D), QLatin1Char('"'));
  std::vector<std::string> argv;
  for (const QString& part : QProcess::splitCommand(split)) argv.push_back(encoded(part));
  if (!argv.empty()) {
    argv.push_back(file);
    const QString program = QFile::decodeName(argv.front().c_str());
    QStringList folders{QString()};
    if (!program.contains(QLatin1Char('/'))) {
      folders = QString::fromLocal8Bit(qgetenv("PATH")).split(QLatin1Char(':'));
    }
    for (const QString& folder : folders) {
      const QString path = folder.isEmpty() ? program : folder + QLatin1Char('/') + program;
      launch.attempts.push_back({encoded(path), argv});
    }
  }
  const pid_t started = child::startDetached(launch, -1);
  if (started < 0) return false;
  child::reapSoon(started);
  return true;
}

bool QtDesktop::showPicture(const Text& bitmapPath) {
  QImage picture;
  // Read through QImage: a pixmap loaded by name is cached by name, second
  // and size, which would show the old picture of a file rewritten within
  // the same second.
  if (!bitmapPath.empty()) picture.load(nativePath(bitmapPath));
  if (pictureBox_ != nullptr) {
    if (picture.isNull()) {
      pictureBox_->clear();
    } else {
      pictureBox_->setPixmap(QPixmap::fromImage(picture));
    }
  }
  return bitmapPath.empty() || !picture.isNull();
}

void QtDesktop::showPreview(const Text& bitmapPath) {
  if (form2_ == nullptr) form2_ = new Form2Window;
  form2_->form_show(nativePath(bitmapPath), owner_.data());
}

void QtDesktop::showAbout() {
  if (formHelp_ == nullptr) formHelp_ = new FormHelpWindow;
  formHelp_->Start(owner_.data());
}

}  // namespace ondrix
