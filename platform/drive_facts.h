#ifndef KURONEL_PLATFORM_DRIVE_FACTS_H_
#define KURONEL_PLATFORM_DRIVE_FACTS_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/file_identity.h"
#include "platform/system_calls.h"

struct stat;

namespace kuronel {

// One line of the mount table (/proc/self/mountinfo).
struct MountEntry {
  std::string type;         // "ext4", "fuseblk", "fuse.fusefat", ...
  std::string source;       // "/dev/sdb1", "fusefat", ...
  std::string mount_point;  // where it is mounted, octal escapes decoded
  std::string root;         // the folder of the drive mounted there
};

// A field of the mount table with its octal escapes (of blanks, tabs, line
// breaks and backslashes) undone.
std::string UnescapedMountField(std::string_view field);

// The entry of `device` whose mount point is the longest start of `path`
// (an absolute path without links); false when the table has none.
bool MountEntryOf(std::uint64_t device, const std::string& path,
                  MountEntry& entry, SystemCalls& calls);

// What the safety of a copy or a move depends on, drive by drive.
struct DriveFacts {
  // FAT and exFAT: their drivers give a file a new inode number when the
  // kernel forgets it, and renumber folders too. They have neither hard nor
  // symbolic links, so there a file is its drive and its path.
  bool renumbers_files = false;
  // False for a driver that answers fsync without writing its device
  // (fusefat): what it holds may vanish in a power cut, so nothing may be
  // deleted on the strength of a copy there.
  bool confirms_flushes = true;
};

// The facts of the drive that holds `path` (or, when nothing is there yet,
// its folder). A drive that cannot be asked gets the facts of an ordinary
// Linux file system.
DriveFacts DriveFactsOf(const std::string& path, SystemCalls& calls);

// Which file `status` (of the file at `path`) is: its device and inode, and on
// a drive that renumbers files a key of its path from the drive's root,
// compared as FAT compares names (letters A-Z and a-z alike).
// `path` may name a file that does not exist yet (a copy before it is
// published): its folder is then resolved.
FileIdentity IdentityOf(const struct stat& status, const std::string& path,
                        SystemCalls& calls);

// The key of the path of the file at `path` (status `status`) on a drive that
// renumbers files; 0 on any other drive.
std::uint64_t PathKeyOf(const struct stat& status, const std::string& path,
                        SystemCalls& calls);

// Resolves the identities of many entries of one folder: the folder's facts
// and its resolved path are asked once.
class FolderIdentities {
 public:
  FolderIdentities(std::string folder, SystemCalls& calls);
  // The identity of the entry `name` (links followed) of status `status`.
  // An entry on the folder's own drive is asked nothing more: FAT and exFAT
  // hold no links, so there the entry's path is the folder's and its name.
  FileIdentity Of(const struct stat& status, std::string_view name);

 private:
  void Resolve();

  SystemCalls& calls_;
  std::string folder_;
  bool resolved_ = false;
  std::uint64_t device_ = 0;
  bool renumbers_ = false;
  std::string real_folder_;
};

// The key of a path from a FAT drive's root: its letters folded as FAT folds
// them, hashed.
std::uint64_t FatPathKey(std::string_view path_from_root);

}  // namespace kuronel

#endif  // KURONEL_PLATFORM_DRIVE_FACTS_H_
