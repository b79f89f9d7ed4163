#ifndef KURONEL_PLATFORM_NAME_FOLDING_H_
#define KURONEL_PLATFORM_NAME_FOLDING_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/system_calls.h"

namespace kuronel {

// How a drive that ignores letter case compares names: each UTF-16 code unit
// of a name is replaced by its upper-case unit from a table, and two names
// are one when their replaced forms are equal. FAT folds the letters a-z
// alone; exFAT folds as the up-case table stored on the drive says.
class UpcaseTable {
 public:
  // The letters a-z to A-Z, nothing else: what every FAT and exFAT drive
  // folds at least.
  static UpcaseTable AsciiOnly();
  // The up-case table as exFAT stores it: little-endian code units, the
  // upper case of unit 0, 1, 2, ... in turn, where 0xFFFF followed by N
  // stands for N units that are their own upper case. False (the table left
  // as it was) for a table that maps no letter a-z.
  static bool FromExfat(std::string_view stored, UpcaseTable& table);

  char16_t Upper(char16_t unit) const {
    return unit < upper_.size() ? upper_[unit] : unit;
  }

 private:
  std::vector<char16_t> upper_;  // units past its end are their own
};

// `name` (UTF-8) as the drive of `table` compares it: each character of the
// Basic Multilingual Plane replaced by its upper case. Bytes that are no
// UTF-8, and characters beyond the plane, stay as they are.
std::string FoldedName(std::string_view name, const UpcaseTable& table);

// exFAT's checksum of its up-case table (each byte added to the sum rotated
// right by one).
std::uint32_t ExfatTableChecksum(std::string_view bytes);

// Reads the up-case table of the exFAT drive on the device open as `device`,
// checked against the checksum its root folder records. False when the
// device holds no exFAT drive or its table cannot be read whole.
bool ReadExfatUpcaseTable(int device, UpcaseTable& table, SystemCalls& calls);

}  // namespace kuronel

#endif  // KURONEL_PLATFORM_NAME_FOLDING_H_
