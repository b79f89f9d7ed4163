// The checks of the Exif reader's fuzz targets: an input is written to one
// temporary file, which HasExif and a full read then take, and then the
// one-read way (ReadFileOnce), which must give the same.

#ifndef KURONEL_FUZZ_EXIF_READ_CHECK_H_
#define KURONEL_FUZZ_EXIF_READ_CHECK_H_

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <type_traits>

#include "exif/exif_info.h"

namespace kuronel_fuzz {

// One temporary file that holds each input in turn.
class InputFile {
 public:
  InputFile() {
    const char* base = getenv("TMPDIR");
    path_ = std::string(base && *base ? base : "/tmp") + "/kuronel-fuzz-XXXXXX";
    fd_ = mkstemp(path_.data());
    if (fd_ < 0) {
      std::perror("mkstemp");
      abort();
    }
  }
  ~InputFile() {
    close(fd_);
    unlink(path_.c_str());
  }

  const std::string& Write(const uint8_t* data, size_t size) {
    if (ftruncate(fd_, 0) != 0) abort();
    size_t done = 0;
    while (done < size) {
      ssize_t written = pwrite(fd_, data + done, size - done, done);
      if (written <= 0) abort();
      done += static_cast<size_t>(written);
    }
    return path_;
  }

 private:
  std::string path_;
  int fd_ = -1;
};

template <typename T>
bool SameValue(const T& a, const T& b) {
  if constexpr (std::is_floating_point_v<T>) {
    if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
  }
  return a == b;
}

inline bool SameValues(const kuronel::TExifInfo& a,
                       const kuronel::TExifInfo& b) {
#define KURONEL_SAME_FIELD(type, name) \
  if (!SameValue(a.fields().name, b.fields().name)) return false;
  KURONEL_EXIF_FIELDS(KURONEL_SAME_FIELD)
#undef KURONEL_SAME_FIELD
  return a.UserComments() == b.UserComments() &&
         a.IsThumbnailFile() == b.IsThumbnailFile();
}

// Reads the file at `path` both ways, with RAW and HEIF files read or not,
// and aborts where the two ways disagree.
inline void CheckReadsAgree(const std::string& path, bool raw_and_heif) {
  kuronel::TExifInfo exif(kuronel::RealSystemCalls());
  exif.SetReadsRawAndHeif(raw_and_heif);
  int read_errors = 0;
  exif.SetOnReadError([&](kuronel::TExifInfo&) { ++read_errors; });
  const bool has_exif = exif.HasExif(path);
  const kuronel::Status status = exif.SetImageFileName(path);
  // The two ways of locating the block must agree.
  if (has_exif == (read_errors != 0)) abort();
  if (!status.ok() && !exif.DateTimeOriginal().empty()) abort();

  // One open and one read must give what HasExif and the write gave. Without
  // a block it leaves the fresh reader as it was, which is all cleared, as
  // the write above left the other one.
  kuronel::TExifInfo once(kuronel::RealSystemCalls());
  once.SetReadsRawAndHeif(raw_and_heif);
  once.SetOnReadError([](kuronel::TExifInfo&) { abort(); });
  const kuronel::ExifRead read = once.ReadFileOnce(path);
  if (read.has_exif() != has_exif || !SameValues(exif, once)) abort();
  if (has_exif &&
      (read.ok() != status.ok() || read.message != status.message() ||
       once.MotorolaOrder() != exif.MotorolaOrder() ||
       once.ImageFileName() != path))
    abort();
  if (!has_exif && (!read.ok() || !once.ImageFileName().empty())) abort();
}

}  // namespace kuronel_fuzz

#endif  // KURONEL_FUZZ_EXIF_READ_CHECK_H_
