#include "exif/byte_reader.h"

#include <algorithm>

namespace kuronel {

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

}  // namespace kuronel
