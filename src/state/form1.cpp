// SPDX-License-Identifier: GPL-3.0-or-later
// Form1 built on its platform, and the status box operations.
#include "state/form1.h"

#include "state/status_priority.h"

namespace ondrix {

Form1::Form1(const Form1Platform& platform)
    : MSComm1(platform.serial),
      Timer1(platform.timer1),
      Timer2(platform.timer2),
      clock_(platform.clock),
      files_(platform.files),
      desktop_(platform.desktop),
      recordEvents_(platform.recordEvents),
      echo_(platform.echo) {
  // The escape guard fires once per arming and is disarmed by its handler.
  Timer2.setInterval(0);
  Timer1.setInterval(0);
}

namespace {

// Where nobody sees the window, the journal hears the server's own lines.
void echoStatusLine(StatusEcho* echo, TextView line) {
  if (echo == nullptr) return;
  if (const auto priority = statusPriority(line)) echo->echo(*priority, line);
}

}  // namespace

void Form1::showStatusLine(TextView line) {
  echoStatusLine(echo_, line);
  Text3.text.assign(line);
  Text3.text += CRLF;
  statusCaretToEnd();
}

void Form1::appendStatusLine(TextView line) {
  echoStatusLine(echo_, line);
  Text3.text += line;
  Text3.text += CRLF;
  statusCaretToEnd();
}

void Form1::appendStatusText(TextView text) { Text3.text += text; }

void Form1::clearStatus() { Text3.text.clear(); }

void Form1::statusCaretToEnd() { Text3.caret = static_cast<std::int32_t>(Text3.text.size()); }

void Form1::appendCallerLine() {
  if (!isReported(CallingId)) return;
  appendStatusText(CallingId);
  if (isReported(CallingSub)) appendStatusText(u"*" + CallingSub);
  appendStatusText(CRLF);
}

void Form1::statusCaretToStart() { Text3.caret = 0; }

bool Form1::statusEndsWith(const Text& line) const {
  const Text tail = line + CRLF;
  return Text3.text.size() >= tail.size() &&
         Text3.text.compare(Text3.text.size() - tail.size(), tail.size(), tail) == 0;
}

void Form1::noteStatus(const Text& line, const Text& replacing) {
  if (!replacing.empty() && statusEndsWith(replacing)) {
    Text3.text.resize(Text3.text.size() - replacing.size() - CRLF.size());
  }
  if (statusEndsWith(line)) {
    statusCaretToEnd();
    return;
  }
  // A record shown last ends without a line end of its own.
  if (!Text3.text.empty() && Text3.text.back() != LF) Text3.text += CRLF;
  appendStatusLine(line);
}

}  // namespace ondrix
