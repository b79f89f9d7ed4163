// libFuzzer target: the Exif reader on arbitrary file contents, JPEG only
// (as the catalogue reads by default): HasExif and a full read, then the
// one-read way, which must give the same.

#include <cstddef>
#include <cstdint>

#include "fuzz/exif_read_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static kuronel_fuzz::InputFile file;
  kuronel_fuzz::CheckReadsAgree(file.Write(data, size), false);
  return 0;
}
