// The mail browser. Not built yet.
#include "state/form1.h"

namespace ondrix {

void Form1::UpBtn_Click() {}
void Form1::DownBtn_Click() {}
void Form1::ClsBtn_Click() {}
void Form1::ClsBtn2_Click() {}
void Form1::PlayMailMelody() {}
void Form1::ShowMailImage() {}
void Form1::DeleteStoredMails(bool) {}

}  // namespace ondrix
