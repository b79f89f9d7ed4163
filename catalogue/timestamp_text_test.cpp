#include "catalogue/timestamp_text.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace kuronel {
namespace {

TEST(TimestampTextTest, WritesTwoDigitFieldsAndDateAloneAtMidnight) {
  struct Case {
    DateKey key;
    const char* timestamp;
    const char* display_kind;
  } cases[] = {
      {{2004, 5, 12, 10, 20, 30}, "2004/05/12 10:20:30", "2004_05_12"},
      {{2004, 5, 12, 9, 5, 0}, "2004/05/12 09:05:00", "2004_05_12"},
      {{2004, 5, 12, 0, 0, 0}, "2004/05/12", "2004_05_12"},
      {{2004, 5, 12, 0, 0, 2}, "2004/05/12 00:00:02", "2004_05_12"},
      {{999, 1, 2, 23, 59, 59}, "0999/01/02 23:59:59", "999_01_02"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TimestampText(c.key), c.timestamp);
    EXPECT_EQ(DisplayKind(c.key), c.display_kind);
    DateKey read;
    ASSERT_TRUE(ReadTimestampText(c.timestamp, read).ok()) << c.timestamp;
    EXPECT_EQ(read, c.key) << c.timestamp;
  }
}

// The texts are written without printf for speed; they must be the printf
// forms "%04d/%02d/%02d %02d:%02d:%02d" and "%d_%.2d_%.2d" for every key,
// at the edges of each field's width too.
TEST(TimestampTextTest, TextsAreThePrintfForms) {
  auto printf_timestamp = [](const DateKey& k) {
    char text[96];
    if (k.hour == 0 && k.minute == 0 && k.second == 0) {
      std::snprintf(text, sizeof text, "%04d/%02d/%02d", k.year, k.month,
                    k.day);
    } else {
      std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d:%02d", k.year,
                    k.month, k.day, k.hour, k.minute, k.second);
    }
    return std::string(text);
  };
  auto printf_display_kind = [](const DateKey& k) {
    char text[64];
    std::snprintf(text, sizeof text, "%d_%.2d_%.2d", k.year, k.month, k.day);
    return std::string(text);
  };
  const int years[] = {-1, 0, 1, 9, 10, 99, 100, 999, 1000, 2004, 9999, 10000};
  const int fields[] = {-1, 0, 1, 9, 10, 12, 31, 59, 99, 100};
  int compared = 0;
  for (int year : years) {
    for (int a : fields) {
      for (int b : fields) {
        // Date fields and time fields in turn, the others plain.
        const DateKey keys[] = {{year, a, b, 10, 20, 30},
                                {year, 5, 12, a, b, 0},
                                {year, 5, 12, 0, a, b},
                                {year, a, 12, 0, 0, 0}};
        for (const DateKey& key : keys) {
          EXPECT_EQ(TimestampText(key), printf_timestamp(key));
          EXPECT_EQ(DisplayKind(key), printf_display_kind(key));
          ++compared;
        }
      }
    }
  }
  EXPECT_EQ(compared, 12 * 10 * 10 * 4);
}

TEST(TimestampTextTest, ReadsTheRewrittenExifFormIncludingMidnight) {
  DateKey key;
  ASSERT_TRUE(ReadTimestampText("2004/05/12 00:00:00", key).ok());
  EXPECT_EQ(key, (DateKey{2004, 5, 12, 0, 0, 0}));
  ASSERT_TRUE(ReadTimestampText("2000/02/29 12:00:00", key).ok());
}

TEST(TimestampTextTest, RefusesEverythingElseNamingTheText) {
  for (const char* text :
       {"", "2004/13/01", "2004/00/10", "2004/05/00", "2004/04/31",
        "1900/02/29", "0000/00/00 00:00:00", "2004/05/12 24:00:00",
        "2004/05/12 10:60:00", "2004/05/12 10:20:60", "2004/5/12",
        "2004/05/12 9:05:00", "2004:05:12 10:20:30", "2004/05/12 10:20:30Z",
        "2004/05/12  10:20:30", "2004-05-12"}) {
    DateKey key{1, 1, 1, 1, 1, 1};
    Status status = ReadTimestampText(text, key);
    EXPECT_FALSE(status.ok()) << text;
    EXPECT_NE(status.message().find(std::string("'") + text + "'"),
              std::string::npos)
        << status.message();
    EXPECT_EQ(key, (DateKey{1, 1, 1, 1, 1, 1})) << "left untouched: " << text;
  }
}

TEST(TimestampTextTest, TextOrderIsTimeOrder) {
  DateKey earlier{2004, 5, 12, 9, 5, 0};
  DateKey later{2004, 5, 12, 10, 0, 0};
  DateKey midnight{2004, 5, 12, 0, 0, 0};
  EXPECT_LT(TimestampText(earlier), TimestampText(later));
  EXPECT_LT(TimestampText(midnight), TimestampText(earlier));
}

}  // namespace
}  // namespace kuronel
