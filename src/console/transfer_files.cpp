// The File menu and files dropped on the window. Not built yet.
#include "state/form1.h"

namespace ondrix {

void Form1::CMFILE_Click() {}
void Form1::CMSAVEMMD_Click() {}
void Form1::CMSAVEIMG_Click() {}
void Form1::CMLOADMMD_Click() {}
void Form1::CMLOADIMG_Click() {}
void Form1::Text4_OLEDragDrop(const std::vector<Text>&) {}
void Form1::Image1_OLEDragDrop(const std::vector<Text>&) {}

}  // namespace ondrix
