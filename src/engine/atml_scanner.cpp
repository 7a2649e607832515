// ATML scanner: runs once per tick with input while the line is on-line.
// The dialogue itself (login words, messages, pages) is not built yet; until
// it is, on-line input stays in RxBuffer (bounded by the poll loop).
#include "state/form1.h"

namespace ondrix {

void Form1::ScanAtml() {}

}  // namespace ondrix
