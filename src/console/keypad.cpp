// The keypad and call keys. Not built yet.
#include "state/form1.h"

namespace ondrix {

void Form1::NumBtn_Click(std::int16_t) {}
void Form1::FuncBtn_Click() {}
void Form1::ConnBtn_Click() {}
void Form1::CutBtn_Click() {}
void Form1::ReDialBtn_Click() {}

}  // namespace ondrix
