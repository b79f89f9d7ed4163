#include "platform/cp932.h"

#include <gtest/gtest.h>

namespace kuronel {
namespace {

TEST(Cp932Test, RoundTripsJapaneseAndAscii) {
  struct Case {
    const char* utf8;
    const char* cp932;
  } cases[] = {
      {"亜", "\x88\x9f"},
      {"背景色", "\x94\x77\x8c\x69\x90\x46"},
      {"ABC abc", "ABC abc"},
      {"ｱ", "\xb1"},  // half-width katakana is one byte
      {"", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Cp932ToUtf8(c.cp932), c.utf8);
    EXPECT_EQ(Utf8ToCp932(c.utf8), std::optional<std::string>(c.cp932));
  }
}

TEST(Cp932Test, InvalidBytesBecomeReplacementCharacters) {
  // 0x81 starts a double-byte character; alone at the end it is incomplete.
  EXPECT_EQ(Cp932ToUtf8("a\x81"), "a\xEF\xBF\xBD");
  EXPECT_EQ(Cp932ToUtf8("\xA0z"), "\xEF\xBF\xBDz");
}

TEST(Cp932Test, CharactersWithoutCp932FormAreRefused) {
  EXPECT_EQ(Utf8ToCp932("😀"), std::nullopt);
  EXPECT_EQ(Utf8ToCp932("\xff"), std::nullopt);
  EXPECT_EQ(CodePointToCp932(U'亜'), std::optional<std::string>("\x88\x9f"));
  EXPECT_EQ(CodePointToCp932(0x1F600), std::nullopt);
  EXPECT_EQ(CodePointToCp932(0xD800), std::nullopt);
}

TEST(Cp932Test, RecognisesWellFormedUtf8) {
  EXPECT_TRUE(IsValidUtf8("ascii"));
  EXPECT_TRUE(IsValidUtf8("写真"));
  EXPECT_FALSE(IsValidUtf8("\xc0\xaf"));          // overlong "/"
  EXPECT_FALSE(IsValidUtf8("\xed\xa0\x80"));      // surrogate
  EXPECT_FALSE(IsValidUtf8("\xe5\x86"));          // cut short
  EXPECT_FALSE(IsValidUtf8("\x8e\x8a\x90\x5e"));  // 写真 in CP932
}

TEST(Cp932Test, DisplayNameDecodesShiftJisNames) {
  EXPECT_EQ(DisplayName("\x8e\xca\x90\x5e.jpg"), "写真.jpg");
  EXPECT_EQ(DisplayName("写真.jpg"), "写真.jpg");
  // In a path each folder is decoded on its own.
  EXPECT_EQ(DisplayPath("/写真/\x83\x4a\x83\x81\x83\x89/"), "/写真/カメラ/");
}

}  // namespace
}  // namespace kuronel
