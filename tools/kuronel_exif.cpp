// kuronel-exif [--] FILE...: prints what the Exif reader decodes from each
// file, one Name=Value line per field, for comparing with other Exif tools.

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "exif/byte_source.h"
#include "exif/exif_info.h"
#include "platform/version_line.h"
#include "tools/tool_text.h"

namespace {

constexpr char kUsage[] = "usage: kuronel-exif [-h] [--version] [--] FILE...\n";

constexpr char kHelpText[] =
    "Prints the Exif values that Kuronel reads from each photo FILE (JPEG;\n"
    "TIFF-form RAW such as CR2, NEF, ARW, DNG, ORF, RW2; CR3; HEIF; RAF):\n"
    "a line \"# FILE\", then one Name=Value line per field in a fixed order\n"
    "(numbers in decimal, texts as Kuronel decodes them), then the user\n"
    "comments.\n"
    "A file without an Exif block gives HasExif=0 and empty or zero\n"
    "values. Texts and file names are written as their bytes, except that a\n"
    "backslash, TAB, line feed and carriage return are written as \\\\, \\t,\n"
    "\\n and \\r, so that no text can split its line. Files are only read,\n"
    "never changed.\n"
    "\n"
    "options:\n"
    "  -h, --help  print this help\n"
    "  --version   print the name and version\n"
    "  --          end of options: every argument after it is a FILE, even\n"
    "              one named -h or --help\n"
    "\n"
    "Exit status: 0 when every FILE was read, 1 when one could not be opened\n"
    "or read (its block is still printed) or standard output could not be\n"
    "written, 2 when no FILE was given.\n";

// What the command line asks for.
enum class Request { kDump, kHelp, kVersion };

// The FILE arguments; `request` is set by the first of -h, --help and
// --version before any "--".
std::vector<std::string> FileArguments(int argc, char** argv,
                                       Request& request) {
  std::vector<std::string> files;
  bool options_ended = false;
  request = Request::kDump;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    const bool is_option = !options_ended && request == Request::kDump;
    if (!options_ended && arg == "--") {
      options_ended = true;
    } else if (is_option && (arg == "-h" || arg == "--help")) {
      request = Request::kHelp;
    } else if (is_option && arg == "--version") {
      request = Request::kVersion;
    } else {
      files.emplace_back(arg);
    }
  }
  return files;
}

// A text as it is decoded, escaped so that it cannot start a line of its own
// (a Make of "Canon\n# /tmp/other.jpg" must not forge another file's block).
void PrintText(const std::string& text) {
  const std::string field = kuronel::LineField(text);
  std::fwrite(field.data(), 1, field.size(), stdout);
}

// True when everything printed so far reached standard output; otherwise
// says why on standard error.
bool OutputWritten() {
  if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return true;
  std::fprintf(stderr, "kuronel-exif: cannot write to standard output: %s\n",
               std::strerror(errno));
  return false;
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
  kuronel::FileByteSource source(kuronel::RealSystemCalls());
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
  kuronel::UseTheUsersLanguageForReasons();
  Request request = Request::kDump;
  const std::vector<std::string> files = FileArguments(argc, argv, request);
  if (request == Request::kHelp) {
    std::printf("%s\n%s", kUsage, kHelpText);
    return OutputWritten() ? 0 : 1;
  }
  if (request == Request::kVersion) {
    std::printf("%s\n", kuronel::VersionLine("kuronel-exif").c_str());
    return OutputWritten() ? 0 : 1;
  }
  if (files.empty()) {
    std::fprintf(stderr, "%sTry 'kuronel-exif --help' for more information.\n",
                 kUsage);
    return 2;
  }
  kuronel::TExifInfo exif(kuronel::RealSystemCalls());
  // The tool reads every photo format the reader knows.
  exif.SetReadsRawAndHeif(true);
  bool all_read = true;
  for (const std::string& file : files) {
    if (!DumpFile(exif, file)) all_read = false;
    // Reading on when nothing more can be printed helps nobody.
    if (!OutputWritten()) return 1;
  }
  return all_read ? 0 : 1;
}
