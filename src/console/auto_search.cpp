// Modem auto-search over ports 1 to 9.
#include "console/form1.h"

namespace ondrix {

void Form1::ScarchBtn_Click() {}

}  // namespace ondrix
