// SPDX-License-Identifier: GPL-3.0-or-later
// The pages a terminal expects, composed from the offered entries.
#include <gmock/gmock.h>

#include "atml.h"
#include "cp932.h"
#include "texts.h"

namespace linesim {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

TEST(Cp932, HalfWidthKatakanaTakeOneByteAndFullWidthTwo) {
  // The server name, a star and a kanji: bytes as a terminal's display takes them.
  EXPECT_EQ(toCp932("TAVIXﾒﾛｷｬﾗｻｰﾊﾞｰ ★受"),
            "TAVIX\xD2\xDB\xB7\xAC\xD7\xBB\xB0\xCA\xDE\xB0 \x81\x9A\x8E\xF3");
}

TEST(Cp932, ShownEscapedAndReadable) {
  const std::string bytes = "ok\r\n\"\x81\x9A\x01\xFF";
  EXPECT_EQ(escaped(bytes), "ok\\r\\n\\\"\\x81\\x9A\\x01\\xFF");
  EXPECT_EQ(readable(bytes), "ok\\r\\n\"★\\x01\\xFF");
}

Offer offer(std::size_t melodies, std::size_t images) {
  Offer o;
  for (std::size_t i = 0; i < melodies; ++i)
    o.melodies.push_back("<MEL=M" + std::to_string(i) + ">");
  for (std::size_t i = 0; i < images; ++i)
    o.images.push_back("<IMAGE>I" + std::to_string(i) + "</IMAGE>");
  return o;
}

const std::string kNext = toCp932(texts::kNextLink);
const std::string kTitle = toCp932(texts::kMailTitle);

// Every offer page: title, melody, mark, server name, image, the link block.
struct PageCase {
  const char* name;
  std::size_t melodies, images, index;  // index 0 is the list page
  std::string melody, mark, image;
  bool next;
  friend void PrintTo(const PageCase& c, std::ostream* os) { *os << c.name; }
};

class OfferPage : public ::testing::TestWithParam<PageCase> {};

TEST_P(OfferPage, CarriesTheEntriesOfItsIndex) {
  const PageCase& c = GetParam();
  const Offer o = offer(c.melodies, c.images);
  const std::string page = c.index == 0 ? atml::listPage(o) : atml::deliveryPage(o, c.index);
  const std::string expected = kTitle + c.melody +
                               (c.index == 0 ? toCp932(texts::kHeadEnd) : c.mark) +
                               toCp932(texts::kServerName) + c.image + toCp932(texts::kStarLine) +
                               toCp932(texts::kLinkBlockStart) + toCp932(texts::kSaveLink) +
                               (c.next ? kNext : "") + toCp932(texts::kLinkBlockEnd);
  EXPECT_EQ(escaped(page), escaped(expected));
}

INSTANTIATE_TEST_SUITE_P(
    Pages, OfferPage,
    ::testing::Values(
        PageCase{"NothingOffered", 0, 0, 0, "", "", "", false},
        PageCase{"ListOfThreeMelodiesOneImage", 3, 1, 0, "<MEL=M0>", "", "<IMAGE>I0</IMAGE>", true},
        PageCase{"SecondPageHasNoImage", 3, 1, 1, "<MEL=M1>", "<IL=02,00,></HEAD><BODY>", "", true},
        PageCase{"ThirdPageIsTheLast", 3, 1, 2, "<MEL=M2>", "<IL=03,00,></HEAD><BODY>", "", false},
        PageCase{"ImagesOutlastMelodies", 1, 2, 1, "", "<IL=02,00,></HEAD><BODY>",
                 "<IMAGE>I1</IMAGE>", false},
        PageCase{"TenthPageHasTwoDigits", 10, 0, 9, "<MEL=M9>", "<IL=10,00,></HEAD><BODY>", "",
                 false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Upload, BodyHoldsTextMelodyAndImageAndACutUploadEndsInsideTheImage) {
  const Mail mail{"a&ltテ", "<MEL=X>", "QUJD"};
  const std::string whole = atml::mailUpload(mail);
  EXPECT_EQ(whole,
            "<ATML><HEAD><CON=2></HEAD><BODY>a&lt\x83\x65<MEL=X><IMAGE>QUJD</IMAGE></BODY></ATML>");
  const std::string cut = atml::truncatedUpload(mail);
  EXPECT_EQ(whole.substr(0, cut.size()), cut);
  EXPECT_THAT(cut, HasSubstr("<IMAGE>QU"));
  EXPECT_THAT(cut, Not(HasSubstr("</ATML>")));
}

}  // namespace
}  // namespace linesim
