// kuronel-exif [--] FILE...: prints what the Exif reader decodes from each
// file, one Name=Value line per field, for comparing with other Exif tools.

#include <cstdio>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "exif/byte_source.h"
#include "exif/exif_info.h"

namespace {

constexpr char kUsage[] = "usage: kuronel-exif [-h] [--] FILE...\n";

constexpr char kHelp[] =
    "Prints the Exif values that Kuronel reads from each JPEG FILE: a line\n"
    "\"# FILE\", then one Name=Value line per field in a fixed order (numbers\n"
    "in decimal, texts as Kuronel decodes them), then the user comments.\n"
    "A file without an Exif block gives HasExif=0 and empty or zero\n"
    "values. Files are only read, never changed.\n"
    "\n"
    "options:\n"
    "  -h, --help  print this help\n"
    "  --          end of options: every argument after it is a FILE, even\n"
    "              one named -h or --help\n"
    "\n"
    "Exit status: 0 when every FILE was read, 1 when one could not be opened\n"
    "or read (its block is still printed), 2 when no FILE was given.\n";

// The FILE arguments; `help` is set by -h or --help before any "--".
std::vector<std::string> FileArguments(int argc, char** argv, bool& help) {
  std::vector<std::string> files;
  bool options_ended = false;
  help = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (!options_ended && arg == "--") {
      options_ended = true;
    } else if (!options_ended && (arg == "-h" || arg == "--help")) {
      help = true;
    } else {
      files.emplace_back(arg);
    }
  }
  return files;
}

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
  bool help = false;
  const std::vector<std::string> files = FileArguments(argc, argv, help);
  if (help) {
    std::printf("%s\n%s", kUsage, kHelp);
    return 0;
  }
  if (files.empty()) {
    std::fprintf(stderr, "%sTry 'kuronel-exif --help' for more information.\n",
                 kUsage);
    return 2;
  }
  kuronel::TExifInfo exif;
  bool all_read = true;
  for (const std::string& file : files) {
    if (!DumpFile(exif, file)) all_read = false;
  }
  return all_read ? 0 : 1;
}
