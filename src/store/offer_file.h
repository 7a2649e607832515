// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The offer kept across starts: the melody and image texts on offer, as the
// terminal receives them, in a file of the server's own beside the store.
#include <string>

#include "core/text.h"
#include "state/connection_state.h"

namespace ondrix {

inline const Text kOfferFile = u"\\offer.dat";
// The picture of a restored image offer, shown as a loaded one is.
inline const Text kOfferPictureFile = u"\\offer.bmp";

// The file's bytes for the offer of `pools` (UTF-8): a version line, then
// for each kind its count and the entries in use, then an end line.
Bytes offerFileBytes(const FileIOModule1& pools);
// Reads the file into the pools and counts of `pools`; false, with them
// untouched, for a file torn, empty, of a newer version or otherwise not
// one this server wrote.
bool readOfferFile(const Bytes& bytes, FileIOModule1& pools);

// How many entries of each kind a terminal is offered: entry 0 is offered
// whatever the count once it holds a text.
std::int16_t melodiesOffered(const FileIOModule1& pools);
std::int16_t imagesOffered(const FileIOModule1& pools);
// What is on offer, a few lines for the command line.
std::string offerListing(const FileIOModule1& pools);

}  // namespace ondrix
