#include "exif/exif_entry.h"

#include <bit>
#include <string>

namespace kuronel {

uint32_t TypeUnit(uint8_t type) {
  switch (type) {
    case kTypeByte:
    case kTypeAscii:
    case kTypeSByte:
    case kTypeUndefined:
      return 1;
    case kTypeShort:
    case kTypeSShort:
      return 2;
    case kTypeLong:
    case kTypeSLong:
    case kTypeFloat:
      return 4;
    default:
      return 8;
  }
}

std::string BytesToHex(const std::string& bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  hex.reserve(bytes.size() * 2);
  for (unsigned char byte : bytes) {
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 0x0F];
  }
  return hex;
}

namespace {

std::string WithoutNulBytes(std::string text) {
  std::erase(text, '\0');
  return text;
}

void ReadRational(ByteReader& reader, uint64_t position, bool is_signed,
                  EntryValue& value) {
  const auto numerator = reader.U32At(position);
  const auto denominator = reader.U32At(position + 4);
  if (!numerator || !denominator) return;
  if (is_signed) {
    const auto n = static_cast<int32_t>(*numerator);
    const auto d = static_cast<int32_t>(*denominator);
    value.Text = std::to_string(n) + "/" + std::to_string(d);
    if (d != 0) value.Number = static_cast<double>(n) / d;
  } else {
    value.Text =
        std::to_string(*numerator) + "/" + std::to_string(*denominator);
    if (*denominator != 0)
      value.Number = static_cast<double>(*numerator) / *denominator;
  }
}

}  // namespace

EntryValue ReadEntryValue(ByteReader& reader, const DirectoryEntry& entry,
                          uint64_t tiff_start) {
  EntryValue value;
  // The product is taken in 64 bits: a count whose 32-bit product would wrap
  // to a small size still names a value that cannot fit in the field.
  const uint64_t size = uint64_t{entry.count} * TypeUnit(entry.type);
  const uint64_t position =
      size <= 4 ? entry.field_position : tiff_start + entry.field;

  switch (entry.type) {
    case kTypeByte: {
      uint8_t byte;
      if (reader.BytesAt(position, &byte, 1)) value.UnsignedValue = byte;
      break;
    }
    case kTypeAscii:
      value.Text = WithoutNulBytes(reader.BytesUpTo(position, entry.count));
      break;
    case kTypeShort:
      if (auto v = reader.U16At(position)) value.UnsignedValue = *v;
      break;
    case kTypeLong:
      if (auto v = reader.U32At(position)) value.UnsignedValue = *v;
      break;
    case kTypeRational:
    case kTypeSRational:
      ReadRational(reader, position, entry.type == kTypeSRational, value);
      break;
    case kTypeSByte: {
      uint8_t byte;
      if (reader.BytesAt(position, &byte, 1))
        value.SignedValue = byte < 0x80 ? byte : byte - 0x100;
      break;
    }
    case kTypeUndefined:
      value.Text = BytesToHex(reader.BytesUpTo(position, entry.count));
      break;
    case kTypeSShort:
      if (auto v = reader.U16At(position))
        value.SignedValue = static_cast<int16_t>(*v);
      break;
    case kTypeSLong:
      if (auto v = reader.U32At(position))
        value.SignedValue = static_cast<int32_t>(*v);
      break;
    case kTypeFloat:
      if (auto v = reader.U32At(position))
        value.Number = std::bit_cast<float>(*v);
      break;
    case kTypeDouble:
      if (auto v = reader.U64At(position))
        value.Number = std::bit_cast<double>(*v);
      break;
    default:
      break;  // Unknown types carry no value.
  }
  return value;
}

}  // namespace kuronel
