#include "platform/text.h"

#include "gtest/gtest.h"

namespace kuronel {
namespace {

// Only A-Z and a-z are one letter: bytes of UTF-8 and CP932 characters stay
// apart even where a locale would fold them (0xC4 and 0xE4 in Latin-1).
TEST(SameIgnoringAsciiCaseTest, FoldsOnlyAsciiLetters) {
  struct Case {
    const char* a;
    const char* b;
    bool same;
  };
  const Case cases[] = {
      {".JPG", ".jpg", true},
      {"Main", "mAIN", true},
      {".jpg", ".jpeg", false},
      {"", "", true},
      {"\xC4", "\xE4", false},
      {"[", "{", false},
      {"@", "`", false},
      {"写真", "写真", true},
      {"\x82\x60", "\x82\x81", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SameIgnoringAsciiCase(c.a, c.b), c.same) << c.a << " " << c.b;
    EXPECT_EQ(SameIgnoringAsciiCase(c.b, c.a), c.same) << c.b << " " << c.a;
  }
}

TEST(ProgressBarTest, FillsFromTheLeftAndMarksOnePlace) {
  EXPECT_EQ(ProgressBar(0), "□□□□□□□□□□");
  EXPECT_EQ(ProgressBar(3), "■■■□□□□□□□");
  EXPECT_EQ(ProgressBar(10), "■■■■■■■■■■");
  EXPECT_EQ(ProgressBar(12), "■■■■■■■■■■");
  EXPECT_EQ(ProgressBar(1, 3), "■□□");
  EXPECT_EQ(MarkerBar(0), "■□□□□□□□□□");
  EXPECT_EQ(MarkerBar(9), "□□□□□□□□□■");
  EXPECT_EQ(MarkerBar(10), "□□□□□□□□□□");
}

}  // namespace
}  // namespace kuronel
