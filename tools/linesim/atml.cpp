// SPDX-License-Identifier: GPL-3.0-or-later
// The terminal's requests and the pages it expects, composed byte by byte.
#include "atml.h"

#include <algorithm>

#include "cp932.h"
#include "texts.h"

namespace linesim {

std::size_t Offer::pageCount() const { return std::max(melodies.size(), images.size()); }

namespace atml {

namespace {

using namespace texts;

std::string cp(const char* utf8) { return toCp932(utf8); }

const std::string& entry(const std::vector<std::string>& pool, std::size_t i) {
  static const std::string none;
  return i < pool.size() ? pool[i] : none;
}

// The tail every offer page ends with; the next link only while a further
// melody or image waits.
std::string pageTail(const Offer& offer, std::size_t index) {
  std::string out = cp(kStarLine) + cp(kLinkBlockStart) + cp(kSaveLink);
  if (index + 1 < offer.pageCount()) out += cp(kNextLink);
  return out + cp(kLinkBlockEnd);
}

}  // namespace

std::string versionRequest() { return cp(kVersionRequestHead) + "</HEAD></ATML>"; }
std::string listRequest() { return cp(kListRequestHead) + "></HEAD></ATML>"; }
std::string nextPageRequest(std::size_t page) {
  return cp(page % 2 == 1 ? kNextPageRequest : kNextPageRequestLong);
}
std::string ack() { return cp(kAck); }
std::string disconnectRequest() { return cp(kDisconnectRequest); }

std::string mailUpload(const Mail& mail) {
  std::string body = toCp932(mail.text) + mail.melody;
  if (!mail.imageBase64.empty()) body += "<IMAGE>" + mail.imageBase64 + "</IMAGE>";
  return cp(kUploadHead) + "></HEAD><BODY>" + body + "</BODY></ATML>";
}

std::string truncatedUpload(const Mail& mail) {
  // Cut inside the Base64 text, or just before the body ends: ASCII either
  // way, so no double-byte character is split.
  const std::string whole = mailUpload(mail);
  const std::size_t imageEnd = whole.find("</IMAGE>");
  if (imageEnd != std::string::npos) return whole.substr(0, imageEnd - mail.imageBase64.size() / 2);
  return whole.substr(0, whole.find("</BODY>"));
}

std::string versionPage() { return cp(kVersionPage); }
std::string sendEndPage() { return cp(kSendEndPage); }
std::string receiveEndPage() { return cp(kReceiveEndPage); }
std::string disconnectedPage() { return cp(kDisconnectedPage); }

std::string listPage(const Offer& offer) {
  return cp(kMailTitle) + entry(offer.melodies, 0) + cp(kHeadEnd) + cp(kServerName) +
         entry(offer.images, 0) + pageTail(offer, 0);
}

std::string deliveryPage(const Offer& offer, std::size_t index) {
  const std::size_t number = index + 1;
  return cp(kMailTitle) + entry(offer.melodies, index) +
         cp(number < 10 ? kPageMarkShort : kPageMarkLong) + std::to_string(number) +
         cp(kPageMarkEnd) + cp(kServerName) + entry(offer.images, index) + pageTail(offer, index);
}

}  // namespace atml

}  // namespace linesim
