// SPDX-License-Identifier: GPL-3.0-or-later
// The data folder of the command line, and the requests a start hands to
// the server serving that folder over its channel.
#include "qt/start_requests.h"

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "qt/form1_window.h"
#include "qt/qt_files.h"
#include "qt/qt_text.h"
#include "state/form1.h"
#include "store/offer_file.h"

namespace ondrix {

namespace {

// A reply is quick; a server asked to end answers once it has written its
// files and let the folder go.
constexpr int kReplyWaitMs = 10000;
constexpr int kEndWaitMs = 30000;

// Makes `dir` and its missing parents, each the owner's alone: the folder
// holds the callers' mail.
bool makePrivateFolder(const QString& dir) {
  const QFileInfo info(dir);
  if (info.isDir()) return true;
  const QString parent = info.absolutePath();
  if (parent != info.absoluteFilePath() && !makePrivateFolder(parent)) return false;
  const QByteArray native = QFile::encodeName(info.absoluteFilePath());
  if (::mkdir(native.constData(), 0700) == 0) return ::chmod(native.constData(), 0700) == 0;
  return errno == EEXIST && QFileInfo(dir).isDir();
}

std::vector<Text> texts(const std::vector<std::string>& paths) {
  std::vector<Text> out;
  for (const std::string& p : paths) {
    out.push_back(toText(QFile::decodeName(QByteArray::fromStdString(p))));
  }
  return out;
}

// The server has a folder of its own: a relative path means the start's.
std::string absolute(const std::string& file) {
  return QFile::encodeName(QDir::current().absoluteFilePath(QFile::decodeName(file.c_str())))
      .toStdString();
}

void print(bool ok, const std::string& text) { std::fputs(text.c_str(), ok ? stdout : stderr); }

// The request's files, refused as a whole when one is a pipe, a socket or a
// device: reading it would hold the window's thread until someone writes.
bool offerOrRefuse(Form1& form, const std::vector<std::string>& files, std::string& reply) {
  const std::vector<Text> paths = texts(files);
  std::string refused;
  for (const Text& path : paths) {
    const QFileInfo info(toQString(path));
    if (info.exists() && !info.isDir() && !info.isFile()) {
      refused += toUtf8(path) + ": not a file that can be read whole\n";
    }
  }
  if (refused.empty()) return form.offerFiles(paths, reply);
  reply = refused + "nothing changed\n" + offerListing(form);
  return false;
}

}  // namespace

QString dataFolder(const StartOptions& options) {
  if (!options.dir) return QDir::fromNativeSeparators(toQString(defaultProgramDirectory()));
  const QString folder =
      QDir::cleanPath(QDir::current().absoluteFilePath(QFile::decodeName(options.dir->c_str())));
  if (!makePrivateFolder(folder)) {
    std::fprintf(stderr, "ondrix-server: cannot make the folder %s: %s\n",
                 QFile::encodeName(folder).constData(), std::strerror(errno));
    return {};
  }
  return folder;
}

int askServingServer(const StoreLock& lock, const StartOptions& options) {
  std::vector<std::string> files;
  for (const std::string& file : options.files) {
    if (file.find('\n') != std::string::npos) {
      std::fprintf(stderr, "ondrix-server: a path with a line break cannot be offered: %s\n",
                   file.c_str());
      return 1;
    }
    files.push_back(absolute(file));
  }
  const bool quit = options.request == StartRequest::Quit;
  const auto reply =
      lock.ask(encodeRequest(options.request, files), quit ? kEndWaitMs : kReplyWaitMs);
  const auto answer = reply ? decodeReply(*reply) : std::nullopt;
  if (!answer) {
    std::fprintf(stderr, "ondrix-server: the server serving the folder did not answer%s\n",
                 reply ? " (an older server takes no requests)" : "");
    return 1;
  }
  print(answer->ok, answer->text);
  return answer->ok ? 0 : 1;
}

StoreLock::Reply answerStartRequest(Form1& form, Form1Window& window, const std::string& request) {
  StartRequest verb = StartRequest::None;
  std::vector<std::string> files;
  if (!decodeRequest(request, verb, files)) {
    return {encodeReply(false, "a request this server does not know\n")};
  }
  switch (verb) {
    case StartRequest::Offer:
    case StartRequest::Withdraw: {
      std::string text;
      const bool ok = offerOrRefuse(form, files, text);
      window.refresh();
      return {encodeReply(ok, text)};
    }
    case StartRequest::Offered:
      return {encodeReply(true, offerListing(form))};
    case StartRequest::Quit:
      // Once the reply is out, as the close button would; the client
      // waits until the server has ended.
      QTimer::singleShot(0, &window, [&window] { window.close(); });
      return {encodeReply(true, "the server is ending\n"), true};
    case StartRequest::None:
      break;
  }
  return {encodeReply(false, "an empty request\n")};
}

bool offerAtStart(Form1& form, const StartOptions& options) {
  if (options.request != StartRequest::Offer && options.request != StartRequest::Withdraw) {
    return true;
  }
  std::vector<std::string> files;
  for (const std::string& file : options.files) files.push_back(absolute(file));
  std::string text;
  const bool ok = offerOrRefuse(form, files, text);
  print(ok, text);
  return ok;
}

}  // namespace ondrix
