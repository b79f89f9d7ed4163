#ifndef KURONEL_EXIF_EXIF_ENTRY_H_
#define KURONEL_EXIF_EXIF_ENTRY_H_

#include <cstdint>
#include <optional>
#include <string>

#include "exif/byte_reader.h"

namespace kuronel {

// TIFF field types (the low 8 bits of an entry's type).
enum ExifType : uint8_t {
  kTypeByte = 1,
  kTypeAscii = 2,
  kTypeShort = 3,
  kTypeLong = 4,
  kTypeRational = 5,
  kTypeSByte = 6,
  kTypeUndefined = 7,
  kTypeSShort = 8,
  kTypeSLong = 9,
  kTypeSRational = 10,
  kTypeFloat = 11,
  kTypeDouble = 12,
};

// One 12-byte directory entry as it stands in the file.
struct DirectoryEntry {
  uint16_t tag = 0;
  uint8_t type = 0;
  uint32_t count = 0;
  // The 4-byte value-or-offset field read as a number in the file's order.
  uint32_t field = 0;
  // Where that field stands in the file; inline values are read from here.
  uint64_t field_position = 0;
};

// The value of one entry. Each type fills only some members; the others stay
// cleared.
struct EntryValue {
  double Number = 0;           // RATIONAL, SRATIONAL, FLOAT, DOUBLE
  int32_t SignedValue = 0;     // SBYTE, SSHORT, SLONG
  std::string Text;            // ASCII, RATIONAL, SRATIONAL, UNDEFINED
  uint32_t UnsignedValue = 0;  // BYTE, SHORT, LONG
};

// Bytes per element of a type; unknown types count as 8.
uint32_t TypeUnit(uint8_t type);

// Reads the value of `entry`: from its field when the value takes at most 4
// bytes, else from tiff_start + the field as an offset. Of numeric values
// only the first element is read. A value that runs past the end of the data
// keeps what could be read for ASCII and UNDEFINED; a number that cannot be
// read in full stays cleared.
EntryValue ReadEntryValue(ByteReader& reader, const DirectoryEntry& entry,
                          uint64_t tiff_start);

// The value of one entry, read on first use: the walk hands every entry to
// the tag rules, and most entries (unknown tags, maker notes) are never
// looked at.
class LazyEntryValue {
 public:
  LazyEntryValue(ByteReader& reader, const DirectoryEntry& entry,
                 uint64_t tiff_start)
      : reader_(reader), entry_(entry), tiff_start_(tiff_start) {}

  const EntryValue& operator*() {
    if (!value_) value_ = ReadEntryValue(reader_, entry_, tiff_start_);
    return *value_;
  }
  const EntryValue* operator->() { return &**this; }

 private:
  ByteReader& reader_;
  const DirectoryEntry& entry_;
  uint64_t tiff_start_;
  std::optional<EntryValue> value_;
};

// Two uppercase hexadecimal digits per byte, in order.
std::string BytesToHex(const std::string& bytes);

}  // namespace kuronel

#endif  // KURONEL_EXIF_EXIF_ENTRY_H_
