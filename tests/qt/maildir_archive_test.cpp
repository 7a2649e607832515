// SPDX-License-Identifier: GPL-3.0-or-later
// The Maildir on the disk: messages that Python's mail parser reads back as
// the records they came from, the modes, the empty tmp/, the clean-up of
// stale tmp/ files and a Maildir in the way.
#include "qt/maildir_archive.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <ctime>

#include "qt/qt_files.h"
#include "qt/qt_text.h"
#include "records/archive_ledger.h"
#include "store/archive_message.h"
#include "store/base64.h"
#include "store/codecs.h"

namespace ondrix {
namespace {

int modeOf(const QString& path) {
  struct stat st {};
  return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

QString hexOfFile(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? QString::fromLatin1(f.readAll().toHex()) : QString();
}

TEST(MaildirArchive, AMailReaderParsesEachRecordAsItCame) {
  Text longLine;
  for (int i = 0; i < 40; ++i) longLine += u"長い件名ｶﾀｶﾅ😀 \uFFFD ";
  const Text image = encodeBase64({'D', 'O', 'T', 0, 8, 0, 2, 0xFF, 0x81});
  const Text bank = u"=?UTF-8?B?QmFuayBTZWN1cml0eQ==?=";
  const Text escapes = u"\x1b[2JHi\tthere\x7f\u009b1m\r\n\x1b]0;title\a";
  const LocalTime march{2026, 3, 1, 9, 0, 0, 0};
  const char* day = "2026-03-01T09:00:00+00:00";
  const struct {
    StoredRecord record;
    Text caller;  // as the reader shows it
    Text text;    // as the reader gives it: what UTF-8 cannot carry replaced
    const char* date;
    Text subject = text.substr(0, text.find_first_of(u"\r\n"));  // as the reader shows it
  } cases[] = {
      {{RecordKind::Mail,
        {2026, 12, 8, 3, 4, 5, 9 * 3600},
        u"0123456789*12",
        u"こんにちは\r\n二行目",
        u"<MEL=T120,C4D4E4>",
        image},
       u"0123456789*12",
       u"こんにちは\r\n二行目",
       "2026-12-08T03:04:05+09:00"},
      {{RecordKind::Mail, {2024, 2, 29, 23, 59, 0, -12600}, u"0901234567", u"Hi\r\n", {}, {}},
       u"0901234567",
       u"Hi\r\n",
       "2024-02-29T23:59:00-03:30"},
      {{RecordKind::Voice, {2026, 1, 1, 0, 0, 0, 0}, u"", u"CALL ME 5PM", {}, {}},
       Text(kNoCaller),
       u"CALL ME 5PM",
       "2026-01-01T00:00:00+00:00"},
      // Full- and half-width katakana, U+FFFD, lone surrogates, a long first line.
      {{RecordKind::Mail,
        {2026, 6, 30, 12, 0, 0, 0},
        callerOfStored(u"-*12"),
        longLine + u"\xD800y\nb\r\xDC00",
        {},
        {}},
       Text(kNoCaller),
       longLine + u"\uFFFDy\r\nb\r\n\uFFFD",
       "2026-06-30T12:00:00+00:00"},
      // A terminal's texts: a caller cut, one shown as it came, escapes that
      // reach the text but no header.
      {{RecordKind::Mail, march, Text(2000, u'7'), u"Hi", {}, {}},
       Text(42, u'7') + u"…",
       u"Hi",
       day},
      {{RecordKind::Voice, march, bank, bank, {}, {}}, bank, bank, day},
      {{RecordKind::Mail, march, u"090\x1b[2J1234\a", escapes, {}, {}},
       u"090 [2J1234 ",
       escapes,
       day,
       u" [2JHi there  1m"},
  };

  QTemporaryDir dir;
  QtFiles files{toText(dir.path())};
  MaildirArchive archive;
  const Text program = files.programDirectory();
  QByteArray expectations;
  for (const auto& c : cases) {
    const StoredRecord& r = c.record;
    // The attachments must be the working files the server writes.
    QFile::remove(dir.filePath("melody.mmd"));
    QFile::remove(dir.filePath("Image.bmp"));
    if (!r.melody.empty()) SaveMelodyFile(files, program + kWorkingMelodyFile, r.melody);
    if (!r.image.empty()) SaveImageFile(files, program + kWorkingImageFile, r.image);
    const Text name = archive.uniqueName();
    const Text path = archive.deliver(program, name, archiveMessageFor(files, r, "x@y.invalid"));
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(modeOf(toQString(path)), 0600);
    const QJsonObject want{{"file", toQString(name)},
                           {"caller", toQString(c.caller)},
                           {"date", c.date},
                           {"subject", toQString(c.subject)},
                           {"kind", r.kind == RecordKind::Voice ? "voice" : "mail"},
                           {"text", toQString(c.text)},
                           {"melody", hexOfFile(dir.filePath("melody.mmd"))},
                           {"image", hexOfFile(dir.filePath("Image.bmp"))}};
    expectations += QJsonDocument(want).toJson(QJsonDocument::Compact) + '\n';
  }
  for (const char* folder : {"Maildir", "Maildir/tmp", "Maildir/new", "Maildir/cur"}) {
    EXPECT_EQ(modeOf(dir.filePath(folder)), 0700) << folder;
  }
  EXPECT_TRUE(QDir(dir.filePath("Maildir/tmp")).isEmpty());

  QFile out(dir.filePath("expected.jsonl"));
  ASSERT_TRUE(out.open(QIODevice::WriteOnly) && out.write(expectations) == expectations.size());
  out.close();
  QProcess reader;
  reader.setProcessChannelMode(QProcess::MergedChannels);
  reader.start("python3", {ONDRIX_SOURCE_DIR "/tests/qt/read_archive.py", dir.filePath("Maildir"),
                           out.fileName()});
  ASSERT_TRUE(reader.waitForFinished(60000));
  const std::string said = reader.readAll().toStdString();
  EXPECT_EQ(reader.exitCode(), 0) << said;
  EXPECT_NE(said.find("7 messages read, 0 faults"), std::string::npos) << said;
}

// Only tmp/ files older than 36 hours go; a Maildir that is a file refuses.
TEST(MaildirArchive, StaleTmpFilesAreRemovedAndAFileInTheWayRefuses) {
  QTemporaryDir dir;
  MaildirArchive archive;
  const Text program = toText(dir.path());
  ASSERT_FALSE(archive.deliver(program, archive.uniqueName(), Bytes{'x'}).empty());
  const std::pair<const char*, int> files[] = {
      {"Maildir/tmp/stale", 37}, {"Maildir/tmp/recent", 35}, {"Maildir/cur/read", 9000}};
  for (const auto& [file, hours] : files) {
    QFile(dir.filePath(file)).open(QIODevice::WriteOnly);
    const utimbuf t{std::time(nullptr) - hours * 3600, std::time(nullptr) - hours * 3600};
    ASSERT_EQ(::utime(QFile::encodeName(dir.filePath(file)).constData(), &t), 0);
  }
  archive.removeStaleTemporaries(program);
  const bool kept[] = {false, true, true};
  for (int i = 0; i < 3; ++i) EXPECT_EQ(QFile::exists(dir.filePath(files[i].first)), kept[i]) << i;
  ASSERT_TRUE(QDir(dir.filePath("Maildir")).removeRecursively());
  QFile(dir.filePath("Maildir")).open(QIODevice::WriteOnly);
  EXPECT_TRUE(archive.deliver(program, archive.uniqueName(), Bytes{'x'}).empty());
}

// The ledger: none, appended, replaced whole; one that cannot be read is
// not taken for none. The listing finds a message a client moved to cur/.
TEST(MaildirArchive, TheLedgerAndTheMessagesItNames) {
  QTemporaryDir dir;
  MaildirArchive archive;
  const Text program = toText(dir.path());
  EXPECT_EQ(archive.readLedger(program), std::nullopt);
  ASSERT_TRUE(archive.appendLedger(program, {'a'}) && archive.appendLedger(program, {'b'}));
  EXPECT_EQ(archive.readLedger(program), (Bytes{'a', 'b'}));
  ASSERT_TRUE(archive.replaceLedger(program, {'c'}));
  EXPECT_EQ(archive.readLedger(program), Bytes{'c'});
  EXPECT_EQ(modeOf(dir.filePath("Maildir/ondrix-archived")), 0600);
  ASSERT_FALSE(archive.deliver(program, u"1,ondrix=1.1", {'x'}).empty());
  ASSERT_TRUE(QFile::rename(dir.filePath("Maildir/new/1,ondrix=1.1"),
                            dir.filePath("Maildir/cur/1,ondrix=1.1:2,S")));
  const std::vector<Text> listed = archive.listMessages(program);
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(idOfMessage(listed[0]), "1.1");
  ASSERT_TRUE(QFile::remove(dir.filePath("Maildir/ondrix-archived")));
  ASSERT_TRUE(QDir(dir.path()).mkpath("Maildir/ondrix-archived"));
  EXPECT_EQ(archive.readLedger(program), Bytes{});
}

}  // namespace
}  // namespace ondrix
