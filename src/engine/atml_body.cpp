// SPDX-License-Identifier: GPL-3.0-or-later
// An uploaded ATML message taken apart into the mail's text, melody and image.
#include "engine/atml_body.h"

namespace ondrix {

namespace {

enum class TagMode { Plain, SkippedTag, Image, Melody, Animation };

bool at(TextView s, std::size_t j, TextView word) { return s.substr(j, word.size()) == word; }

}  // namespace

AtmlBody ParseAtmlBody(TextView m) {
  AtmlBody out;
  TagMode mode = TagMode::Plain;
  bool bodyStarted = false;
  std::size_t bodyStart = 0;
  bool bodyEnded = false;

  for (std::size_t j = 0; j < m.size(); ++j) {
    const char16_t c = m[j];
    if (at(m, j, u"<BODY>")) {
      bodyStarted = true;
      bodyStart = j + 6;
    } else if (at(m, j, u"</BODY>")) {
      bodyEnded = true;
    } else if (at(m, j, u"<IMAGE>")) {
      mode = TagMode::Image;
      j += 6;
    } else if (at(m, j, u"</IMAGE>")) {
      mode = TagMode::SkippedTag;
    } else if (at(m, j, u"<ANI>")) {
      mode = TagMode::Animation;
      j += 4;
    } else if (at(m, j, u"</ANI>")) {
      mode = TagMode::SkippedTag;
    } else if (at(m, j, u"<MEL") || at(m, j, u"<HMEL")) {
      // The melody tag is kept whole, from its "<" to its ">".
      mode = TagMode::Melody;
      out.melody += u'<';
    } else if (c == u'<' && mode == TagMode::Plain) {
      mode = TagMode::SkippedTag;
    } else if (c == u'>' && mode == TagMode::SkippedTag) {
      mode = TagMode::Plain;
    } else if (c == u'>' && mode == TagMode::Melody) {
      out.melody += u'>';
      mode = TagMode::Plain;
    } else if (bodyStarted && j >= bodyStart && !bodyEnded && mode == TagMode::Plain) {
      // Entities are known without their ";": one that follows stays text.
      if (at(m, j, u"&lt")) {
        out.body += u'<';
        j += 2;
      } else if (at(m, j, u"&amp")) {
        out.body += u'&';
        j += 3;
      } else if (at(m, j, u"&gt")) {
        out.body += u'>';
        j += 2;
      } else {
        out.body += c;
      }
    } else if (mode == TagMode::Melody) {
      out.melody += c;
    } else if (mode == TagMode::Image) {
      out.image += c;
    }
    // Anything else is tag text, animation data or text outside the body.
  }
  return out;
}

}  // namespace ondrix
