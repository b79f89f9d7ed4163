#ifndef KURONEL_CATALOGUE_CATALOGUE_DATES_H_
#define KURONEL_CATALOGUE_CATALOGUE_DATES_H_

#include <cstdint>
#include <string_view>

#include "catalogue/timestamp_text.h"
#include "platform/system_calls.h"

namespace kuronel {

// The date of a file by its modification time (seconds since the epoch):
// local time at the two-second resolution of the DOS date-time form, an odd
// second rounded down to the even one before it. Times before 1980 or after
// 2107 are used as they are; only a time outside the years 1 to 9999, which
// no date text can show, is held at the nearer end of that range. The local
// time comes from `calls` (localtime_r).
DateKey FileTimeDateKey(std::int64_t modified_seconds, SystemCalls& calls);

// Reads an Exif DateTimeOriginal text such as "2004:05:12 10:20:30": every
// "'" removed, split with the list splitter, ":" turned into "/" in the first
// item, joined with one blank to the second item and read as a timestamp
// text. False for an empty text, a text without both items, and a date that
// is not a real one (0000:00:00 00:00:00, a trailing "Z", ...).
bool ExifDateKey(std::string_view date_time_original, DateKey& key);

}  // namespace kuronel

#endif  // KURONEL_CATALOGUE_CATALOGUE_DATES_H_
