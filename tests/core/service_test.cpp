// SPDX-License-Identifier: GPL-3.0-or-later
// What a server without a screen tells: its status lines on standard error
// at the journal's priorities, never waiting on it, and the service
// manager's datagrams.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <string>

#include "core/text.h"
#include "notify_listener.h"
#include "service/service_notify.h"
#include "service/stream_echo.h"
#include "state/status_priority.h"

namespace ondrix {
namespace {

using P = StatusPriority;

TEST(StatusEcho, PriorityOfEachLine) {
  const struct {
    Text line;
    std::optional<P> priority;
  } rows[] = {
      {u"待受けエラー", P::Fault},
      {u"メールの保存先：/home/op/data", P::Warning},
      {u"new-mail が終了コード 75 で終わりました：sendmail: cannot connect", P::Warning},
      {u"MD-30が見つかりません", P::Warning},
      {u"MD-30が見つかました", P::Info},
      // A person's keys, a caller, a record: the box only.
      {u"０　公衆", std::nullopt},
      {u"0123456789", std::nullopt},
      {u"待受けエラーです", std::nullopt},
  };
  for (const auto& row : rows)
    EXPECT_EQ(statusPriority(row.line), row.priority) << toUtf8(row.line);
}

TEST(StatusEcho, BytesOfALine) {
  const Text longLine = u"a" + Text(1500, u'あ');
  const struct {
    P priority;
    Text line;
    bool journal;
    std::string bytes;
  } rows[] = {
      {P::Fault, u"待受けエラー", true, "<3>待受けエラー\n"},
      {P::Warning, u"着信", false, "着信\n"},
      {P::Warning, u"a\r\nb\tc\x1b", true, "<4>a  b c \n"},
      // Cut below a pipe's atomic write, on a character's boundary.
      {P::Info, longLine, false, "a" + toUtf8(Text(682, u'あ')) + "\n"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(echoLine(row.priority, row.line, row.journal), row.bytes) << toUtf8(row.line);
  }
}

TEST(StatusEcho, WhenStandardErrorIsTheJournal) {
  EXPECT_TRUE(namesStream("64769:1234", 64769, 1234));
  for (const char* other : {"64769:1235", "1:1234", "64769:", "64769:1234x"}) {
    EXPECT_FALSE(namesStream(other, 64769, 1234)) << other;
  }
  EXPECT_FALSE(namesStream(nullptr, 64769, 1234));
}

// A pipe nobody reads fills up: its lines are dropped, at once; once read
// the lines come again; a reader gone or a closed descriptor ends nothing.
TEST(StatusEcho, NeverWaitsOnStandardError) {
  int pipe[2];
  ASSERT_EQ(::pipe(pipe), 0);
  ::fcntl(pipe[1], F_SETFL, O_NONBLOCK);
  while (::write(pipe[1], "xxxxxxxxxxxxxxxx", 16) > 0) {
  }
  ::fcntl(pipe[1], F_SETFL, 0);  // a plain write would now block
  StreamEcho echo(pipe[1], false);
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < 1000; ++i) echo.echo(P::Fault, u"待受けエラー");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));

  ::fcntl(pipe[0], F_SETFL, O_NONBLOCK);
  char drained[4096];
  while (::read(pipe[0], drained, sizeof drained) > 0) {
  }
  echo.echo(P::Info, u"着信");
  echo.echo(P::Info, u"着信");  // a ring is shown twice, told once
  EXPECT_EQ(::read(pipe[0], drained, sizeof drained), 7);
  EXPECT_EQ(std::string(drained, 7), "着信\n");

  ::close(pipe[0]);
  echo.echo(P::Info, u"着信");  // SIGPIPE would end the test
  ::close(pipe[1]);
  echo.echo(P::Info, u"着信");
  StreamEcho(pipe[1], true).echo(P::Info, u"着信");
}

TEST(ServiceNotify, ReadinessChangesAndKeepAlive) {
  const std::string path = ::testing::TempDir() + "notify-" + std::to_string(::getpid());
  NotifyListener manager(path);
  ServiceNotify notify(path, 1000);
  notify.ready(LineCondition::Waiting, 0);
  notify.poll(LineCondition::Waiting, 999);
  notify.poll(LineCondition::ModemSilent, 1000);
  EXPECT_EQ(manager.next(), "READY=1\nSTATUS=着信を待っています\nWATCHDOG=1\n");
  EXPECT_EQ(manager.next(), "STATUS=モデムが応答しません。再試行しています\nWATCHDOG=1\n");
  EXPECT_EQ(manager.next(), "");
  ::unlink(path.c_str());
}

// Nothing there, a socket of another kind, no socket named: nothing is sent
// and nothing waits.
TEST(ServiceNotify, ASocketThatIsNotThere) {
  const std::string stream = ::testing::TempDir() + "notify-stream-" + std::to_string(::getpid());
  NotifyListener listening(stream, SOCK_STREAM);
  for (const std::string name : {"/nonexistent/notify", stream.c_str(), "relative", "@", ""}) {
    ServiceNotify notify(name, 1000);
    EXPECT_EQ(notify.enabled(), name.size() > 1 && name != "relative") << name;
    notify.ready(LineCondition::Waiting, 0);
    notify.poll(LineCondition::DataCall, 5000);
  }
  ::unlink(stream.c_str());
}

// Half the watchdog's time when the watchdog is this process's.
TEST(ServiceNotify, KeepAliveInterval) {
  const std::string pid = std::to_string(::getpid());
  EXPECT_EQ(pingInterval("30000000", pid.c_str(), ::getpid(), 10000), 15000);
  EXPECT_EQ(pingInterval("30000000", "1", ::getpid(), 10000), 10000);
  EXPECT_EQ(pingInterval("3x", nullptr, ::getpid(), 10000), 10000);
}

}  // namespace
}  // namespace ondrix
