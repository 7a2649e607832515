// SPDX-License-Identifier: GPL-3.0-or-later
// The Maildir on the disk: messages a mail parser nobody here wrote reads
// back as the records they came from, the modes and the empty tmp/, the
// faults that refuse a delivery, and the clean-up of stale tmp/ files.
#include "qt/maildir_archive.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <ctime>

#include "qt/qt_files.h"
#include "qt/qt_text.h"
#include "store/archive_message.h"
#include "store/base64.h"
#include "store/codecs.h"

namespace ondrix {
namespace {

std::string hex(const std::string& bytes) {
  std::string out;
  char two[3];
  for (unsigned char c : bytes) {
    std::snprintf(two, sizeof two, "%02x", c);
    out += two;
  }
  return out;
}

std::string hex(const Bytes& bytes) { return hex(std::string(bytes.begin(), bytes.end())); }

int modeOf(const QString& path) {
  struct stat st {};
  return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

std::optional<Bytes> fileBytes(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return std::nullopt;
  const QByteArray data = f.readAll();
  return Bytes(data.begin(), data.end());
}

// 8 x 2 pixels, as a terminal sends them.
const Bytes kTerminalImage = {'D', 'O', 'T', 0, 8, 0, 2, 0xFF, 0x81};

TEST(MaildirArchive, AMailReaderParsesEachRecordAsItCame) {
  const Text longLine = [] {
    Text t;
    for (int i = 0; i < 40; ++i) t += u"長い件名ｶﾅ😀 ";
    return t + u"終";
  }();
  const struct {
    const char* name;
    StoredRecord record;
    Text caller;  // as the reader shows it
    Text text;    // as the reader gives it: what UTF-8 cannot carry replaced
    const char* date;
  } cases[] = {
      {"mail with melody and picture",
       {RecordKind::Mail,
        {2026, 12, 8, 3, 4, 5, 9 * 3600},
        u"0123456789*12",
        u"こんにちは\r\n二行目です",
        u"<MEL=T120,C4D4E4>",
        encodeBase64(kTerminalImage)},
       u"0123456789*12",
       u"こんにちは\r\n二行目です",
       "2026-12-08T03:04:05+09:00"},
      {"text only",
       {RecordKind::Mail,
        {2024, 2, 29, 23, 59, 0, -(3 * 3600 + 1800)},
        u"0901234567",
        u"Hello\r\nworld\r\n",
        {},
        {}},
       u"0901234567",
       u"Hello\r\nworld\r\n",
       "2024-02-29T23:59:00-03:30"},
      {"voice message without a number",
       {RecordKind::Voice, {2026, 1, 1, 0, 0, 0, 0}, u"", u"CALL ME 5PM", {}, {}},
       Text(kUnknownCaller),
       u"CALL ME 5PM",
       "2026-01-01T00:00:00+00:00"},
      {"full- and half-width katakana, a unit that does not map",
       {RecordKind::Mail,
        {2026, 6, 30, 12, 0, 0, 9 * 3600},
        u"-",
        u"ｶﾀｶﾅ カタカナ \uFFFD x\xD800y\r\n\xDC00",
        {},
        {}},
       Text(kUnknownCaller),
       u"ｶﾀｶﾅ カタカナ \uFFFD x\uFFFDy\r\n\uFFFD",
       "2026-06-30T12:00:00+09:00"},
      {"a very long subject and lone line ends",
       {RecordKind::Mail,
        {2026, 12, 8, 3, 4, 5, 9 * 3600},
        u"0123",
        longLine + u"\nsecond\rthird",
        u"<MEL=C4>",
        {}},
       u"0123",
       longLine + u"\r\nsecond\r\nthird",
       "2026-12-08T03:04:05+09:00"},
  };

  QTemporaryDir dir;
  QtFiles files{toText(dir.path())};
  MaildirArchive archive;
  const Text program = files.programDirectory();
  std::string expectations;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const StoredRecord& r = c.record;
    // The attachments must be the working files the server writes.
    std::string melody, image;
    if (!r.melody.empty()) {
      ASSERT_TRUE(SaveMelodyFile(files, program + kWorkingMelodyFile, r.melody));
      melody = hex(*fileBytes(dir.filePath("melody.mmd")));
    }
    if (!r.image.empty()) {
      ASSERT_TRUE(SaveImageFile(files, program + kWorkingImageFile, r.image));
      image = hex(*fileBytes(dir.filePath("Image.bmp")));
    }
    const Text name = archive.uniqueName();
    const Text path = archive.deliver(program, name, archiveMessageFor(files, r, "x@y.invalid"));
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(modeOf(toQString(path)), 0600);
    const Text firstLine = c.text.substr(0, c.text.find_first_of(u"\r\n"));
    expectations += "{\"name\": \"" + std::string(c.name) + "\", \"file\": \"" + toUtf8(name) +
                    "\", \"caller\": \"" + hex(toUtf8(c.caller)) + "\", \"date\": \"" + c.date +
                    "\", \"subject\": \"" + hex(toUtf8(firstLine)) + "\", \"kind\": \"" +
                    (r.kind == RecordKind::Voice ? "voice" : "mail") + "\", \"text\": \"" +
                    hex(toUtf8(c.text)) + "\", \"melody\": \"" + melody + "\", \"image\": \"" +
                    image + "\"}\n";
  }
  for (const char* folder : {"Maildir", "Maildir/tmp", "Maildir/new", "Maildir/cur"}) {
    EXPECT_EQ(modeOf(dir.filePath(folder)), 0700) << folder;
  }
  EXPECT_TRUE(QDir(dir.filePath("Maildir/tmp")).isEmpty());

  QFile out(dir.filePath("expected.jsonl"));
  ASSERT_TRUE(out.open(QIODevice::WriteOnly));
  out.write(expectations.data(), static_cast<qint64>(expectations.size()));
  out.close();
  QProcess reader;
  reader.setProcessChannelMode(QProcess::MergedChannels);
  reader.start(QStringLiteral("python3"),
               {QStringLiteral(ONDRIX_SOURCE_DIR "/tests/qt/read_archive.py"),
                dir.filePath("Maildir"), out.fileName()});
  ASSERT_TRUE(reader.waitForFinished(60000));
  const QByteArray said = reader.readAll();
  EXPECT_EQ(reader.exitCode(), 0) << said.toStdString();
  EXPECT_TRUE(said.contains("5 messages read, 0 faults")) << said.toStdString();
}

// Whatever stands in the way, nothing reaches new/ and nothing is left in
// tmp/.
TEST(MaildirArchive, AFolderInTheWayRefusesTheDelivery) {
  const struct {
    const char* name;
    const char* file;  // made a plain file before the delivery
  } cases[] = {{"Maildir is a file", "Maildir"}, {"new/ is a file", "Maildir/new"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("Maildir/tmp"));
    if (std::string_view(c.file) == "Maildir") QDir(dir.filePath("Maildir")).removeRecursively();
    QFile blocker(dir.filePath(c.file));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    MaildirArchive archive;
    const Text program = toText(dir.path());
    EXPECT_TRUE(archive.exists(program));
    EXPECT_TRUE(archive.deliver(program, archive.uniqueName(), Bytes{'x', '\n'}).empty());
    const QDir tmp(dir.filePath("Maildir/tmp"));
    EXPECT_TRUE(!tmp.exists() || tmp.isEmpty());
  }
}

TEST(MaildirArchive, OnlyTmpFilesOlderThan36HoursAreRemoved) {
  QTemporaryDir dir;
  MaildirArchive archive;
  const Text program = toText(dir.path());
  EXPECT_FALSE(archive.exists(program));
  const Text delivered = archive.deliver(program, archive.uniqueName(), Bytes{'x', '\n'});
  ASSERT_FALSE(delivered.empty());
  const std::time_t now = std::time(nullptr);
  const struct {
    const char* file;
    std::time_t age;
    bool kept;
  } cases[] = {{"Maildir/tmp/stale", 37 * 3600, false},
               {"Maildir/tmp/recent", 35 * 3600, true},
               {"Maildir/cur/old-but-read", 400 * 24 * 3600, true}};
  for (const auto& c : cases) {
    QFile f(dir.filePath(c.file));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    const utimbuf times{now - c.age, now - c.age};
    ASSERT_EQ(::utime(QFile::encodeName(f.fileName()).constData(), &times), 0);
  }
  archive.removeStaleTemporaries(program);
  for (const auto& c : cases) EXPECT_EQ(QFile::exists(dir.filePath(c.file)), c.kept) << c.file;
  EXPECT_TRUE(QFile::exists(toQString(delivered)));
}

}  // namespace
}  // namespace ondrix
