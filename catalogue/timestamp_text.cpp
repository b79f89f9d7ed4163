#include "catalogue/timestamp_text.h"

#include <cstdio>

namespace kuronel {
namespace {

bool IsLeapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30,
                                  31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Reads exactly `digits` decimal digits at text[pos].
bool ReadDigits(std::string_view text, size_t pos, int digits, int& value) {
  if (pos + digits > text.size()) return false;
  value = 0;
  for (int i = 0; i < digits; ++i) {
    char c = text[pos + i];
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  return true;
}

bool Parse(std::string_view text, DateKey& key) {
  DateKey parsed;
  // YYYY/MM/DD is 10 characters, with " HH:MM:SS" 19.
  if (text.size() != 10 && text.size() != 19) return false;
  if (!ReadDigits(text, 0, 4, parsed.year) || text[4] != '/' ||
      !ReadDigits(text, 5, 2, parsed.month) || text[7] != '/' ||
      !ReadDigits(text, 8, 2, parsed.day))
    return false;
  if (text.size() == 19 &&
      (text[10] != ' ' || !ReadDigits(text, 11, 2, parsed.hour) ||
       text[13] != ':' || !ReadDigits(text, 14, 2, parsed.minute) ||
       text[16] != ':' || !ReadDigits(text, 17, 2, parsed.second)))
    return false;
  if (!IsValidDateKey(parsed)) return false;
  key = parsed;
  return true;
}

}  // namespace

bool IsValidDateKey(const DateKey& key) {
  return key.year >= 1 && key.year <= 9999 && key.month >= 1 &&
         key.month <= 12 && key.day >= 1 &&
         key.day <= DaysInMonth(key.year, key.month) && key.hour >= 0 &&
         key.hour <= 23 && key.minute >= 0 && key.minute <= 59 &&
         key.second >= 0 && key.second <= 59;
}

namespace {

bool InRange(int value, int last) { return value >= 0 && value <= last; }

// Writes `value` (0 .. 10^digits - 1) with `digits` digits, leading zeros
// included.
char* PutDigits(char* out, int value, int digits) {
  for (int i = digits - 1; i >= 0; --i, value /= 10)
    out[i] = static_cast<char>('0' + value % 10);
  return out + digits;
}

// Every catalogue row gets both texts, so the usual keys are written by
// hand; anything a field width cannot hold goes through printf as before.
bool HasPlainFields(const DateKey& key) {
  return InRange(key.year, 9999) && InRange(key.month, 99) &&
         InRange(key.day, 99) && InRange(key.hour, 99) &&
         InRange(key.minute, 99) && InRange(key.second, 99);
}

}  // namespace

std::string TimestampText(const DateKey& key) {
  const bool midnight = key.hour == 0 && key.minute == 0 && key.second == 0;
  if (HasPlainFields(key)) {
    char text[19];
    char* out = PutDigits(text, key.year, 4);
    *out++ = '/';
    out = PutDigits(out, key.month, 2);
    *out++ = '/';
    out = PutDigits(out, key.day, 2);
    if (!midnight) {
      *out++ = ' ';
      out = PutDigits(out, key.hour, 2);
      *out++ = ':';
      out = PutDigits(out, key.minute, 2);
      *out++ = ':';
      out = PutDigits(out, key.second, 2);
    }
    return std::string(text, out);
  }
  char buffer[32];
  if (midnight) {
    std::snprintf(buffer, sizeof buffer, "%04d/%02d/%02d", key.year, key.month,
                  key.day);
  } else {
    std::snprintf(buffer, sizeof buffer, "%04d/%02d/%02d %02d:%02d:%02d",
                  key.year, key.month, key.day, key.hour, key.minute,
                  key.second);
  }
  return buffer;
}

std::string DisplayKind(const DateKey& key) {
  if (HasPlainFields(key)) {
    char text[10];
    const int year_digits = key.year >= 1000  ? 4
                            : key.year >= 100 ? 3
                            : key.year >= 10  ? 2
                                              : 1;
    char* out = PutDigits(text, key.year, year_digits);
    *out++ = '_';
    out = PutDigits(out, key.month, 2);
    *out++ = '_';
    out = PutDigits(out, key.day, 2);
    return std::string(text, out);
  }
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%d_%.2d_%.2d", key.year, key.month,
                key.day);
  return buffer;
}

Status ReadTimestampText(std::string_view text, DateKey& key) {
  if (Parse(text, key)) return Status::Ok();
  return Status::Error("'" + std::string(text) +
                       "' は正しい日付時刻ではありません。");
}

}  // namespace kuronel
