#include "catalogue/catalogue_dates.h"

#include <optional>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "testing/faulty_system_calls.h"

namespace kuronel {
namespace {

// A file time the system gives no local date for (a year beyond its
// calendar) is held at the nearer end of the range, never read as garbage.
TEST(FileTimeDateKeyTest, ATimeWithoutALocalDateIsHeldAtTheNearerEnd) {
  class NoLocalTime : public testing::FaultySystemCalls {
    bool LocalTime(std::time_t, struct tm&) override { return false; }
  } calls;
  EXPECT_EQ(TimestampText(FileTimeDateKey(-1, calls)), "0001/01/01");
  EXPECT_EQ(TimestampText(FileTimeDateKey(1, calls)), "9999/12/31 23:59:58");
}

TEST(ExifDateKeyTest, ReadsTheExifDateOrRefusesIt) {
  struct Case {
    std::string text;
    std::optional<std::string> timestamp;  // nullopt: refused
  };
  const std::vector<Case> cases = {
      {"2004:05:12 10:20:30", "2004/05/12 10:20:30"},
      {"2004:05:12 10:20:31", "2004/05/12 10:20:31"},  // Exif is not rounded
      {"2004:05:12 00:00:00", "2004/05/12"},
      {"'2004:05:12' '10:20:30'", "2004/05/12 10:20:30"},  // "'" removed
      {"2004:05:12 10:20:30 extra", "2004/05/12 10:20:30"},
      {"  2004:05:12,10:20:30", "2004/05/12 10:20:30"},
      {"\"2004:05:12\" 10:20:30", "2004/05/12 10:20:30"},
      {"2004/05/12 10:20:30", "2004/05/12 10:20:30"},
      {"", std::nullopt},
      {"2004:05:12", std::nullopt},
      {"2004:05:12T10:20:30", std::nullopt},
      {"0000:00:00 00:00:00", std::nullopt},
      {"2004:05:12 10:20:30Z", std::nullopt},
      {"2004:02:30 10:20:30", std::nullopt},
      {"    :  :     :  :  ", std::nullopt},
      {"2004:05:12 24:00:00", std::nullopt},
  };
  for (const Case& c : cases) {
    DateKey key;
    const bool read = ExifDateKey(c.text, key);
    EXPECT_EQ(read, c.timestamp.has_value()) << c.text;
    if (read && c.timestamp) {
      EXPECT_EQ(TimestampText(key), *c.timestamp);
    }
  }
}

// The usual camera form is read by a shortcut. A leading blank or quote
// sends the same text the general way (both are dropped there), so the two
// ways must agree on every text made of digits and colons.
TEST(ExifDateKeyTest, ShortcutAgreesWithTheGeneralWay) {
  const std::string base[] = {"2004:05:12 10:20:30", "2000:02:29 00:00:00",
                              "1999:12:31 23:59:59", "2004:05:12 00:00:02"};
  const char replacements[] = {'0', '1', '2', '3', '6', '9', ':'};
  int read_count = 0, compared = 0;
  for (const std::string& text : base) {
    for (size_t i = 0; i < text.size(); ++i) {
      for (char replacement : replacements) {
        std::string variant = text;
        if (i != 10) variant[i] = replacement;
        for (const std::string& general : {" " + variant, "'" + variant}) {
          DateKey shortcut_key, general_key;
          const bool shortcut = ExifDateKey(variant, shortcut_key);
          EXPECT_EQ(shortcut, ExifDateKey(general, general_key)) << variant;
          if (shortcut) {
            EXPECT_EQ(shortcut_key, general_key) << variant;
          }
          read_count += shortcut;
          ++compared;
        }
      }
    }
  }
  EXPECT_EQ(compared, 4 * 19 * 7 * 2);
  EXPECT_GT(read_count, 100);
  EXPECT_LT(read_count, compared);
}

}  // namespace
}  // namespace kuronel
