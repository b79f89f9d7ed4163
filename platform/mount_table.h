#ifndef KURONEL_PLATFORM_MOUNT_TABLE_H_
#define KURONEL_PLATFORM_MOUNT_TABLE_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/system_calls.h"

namespace kuronel {

// One line of the mount table (/proc/self/mountinfo).
struct MountEntry {
  std::uint64_t device = 0;  // the drive's device number (st_dev)
  std::string type;          // "ext4", "fuseblk", "fuse.fusefat", ...
  std::string source;        // "/dev/sdb1", "fusefat", ...
  std::string mount_point;   // where it is mounted, octal escapes decoded
  std::string root;          // the folder of the drive mounted there
  std::string options;       // the drive's own options: "rw,data=journal"
};

// A field of the mount table with its octal escapes (of blanks, tabs, line
// breaks and backslashes) undone.
std::string UnescapedMountField(std::string_view field);

// The entries of a mount table's text, in its order; lines that are not
// whole entries are passed over.
std::vector<MountEntry> ParseMountInfo(std::string_view text);

// The entries of this process's mount table (/proc/self/mountinfo), read and
// parsed; empty when it cannot be read.
std::vector<MountEntry> ReadMountTable(SystemCalls& calls);

// True when `options`, separated by commas or line breaks, hold `option`
// exactly ("data=journal" in "rw,data=journal", or in the lines of
// /proc/fs/ext4/*/options).
bool HasMountOption(std::string_view options, std::string_view option);

// The entry of `device` whose mount point is the longest start of `path`
// (an absolute path without links); false when the table has none.
bool MountEntryOf(std::uint64_t device, const std::string& path,
                  MountEntry& entry, SystemCalls& calls);

}  // namespace kuronel

#endif  // KURONEL_PLATFORM_MOUNT_TABLE_H_
