// What happens when a ringing call is connected.
// Not built yet: "CONNECT" leaves the line state as it is.
#include "state/form1.h"

namespace ondrix {

void Form1::HandleConnect() {}

}  // namespace ondrix
