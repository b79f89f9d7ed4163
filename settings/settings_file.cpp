#include "settings/settings_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <utility>

#include "platform/cp932.h"
#include "platform/file_identity.h"
#include "platform/file_io.h"
#include "platform/file_system.h"
#include "platform/path.h"
#include "platform/text.h"

namespace kuronel {
namespace {

// A save takes well under a second: a temporary file of a save older than
// this belongs to no save still running, whatever its lock says.
constexpr std::int64_t kStaleSaveSeconds = 60;

// The file a save of `path` really writes, through symbolic links (as
// WriteFileAtomically follows them); `path` itself when it is no link.
std::string SavedFile(const std::string& path, SystemCalls& calls) {
  std::string file = path;
  for (int followed = 0; followed < 40; ++followed) {
    std::string next;
    if (calls.ReadLink(file, next) < 0) break;
    file = next.starts_with('/') ? next : JoinPath(ParentFolder(file), next);
  }
  return file;
}

// The name WriteFileAtomically gives the temporary of the file `base`: "."
// base ".tmp" and kUniqueLetters letters or digits.
bool IsSaveTemporaryName(std::string_view name, std::string_view base) {
  const std::string prefix = "." + std::string(base) + ".tmp";
  if (!name.starts_with(prefix) ||
      name.size() != prefix.size() + kUniqueLetters)
    return false;
  return std::all_of(name.begin() + static_cast<std::ptrdiff_t>(prefix.size()),
                     name.end(), [](char c) {
                       return (c >= 'A' && c <= 'Z') ||
                              (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
                     });
}

// What a save leaves when it is killed: nothing yet (a power cut before the
// flush), or the settings text as SettingsFile::Text writes it: lines that
// each end in CR LF, one of them a section header, no NUL byte.
bool IsSaveText(std::string_view text) {
  if (text.empty()) return true;
  if (!text.ends_with("\r\n") || text.find('\0') != std::string_view::npos)
    return false;
  bool header = false;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = text.find('\n', start);
    if (end == 0 || text[end - 1] != '\r') return false;  // a bare LF
    const std::string_view line = text.substr(start, end - 1 - start);
    header = header || (line.starts_with('[') && line.ends_with(']'));
    start = end + 1;
  }
  return header;
}

// The temporary `name` in the folder open as `folder_fd` proves itself one
// that a killed save left: a regular file of this user with no other name,
// old, not locked by a save at work, holding what a save writes.
bool IsStaleSaveTemporary(int folder_fd, const char* name, SystemCalls& calls) {
  struct stat named;
  if (calls.StatAt(folder_fd, name, named, false) != 0 ||
      !S_ISREG(named.st_mode) || named.st_nlink != 1 ||
      named.st_uid != calls.EffectiveUser() ||
      named.st_size > static_cast<off_t>(SettingsFile::kMaxFileSize))
    return false;
  const std::int64_t now =
      std::chrono::duration_cast<std::chrono::seconds>(
          std::chrono::system_clock::now().time_since_epoch())
          .count();
  if (now - named.st_mtim.tv_sec < kStaleSaveSeconds) return false;
  UniqueFd file(calls.OpenAt(folder_fd, name,
                             O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC),
                calls);
  struct stat opened;
  if (!file.valid() || calls.FileStat(file.get(), opened) != 0 ||
      !InodeIdentity(opened).SameFileAs(InodeIdentity(named)) ||
      calls.Lock(file.get(), LOCK_EX | LOCK_NB) != 0)
    return false;
  std::string text(static_cast<std::size_t>(opened.st_size), '\0');
  std::size_t got = 0;
  while (got < text.size()) {
    const ssize_t count =
        calls.ReadAt(file.get(), text.data() + got, text.size() - got,
                     static_cast<off_t>(got));
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return false;
    got += static_cast<std::size_t>(count);
  }
  return IsSaveText(text);
}

// Removes the temporary files that saves of the file at `path` left when
// they were killed, and nothing else: only files that prove themselves such.
void RemoveStaleSaveTemporaries(const std::string& path, SystemCalls& calls) {
  const std::string file = SavedFile(path, calls);
  const std::string base = BaseName(file);
  UniqueFd folder(
      calls.Open(ParentFolder(file), O_RDONLY | O_DIRECTORY | O_CLOEXEC),
      calls);
  if (base.empty() || !folder.valid()) return;
  std::vector<std::string> stale;
  calls.ListNames(folder.get(), [&](const char* name, unsigned char) {
    if (IsSaveTemporaryName(name, base) &&
        IsStaleSaveTemporary(folder.get(), name, calls))
      stale.emplace_back(name);
  });
  for (const std::string& name : stale)
    calls.UnlinkAt(folder.get(), name.c_str());
}

// Blanks are the space and every control character, as the file's readers
// have always trimmed them.
bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

int DigitValue(char c, int base) {
  int value = 99;
  if (c >= '0' && c <= '9') value = c - '0';
  if (c >= 'a' && c <= 'f') value = c - 'a' + 10;
  if (c >= 'A' && c <= 'F') value = c - 'A' + 10;
  return value < base ? value : -1;
}

// Old files are CP932 and files this program writes are UTF-8; a file that
// was edited by hand can hold both, so each line is decoded on its own. An
// editor may have put a byte order mark before the first line.
std::string DecodeLine(std::string_view bytes) {
  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  if (bytes.starts_with(kByteOrderMark))
    bytes.remove_prefix(kByteOrderMark.size());
  if (IsValidUtf8(bytes)) return std::string(bytes);
  return Cp932ToUtf8(bytes);
}

// Splits at CR LF, CR or LF.
std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    std::string_view::size_type end = text.find_first_of("\r\n");
    if (end == std::string_view::npos) {
      lines.push_back(text);
      break;
    }
    lines.push_back(text.substr(0, end));
    std::string_view::size_type next = end + 1;
    if (text[end] == '\r' && next < text.size() && text[next] == '\n') ++next;
    text.remove_prefix(next);
  }
  return lines;
}

}  // namespace

std::optional<std::uint32_t> ReadIntegerText(std::string_view text) {
  text = Trim(text);
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  int base = 10;
  if (text.starts_with('$')) {
    base = 16;
    text.remove_prefix(1);
  } else if (text.starts_with("0x") || text.starts_with("0X")) {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty()) return std::nullopt;
  const std::uint64_t limit = base == 16 ? 0xFFFFFFFFu
                              : negative ? 0x80000000u
                                         : 0x7FFFFFFFu;
  std::uint64_t value = 0;
  for (char c : text) {
    int digit = DigitValue(c, base);
    if (digit < 0) return std::nullopt;
    value = value * static_cast<std::uint64_t>(base) +
            static_cast<std::uint64_t>(digit);
    if (value > limit) return std::nullopt;
  }
  std::uint32_t result = static_cast<std::uint32_t>(value);
  return negative ? 0u - result : result;
}

SettingsFile SettingsFile::Open(const std::string& path, SystemCalls& calls) {
  std::string bytes;
  switch (ReadFileUpTo(path, kMaxFileSize, bytes, calls)) {
    case ReadOutcome::kRead:
    case ReadOutcome::kMissing:
      return Parse(bytes, path);
    case ReadOutcome::kUnreadable:
      return Refusing("設定ファイル「" + DisplayName(path) +
                      "」を読めなかったので、上書きしません");
    case ReadOutcome::kTooLarge:
      return Refusing("設定ファイル「" + DisplayName(path) +
                      "」は 1 MiB を超えるので、読み込まず上書きもしません");
  }
  return Refusing("設定ファイル「" + DisplayName(path) + "」を読めません");
}

SettingsFile SettingsFile::Parse(std::string_view bytes,
                                 const std::string& path) {
  SettingsFile file;
  file.path_ = path;
  const std::vector<std::string_view> split = SplitLines(bytes);
  // Sized once, with room for the lines a save adds (the program's keys and
  // sections): a file of a million empty lines must not cost twice over.
  constexpr std::size_t kRoomForNewLines = 16;
  file.lines_.reserve(split.size() + kRoomForNewLines);
  bool in_section = false;  // lines before the first header mean nothing
  for (std::string_view bytes_of_line : split) {
    file.lines_.push_back(ReadLine(std::string(bytes_of_line), in_section));
    in_section = in_section || file.lines_.back().kind == LineKind::kHeader;
  }
  return file;
}

SettingsFile SettingsFile::Refusing(std::string reason) {
  SettingsFile file;
  file.refusal_ = std::move(reason);
  return file;
}

SettingsFile::Line SettingsFile::ReadLine(std::string bytes, bool in_section) {
  Line line;
  line.bytes = std::move(bytes);
  if (in_section && ReadEntryOfUtf8Key(line)) return line;
  const std::string decoded = DecodeLine(line.bytes);
  const std::string_view text = Trim(decoded);
  if (text.empty() || text.front() == ';') return line;
  if (text.size() >= 2 && text.front() == '[' && text.back() == ']') {
    line.kind = LineKind::kHeader;
    line.name = Trim(text.substr(1, text.size() - 2));
    return line;
  }
  if (!in_section) return line;
  const std::string_view::size_type equals = text.find('=');
  if (equals == std::string_view::npos) {
    line.kind = LineKind::kBare;
    line.name = text;
    return line;
  }
  line.kind = LineKind::kEntry;
  line.name = Trim(text.substr(0, equals));
  line.value = Trim(text.substr(equals + 1));
  return line;
}

// This program writes its keys in UTF-8 and a value as the bytes it was
// given: a folder's name need not be UTF-8 (an old card's Shift-JIS), and
// decoding it would name another folder. So a line that is not UTF-8 as a
// whole but has a UTF-8 key before its "=" keeps its value's bytes. A line
// whose key is not UTF-8 either is an old CP932 line, decoded whole.
bool SettingsFile::ReadEntryOfUtf8Key(Line& line) {
  std::string_view text = line.bytes;
  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  if (text.starts_with(kByteOrderMark))
    text.remove_prefix(kByteOrderMark.size());
  if (IsValidUtf8(text)) return false;
  const std::string_view::size_type equals = text.find('=');
  if (equals == std::string_view::npos) return false;
  const std::string_view key = Trim(text.substr(0, equals));
  if (key.empty() || key.front() == ';' || key.front() == '[' ||
      !IsValidUtf8(key))
    return false;
  line.kind = LineKind::kEntry;
  line.name = key;
  line.value = Trim(text.substr(equals + 1));
  return true;
}

SettingsFile::Line SettingsFile::EntryLine(std::string_view key,
                                           std::string_view value) {
  return {std::string(key) + "=" + std::string(value), LineKind::kEntry,
          std::string(key), std::string(value)};
}

std::size_t SettingsFile::HeaderIndex(std::string_view section) const {
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    if (lines_[i].kind == LineKind::kHeader &&
        SameIgnoringAsciiCase(lines_[i].name, section))
      return i;
  }
  return std::string::npos;
}

std::size_t SettingsFile::EntryIndex(std::size_t header,
                                     std::string_view key) const {
  for (std::size_t i = header + 1;
       i < lines_.size() && lines_[i].kind != LineKind::kHeader; ++i) {
    if (lines_[i].kind == LineKind::kEntry &&
        SameIgnoringAsciiCase(lines_[i].name, key))
      return i;
  }
  return std::string::npos;
}

std::size_t SettingsFile::NewEntryIndex(std::size_t header) const {
  std::size_t last = header;
  for (std::size_t i = header + 1;
       i < lines_.size() && lines_[i].kind != LineKind::kHeader; ++i) {
    if (lines_[i].kind == LineKind::kEntry || lines_[i].kind == LineKind::kBare)
      last = i;
  }
  return last + 1;
}

// Appends the header and the empty line that ends a section, after an empty
// line of its own when the file does not end in one.
std::size_t SettingsFile::AddSection(std::string_view section) {
  if (!lines_.empty() && !Trim(lines_.back().bytes).empty())
    lines_.push_back({});
  lines_.push_back({"[" + std::string(section) + "]", LineKind::kHeader,
                    std::string(section), ""});
  lines_.push_back({});
  return lines_.size() - 2;
}

std::string SettingsFile::ReadString(std::string_view section,
                                     std::string_view key,
                                     std::string_view default_value) const {
  const std::size_t header = HeaderIndex(section);
  if (header == std::string::npos) return std::string(default_value);
  const std::size_t entry = EntryIndex(header, key);
  if (entry == std::string::npos) return std::string(default_value);
  return lines_[entry].value;
}

bool SettingsFile::HasEntry(std::string_view section,
                            std::string_view key) const {
  const std::size_t header = HeaderIndex(section);
  return header != std::string::npos &&
         EntryIndex(header, key) != std::string::npos;
}

bool SettingsFile::ReadFlag(std::string_view section, std::string_view key,
                            bool default_value) const {
  std::optional<std::uint32_t> value =
      ReadIntegerText(ReadString(section, key, ""));
  return value ? *value != 0 : default_value;
}

void SettingsFile::WriteString(std::string_view section, std::string_view key,
                               std::string_view value) {
  std::size_t header = HeaderIndex(section);
  if (header == std::string::npos) header = AddSection(section);
  const std::size_t entry = EntryIndex(header, key);
  if (entry == std::string::npos) {
    lines_.insert(
        lines_.begin() + static_cast<std::ptrdiff_t>(NewEntryIndex(header)),
        EntryLine(key, value));
  } else if (lines_[entry].value != value) {
    // The file's spelling of the key stays.
    lines_[entry] = EntryLine(lines_[entry].name, value);
  }
}

void SettingsFile::WriteFlag(std::string_view section, std::string_view key,
                             bool value) {
  WriteString(section, key, value ? "1" : "0");
}

Status SettingsFile::Update(SystemCalls& calls) const {
  if (!refusal_.empty()) return Status::Error(refusal_);
  // What killed saves left would pile up beside the file otherwise.
  RemoveStaleSaveTemporaries(path_, calls);
  return WriteFileAtomically(path_, Text(), calls);
}

std::string SettingsFile::Text() const {
  std::string text;
  for (const Line& line : lines_) text += line.bytes + "\r\n";
  return text;
}

}  // namespace kuronel
