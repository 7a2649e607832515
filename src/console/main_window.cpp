// Start-up, shut-down, the port and the command line.
#include "console/form1.h"

namespace ondrix {

void Form1::Form_Load() {}
void Form1::Form_Unload() {}
bool Form1::OpenPort() { return false; }
void Form1::StartBtn_Click() {}
void Form1::StopBtn_Click() {}
void Form1::Command1_Click() {}
void Form1::ComNo_KeyDown(std::int16_t&, std::int16_t) {}
void Form1::ComNo_KeyPress(std::int16_t&) {}

}  // namespace ondrix
