#include "catalogue/catalogue_dates.h"

#include <algorithm>
#include <ctime>
#include <string>
#include <vector>

#include "catalogue/list_splitter.h"

namespace kuronel {
namespace {

constexpr DateKey kEarliestKey{1, 1, 1, 0, 0, 0};
constexpr DateKey kLatestKey{9999, 12, 31, 23, 59, 58};

}  // namespace

DateKey FileTimeDateKey(std::int64_t modified_seconds, SystemCalls& calls) {
  const auto seconds = static_cast<std::time_t>(modified_seconds);
  std::tm local{};
  if (!calls.LocalTime(seconds, local))
    return modified_seconds < 0 ? kEarliestKey : kLatestKey;
  DateKey key{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
              local.tm_hour,        local.tm_min,     local.tm_sec};
  if (key.year < kEarliestKey.year) return kEarliestKey;
  if (key.year > kLatestKey.year) return kLatestKey;
  // A leap second (60) counts as 58, the last even second of the minute.
  key.second = std::min(key.second, 59) & ~1;
  return key;
}

namespace {

// "YYYY:MM:DD HH:MM:SS" made of digits and colons only, as cameras write it:
// no quote, comma or blank but the one in the middle, so the general steps
// below would split it into its two halves and change nothing else.
bool IsPlainExifDate(std::string_view text) {
  if (text.size() != 19 || text[10] != ' ') return false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (i != 10 && c != ':' && (c < '0' || c > '9')) return false;
  }
  return true;
}

}  // namespace

bool ExifDateKey(std::string_view date_time_original, DateKey& key) {
  if (IsPlainExifDate(date_time_original)) {
    char text[19];
    std::copy(date_time_original.begin(), date_time_original.end(), text);
    std::replace(text, text + 10, ':', '/');
    return ReadTimestampText(std::string_view(text, sizeof text), key).ok();
  }
  std::string text;
  text.reserve(date_time_original.size());
  for (char c : date_time_original)
    if (c != '\'') text += c;
  const std::vector<std::string> items = SplitList(text);
  if (items.size() < 2) return false;
  std::string date = items[0];
  std::replace(date.begin(), date.end(), ':', '/');
  return ReadTimestampText(date + " " + items[1], key).ok();
}

}  // namespace kuronel
