// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Base64 with the standard alphabet, written for the image texts terminals
// send: the decoder is tolerant in exactly the way those texts need.
#include "core/text.h"

namespace ondrix {

// Skips every character outside the alphabet ("=", blanks, line breaks
// included). A final group of two or three characters yields one or two
// bytes; a single leftover character is dropped.
Bytes decodeBase64Tolerant(TextView text);

// Standard form with "=" padding and no line breaks.
Text encodeBase64(const Bytes& bytes);

}  // namespace ondrix
