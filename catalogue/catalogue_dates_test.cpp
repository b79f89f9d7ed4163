#include "catalogue/catalogue_dates.h"

#include <optional>
#include <string>
#include <vector>

#include "gtest/gtest.h"

namespace kuronel {
namespace {

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

}  // namespace
}  // namespace kuronel
