// SPDX-License-Identifier: GPL-3.0-or-later
// Prints the cost of storing a mail into a full store on the real file
// system, next to one plain write of the same bytes.
#include <gtest/gtest.h>
#include <time.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

#include "fakes.h"
#include "qt/durable_queue.h"
#include "qt/maildir_archive.h"
#include "qt/qt_files.h"
#include "qt/qt_text.h"
#include "records/record_road.h"
#include "state/form1.h"
#include "store/archive_message.h"
#include "store/base64.h"

namespace ondrix {
namespace {

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// CPU time of the process in ms: what the save itself costs, without the
// waits for a busy disk that the elapsed time includes.
double cpuMs() {
  timespec t{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

TEST(StoreBenchmark, FullStoreOfLargestImages) {
  QTemporaryDir dir;
  // The syncs on their worker, as in the server: the times below are the
  // window thread's, and the durability's own is timed until the reply left.
  DurableQueue queue;
  QtFiles files{toText(dir.path())};
  files.setDurableQueue(&queue);
  FakeSerialLine line;
  DurableReplies serial(line, queue);
  FakeTimer t1, t2;
  FakeClock clock;
  FakeDesktop desktop;
  MaildirArchive archive;
  archive.setDurableQueue(&queue);
  FakeNotifier notifier;
  FakeHookRunner hooks;
  FakeTimer recordsTimer;
  RecordRoad road(archive, notifier, hooks, files, clock, recordsTimer);
  Form1 f({serial, t1, t2, clock, files, desktop, {&road}});
  f.AppDir = files.programDirectory();
  // An empty store at the start: nothing to catch up.
  road.storeLoaded(f.MailStore, f.AppDir);
  recordsTimer.fire();

  // The largest bitmap a terminal takes: 96 x 96 pixels.
  Bytes terminal = {'D', 'O', 'T', 0, 96, 0, 96};
  for (int i = 0; i < 96 * 96 / 8; ++i) terminal.push_back(static_cast<std::uint8_t>(i * 37));
  const Text image = encodeBase64(terminal);
  for (int i = 1; i <= kMailSlots; ++i) {
    f.MailStore.MailCaller[i] = u"0123456789*12";
    f.MailStore.MailText[i] = u"こんにちは、テストのメールです。";
    f.MailStore.MailTime[i] = u"12/06 07:45";
    f.MailStore.MailMelody[i] = u"<MEL=T120,C4D4E4F4G4A4B4C5>";
    f.MailStore.MailImage[i] = image;
  }

  // Enough runs that one slow moment of a shared disk does not move the median.
  constexpr int kRuns = 31;
  std::vector<double> store, storeCpu, plain, plainCpu, synced, archived, archivedCpu;
  for (int run = 0; run < kRuns; ++run) {
    QElapsedTimer t;
    double cpu = cpuMs();
    t.start();
    f.StoreReceivedMail(u"こんにちは、テストのメールです。", u"<MEL=T120,C4D4E4F4G4A4B4C5>", image);
    store.push_back(t.nsecsElapsed() / 1e6);
    storeCpu.push_back(cpuMs() - cpu);
    queue.finish();
    // The message goes to the Maildir at the next tick.
    f.recordStored(RecordKind::Mail);
    cpu = cpuMs();
    t.restart();
    recordsTimer.fire();
    archived.push_back(t.nsecsElapsed() / 1e6);
    archivedCpu.push_back(cpuMs() - cpu);
    queue.finish();

    QFile amp(dir.filePath("amp.dat")), bmp(dir.filePath("Image.bmp")),
        mmd(dir.filePath("melody.mmd"));
    ASSERT_TRUE(amp.open(QIODevice::ReadOnly) && bmp.open(QIODevice::ReadOnly) &&
                mmd.open(QIODevice::ReadOnly));
    const QByteArray bytes = amp.readAll() + bmp.readAll() + mmd.readAll();
    QFile out(dir.filePath("plain.bin"));
    cpu = cpuMs();
    t.restart();
    ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
    out.write(bytes);
    out.close();
    plain.push_back(t.nsecsElapsed() / 1e6);
    plainCpu.push_back(cpuMs() - cpu);
    // The store is synced to the disk before it replaces the old file, so
    // a plain write that is synced too is the fair comparison.
    t.restart();
    ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
    out.write(bytes);
    out.flush();
    ::fsync(out.handle());
    out.close();
    synced.push_back(t.nsecsElapsed() / 1e6);
    if (run == 0)
      std::printf("[ benchmark ] bytes written per stored mail: %lld\n",
                  static_cast<long long>(bytes.size()));
  }
  const double s = median(store), p = median(plain), y = median(synced);
  std::printf(
      "[ benchmark ] StoreReceivedMail, full store of 96x96 images: %.3f ms (median of %d)\n", s,
      kRuns);
  std::printf("[ benchmark ] one plain write of the same bytes:            %.3f ms (ratio %.2f)\n",
              p, s / p);
  std::printf("[ benchmark ] one plain write of the same bytes, synced:    %.3f ms (ratio %.2f)\n",
              y, s / y);
  std::printf(
      "[ benchmark ] CPU time: StoreReceivedMail %.3f ms, plain write %.3f ms (ratio %.2f)\n",
      median(storeCpu), median(plainCpu), median(storeCpu) / median(plainCpu));
  std::printf(
      "[ benchmark ] archiving that mail (Maildir, two syncs): %.3f ms, CPU %.3f ms; with the "
      "store %.3f ms\n",
      median(archived), median(archivedCpu), s + median(archived));
  EXPECT_EQ(f.MailStore.MailImage[1], image);
  // The tick storing an upload (aim: under 5 ms), the time until its reply
  // left, once the store was durable; then the records timer's tick
  // archiving it, and until its syncs were done.
  serial.selectPort(1);
  serial.open();
  f.LineState = LineStateCode::OnlineData;
  std::vector<double> ticks[4];
  for (int run = 0; run < kRuns; ++run) {
    line.feed(u"<ATML><HEAD><CON=2></HEAD><BODY><IMAGE>" + image + u"</IMAGE></BODY></ATML>");
    const std::size_t replies = line.writes().size();
    QElapsedTimer t;
    t.start();
    f.Timer1_Timer();
    ticks[0].push_back(t.nsecsElapsed() / 1e6);
    queue.finish();
    ticks[1].push_back(t.nsecsElapsed() / 1e6);
    ASSERT_GT(line.writes().size(), replies) << "no reply left";
    t.restart();
    recordsTimer.fire();
    ticks[2].push_back(t.nsecsElapsed() / 1e6);
    queue.finish();
    ticks[3].push_back(t.nsecsElapsed() / 1e6);
  }
  std::printf(
      "[ benchmark ] tick storing an upload: %.3f ms on the window's thread (longest %.3f), "
      "reply left after %.3f ms (longest %.3f)\n",
      median(ticks[0]), *std::max_element(ticks[0].begin(), ticks[0].end()), median(ticks[1]),
      *std::max_element(ticks[1].begin(), ticks[1].end()));
  std::printf("[ benchmark ] archiving it: %.3f ms on the window's thread, durable after %.3f ms\n",
              median(ticks[2]), median(ticks[3]));
  EXPECT_EQ(QDir(dir.filePath("Maildir/new")).count(), 2u + 2 * kRuns);  // with "." and ".."

  // The full store caught up into a Maildir that lost it, slice by slice
  // (the first: the look at the store and the ledger), on the window's thread.
  ASSERT_TRUE(QDir(dir.filePath("Maildir")).removeRecursively());
  FakeTimer catchUpTimer;
  RecordRoad catchUp(archive, notifier, hooks, files, clock, catchUpTimer);
  catchUp.storeLoaded(f.MailStore, f.AppDir);
  // A slice is taken once the disk has done the last one's syncs, as the
  // server's records timer does: what those take is the longest a reply
  // waits behind a catch-up.
  std::vector<double> slices, slicesCpu, flushes;
  for (QElapsedTimer t; catchUpTimer.interval() > 0 && slices.size() < 1000;) {
    const double cpu = cpuMs();
    t.start();
    catchUpTimer.fire();
    slices.push_back(t.nsecsElapsed() / 1e6);
    slicesCpu.push_back(cpuMs() - cpu);
    t.restart();
    queue.finish();
    flushes.push_back(t.nsecsElapsed() / 1e6);
  }
  EXPECT_EQ(QDir(dir.filePath("Maildir/new")).count(), 2u + kMailSlots);
  std::printf(
      "[ benchmark ] catch-up of a full store: first look %.3f ms (CPU %.3f), then %zu slices: "
      "median %.3f ms (CPU %.3f), longest %.3f ms\n",
      slices[0], slicesCpu[0], slices.size() - 1, median({slices.begin() + 1, slices.end()}),
      median({slicesCpu.begin() + 1, slicesCpu.end()}),
      *std::max_element(slices.begin() + 1, slices.end()));
  std::printf("[ benchmark ] a slice's syncs on the worker: median %.3f ms, longest %.3f ms\n",
              median(flushes), *std::max_element(flushes.begin(), flushes.end()));
  // The soak's records: one terminal mail (melody, 8 x 8 picture) to two voice messages.
  const StoredRecord mail{RecordKind::Mail,         {},
                          u"0123456789*12",         u"a<b> x&y テスト",
                          u"<MEL=T120L8O4CDEFGAB>", u"RE9UAAgACDxCpYGlmUI8"};
  const StoredRecord voice{RecordKind::Voice, {}, u"0123456789*12", u"CALL ME 5PM", {}, {}};
  const std::string id = "1765170000.M123456P12345Q1.host@ondrix.invalid";
  const auto m = archiveMessageFor(files, mail, id).size(),
             v = archiveMessageFor(files, voice, id).size();
  std::printf(
      "[ benchmark ] archive bytes: mail with melody and picture %zu, voice message %zu, "
      "soak mix %.0f per record\n",
      m, v, (m + 2.0 * v) / 3.0);
}

}  // namespace
}  // namespace ondrix
