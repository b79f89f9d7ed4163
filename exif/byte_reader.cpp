#include "exif/byte_reader.h"

#include <algorithm>

namespace kuronel {

bool ByteReader::BytesAt(uint64_t position, uint8_t* out, size_t size) {
  return source_.ReadAt(position, out, size) == size;
}

std::string ByteReader::BytesUpTo(uint64_t position, uint64_t count) {
  const uint64_t available =
      position < source_.Size() ? source_.Size() - position : 0;
  std::string bytes(
      static_cast<size_t>(std::min({count, available, text_budget_})), '\0');
  bytes.resize(source_.ReadAt(
      position, reinterpret_cast<uint8_t*>(bytes.data()), bytes.size()));
  text_budget_ -= bytes.size();
  return bytes;
}

std::optional<uint16_t> ByteReader::U16At(uint64_t position) {
  uint8_t bytes[2];
  if (!BytesAt(position, bytes, sizeof bytes)) return std::nullopt;
  return Decode16(bytes);
}

std::optional<uint32_t> ByteReader::U32At(uint64_t position) {
  uint8_t bytes[4];
  if (!BytesAt(position, bytes, sizeof bytes)) return std::nullopt;
  return Decode32(bytes);
}

std::optional<uint64_t> ByteReader::U64At(uint64_t position) {
  uint8_t bytes[8];
  if (!BytesAt(position, bytes, sizeof bytes)) return std::nullopt;
  return Decode64(bytes);
}

uint16_t ByteReader::Decode16(const uint8_t* bytes) const {
  return motorola_order_ ? static_cast<uint16_t>(bytes[0] << 8 | bytes[1])
                         : static_cast<uint16_t>(bytes[1] << 8 | bytes[0]);
}

uint32_t ByteReader::Decode32(const uint8_t* bytes) const {
  uint32_t value = 0;
  for (int i = 0; i < 4; ++i) {
    const uint8_t byte = motorola_order_ ? bytes[i] : bytes[3 - i];
    value = value << 8 | byte;
  }
  return value;
}

uint64_t ByteReader::Decode64(const uint8_t* bytes) const {
  uint64_t value = 0;
  for (int i = 0; i < 8; ++i) {
    const uint8_t byte = motorola_order_ ? bytes[i] : bytes[7 - i];
    value = value << 8 | byte;
  }
  return value;
}

}  // namespace kuronel
