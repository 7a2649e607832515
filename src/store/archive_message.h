// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A stored record as one Internet message (RFC 5322 with MIME) for the
// Maildir archive, and the date a record of the store file was received.
#include <optional>
#include <string>
#include <string_view>

#include "core/text.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "state/caller_text.h"
#include "state/stored_record.h"

namespace ondrix {

// The message's bytes. `melodyFile` and `imageFile` are the bytes of the
// working files the record's melody and picture give (empty: no such
// attachment); `messageId` is the Message-ID's text without angle brackets.
Bytes composeArchiveMessage(const StoredRecord& record, const Bytes& melodyFile,
                            const Bytes& imageFile, std::string_view messageId);

// The same, with the attachments made by the functions that write the
// working files, so their bytes cannot differ from melody.mmd and Image.bmp.
Bytes archiveMessageFor(Files& files, const StoredRecord& record, std::string_view messageId);

// "Tue, 08 Dec 2026 12:34:56 +0900".
std::string messageDate(const LocalTime& t);

// A header's text as RFC 2047 UTF-8 encoded-words ("B"), folded so that no
// line grows beyond 78 characters when the first follows `used` characters
// of its header line and no word beyond 75; a word never splits a character.
std::string encodedWords(std::string_view utf8, std::size_t used);

// The time a store record's "mm/dd hh:mm" names: the latest year that does
// not put it after `now` (a 29 February goes back to a leap year), with
// now's UTC offset. Nothing when the text is no such time.
std::optional<LocalTime> storedRecordTime(TextView stamp, const LocalTime& now);

}  // namespace ondrix
