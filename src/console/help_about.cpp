// The Help menu. Not built yet.
#include "state/form1.h"

namespace ondrix {

void Form1::CMHELPMENU_Click() {}
void Form1::CMINFO_Click() {}

}  // namespace ondrix
