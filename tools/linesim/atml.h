// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a TAVIX terminal sends and what it expects back, as bytes on the line
// (CP932). The pages are composed from the fixed page texts and from the
// entries the operator offers, exactly as the terminal will receive them.
#include <string>
#include <vector>

namespace linesim {

// The operator's offer, entry by entry in the order offered: melody elements
// ("<MEL=...>") and image elements ("<IMAGE>...</IMAGE>"), as sent.
struct Offer {
  std::vector<std::string> melodies;
  std::vector<std::string> images;

  bool empty() const { return melodies.empty() && images.empty(); }
  // Pages with content: the list page and the delivery pages after it.
  std::size_t pageCount() const;
};

// A mail as the terminal writes it: text (with entities), a melody tag and
// the Base64 text of the image; empty parts are left out.
struct Mail {
  std::string text;  // UTF-8, as written inside the body
  std::string melody;
  std::string imageBase64;
};

namespace atml {

std::string versionRequest();
std::string listRequest();
// Two spellings of the same request; `page` picks one, so both are used.
std::string nextPageRequest(std::size_t page);
std::string ack();
std::string disconnectRequest();
std::string mailUpload(const Mail& mail);
// The first part of an upload: a message cut off in its body.
std::string truncatedUpload(const Mail& mail);

std::string versionPage();
std::string sendEndPage();
std::string receiveEndPage();
std::string disconnectedPage();
// The list page carries entries 0; delivery page `index` (1, 2, ...) carries
// entries `index` and is numbered index + 1.
std::string listPage(const Offer& offer);
std::string deliveryPage(const Offer& offer, std::size_t index);

}  // namespace atml

}  // namespace linesim
