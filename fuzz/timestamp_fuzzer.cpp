// libFuzzer target: the date-time text of a catalogue row, and the two ways a
// row gets its date (an Exif date text, a file time). Whatever the
// reader takes must be written back to the same text (or, for the
// "00:00:00" form of a midnight Exif date, to the date alone) and read back
// to the same value; whatever the writer gives for a real date must read
// back to it, and text order must be time order.

#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/catalogue_dates.h"
#include "catalogue/list_splitter.h"
#include "catalogue/timestamp_text.h"

namespace {

using kuronel::DateKey;

void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "property violated: %s\n", what);
    abort();
  }
}

int Sign(int value) { return (value > 0) - (value < 0); }

// The C library's calendar as an independent judge: a real date-time comes
// back unchanged from timegm and gmtime_r; anything else is normalised into
// another one.
bool IsCalendarDateTime(const DateKey& key) {
  if (key.year < 1 || key.year > 9999) return false;
  // Far beyond any calendar field, and where the arithmetic below could
  // overflow.
  for (int field : {key.month, key.day, key.hour, key.minute, key.second})
    if (field < -100 || field > 100) return false;
  std::tm in{};
  in.tm_year = key.year - 1900;
  in.tm_mon = key.month - 1;
  in.tm_mday = key.day;
  in.tm_hour = key.hour;
  in.tm_min = key.minute;
  in.tm_sec = key.second;
  const std::time_t seconds = timegm(&in);
  std::tm out{};
  if (gmtime_r(&seconds, &out) == nullptr) return false;
  return out.tm_year == key.year - 1900 && out.tm_mon == key.month - 1 &&
         out.tm_mday == key.day && out.tm_hour == key.hour &&
         out.tm_min == key.minute && out.tm_sec == key.second;
}

void CheckReadText(std::string_view text) {
  DateKey key{1, 2, 3, 4, 5, 6};
  const DateKey untouched = key;
  if (!kuronel::ReadTimestampText(text, key).ok()) {
    Check(key == untouched, "a refused text leaves the key alone");
    return;
  }
  Check(kuronel::IsValidDateKey(key) && IsCalendarDateTime(key),
        "an accepted text is a real date");
  const std::string written = kuronel::TimestampText(key);
  const bool midnight_form =
      text.size() == 19 && text.substr(10) == " 00:00:00";
  Check(written == (midnight_form ? text.substr(0, 10) : text),
        "an accepted text writes back to itself");
  DateKey again;
  Check(kuronel::ReadTimestampText(written, again).ok() && again == key,
        "the written text reads back to the same value");
  Check(kuronel::DisplayKind(key) == std::to_string(key.year) + "_" +
                                         written.substr(5, 2) + "_" +
                                         written.substr(8, 2),
        "the display kind is the same day");
}

DateKey KeyFromBytes(const uint8_t* data) {
  int32_t fields[6];
  std::memcpy(fields, data, sizeof fields);
  // Mostly small values, so that real dates come up often.
  auto field = [&](int i, int modulus) {
    return fields[i] < 0 ? fields[i] : fields[i] % modulus;
  };
  return DateKey{field(0, 10001), field(1, 14), field(2, 33),
                 field(3, 25),    field(4, 61), field(5, 61)};
}

void CheckWrittenKey(const DateKey& key) {
  const std::string text = kuronel::TimestampText(key);
  DateKey read;
  const bool ok = kuronel::ReadTimestampText(text, read).ok();
  Check(kuronel::IsValidDateKey(key) == IsCalendarDateTime(key),
        "a real date is one the calendar knows");
  Check(ok == kuronel::IsValidDateKey(key),
        "the writer's text reads exactly for real dates");
  if (ok) Check(read == key, "a real date reads back to itself");
}

void CheckOrder(const DateKey& a, const DateKey& b) {
  if (!kuronel::IsValidDateKey(a) || !kuronel::IsValidDateKey(b)) return;
  const int by_text =
      Sign(kuronel::TimestampText(a).compare(kuronel::TimestampText(b)));
  const int by_time = a < b ? -1 : (a == b ? 0 : 1);
  Check(by_text == by_time, "text order is time order");
}

// The Exif date as the catalogue documents it: "'" removed, split with the
// list splitter, ":" to "/" in the first item, joined with one blank to the
// second. The reader may take a shorter way, never to another result.
void CheckExifDate(std::string_view text) {
  std::string cleaned;
  for (char c : text)
    if (c != '\'') cleaned += c;
  const std::vector<std::string> items = kuronel::SplitList(cleaned);
  DateKey expected;
  bool expected_ok = false;
  if (items.size() >= 2) {
    std::string date = items[0];
    for (char& c : date)
      if (c == ':') c = '/';
    expected_ok =
        kuronel::ReadTimestampText(date + " " + items[1], expected).ok();
  }
  DateKey key;
  const bool ok = kuronel::ExifDateKey(text, key);
  Check(ok == expected_ok, "an Exif date is taken exactly when its text reads");
  if (ok) Check(key == expected, "an Exif date reads to its text's value");
}

// Any file time gives a real date whose text reads back.
void CheckFileTime(int64_t seconds) {
  const DateKey key =
      kuronel::FileTimeDateKey(seconds, kuronel::RealSystemCalls());
  Check(kuronel::IsValidDateKey(key), "a file time gives a real date");
  Check(key.second % 2 == 0, "a file time has even seconds");
  DateKey read;
  Check(kuronel::ReadTimestampText(kuronel::TimestampText(key), read).ok() &&
            read == key,
        "a file time's text reads back");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  CheckReadText(text);
  CheckExifDate(text);
  if (size >= 8) {
    int64_t seconds;
    std::memcpy(&seconds, data, sizeof seconds);
    CheckFileTime(seconds);
  }
  if (size >= 2 * 24) {
    const DateKey a = KeyFromBytes(data);
    const DateKey b = KeyFromBytes(data + 24);
    CheckWrittenKey(a);
    CheckWrittenKey(b);
    CheckOrder(a, b);
    // The same day at another time, so that equal dates come up too.
    CheckOrder(a, DateKey{a.year, a.month, a.day, b.hour, b.minute, b.second});
  }
  return 0;
}
