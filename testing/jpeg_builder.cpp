#include "testing/jpeg_builder.h"

#include <stdexcept>

namespace kuronel::testing {
namespace {

constexpr size_t kHeaderSize = 8;
constexpr size_t kEntrySize = 12;

size_t DirectorySize(size_t entries) { return 2 + kEntrySize * entries + 4; }

}  // namespace

TiffBuilder::TiffBuilder(ByteOrder order) : order_(order) {}

int TiffBuilder::AddDirectory() {
  directories_.emplace_back();
  return static_cast<int>(directories_.size()) - 1;
}

TiffBuilder& TiffBuilder::Entry(int dir, uint16_t tag, uint16_t type,
                                uint32_t count, std::string_view value) {
  directories_.at(dir).entries.push_back(
      PlannedEntry{tag, type, count, std::string(value), std::nullopt});
  return *this;
}

TiffBuilder& TiffBuilder::EntryWithField(int dir, uint16_t tag, uint16_t type,
                                         uint32_t count, uint32_t field) {
  directories_.at(dir).entries.push_back(
      PlannedEntry{tag, type, count, std::string(), field});
  return *this;
}

TiffBuilder& TiffBuilder::Ascii(int dir, uint16_t tag, std::string_view text) {
  std::string value(text);
  value += '\0';
  return Entry(dir, tag, 2, static_cast<uint32_t>(value.size()), value);
}

TiffBuilder& TiffBuilder::Short(int dir, uint16_t tag, uint16_t value) {
  return Entry(dir, tag, 3, 1, U16(value));
}

TiffBuilder& TiffBuilder::Long(int dir, uint16_t tag, uint32_t value) {
  return Entry(dir, tag, 4, 1, U32(value));
}

TiffBuilder& TiffBuilder::Rational(int dir, uint16_t tag, uint32_t numerator,
                                   uint32_t denominator) {
  return Entry(dir, tag, 5, 1, U32(numerator) + U32(denominator));
}

TiffBuilder& TiffBuilder::SRational(int dir, uint16_t tag, int32_t numerator,
                                    int32_t denominator) {
  return Entry(dir, tag, 10, 1,
               U32(static_cast<uint32_t>(numerator)) +
                   U32(static_cast<uint32_t>(denominator)));
}

TiffBuilder& TiffBuilder::Undefined(int dir, uint16_t tag,
                                    std::string_view bytes) {
  return Entry(dir, tag, 7, static_cast<uint32_t>(bytes.size()), bytes);
}

TiffBuilder& TiffBuilder::Pointer(int dir, uint16_t tag, int target) {
  PlannedEntry entry{tag, 4, 1, std::string(), std::nullopt, target};
  directories_.at(dir).entries.push_back(entry);
  return *this;
}

TiffBuilder& TiffBuilder::Next(int dir, int target) {
  directories_.at(dir).next = target;
  return *this;
}

TiffBuilder& TiffBuilder::RawNext(int dir, uint32_t offset) {
  directories_.at(dir).raw_next = offset;
  return *this;
}

TiffBuilder& TiffBuilder::RawEntryCount(int dir, uint16_t count) {
  directories_.at(dir).raw_count = count;
  return *this;
}

TiffBuilder& TiffBuilder::RawFirstOffset(uint32_t offset) {
  raw_first_offset_ = offset;
  return *this;
}

TiffBuilder& TiffBuilder::ByteOrderMark(std::string_view two_bytes) {
  byte_order_mark_ = std::string(two_bytes);
  return *this;
}

std::string TiffBuilder::U16(uint16_t value) const {
  const char high = static_cast<char>(value >> 8);
  const char low = static_cast<char>(value & 0xFF);
  return order_ == ByteOrder::kMotorola ? std::string{high, low}
                                        : std::string{low, high};
}

std::string TiffBuilder::U32(uint32_t value) const {
  const std::string high = U16(static_cast<uint16_t>(value >> 16));
  const std::string low = U16(static_cast<uint16_t>(value & 0xFFFF));
  return order_ == ByteOrder::kMotorola ? high + low : low + high;
}

std::string TiffBuilder::Build() const {
  std::vector<uint32_t> offsets;
  size_t position = kHeaderSize;
  for (const PlannedDirectory& dir : directories_) {
    offsets.push_back(static_cast<uint32_t>(position));
    position += DirectorySize(dir.entries.size());
  }
  auto offset_of = [&](int index) -> uint32_t {
    if (index < 0 || static_cast<size_t>(index) >= offsets.size())
      throw std::out_of_range("no such directory");
    return offsets[index];
  };

  std::string out =
      byte_order_mark_.value_or(order_ == ByteOrder::kMotorola ? "MM" : "II");
  out += U16(42);
  out += U32(raw_first_offset_.value_or(offsets.empty() ? 0 : offsets[0]));

  std::string data;  // Values behind the directories, word aligned.
  for (const PlannedDirectory& dir : directories_) {
    out +=
        U16(dir.raw_count.value_or(static_cast<uint16_t>(dir.entries.size())));
    for (const PlannedEntry& entry : dir.entries) {
      out += U16(entry.tag) + U16(entry.type) + U32(entry.count);
      if (entry.pointer_target >= 0) {
        out += U32(offset_of(entry.pointer_target));
      } else if (entry.field) {
        out += U32(*entry.field);
      } else if (entry.value.size() <= 4) {
        out += entry.value + std::string(4 - entry.value.size(), '\0');
      } else {
        out += U32(static_cast<uint32_t>(position + data.size()));
        data += entry.value;
        if (data.size() % 2) data += '\0';
      }
    }
    out += U32(dir.raw_next    ? *dir.raw_next
               : dir.next >= 0 ? offset_of(dir.next)
                               : 0);
  }
  return out + data;
}

JpegBuilder& JpegBuilder::App0() {
  return Segment(0xE0, std::string("JFIF\0\x01\x01\0\0\x01\0\x01\0\0", 14));
}

JpegBuilder& JpegBuilder::Segment(uint8_t marker, std::string_view payload) {
  const size_t length = payload.size() + 2;
  body_ += '\xFF';
  body_ += static_cast<char>(marker);
  body_ += static_cast<char>((length >> 8) & 0xFF);
  body_ += static_cast<char>(length & 0xFF);
  body_ += payload;
  return *this;
}

JpegBuilder& JpegBuilder::App1(std::string_view identifier,
                               std::string_view payload) {
  return Segment(0xE1, std::string(identifier) + std::string(payload));
}

JpegBuilder& JpegBuilder::Exif(const TiffBuilder& tiff) {
  return App1(std::string_view("Exif\0\0", 6), tiff.Build());
}

JpegBuilder& JpegBuilder::PadTo(size_t offset) {
  if (offset < size()) throw std::logic_error("the file is already longer");
  body_.append(offset - size(), '\0');
  return *this;
}

JpegBuilder& JpegBuilder::Bytes(std::string_view bytes) {
  body_ += bytes;
  return *this;
}

std::string JpegBuilder::Build() const {
  return std::string("\xFF\xD8", 2) + body_ + std::string("\xFF\xD9", 2);
}

std::string ExifJpeg(const TiffBuilder& tiff) {
  return JpegBuilder().Exif(tiff).Build();
}

}  // namespace kuronel::testing
