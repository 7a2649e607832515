// SPDX-License-Identifier: GPL-3.0-or-later
// Taking an uploaded message apart into text, melody and image.
#include "engine/atml_body.h"

#include <gtest/gtest.h>

#include "fakes.h"

namespace ondrix {
namespace {

struct BodyCase {
  const char* name;
  friend void PrintTo(const BodyCase& c, std::ostream* os) { *os << c.name; }
  Text message;
  Text body;
  Text melody;
  Text image;
};

class BodyParser : public ::testing::TestWithParam<BodyCase> {};

TEST_P(BodyParser, SplitsTheMail) {
  const BodyCase& c = GetParam();
  const AtmlBody got = ParseAtmlBody(c.message);
  EXPECT_EQ(got.body, c.body);
  EXPECT_EQ(got.melody, c.melody);
  EXPECT_EQ(got.image, c.image);
}

const Text kHead = u"<ATML><HEAD><CON=2></HEAD>";
const Text kEnd = u"</ATML>";

INSTANTIATE_TEST_SUITE_P(
    Messages, BodyParser,
    ::testing::Values(
        BodyCase{
            "EntitiesWithoutSemicolon", kHead + u"<BODY>a&ltb&gt</BODY>" + kEnd, u"a<b>", {}, {}},
        BodyCase{
            "SemicolonAfterAnEntityStays", kHead + u"<BODY>x&amp;y</BODY>" + kEnd, u"x&;y", {}, {}},
        BodyCase{"UnknownEntityIsText", kHead + u"<BODY>&quot;&</BODY>" + kEnd, u"&quot;&", {}, {}},
        BodyCase{"MelodyTagKeptWholeImageBetweenTags",
                 kHead + u"<BODY>hi<MEL=abc,12>there<IMAGE>RE9U/+=</IMAGE>!</BODY>" + kEnd,
                 u"hithere!", u"<MEL=abc,12>", u"RE9U/+="},
        BodyCase{"MelodyTagsOfBothKindsAreJoined",
                 kHead + u"<BODY><MEL=1><HMEL=2>t</BODY>" + kEnd,
                 u"t",
                 u"<MEL=1><HMEL=2>",
                 {}},
        BodyCase{
            "AnimationDataDropped", kHead + u"<BODY>a<ANI>xyz</ANI>b</BODY>" + kEnd, u"ab", {}, {}},
        BodyCase{"OtherTagsRemoved",
                 kHead + u"<BODY>a<BR>b<FONT c=1>c</FONT></BODY>" + kEnd,
                 u"abc",
                 {},
                 {}},
        BodyCase{"TextOutsideTheBodyDropped",
                 u"<ATML>out<HEAD>x</HEAD>y<BODY>in</BODY>z</ATML>",
                 u"in",
                 {},
                 {}},
        BodyCase{"GreaterThanInPlainTextStays", kHead + u"<BODY>a>b</BODY>" + kEnd, u"a>b", {}, {}},
        BodyCase{"MelodyOutsideTheBodyStillTaken",
                 u"<ATML><HEAD><MEL=9></HEAD><BODY>t</BODY></ATML>",
                 u"t",
                 u"<MEL=9>",
                 {}},
        BodyCase{"NoBodyNoText", u"<ATML><HEAD><CON=2></HEAD></ATML>", {}, {}, {}},
        BodyCase{"JapaneseTextKept",
                 kHead + u"<BODY>こんにちはｱｲｳ</BODY>" + kEnd,
                 u"こんにちはｱｲｳ",
                 {},
                 {}}));

}  // namespace
}  // namespace ondrix
