// Incoming call identification from the modem's identity lines.
// Not built yet: a ringing call is neither identified nor answered by the
// server; the operator's answer and the missed-call notice still work.
#include "state/form1.h"

namespace ondrix {

void Form1::IdentifyCaller() {}

}  // namespace ondrix
