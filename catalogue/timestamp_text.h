#ifndef KURONEL_CATALOGUE_TIMESTAMP_TEXT_H_
#define KURONEL_CATALOGUE_TIMESTAMP_TEXT_H_

#include <compare>
#include <string>
#include <string_view>

#include "platform/status.h"

namespace kuronel {

// The date-time of one catalogue row, to the second.
struct DateKey {
  int year = 0;
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;

  // The same calendar day, time of day dropped.
  DateKey DayOnly() const { return DateKey{year, month, day, 0, 0, 0}; }
  // clang-tidy takes the 0 that a comparison made from this one (in
  // std::tuple's, for one) is checked against for a null pointer.
  auto operator<=>(const DateKey&) const =
      default;  // NOLINT(modernize-use-nullptr)
};

// "YYYY/MM/DD HH:MM:SS" with a two-digit hour, or "YYYY/MM/DD" alone when the
// time is exactly 00:00:00. The two-digit fields make text order time order.
std::string TimestampText(const DateKey& key);

// The row caption: the year without leading zeros, then "_MM_DD"
// (2004_05_12).
std::string DisplayKind(const DateKey& key);

// The exact inverse of TimestampText. It also takes "YYYY/MM/DD 00:00:00",
// the form a midnight Exif date is rewritten to. Anything else (month 13,
// day 0, 31 April, year 0000, an hour 24, a one-digit field, extra text) is
// refused with a message that names the text.
Status ReadTimestampText(std::string_view text, DateKey& key);

// True for a real calendar date-time with a year from 1 to 9999.
bool IsValidDateKey(const DateKey& key);

}  // namespace kuronel

#endif  // KURONEL_CATALOGUE_TIMESTAMP_TEXT_H_
