// Locating the Exif block of a JPEG file and walking its TIFF directories.

#include <algorithm>
#include <cstring>

#include "exif/byte_reader.h"
#include "exif/exif_info.h"
#include "exif/exif_tags.h"
#include "platform/cp932.h"

namespace kuronel {
namespace {

// The most of a file's start that one read takes in for the directory walk:
// an APP1 segment holds less than 64 KiB.
constexpr size_t kReadHeadSize = size_t{64} * 1024;
// The APP1 segment's length field and identifier follow the marker.
constexpr uint64_t kIdentifierOffset = 4;
constexpr size_t kIdentifierSize = 6;
constexpr uint64_t kTiffOffset = kIdentifierOffset + kIdentifierSize;
constexpr size_t kEntrySize = 12;

// What ReadFileOnce reads of a file's start first: one page holds the
// directories of nearly every camera's Exif block.
constexpr size_t kFirstReadSize = 4096;

// The bytes HasExif needs at most: the marker pairs up to SearchRange and
// the identifier after the last of them.
size_t LocateHeadSize(int32_t search_range) {
  const int64_t last_marker = std::max<int64_t>(2, int64_t{search_range} - 1);
  return static_cast<size_t>(
      std::min<int64_t>(last_marker + kTiffOffset, kReadHeadSize));
}

// Offset of the first FF E1 pair that starts at 2 .. last_pair (at 2 in any
// case). The scan reads raw bytes; it does not step over segments.
std::optional<uint64_t> FindApp1Marker(ByteSource& source,
                                       int32_t search_range) {
  const uint64_t last_pair =
      static_cast<uint64_t>(std::max<int64_t>(2, int64_t{search_range} - 1));
  uint8_t block[4096];
  uint64_t offset = 2;
  while (offset <= last_pair) {
    const size_t wanted = static_cast<size_t>(
        std::min<uint64_t>(sizeof block, last_pair - offset + 2));
    const size_t got = source.ReadAt(offset, block, wanted);
    for (size_t i = 0; i + 1 < got; ++i) {
      if (block[i] == 0xFF && block[i + 1] == 0xE1) return offset + i;
    }
    if (got < wanted) return std::nullopt;  // The file ends within the range.
    offset += got - 1;  // The last byte starts the next pair.
  }
  return std::nullopt;
}

// "Exif" in any letter case up to the first NUL byte.
bool IsExifIdentifier(const uint8_t (&identifier)[kIdentifierSize]) {
  const auto* begin = reinterpret_cast<const char*>(identifier);
  const auto* end = std::find(begin, begin + kIdentifierSize, '\0');
  static constexpr char kExif[] = "exif";
  if (end - begin != 4) return false;
  for (int i = 0; i < 4; ++i) {
    char c = begin[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != kExif[i]) return false;
  }
  return true;
}

// The positions of the directories found so far, each listed once, at most
// kMaxDirectories of them: a file cannot make the walk loop or overrun.
class DirectoryList {
 public:
  void Add(uint64_t position) {
    if (count_ == TExifInfo::kMaxDirectories) return;
    if (std::find(positions_, positions_ + count_, position) !=
        positions_ + count_)
      return;
    positions_[count_++] = position;
  }
  size_t size() const { return count_; }
  uint64_t operator[](size_t index) const { return positions_[index]; }

 private:
  uint64_t positions_[TExifInfo::kMaxDirectories] = {};
  size_t count_ = 0;
};

// The file's start up to the end of the APP1 segment whose TIFF header is at
// tiff_start, so that the compressed image is not read along with it.
size_t WalkHeadSize(ByteSource& source, uint64_t tiff_start) {
  uint8_t length[2];
  const uint64_t length_position = tiff_start - (kTiffOffset - 2);
  if (tiff_start < kTiffOffset ||
      source.ReadAt(length_position, length, 2) != 2)
    return kReadHeadSize;
  const uint64_t segment_end = length_position + (length[0] << 8 | length[1]);
  return static_cast<size_t>(std::clamp<uint64_t>(
      segment_end, std::min<uint64_t>(tiff_start + 8, kReadHeadSize),
      kReadHeadSize));
}

}  // namespace

std::optional<uint64_t> TExifInfo::LocateExif(
    const std::string& file_name) const {
  FileByteSource source;
  if (!source.Open(file_name, LocateHeadSize(search_range_)))
    return std::nullopt;
  return LocateExif(source);
}

std::optional<uint64_t> TExifInfo::LocateExif(ByteSource& source) const {
  uint8_t start[2];
  if (source.ReadAt(0, start, 2) != 2 || start[0] != 0xFF || start[1] != 0xD8)
    return std::nullopt;
  const std::optional<uint64_t> marker = FindApp1Marker(source, search_range_);
  if (!marker) return std::nullopt;
  uint8_t identifier[kIdentifierSize];
  if (source.ReadAt(*marker + kIdentifierOffset, identifier, kIdentifierSize) !=
          kIdentifierSize ||
      !IsExifIdentifier(identifier))
    return std::nullopt;
  return *marker + kTiffOffset;
}

Status TExifInfo::ReadDirectories(uint64_t tiff_start) {
  FileByteSource source;
  if (!source.Open(image_file_name_, 0))
    return Status::Error("Exif を読み直せません: " +
                         DisplayName(image_file_name_));
  source.ReadHead(WalkHeadSize(source, tiff_start));
  return ReadDirectories(source, tiff_start);
}

Status TExifInfo::ReadFileOnce(const std::string& file_name,
                               bool& has_exif) {
  has_exif = false;
  FileByteSource source(head_buffer_);
  const bool opened = source.Open(
      file_name, std::max(kFirstReadSize, LocateHeadSize(search_range_)));
  last_read_error_ = source.error();
  if (!opened) return Status::Ok();
  const std::optional<uint64_t> tiff_start = LocateExif(source);
  if (!tiff_start) {
    last_read_error_ = source.error();
    return Status::Ok();
  }
  has_exif = true;
  // From here on as SetImageFileName, on the file that is already open.
  image_file_name_ = file_name;
  is_thumbnail_file_ = false;
  ClearAll();
  source.ExtendHeadOnMiss(WalkHeadSize(source, *tiff_start));
  Status read = ReadDirectories(source, *tiff_start);
  // A read past the file's start that failed left fields unread.
  last_read_error_ = source.error();
  return read;
}

Status TExifInfo::ReadDirectories(ByteSource& source, uint64_t tiff_start) {
  ByteReader reader(source);
  uint8_t byte_order[2];
  if (!reader.BytesAt(tiff_start, byte_order, sizeof byte_order))
    return Status::Error("TIFF ヘッダーが途中で切れています: " +
                         DisplayName(image_file_name_));
  motorola_order_ = byte_order[0] == 'M' && byte_order[1] == 'M';
  reader.set_motorola_order(motorola_order_);
  is_thumbnail_file_ = false;
  fields_.MakerNotePosition = 0;

  // The TIFF number 42 after the byte order is not checked.
  const std::optional<uint32_t> first_offset = reader.U32At(tiff_start + 4);
  if (!first_offset) return Status::Ok();
  DirectoryList directories;
  directories.Add(tiff_start + *first_offset);

  for (size_t index = 0; index < directories.size(); ++index) {
    const uint64_t position = directories[index];
    const std::optional<uint16_t> entry_count = reader.U16At(position);
    if (!entry_count) break;  // Past the end: the walk ends, values stay.
    uint64_t entry_position = position + 2;
    bool cut_short = false;
    for (uint32_t i = 0; i < *entry_count; ++i, entry_position += kEntrySize) {
      uint8_t raw[kEntrySize];
      if (!reader.BytesAt(entry_position, raw, sizeof raw)) {
        cut_short = true;
        break;
      }
      DirectoryEntry entry;
      entry.tag = reader.Decode16(raw);
      entry.type = static_cast<uint8_t>(reader.Decode16(raw + 2));
      entry.count = reader.Decode32(raw + 4);
      entry.field = reader.Decode32(raw + 8);
      entry.field_position = entry_position + 8;
      LazyEntryValue value(reader, entry, tiff_start);
      ApplyTagRule(entry, value, index, tiff_start);
      if (entry.tag == exif_tag::kExifIfdPointer ||
          entry.tag == exif_tag::kInteroperabilityIfdPointer)
        directories.Add(tiff_start + value->UnsignedValue);
    }
    // A directory whose entries run past the end of the file ends the walk
    // like one whose entry count cannot be read.
    if (cut_short) break;
    const std::optional<uint32_t> next = reader.U32At(entry_position);
    if (next && *next != 0) directories.Add(tiff_start + *next);
  }
  return Status::Ok();
}

}  // namespace kuronel
