#include "settings/settings_file.h"

#include <algorithm>

#include "platform/cp932.h"
#include "platform/file_io.h"

namespace kuronel {
namespace {

// Blanks are the space and every control character, as the file's readers
// have always trimmed them.
bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

char AsciiLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

int DigitValue(char c, int base) {
  int value = 99;
  if (c >= '0' && c <= '9') value = c - '0';
  if (c >= 'a' && c <= 'f') value = c - 'a' + 10;
  if (c >= 'A' && c <= 'F') value = c - 'A' + 10;
  return value < base ? value : -1;
}

// Old files are CP932; files this program writes are UTF-8, perhaps with a
// byte order mark added by an editor.
std::string DecodeFileBytes(std::string_view bytes) {
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

bool SameSettingsName(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return AsciiLower(x) == AsciiLower(y);
  });
}

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

SettingsFile SettingsFile::Open(const std::string& path) {
  std::string bytes;
  bool read = ReadWholeFile(path, bytes);
  SettingsFile file = Parse(bytes, path);
  file.unreadable_ = !read && PathExists(path);
  return file;
}

SettingsFile SettingsFile::Parse(std::string_view bytes,
                                 const std::string& path) {
  SettingsFile file;
  file.path_ = path;
  std::string text = DecodeFileBytes(bytes);
  Section* current = nullptr;  // lines before the first header are dropped
  for (std::string_view line : SplitLines(text)) {
    line = Trim(line);
    if (line.empty() || line.front() == ';') continue;
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
      file.sections_.push_back(
          {std::string(Trim(line.substr(1, line.size() - 2))), {}});
      current = &file.sections_.back();
      continue;
    }
    if (current == nullptr) continue;
    std::string_view::size_type equals = line.find('=');
    if (equals == std::string_view::npos) {
      current->entries.push_back({std::string(line), "", false});
    } else {
      current->entries.push_back({std::string(Trim(line.substr(0, equals))),
                                  std::string(Trim(line.substr(equals + 1))),
                                  true});
    }
  }
  return file;
}

int SettingsFile::SectionIndex(std::string_view name) const {
  for (size_t i = 0; i < sections_.size(); ++i)
    if (SameSettingsName(sections_[i].name, name)) return static_cast<int>(i);
  return -1;
}

int SettingsFile::EntryIndex(const Section& section, std::string_view key) {
  for (size_t i = 0; i < section.entries.size(); ++i) {
    const Entry& entry = section.entries[i];
    if (entry.has_separator && SameSettingsName(entry.key, key))
      return static_cast<int>(i);
  }
  return -1;
}

const SettingsFile::Entry* SettingsFile::FindEntry(std::string_view section,
                                                   std::string_view key) const {
  int section_index = SectionIndex(section);
  if (section_index < 0) return nullptr;
  const Section& found = sections_[section_index];
  int entry_index = EntryIndex(found, key);
  return entry_index < 0 ? nullptr : &found.entries[entry_index];
}

std::string SettingsFile::ReadString(std::string_view section,
                                     std::string_view key,
                                     std::string_view default_value) const {
  const Entry* entry = FindEntry(section, key);
  return std::string(entry != nullptr ? std::string_view(entry->value)
                                      : default_value);
}

bool SettingsFile::ReadFlag(std::string_view section, std::string_view key,
                            bool default_value) const {
  const Entry* entry = FindEntry(section, key);
  if (entry == nullptr) return default_value;
  std::optional<std::uint32_t> value = ReadIntegerText(entry->value);
  return value ? *value != 0 : default_value;
}

void SettingsFile::WriteString(std::string_view section, std::string_view key,
                               std::string_view value) {
  int section_index = SectionIndex(section);
  if (section_index < 0) {
    sections_.push_back({std::string(section), {}});
    section_index = static_cast<int>(sections_.size()) - 1;
  }
  Section& target = sections_[section_index];
  int entry_index = EntryIndex(target, key);
  if (entry_index >= 0) {
    target.entries[entry_index].value = std::string(value);
  } else {
    target.entries.push_back({std::string(key), std::string(value), true});
  }
}

void SettingsFile::WriteFlag(std::string_view section, std::string_view key,
                             bool value) {
  WriteString(section, key, value ? "1" : "0");
}

Status SettingsFile::Update() const {
  if (unreadable_) {
    return Status::Error("設定ファイル「" + DisplayName(path_) +
                         "」を読めなかったので、上書きしません");
  }
  return WriteFileAtomically(path_, Text());
}

std::string SettingsFile::Text() const {
  std::string text;
  for (const Section& section : sections_) {
    text += "[" + section.name + "]\r\n";
    for (const Entry& entry : section.entries) {
      text += entry.key;
      if (entry.has_separator) text += "=" + entry.value;
      text += "\r\n";
    }
    text += "\r\n";
  }
  return text;
}

}  // namespace kuronel
