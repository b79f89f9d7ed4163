// kuronel-exif FILE...: prints what the Exif reader decodes from each file,
// one Name=Value line per field, for comparing with other Exif tools.

#include <cstdio>
#include <string>
#include <type_traits>

#include "exif/byte_source.h"
#include "exif/exif_info.h"

namespace {

void PrintText(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
}

void PrintField(const char* name, const std::string& value) {
  std::printf("%s=", name);
  PrintText(value);
  std::printf("\n");
}

void PrintField(const char* name, double value) {
  std::printf("%s=%.17g\n", name, value);
}

template <typename Integer>
requires std::is_integral_v<Integer>
void PrintField(const char* name, Integer value) {
  std::printf("%s=%llu\n", name, static_cast<unsigned long long>(value));
}

bool CanOpen(const std::string& file_name) {
  kuronel::FileByteSource source;
  return source.Open(file_name, 0);
}

// Prints one file's block; false when the file could not be opened or read.
bool DumpFile(kuronel::TExifInfo& exif, const std::string& file_name) {
  std::printf("# ");
  PrintText(file_name);
  std::printf("\nHasExif=%d\n", exif.HasExif(file_name) ? 1 : 0);
  bool ok = CanOpen(file_name);
  if (!ok)
    std::fprintf(stderr, "kuronel-exif: cannot open %s\n", file_name.c_str());
  const kuronel::Status status = exif.SetImageFileName(file_name);
  if (!status.ok()) {
    std::fprintf(stderr, "kuronel-exif: %s\n", status.message().c_str());
    ok = false;
  }
#define KURONEL_PRINT_FIELD(type, name) PrintField(#name, exif.name());
  KURONEL_EXIF_FIELDS(KURONEL_PRINT_FIELD)
#undef KURONEL_PRINT_FIELD
  PrintField("IsThumbnailFile", exif.IsThumbnailFile() ? 1 : 0);
  PrintField("MotorolaOrder", exif.MotorolaOrder() ? 1 : 0);
  for (size_t i = 0; i < exif.UserComments().size(); ++i) {
    std::printf("UserComments[%zu]=", i);
    PrintText(exif.UserComments()[i]);
    std::printf("\n");
  }
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr,
                 "usage: kuronel-exif FILE...\n"
                 "Prints the Exif values that Kuronel reads from each FILE.\n");
    return 2;
  }
  kuronel::TExifInfo exif;
  bool all_read = true;
  for (int i = 1; i < argc; ++i) {
    if (!DumpFile(exif, argv[i])) all_read = false;
  }
  return all_read ? 0 : 1;
}
