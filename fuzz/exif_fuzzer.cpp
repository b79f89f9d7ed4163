// libFuzzer target: the Exif reader on arbitrary file contents. Each input is
// written to one temporary file, which HasExif and a full read then take.

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "exif/exif_info.h"

namespace {

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static InputFile file;
  const std::string& path = file.Write(data, size);
  kuronel::TExifInfo exif;
  int read_errors = 0;
  exif.SetOnReadError([&](kuronel::TExifInfo&) { ++read_errors; });
  const bool has_exif = exif.HasExif(path);
  const kuronel::Status status = exif.SetImageFileName(path);
  // The two ways of locating the block must agree.
  if (has_exif == (read_errors != 0)) abort();
  if (!status.ok() && !exif.DateTimeOriginal().empty()) abort();
  return 0;
}
