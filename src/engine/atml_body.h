// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Takes an uploaded ATML message apart into the mail's text, melody and image.
#include "core/text.h"

namespace ondrix {

struct AtmlBody {
  Text body;    // the body's text, tags removed, entities decoded
  Text melody;  // every melody tag, "<" to ">", one after the other
  Text image;   // what stands between "<IMAGE>" and "</IMAGE>"
};

AtmlBody ParseAtmlBody(TextView message);

}  // namespace ondrix
