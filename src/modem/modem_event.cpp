// The single judge of modem replies, ring outcomes and call ends.
#include "console/form1.h"

namespace ondrix {

void Form1::HandleModemEvent() {}

}  // namespace ondrix
