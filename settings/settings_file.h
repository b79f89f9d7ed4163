#ifndef KURONEL_SETTINGS_SETTINGS_FILE_H_
#define KURONEL_SETTINGS_SETTINGS_FILE_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/status.h"

namespace kuronel {

// Reads an integer as the settings file stores one: optional sign, then
// decimal digits, or hexadecimal digits after "$", "0x" or "0X". Blanks
// around it are ignored. A decimal value must fit a signed 32-bit integer, a
// hexadecimal one 32 bits; a negative value is returned as its 32-bit two's
// complement. nullopt for anything else.
std::optional<std::uint32_t> ReadIntegerText(std::string_view text);

// True when two section names or keys are the same without regard to ASCII
// letter case (the keys are Japanese; other characters compare exactly).
bool SameSettingsName(std::string_view a, std::string_view b);

// The INI-style settings file, read whole into memory as an ordered list of
// sections, each an ordered list of entries. Reads and writes work on this
// copy; Update rewrites the whole file from it. Entries the program does not
// know are kept in their places, and new sections and keys are appended.
// Section names and keys match without regard to ASCII letter case.
class SettingsFile {
 public:
  // Reads the file at `path`. A missing file gives an empty copy. A file that
  // exists but cannot be read also gives an empty copy, but Update then
  // refuses to write over it, so its contents are never lost unseen.
  static SettingsFile Open(const std::string& path);
  // The copy that the file bytes `bytes` give (UTF-8, else CP932); Update
  // writes it to `path`.
  static SettingsFile Parse(std::string_view bytes,
                            const std::string& path = "");

  // The value of the first entry `key` of the first section `section`, or
  // `default_value` when there is none.
  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view default_value) const;
  // A stored integer: non-zero is on. A missing key or a value that is no
  // integer gives `default_value`.
  bool ReadFlag(std::string_view section, std::string_view key,
                bool default_value) const;

  // Sets the value in place when the key exists, else appends the entry (and
  // the section when it is new).
  void WriteString(std::string_view section, std::string_view key,
                   std::string_view value);
  // Writes "1" or "0".
  void WriteFlag(std::string_view section, std::string_view key, bool value);

  // Rewrites the whole file from the copy, atomically.
  Status Update() const;
  // The file as Update writes it: UTF-8, CR LF line ends, each section
  // followed by one empty line.
  std::string Text() const;

 private:
  struct Entry {
    std::string key;
    std::string value;
    // A line without "=" is kept as it stands (in `key`) and matches no key.
    bool has_separator = true;
  };
  struct Section {
    std::string name;
    std::vector<Entry> entries;
  };

  // Positions of the first match; -1 when there is none.
  int SectionIndex(std::string_view name) const;
  static int EntryIndex(const Section& section, std::string_view key);
  const Entry* FindEntry(std::string_view section, std::string_view key) const;

  std::string path_;
  std::vector<Section> sections_;
  bool unreadable_ = false;
};

}  // namespace kuronel

#endif  // KURONEL_SETTINGS_SETTINGS_FILE_H_
