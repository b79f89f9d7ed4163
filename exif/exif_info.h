#ifndef KURONEL_EXIF_EXIF_INFO_H_
#define KURONEL_EXIF_EXIF_INFO_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "exif/byte_source.h"
#include "exif/exif_entry.h"
#include "exif/exif_fields.h"
#include "exif/exif_locate.h"
#include "platform/status.h"
#include "platform/system_calls.h"

namespace kuronel {

// How ReadFileOnce ended for one file.
enum class ExifReadOutcome {
  // No Exif block could be located, or the file could not be opened: the
  // reader is left as it was, as after HasExif alone.
  kNoBlock,
  // The block was read: everything is as after SetImageFileName.
  kRead,
  // The block was located but its TIFF header is cut short: the values stay
  // cleared, as after SetImageFileName with the same error.
  kHeaderCutShort,
};

// What ReadFileOnce found, in one value.
struct ExifRead {
  ExifReadOutcome outcome = ExifReadOutcome::kNoBlock;
  // The errno of the open or of any read that failed (ENOENT when the file
  // is gone, EACCES, EIO, ...); 0 when every read succeeded. Any outcome may
  // carry one: a failing card can cut a located block short.
  int read_error = 0;
  // For kHeaderCutShort, the message that SetImageFileName would return.
  std::string message;

  // What HasExif would answer.
  bool has_exif() const { return outcome != ExifReadOutcome::kNoBlock; }
  // False only where SetImageFileName would return an error.
  bool ok() const { return outcome != ExifReadOutcome::kHeaderCutShort; }
};

// Reads the Exif information of a JPEG photo (and, when asked, of a RAW or
// HEIF photo). Writing a file name with SetImageFileName clears every decoded
// value, finds the Exif block near the start of the file, walks its image
// file directories and keeps the values of the known tags, which callers then
// read through the const accessors. The file is only ever read, through
// `calls`.
class TExifInfo {
 public:
  // Numbers are handed out by value, texts by const reference.
  template <typename T>
  using FieldResult = std::conditional_t<std::is_scalar_v<T>, T, const T&>;
  using ReadErrorHandler = std::function<void(TExifInfo& sender)>;

  // The APP1 marker is looked for at byte offsets 2 .. SearchRange - 1.
  static constexpr int32_t kDefaultSearchRange = 32;
  // Positions of directories one read can hold; further links are ignored.
  static constexpr size_t kMaxDirectories = 13;

  // `calls` must outlive the reader.
  explicit TExifInfo(SystemCalls& calls);
  virtual ~TExifInfo() = default;
  TExifInfo(const TExifInfo&) = delete;
  TExifInfo& operator=(const TExifInfo&) = delete;

  // True when the file starts as a JPEG with an Exif APP1 segment within
  // SearchRange. Whatever the name or extension; a missing file, a folder or
  // an unreadable file gives false. Leaves the decoded values alone.
  bool HasExif(const std::string& file_name) const;

  // Stores the name, clears every decoded value and reads the file. When no
  // Exif block can be located, DoReadError runs and the result is Ok. An
  // error is returned only when the block was located but the file could not
  // be opened again or its TIFF header is cut short; the values then stay
  // cleared and OnReadError is not raised.
  Status SetImageFileName(const std::string& file_name);

  // HasExif and, when it answers true, SetImageFileName on the same file,
  // with one open and one read of the file's start (a second read only where
  // the directories point past it). Without a block nothing changes, as
  // after HasExif alone: not ImageFileName, not the decoded values, and
  // OnReadError is not raised; a caller that writes ImageFileName only for
  // files with a block sees no difference. With one, everything is as after
  // SetImageFileName, its error included (kHeaderCutShort).
  ExifRead ReadFileOnce(const std::string& file_name);
  const std::string& ImageFileName() const { return image_file_name_; }

  // Whether TIFF-form RAW files (CR2, NEF, ARW, DNG, ORF, RW2, PEF, ...),
  // CR3, HEIF/AVIF photos and RAF files count as having an Exif block, which
  // is then read where each format keeps it. Off by default: JPEG only.
  // Recognised by the file's first bytes, never by its name; movies never.
  bool ReadsRawAndHeif() const { return reads_raw_and_heif_; }
  void SetReadsRawAndHeif(bool reads) { reads_raw_and_heif_ = reads; }

  // The system calls the reader reads files through.
  SystemCalls& system_calls() const { return calls_; }

  int32_t SearchRange() const { return search_range_; }
  void SetSearchRange(int32_t search_range) { search_range_ = search_range; }

  // Raised when a newly written file name has no Exif block to be located.
  const ReadErrorHandler& OnReadError() const { return on_read_error_; }
  void SetOnReadError(ReadErrorHandler handler) {
    on_read_error_ = std::move(handler);
  }

  // Finds the Exif block and gives the file offset of its (first) TIFF
  // header.
  std::optional<uint64_t> LocateExif(const std::string& file_name) const;
  std::optional<uint64_t> LocateExif(ByteSource& source) const;

  // Reads the TIFF header at tiff_start of the current file and walks all
  // directories (see SetImageFileName for the errors).
  Status ReadDirectories(uint64_t tiff_start);
  Status ReadDirectories(ByteSource& source, uint64_t tiff_start);

  // Empties every decoded text and UserComments and zeroes every decoded
  // number. ImageFileName, SearchRange, OnReadError and MotorolaOrder stay.
  void ClearAll();

  // True when the TIFF header of the last file read began with "MM".
  bool MotorolaOrder() const { return motorola_order_; }
  // True when the file's InteroperabilityIndex reads "THM" (a DCF thumbnail
  // file stored beside a movie).
  bool IsThumbnailFile() const { return is_thumbnail_file_; }

  // The decoded values, read-only to callers: one accessor per field of
  // exif_fields.h, named as the field (DateTimeOriginal(), FNumber(),
  // ImageWidth(), ...); texts by const reference, numbers by value.
#define KURONEL_EXIF_ACCESSOR(type, name) \
  FieldResult<type> name() const { return fields_.name; }
  KURONEL_EXIF_FIELDS(KURONEL_EXIF_ACCESSOR)
#undef KURONEL_EXIF_ACCESSOR
  const std::vector<std::string>& UserComments() const {
    return user_comments_;
  }
  const ExifFields& fields() const { return fields_; }

 protected:
  // Called when no Exif block can be located; raises OnReadError.
  virtual void DoReadError();

 private:
  // Fills the decoded fields from one entry of the directory at
  // directory_index (0 is the first directory, every other one holds
  // thumbnail values).
  void ApplyTagRule(const DirectoryEntry& entry, LazyEntryValue& value,
                    size_t directory_index, uint64_t tiff_start);
  void ApplyUserComment(const DirectoryEntry& entry, const EntryValue& value);
  void ApplyRelatedImageSize(uint32_t size, uint32_t& thumbnail_size,
                             uint32_t& image_size) const;

  // Where the file's Exif data lies: a JPEG's APP1 segment, and with
  // ReadsRawAndHeif the places of the other formats.
  std::optional<TiffStarts> Locate(ByteSource& source) const;
  std::optional<TiffStarts> Locate(const std::string& file_name) const;
  // ReadDirectories on every TIFF structure of `starts`, on a file opened
  // anew (source null) or on `source`.
  Status ReadAllDirectories(ByteSource* source, const TiffStarts& starts);
  // Walks the directories of the TIFF structure at tiff_start; the first
  // one counts as the directory at list index `first_index` to the tag
  // rules (1 for an Exif directory that stands first in a structure).
  Status WalkTiff(ByteSource& source, uint64_t tiff_start, size_t first_index);

  SystemCalls& calls_;
  std::string image_file_name_;
  int32_t search_range_ = kDefaultSearchRange;
  bool reads_raw_and_heif_ = false;
  ReadErrorHandler on_read_error_;
  bool motorola_order_ = false;
  bool is_thumbnail_file_ = false;
  ExifFields fields_;
  std::vector<std::string> user_comments_;
  // The start of the file being read by ReadFileOnce, kept between files.
  HeadBuffer head_buffer_;
};

}  // namespace kuronel

#endif  // KURONEL_EXIF_EXIF_INFO_H_
