#include "platform/mount_table.h"

#include <sys/sysmacros.h>

#include <algorithm>
#include <charconv>

#include "platform/file_io.h"
#include "platform/path.h"

namespace kuronel {
namespace {

// The space-separated fields of one mount table line.
std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> fields;
  for (std::size_t start = 0; start < line.size();) {
    std::size_t end = line.find(' ', start);
    if (end == std::string_view::npos) end = line.size();
    fields.push_back(line.substr(start, end - start));
    start = end + 1;
  }
  return fields;
}

// "MAJOR:MINOR" as a device number; false for anything else.
bool ParseDevice(std::string_view text, std::uint64_t& device) {
  unsigned major_number = 0, minor_number = 0;
  const char* end = text.data() + text.size();
  const auto major_end = std::from_chars(text.data(), end, major_number);
  if (major_end.ec != std::errc() || major_end.ptr == end ||
      *major_end.ptr != ':')
    return false;
  const auto minor_end = std::from_chars(major_end.ptr + 1, end, minor_number);
  if (minor_end.ec != std::errc() || minor_end.ptr != end) return false;
  device = makedev(major_number, minor_number);
  return true;
}

// One line: ID PARENT MAJOR:MINOR ROOT MOUNT-POINT OPTIONS [TAGS...] - TYPE
// SOURCE SUPER-OPTIONS.
bool ParseLine(std::string_view line, MountEntry& entry) {
  const std::vector<std::string_view> fields = Fields(line);
  std::size_t dash = 6;
  while (dash < fields.size() && fields[dash] != "-") ++dash;
  if (dash + 2 >= fields.size() || !ParseDevice(fields[2], entry.device))
    return false;
  entry.root = UnescapedMountField(fields[3]);
  entry.mount_point = UnescapedMountField(fields[4]);
  entry.type = UnescapedMountField(fields[dash + 1]);
  entry.source = UnescapedMountField(fields[dash + 2]);
  entry.options =
      dash + 3 < fields.size() ? UnescapedMountField(fields[dash + 3]) : "";
  return true;
}

}  // namespace

std::string UnescapedMountField(std::string_view field) {
  std::string text;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size() &&
        std::all_of(field.begin() + i + 1, field.begin() + i + 4,
                    [](char c) { return c >= '0' && c <= '7'; })) {
      text +=
          static_cast<char>((field[i + 1] - '0') * 64 +
                            (field[i + 2] - '0') * 8 + (field[i + 3] - '0'));
      i += 3;
    } else {
      text += field[i];
    }
  }
  return text;
}

std::vector<MountEntry> ParseMountInfo(std::string_view text) {
  std::vector<MountEntry> entries;
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    MountEntry entry;
    if (ParseLine(text.substr(start, end - start), entry))
      entries.push_back(std::move(entry));
    start = end + 1;
  }
  return entries;
}

bool HasMountOption(std::string_view options, std::string_view option) {
  for (std::size_t start = 0; start <= options.size();) {
    std::size_t end = options.find_first_of(",\n", start);
    if (end == std::string_view::npos) end = options.size();
    if (options.substr(start, end - start) == option) return true;
    start = end + 1;
  }
  return false;
}

std::vector<MountEntry> ReadMountTable(SystemCalls& calls) {
  constexpr std::size_t kMaxMountTable = 16 << 20;
  std::string table;
  if (ReadFileUpTo("/proc/self/mountinfo", kMaxMountTable, table, calls) !=
      ReadOutcome::kRead)
    return {};
  return ParseMountInfo(table);
}

bool MountEntryOf(std::uint64_t device, const std::string& path,
                  MountEntry& entry, SystemCalls& calls) {
  bool found = false;
  for (MountEntry& candidate : ReadMountTable(calls)) {
    if (candidate.device != device || !PathHolds(candidate.mount_point, path) ||
        (found && candidate.mount_point.size() < entry.mount_point.size()))
      continue;
    entry = std::move(candidate);
    found = true;
  }
  return found;
}

}  // namespace kuronel
