#ifndef KURONEL_SETTINGS_SETTINGS_FILE_H_
#define KURONEL_SETTINGS_SETTINGS_FILE_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/status.h"
#include "platform/system_calls.h"

namespace kuronel {

// Reads an integer as the settings file stores one: optional sign, then
// decimal digits, or hexadecimal digits after "$", "0x" or "0X". Blanks
// around it are ignored. A decimal value must fit a signed 32-bit integer, a
// hexadecimal one 32 bits; a negative value is returned as its 32-bit two's
// complement. nullopt for anything else.
std::optional<std::uint32_t> ReadIntegerText(std::string_view text);

// The INI-style settings file, read into memory line by line. Reads and
// writes work on this copy; Update rewrites the whole file from it. Each line
// is read as UTF-8 when it is valid UTF-8, else as CP932, so one old line
// cannot garble the rest; but an entry whose key is UTF-8 keeps its value's
// bytes as they stand, so a value written with bytes that are not UTF-8 (a
// folder's Shift-JIS name) reads back the same. A line the program does not
// change is written back byte for byte (comments, blank lines and unknown
// entries included); a line it changes or adds is written as UTF-8. Lines end
// in CR LF. New keys go after the last entry of their section, new sections at
// the end. Section names and keys match without regard to ASCII letter case.
class SettingsFile {
 public:
  // A settings file is a few hundred bytes; a larger one than this is not
  // read, so a huge or sparse file costs neither memory nor time.
  static constexpr std::size_t kMaxFileSize = std::size_t{1024} * 1024;

  // Reads the file at `path`. A missing file (or a dangling link) gives an
  // empty copy. A file that exists but cannot be read, or is larger than
  // kMaxFileSize, also gives an empty copy, but Update then refuses to write
  // over it, so its contents are never lost unseen.
  static SettingsFile Open(const std::string& path, SystemCalls& calls);
  // The copy that the file bytes `bytes` give; Update writes it to `path`.
  static SettingsFile Parse(std::string_view bytes,
                            const std::string& path = "");
  // An empty copy for a file that cannot be had at all: Update refuses,
  // with `reason` as its message.
  static SettingsFile Refusing(std::string reason);

  // The value of the first entry `key` of the first section `section`, or
  // `default_value` when there is none.
  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view default_value) const;
  // True when the section holds an entry `key`, whatever its value.
  bool HasEntry(std::string_view section, std::string_view key) const;
  // A stored integer: non-zero is on. A missing key or a value that is no
  // integer gives `default_value`.
  bool ReadFlag(std::string_view section, std::string_view key,
                bool default_value) const;

  // Sets the value in place when the key exists (the line is left as it is
  // when it already holds that value), else adds the entry (and the section
  // when it is new).
  void WriteString(std::string_view section, std::string_view key,
                   std::string_view value);
  // Writes "1" or "0".
  void WriteFlag(std::string_view section, std::string_view key, bool value);

  // Why Update will refuse to write (a file that exists but could not be
  // read, or is too large; no folder to hold it); empty when it will write.
  const std::string& Refusal() const { return refusal_; }

  // Rewrites the whole file from the copy, atomically.
  Status Update(SystemCalls& calls) const;
  // The file as Update writes it.
  std::string Text() const;

 private:
  enum class LineKind {
    kOther,   // empty, a comment, or before the first section header
    kHeader,  // "[" name "]"
    kEntry,   // key "=" value
    kBare,    // any other line in a section: kept, matches no key
  };
  struct Line {
    std::string bytes;  // as the file holds it, without the line end
    LineKind kind = LineKind::kOther;
    std::string name;   // the section name or the key, decoded and trimmed
    std::string value;  // an entry's value, decoded and trimmed
  };

  static Line ReadLine(std::string bytes, bool in_section);
  // Reads `line` as an entry whose key is UTF-8 and whose value is kept as
  // its bytes; false, leaving it, when it is no such line.
  static bool ReadEntryOfUtf8Key(Line& line);
  static Line EntryLine(std::string_view key, std::string_view value);
  // Positions in lines_; npos when there is none.
  std::size_t HeaderIndex(std::string_view section) const;
  std::size_t EntryIndex(std::size_t header, std::string_view key) const;
  // Where a new entry of the section goes: after its last entry.
  std::size_t NewEntryIndex(std::size_t header) const;
  std::size_t AddSection(std::string_view section);

  std::string path_;
  std::vector<Line> lines_;
  // Why Update must not write; empty when it may.
  std::string refusal_;
};

}  // namespace kuronel

#endif  // KURONEL_SETTINGS_SETTINGS_FILE_H_
