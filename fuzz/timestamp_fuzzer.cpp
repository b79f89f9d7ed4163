// libFuzzer target: the date-time text of a catalogue row. Whatever the
// reader takes must be written back to the same text (or, for the
// "00:00:00" form of a midnight Exif date, to the date alone) and read back
// to the same value; whatever the writer gives for a real date must read
// back to it, and text order must be time order.

#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

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

void CheckReadText(std::string_view text) {
  DateKey key{1, 2, 3, 4, 5, 6};
  const DateKey untouched = key;
  if (!kuronel::ReadTimestampText(text, key).ok()) {
    Check(key == untouched, "a refused text leaves the key alone");
    return;
  }
  Check(kuronel::IsValidDateKey(key), "an accepted text is a real date");
  const std::string written = kuronel::TimestampText(key);
  const bool midnight_form =
      text.size() == 19 && text.substr(10) == " 00:00:00";
  Check(written == (midnight_form ? text.substr(0, 10) : text),
        "an accepted text writes back to itself");
  DateKey again;
  Check(kuronel::ReadTimestampText(written, again).ok() && again == key,
        "the written text reads back to the same value");
  Check(kuronel::DisplayKind(key) ==
            std::to_string(key.Year) + "_" + written.substr(5, 2) + "_" +
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CheckReadText(std::string_view(reinterpret_cast<const char*>(data), size));
  if (size >= 2 * 24) {
    const DateKey a = KeyFromBytes(data);
    const DateKey b = KeyFromBytes(data + 24);
    CheckWrittenKey(a);
    CheckWrittenKey(b);
    CheckOrder(a, b);
    // The same day at another time, so that equal dates come up too.
    CheckOrder(a, DateKey{a.Year, a.Month, a.Day, b.Hour, b.Minute, b.Second});
  }
  return 0;
}
