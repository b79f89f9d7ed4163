// Locating the Exif block of a photo file and walking its TIFF directories.

#include <algorithm>
#include <cstring>

#include "exif/byte_reader.h"
#include "exif/exif_info.h"
#include "exif/exif_locate.h"
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

// How much of the file's start the walk of `starts` takes in with one read:
// a JPEG's up to the end of its APP1 segment, another file's first pages
// where its Exif data lies within them.
size_t WalkHeadSize(ByteSource& source, const TiffStarts& starts) {
  if (starts.in_app1) return WalkHeadSize(source, starts.first);
  return starts.first < kReadHeadSize ? kReadHeadSize : kFirstReadSize;
}

}  // namespace

std::optional<TiffStarts> TExifInfo::Locate(ByteSource& source) const {
  const std::optional<uint64_t> in_jpeg =
      LocateJpegExif(source, 0, search_range_);
  if (in_jpeg) return TiffStarts{*in_jpeg, std::nullopt, true};
  if (!reads_raw_and_heif_) return std::nullopt;
  return LocateCameraFileExif(source, search_range_);
}

std::optional<TiffStarts> TExifInfo::Locate(
    const std::string& file_name) const {
  FileByteSource source(calls_);
  if (!source.Open(file_name, LocateHeadSize(search_range_)))
    return std::nullopt;
  // The boxes of a camera file lie in its first pages: one read of them.
  if (reads_raw_and_heif_) source.ExtendHeadOnMiss(kReadHeadSize);
  return Locate(source);
}

std::optional<uint64_t> TExifInfo::LocateExif(
    const std::string& file_name) const {
  const std::optional<TiffStarts> starts = Locate(file_name);
  if (!starts) return std::nullopt;
  return starts->first;
}

std::optional<uint64_t> TExifInfo::LocateExif(ByteSource& source) const {
  const std::optional<TiffStarts> starts = Locate(source);
  if (!starts) return std::nullopt;
  return starts->first;
}

Status TExifInfo::ReadDirectories(uint64_t tiff_start) {
  return ReadAllDirectories(nullptr,
                            TiffStarts{tiff_start, std::nullopt, true});
}

Status TExifInfo::ReadAllDirectories(ByteSource* source,
                                     const TiffStarts& starts) {
  FileByteSource file(calls_);
  if (source == nullptr) {
    if (!file.Open(image_file_name_, 0))
      return Status::Error("Exif を読み直せません: " +
                           DisplayName(image_file_name_));
    file.ReadHead(WalkHeadSize(file, starts));
    source = &file;
  }
  Status status = WalkTiff(*source, starts.first, 0);
  if (status.ok() && starts.exif_directory)
    status = WalkTiff(*source, *starts.exif_directory, 1);
  return status;
}

ExifRead TExifInfo::ReadFileOnce(const std::string& file_name) {
  ExifRead result;
  FileByteSource source(head_buffer_, calls_);
  const bool opened = source.Open(
      file_name, std::max(kFirstReadSize, LocateHeadSize(search_range_)));
  result.read_error = source.error();
  if (!opened) return result;
  if (reads_raw_and_heif_) source.ExtendHeadOnMiss(kReadHeadSize);
  const std::optional<TiffStarts> starts = Locate(source);
  if (!starts) {
    result.read_error = source.error();
    return result;
  }
  // From here on as SetImageFileName, on the file that is already open.
  image_file_name_ = file_name;
  is_thumbnail_file_ = false;
  ClearAll();
  source.ExtendHeadOnMiss(WalkHeadSize(source, *starts));
  const Status read = ReadAllDirectories(&source, *starts);
  result.outcome =
      read.ok() ? ExifReadOutcome::kRead : ExifReadOutcome::kHeaderCutShort;
  result.message = read.message();
  // A read past the file's start that failed left fields unread.
  result.read_error = source.error();
  return result;
}

Status TExifInfo::ReadDirectories(ByteSource& source, uint64_t tiff_start) {
  return WalkTiff(source, tiff_start, 0);
}

Status TExifInfo::WalkTiff(ByteSource& source, uint64_t tiff_start,
                           size_t first_index) {
  ByteReader reader(source);
  uint8_t byte_order[2];
  if (!reader.BytesAt(tiff_start, byte_order, sizeof byte_order))
    return Status::Error("TIFF ヘッダーが途中で切れています: " +
                         DisplayName(image_file_name_));
  motorola_order_ = byte_order[0] == 'M' && byte_order[1] == 'M';
  reader.set_motorola_order(motorola_order_);
  if (first_index == 0) {
    is_thumbnail_file_ = false;
    fields_.MakerNotePosition = 0;
  }

  // The TIFF number 42 after the byte order is not checked (ORF and RW2
  // files have numbers of their own).
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
      ApplyTagRule(entry, value, first_index + index, tiff_start);
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
