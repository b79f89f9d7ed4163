// User comments: the character-code branches, JIS decoding and the line
// each entry type gives.

#include "exif/user_comment.h"

#include <gtest/gtest.h>

#include <string>

#include "exif/exif_entry.h"
#include "testing/exif_test_support.h"

namespace kuronel {
namespace {

using std::string_literals::operator""s;

TEST(HexToTextTest, KeepsNonZeroBytesOfDigitPairs) {
  EXPECT_EQ(HexToText("30323230"), "0220");
  EXPECT_EQ(HexToText("41004200"), "AB");
  EXPECT_EQ(HexToText("414"), "A");    // Odd last digit ignored.
  EXPECT_EQ(HexToText("6a4B"), "jK");  // Either letter case.
  EXPECT_EQ(HexToText("10/341"),
            "\x10"
            "A");  // Not a pair: skipped.
  EXPECT_EQ(HexToText(""), "");
}

struct CommentCase {
  const char* name;
  std::string bytes;  // The UNDEFINED value.
  bool motorola;
  std::string line;  // UTF-8.
};

class DecodeUserCommentTest : public ::testing::TestWithParam<CommentCase> {};

TEST_P(DecodeUserCommentTest, DecodesByCharacterCode) {
  const CommentCase& c = GetParam();
  EXPECT_EQ(DecodeUserComment(BytesToHex(c.bytes), c.motorola), c.line);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Codes, DecodeUserCommentTest,
    ::testing::Values(
        CommentCase{"Ascii", "ASCII\0\0\0Hello\0\0\0"s, false, "Hello"},
        CommentCase{"AsciiAnyCase", "ascii\0\0\0\xB1\xB2"s, false, "\xB1\xB2"},
        CommentCase{"UnicodeLittle", "UNICODE\0\x41\0\x42\0"s, false, "AB"},
        CommentCase{"UnicodeBig", "UNICODE\0\x41\0\x42\0"s, true, "\xE4\x84\x80\xE4\x88\x80"},
        CommentCase{"UnicodeMixedCase", "Unicode\0\x30\x42"s, true, "\xE3\x81\x82"},
        CommentCase{"UnicodeZeroUnitIsNul", "UNICODE\0A\0\0\0"s, false, "A\0"s},
        CommentCase{"UnicodeOddByteIgnored", "UNICODE\0A\0B"s, false, "A"},
        CommentCase{"UnicodeLoneSurrogate", "UNICODE\0\x3D\xD8\x41\0"s, false, "\xEF\xBF\xBD" "A"},
        CommentCase{"UnicodeSurrogatePair", "UNICODE\0\x3D\xD8\x00\xDE"s, false, "\xF0\x9F\x98\x80"},
        CommentCase{"Jis", "JIS\0\0\0\0\0\x1B\x24\x42\x30\x21\x1B\x28\x42\x41"s, false, "亜A"},
        CommentCase{"Jis1990", "JIS\0\0\0\0\0\x1B&@\x1B$B\x30\x21\x46\x7C"s, false, "亜日"},
        CommentCase{"JisSupplementaryEscape", "JIS\0\0\0\0\0\x1B$(D\x30\x21"s, false, "亜"},
        CommentCase{"JisShiftOutIn", "JIS\0\0\0\0\0\x0E\x30\x21\x0F\x41"s, false, "亜A"},
        CommentCase{"JisStrayEscapeDropped", "JIS\0\0\0\0\0\x1B\x41\x42"s, false, "AB"},
        CommentCase{"UndefinedCode", "\0\0\0\0\0\0\0\0text"s, false, ""},
        CommentCase{"OtherCode", "SJIS\0\0\0\0text"s, false, ""},
        CommentCase{"CodeOnly", "ASCII\0\0\0"s, false, ""}),
    [](const auto& test_info) { return std::string(test_info.param.name); });
// clang-format on

TEST(JisToShiftJisTest, MapsRowsAndCells) {
  EXPECT_EQ(JisToShiftJis("\x1B$B\x30\x21"), "\x88\x9F");
  EXPECT_EQ(JisToShiftJis("\x1B$B\x31\x60"), "\x89\x80");  // Skips 0x7F.
  EXPECT_EQ(JisToShiftJis("\x1B$B\x30\x7E"), "\x88\xFC");
  EXPECT_EQ(JisToShiftJis("\x1B$B\x5F\x21"), "\xE0\x40");  // Upper rows.
  // The byte after an escape sequence is data even when it is ESC.
  EXPECT_EQ(JisToShiftJis("\x1B(B\x1B"), "\x1B");
  // A cut sequence ends the text without reading past it.
  EXPECT_EQ(JisToShiftJis("A\x1B$B\x30"), "A");
  EXPECT_EQ(JisToShiftJis("A\x1B"), "A");
  EXPECT_EQ(JisToShiftJis("A\x1B&@"), "A");
}

TEST_F(ExifFileTest, EachUserCommentEntryGivesOneLineByItsType) {
  testing::TiffBuilder t;
  const int ifd0 = t.AddDirectory();
  t.Ascii(ifd0, 0x9286, "abc");
  t.Short(ifd0, 0x9286, 5);
  t.Entry(ifd0, 0x9286, 8, 1, t.U16(0xFFFB));  // SSHORT -5.
  t.Rational(ifd0, 0x9286, 1, 3);
  t.Entry(ifd0, 0x9286, 12, 1, "\x9A\x99\x99\x99\x99\x99\xB9\x3F"s);  // 0.1
  t.Entry(ifd0, 0x9286, 11, 1, "\0\0\xC0\x3F"s);                      // 1.5
  t.Undefined(ifd0, 0x9286, "ASCII\0\0\0Hello"s);
  t.Undefined(ifd0, 0x9286, std::string(8, '\0'));
  t.Undefined(ifd0, 0x9286, "");         // Count 0: no line.
  t.Entry(ifd0, 0x9286, 13, 1, "abcd");  // Unknown type: no line.
  EXPECT_EQ(Read(t).UserComments(),
            (std::vector<std::string>{"abc", "5", "-5", "1/3", "0.1", "1.5",
                                      "Hello", ""}));
}

}  // namespace
}  // namespace kuronel
