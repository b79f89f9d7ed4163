#ifndef KURONEL_EXIF_BYTE_READER_H_
#define KURONEL_EXIF_BYTE_READER_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "exif/byte_source.h"

namespace kuronel {

// Reads the numbers of a TIFF structure at given positions of a ByteSource,
// in the structure's byte order. A number whose bytes do not all lie inside
// the data is not read at all.
class ByteReader {
 public:
  // The most bytes that BytesUpTo hands out over one reader's life. Each
  // text stops at the end of the data, but a crafted file could list the
  // same huge text in thousands of entries; no real Exif block comes near.
  static constexpr uint64_t kDefaultTextBudget = 64 * 1024 * 1024;

  explicit ByteReader(ByteSource& source,
                      uint64_t text_budget = kDefaultTextBudget)
      : source_(source), text_budget_(text_budget) {}

  // Big-endian ("MM") when true, little-endian otherwise.
  void set_motorola_order(bool motorola_order) {
    motorola_order_ = motorola_order;
  }
  bool motorola_order() const { return motorola_order_; }

  uint64_t size() const { return source_.Size(); }

  // Copies exactly `size` bytes at `position`; false when fewer are there.
  bool BytesAt(uint64_t position, uint8_t* out, size_t size);

  // As many of `count` bytes at `position` as the data holds (and as the
  // text budget has left).
  std::string BytesUpTo(uint64_t position, uint64_t count);

  std::optional<uint16_t> U16At(uint64_t position);
  std::optional<uint32_t> U32At(uint64_t position);
  std::optional<uint64_t> U64At(uint64_t position);

  // Decodes numbers from bytes already read, in the current byte order.
  uint16_t Decode16(const uint8_t* bytes) const;
  uint32_t Decode32(const uint8_t* bytes) const;
  uint64_t Decode64(const uint8_t* bytes) const;

 private:
  ByteSource& source_;
  uint64_t text_budget_;
  bool motorola_order_ = false;
};

}  // namespace kuronel

#endif  // KURONEL_EXIF_BYTE_READER_H_
