#ifndef KURONEL_TESTING_JPEG_BUILDER_H_
#define KURONEL_TESTING_JPEG_BUILDER_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kuronel::testing {

enum class ByteOrder { kIntel, kMotorola };

// Builds a TIFF structure (the body of an Exif APP1 segment): header,
// directories in the order they were added, then the values too large for
// their entries. Directory 0 is the one the header points to.
//
//   TiffBuilder tiff(ByteOrder::kMotorola);
//   int ifd0 = tiff.AddDirectory(), exif = tiff.AddDirectory();
//   tiff.Ascii(ifd0, 0x010F, "Canon").Pointer(ifd0, 0x8769, exif);
//   tiff.Ascii(exif, 0x9003, "2004:05:12 14:23:01");
class TiffBuilder {
 public:
  explicit TiffBuilder(ByteOrder order = ByteOrder::kIntel);

  int AddDirectory();

  // An entry of any type and count; `value` is its bytes in file order
  // (see U16/U32): at most 4 go into the entry, more go behind the
  // directories with the entry holding their offset.
  TiffBuilder& Entry(int dir, uint16_t tag, uint16_t type, uint32_t count,
                     std::string_view value);
  // An entry whose 4-byte value-or-offset field is written as given.
  TiffBuilder& EntryWithField(int dir, uint16_t tag, uint16_t type,
                              uint32_t count, uint32_t field);
  // ASCII with its terminating NUL (count = size + 1).
  TiffBuilder& Ascii(int dir, uint16_t tag, std::string_view text);
  TiffBuilder& Short(int dir, uint16_t tag, uint16_t value);
  TiffBuilder& Long(int dir, uint16_t tag, uint32_t value);
  TiffBuilder& Rational(int dir, uint16_t tag, uint32_t numerator,
                        uint32_t denominator);
  TiffBuilder& SRational(int dir, uint16_t tag, int32_t numerator,
                         int32_t denominator);
  TiffBuilder& Undefined(int dir, uint16_t tag, std::string_view bytes);
  // A LONG entry holding the offset of directory `target` (0x8769, 0xA005).
  TiffBuilder& Pointer(int dir, uint16_t tag, int target);

  // The next-directory link of `dir`: to directory `target`, or raw.
  TiffBuilder& Next(int dir, int target);
  TiffBuilder& RawNext(int dir, uint32_t offset);
  // Writes `count` as the entry count of `dir` whatever it holds.
  TiffBuilder& RawEntryCount(int dir, uint16_t count);
  // The header's offset of the first directory, instead of directory 0's.
  TiffBuilder& RawFirstOffset(uint32_t offset);
  // The two byte-order bytes of the header, instead of "II" / "MM".
  TiffBuilder& ByteOrderMark(std::string_view two_bytes);

  // Numbers in this structure's byte order.
  std::string U16(uint16_t value) const;
  std::string U32(uint32_t value) const;

  std::string Build() const;

 private:
  struct PlannedEntry {
    uint16_t tag;
    uint16_t type;
    uint32_t count;
    std::string value;
    std::optional<uint32_t> field;
    int pointer_target = -1;
  };
  struct PlannedDirectory {
    std::vector<PlannedEntry> entries;
    int next = -1;
    std::optional<uint32_t> raw_next;
    std::optional<uint16_t> raw_count;
  };

  ByteOrder order_;
  std::vector<PlannedDirectory> directories_;
  std::optional<uint32_t> raw_first_offset_;
  std::optional<std::string> byte_order_mark_;
};

// Builds a JPEG file from chosen segments: FF D8, the parts in order, FF D9.
class JpegBuilder {
 public:
  // The standard 18-byte JFIF APP0 segment.
  JpegBuilder& App0();
  // Marker FF `marker`, a length that covers the payload, the payload.
  JpegBuilder& Segment(uint8_t marker, std::string_view payload);
  // An APP1 segment: the 6-byte identifier, then the payload.
  JpegBuilder& App1(std::string_view identifier, std::string_view payload);
  // The Exif APP1 segment ("Exif" and two NUL bytes) of `tiff`.
  JpegBuilder& Exif(const TiffBuilder& tiff);
  // Filler bytes (zero) until the file so far is `offset` bytes long.
  JpegBuilder& PadTo(size_t offset);
  JpegBuilder& Bytes(std::string_view bytes);

  std::string Build() const;
  // Offset from the start of the file of the next part to be added.
  size_t size() const { return 2 + body_.size(); }

 private:
  std::string body_;
};

// The common case: a JPEG whose Exif APP1 follows the start-of-image marker.
std::string ExifJpeg(const TiffBuilder& tiff);

}  // namespace kuronel::testing

#endif  // KURONEL_TESTING_JPEG_BUILDER_H_
