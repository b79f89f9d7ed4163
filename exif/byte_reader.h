#ifndef KURONEL_EXIF_BYTE_READER_H_
#define KURONEL_EXIF_BYTE_READER_H_

#include <cstddef>
#include <cstdint>
#include <cstring>
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
  static constexpr uint64_t kDefaultTextBudget = uint64_t{64} * 1024 * 1024;

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
  // Bytes the source holds in memory are copied here directly: the walk
  // reads thousands of small numbers per file.
  bool BytesAt(uint64_t position, uint8_t* out, size_t size) {
    const size_t window = source_.window_size();
    if (position <= window && size <= window - position) {
      std::memcpy(out, source_.window() + position, size);
      return true;
    }
    return source_.ReadAt(position, out, size) == size;
  }

  // As many of `count` bytes at `position` as the data holds (and as the
  // text budget has left).
  std::string BytesUpTo(uint64_t position, uint64_t count);

  std::optional<uint16_t> U16At(uint64_t position);
  std::optional<uint32_t> U32At(uint64_t position);
  std::optional<uint64_t> U64At(uint64_t position);

  // Decodes numbers from bytes already read, in the current byte order.
  uint16_t Decode16(const uint8_t* bytes) const {
    return motorola_order_ ? static_cast<uint16_t>(bytes[0] << 8 | bytes[1])
                           : static_cast<uint16_t>(bytes[1] << 8 | bytes[0]);
  }
  uint32_t Decode32(const uint8_t* bytes) const {
    return motorola_order_ ? Decode<uint32_t, true>(bytes)
                           : Decode<uint32_t, false>(bytes);
  }
  uint64_t Decode64(const uint8_t* bytes) const {
    return motorola_order_ ? Decode<uint64_t, true>(bytes)
                           : Decode<uint64_t, false>(bytes);
  }

 private:
  template <typename Number, bool kBigEndian>
  static Number Decode(const uint8_t* bytes) {
    Number value = 0;
    for (size_t i = 0; i < sizeof(Number); ++i) {
      const uint8_t byte =
          kBigEndian ? bytes[i] : bytes[sizeof(Number) - 1 - i];
      value = static_cast<Number>(value << 8 | byte);
    }
    return value;
  }

  ByteSource& source_;
  uint64_t text_budget_;
  bool motorola_order_ = false;
};

}  // namespace kuronel

#endif  // KURONEL_EXIF_BYTE_READER_H_
