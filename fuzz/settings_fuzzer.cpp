// libFuzzer target: the settings file on arbitrary bytes. The reader must
// take anything; what it writes must read back to the same entries, every
// line it did not change byte for byte; a save must keep every line it does
// not write, and a load after a save must give the settings that were saved.

#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "platform/cp932.h"
#include "platform/text.h"
#include "settings/colour_table.h"
#include "settings/settings.h"
#include "settings/settings_file.h"
#include "settings/settings_io.h"

namespace {

using kuronel::SettingsFile;

void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "property violated: %s\n", what);
    abort();
  }
}

// A startup folder of its own, on tmpfs when there is one: each save is an
// atomic rewrite with fsync, which costs little there.
class StartupFolder {
 public:
  StartupFolder() {
    const char* base = getenv("KURONEL_FUZZ_TMPDIR");
    if (base == nullptr || *base == '\0')
      base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    path_ = std::string(base) + "/kuronel-settings-fuzz-XXXXXX";
    if (mkdtemp(path_.data()) == nullptr) {
      std::perror("mkdtemp");
      abort();
    }
  }
  ~StartupFolder() {
    unlink(kuronel::SettingsFilePath(path_).c_str());
    rmdir(path_.c_str());
  }
  const std::string& path() const { return path_; }

  void WriteIni(std::string_view bytes) const {
    FILE* file = std::fopen(kuronel::SettingsFilePath(path_).c_str(), "wb");
    if (file == nullptr) abort();
    if (!bytes.empty() &&
        std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size())
      abort();
    std::fclose(file);
  }
  std::string ReadIni() const {
    std::string bytes;
    FILE* file = std::fopen(kuronel::SettingsFilePath(path_).c_str(), "rb");
    if (file == nullptr) abort();
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
      bytes.append(buffer, got);
    std::fclose(file);
    return bytes;
  }

 private:
  std::string path_;
};

struct KnownKey {
  const char* section;
  const char* key;
};
const KnownKey kKnownKeys[] = {
    {kuronel::kMainSection, kuronel::kDestinationKey},
    {kuronel::kMainSection, kuronel::kMoveToDateFolderKey},
    {kuronel::kMainSection, kuronel::kRenameToDateFileKey},
    {kuronel::kMainSection, kuronel::kMakeReadOnlyKey},
    {kuronel::kMainSection, kuronel::kKeepOriginalKey},
    {kuronel::kSubSection, kuronel::kCheckMoviesKey},
    {kuronel::kSubSection, kuronel::kUseExifDateKey},
    {kuronel::kSubSection, kuronel::kBackColourKey},
};

std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find("\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// True for a line "key=..." of a key that a save may overwrite, in either
// encoding and with any blanks around the key.
bool IsKnownKeyLine(std::string_view line) {
  if (line.starts_with("\xEF\xBB\xBF")) line.remove_prefix(3);
  const std::string text = kuronel::DisplayName(line);
  const size_t equals = text.find('=');
  if (equals == std::string::npos) return false;
  const std::string_view key = Trim(std::string_view(text).substr(0, equals));
  for (const KnownKey& known : kKnownKeys)
    if (kuronel::SameIgnoringAsciiCase(key, known.key)) return true;
  return false;
}

// Every line of `before` except those of keys a save writes stands in
// `after`, in the same order.
bool KeepsOtherLines(std::string_view before, std::string_view after) {
  std::vector<std::string_view> after_lines = Lines(after);
  size_t next = 0;
  for (std::string_view line : Lines(before)) {
    if (IsKnownKeyLine(line)) continue;
    while (next < after_lines.size() && after_lines[next] != line) ++next;
    if (next == after_lines.size()) return false;
    ++next;
  }
  return true;
}

// The input with every line end (CR LF, CR or LF) made CR LF, and one after
// the last line: what the file holds when the program changed nothing.
std::string WithCrLfLineEnds(std::string_view bytes) {
  std::string text;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r' || bytes[i] == '\n') {
      text += "\r\n";
      if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
    } else {
      text += bytes[i];
    }
  }
  if (!text.empty() && !text.ends_with("\r\n")) text += "\r\n";
  return text;
}

// Unchanged, every line is written back byte for byte, and the written form
// is a fixed point of reading, with the same values for every known key.
void CheckTextRoundTrip(std::string_view bytes, const SettingsFile& parsed) {
  const std::string text = parsed.Text();
  Check(text == WithCrLfLineEnds(bytes), "unchanged lines stay byte for byte");
  const SettingsFile reread = SettingsFile::Parse(text);
  Check(reread.Text() == text, "written text reads back to the same entries");
  for (const KnownKey& known : kKnownKeys) {
    Check(reread.ReadString(known.section, known.key, "\x01") ==
              parsed.ReadString(known.section, known.key, "\x01"),
          "a known key reads the same after the round trip");
    for (bool fallback : {false, true})
      Check(reread.ReadFlag(known.section, known.key, fallback) ==
                parsed.ReadFlag(known.section, known.key, fallback),
            "a flag reads the same after the round trip");
  }
}

// Values written into the copy read back exactly; nothing else changes.
void CheckWrites(SettingsFile parsed, std::string_view value) {
  const std::string before = parsed.Text();
  // A stored value is one trimmed line: that is all a file can hold.
  std::string line(value.substr(0, value.find_first_of("\r\n")));
  while (!line.empty() && static_cast<unsigned char>(line.back()) <= ' ')
    line.pop_back();
  while (!line.empty() && static_cast<unsigned char>(line.front()) <= ' ')
    line.erase(0, 1);
  if (!kuronel::IsValidUtf8(line)) return;
  for (const KnownKey& known : kKnownKeys)
    parsed.WriteString(known.section, known.key, line);
  const std::string after = parsed.Text();
  Check(KeepsOtherLines(before, after), "writes keep the other entries");
  const SettingsFile reread = SettingsFile::Parse(after);
  for (const KnownKey& known : kKnownKeys)
    Check(reread.ReadString(known.section, known.key, "\x01") == line,
          "a written value reads back");
}

bool SameSettings(const kuronel::Settings& a, const kuronel::Settings& b) {
  return a.DestinationFolder == b.DestinationFolder &&
         a.MoveToDateFolder == b.MoveToDateFolder &&
         a.RenameToDateFile == b.RenameToDateFile &&
         a.MakeReadOnly == b.MakeReadOnly && a.KeepOriginal == b.KeepOriginal &&
         a.CheckMoviesByDefault == b.CheckMoviesByDefault &&
         a.UseExifDate == b.UseExifDate &&
         a.TargetBackColour == b.TargetBackColour &&
         a.IncludeRawHeifMp4 == b.IncludeRawHeifMp4;
}

// Load, save what was loaded, load again: the same settings, and the file
// keeps everything the save does not write.
void CheckLoadSaveLoad(std::string_view bytes) {
  static StartupFolder folder;
  folder.WriteIni(bytes);
  kuronel::Settings loaded;
  const kuronel::Status load =
      kuronel::LoadSettings(folder.path(), loaded, kuronel::RealSystemCalls());
  if (!load.ok()) {
    Check(!load.message().empty(), "a refused load says why");
    Check(loaded.TargetBackColour == kuronel::Settings().TargetBackColour &&
              loaded.DestinationFolder == kuronel::Settings().DestinationFolder,
          "a refused colour leaves colour and destination alone");
  }
  const kuronel::DetailSettings detail = kuronel::DetailOf(loaded);
  const std::string before = SettingsFile::Parse(bytes).Text();
  Check(kuronel::SaveSettings(folder.path(), loaded, detail,
                              kuronel::RealSystemCalls())
            .ok(),
        "the settings file can be saved");
  const std::string saved = folder.ReadIni();
  Check(KeepsOtherLines(before, saved), "a save keeps the other entries");
  kuronel::Settings reloaded;
  Check(
      kuronel::LoadSettings(folder.path(), reloaded, kuronel::RealSystemCalls())
          .ok(),
      "a saved file loads without error");
  if (load.ok()) Check(SameSettings(loaded, reloaded), "load-save-load");
  Check(kuronel::ColourFromText(kuronel::ColourToText(
            loaded.TargetBackColour)) == loaded.TargetBackColour,
        "a colour's text reads back to the colour");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const SettingsFile parsed = SettingsFile::Parse(bytes);
  CheckTextRoundTrip(bytes, parsed);
  // The last line of the input doubles as a value to write.
  const size_t last_line = bytes.find_last_of('\n');
  CheckWrites(parsed, last_line == std::string_view::npos
                          ? std::string_view()
                          : bytes.substr(last_line + 1));
  CheckLoadSaveLoad(bytes);
  return 0;
}
