#ifndef KURONEL_PLATFORM_DRIVE_FACTS_H_
#define KURONEL_PLATFORM_DRIVE_FACTS_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include "platform/file_identity.h"
#include "platform/mount_table.h"
#include "platform/name_folding.h"
#include "platform/system_calls.h"

struct stat;

namespace kuronel {

// What a drive is, as far as the program can tell.
enum class DriveKind {
  kKernel,   // a file system of the kernel's own (ext4, xfs, vfat, ...)
  kExfat,    // exFAT: the kernel's driver, or a FUSE driver on its device
  kNtfs,     // NTFS through a FUSE driver on its device (ntfs-3g)
  kFat,      // FAT through a FUSE driver (fusefat)
  kUnknown,  // any other FUSE drive, or one whose device cannot be read
};

// What the safety of a copy or a move depends on, drive by drive. A run may
// ask them once per drive (DriveMemo): they depend on the drive, not
// on the file.
struct DriveFacts {
  DriveKind kind = DriveKind::kKernel;
  std::uint64_t device = 0;  // st_dev; 0 when the drive could not be asked

  // Files are known by their path from the drive's root, not by their inode
  // number: FAT and exFAT drivers number a file anew when the kernel forgets
  // it, and so may any FUSE driver the program does not know.
  bool renumbers_files = false;
  // How the drive compares names, for those path keys: FAT and exFAT ignore
  // letter case (exFAT as its up-case table says). Null: names are compared
  // byte for byte, which never takes two files for one where the drive's
  // kind cannot be told.
  std::shared_ptr<const UpcaseTable> folds_names;

  // The drive's driver writes its device when a file or folder is flushed.
  // False for FUSE drivers not known to (fusefat answers fsync without
  // writing): what they hold may vanish in a power cut.
  bool flushes_durable = true;
  // A copy read back after its flush is read from the medium, not from a
  // cache in memory that the program cannot drop: false on ext4 mounted
  // data=journal, on btrfs, and on a FUSE drive whose device the program
  // cannot open.
  bool read_back_reaches_medium = true;
  // A FUSE drive on a block device: the device, whose cached pages must be
  // dropped before a read-back reaches the medium (DropDeviceCache).
  std::string cached_device;
};

// The facts of the drive that holds `path` (or, when nothing is there yet,
// the nearest folder above it). A drive that cannot be asked gets the facts
// of an ordinary Linux file system.
DriveFacts DriveFactsOf(const std::string& path, SystemCalls& calls);

// How the files of one folder are known: on a drive that renumbers files
// (FAT, exFAT, an unknown FUSE drive) by their paths from the drive's root.
struct FolderKeys {
  std::uint64_t device = 0;  // the folder's st_dev; 0: it could not be asked
  bool by_path = false;      // the drive renumbers files
  std::string from_root;     // the folder's path from the drive's root
  std::shared_ptr<const UpcaseTable> folds;
};

// The keys of `folder`, asked of its drive and the mount table once.
FolderKeys KeysOfFolder(const std::string& folder, SystemCalls& calls);

// The path key of the entry `name` of a folder on its own drive (0 where
// the drive keeps its file numbers).
std::uint64_t PathKeyIn(const FolderKeys& folder, std::string_view name);

// While one lives, the thread that made it asks the facts of each folder and
// of each drive once: a batch of a run takes the identities of hundreds of
// files in a few folders, and each would otherwise cost a look at the drive,
// the mount table and every folder of its path. Made for a short span (one
// batch), during which drives are not swapped. Files are then known by
// their folder and their name: a link's own name, where links exist, gives
// it a key of its own, which costs at most a duplicate row.
class DriveMemo {
 public:
  DriveMemo();
  ~DriveMemo();
  DriveMemo(const DriveMemo&) = delete;
  DriveMemo& operator=(const DriveMemo&) = delete;

  // This thread's memo, or null.
  static DriveMemo* Current();
  const FolderKeys& Folder(const std::string& folder, SystemCalls& calls);
  const DriveFacts& Drive(std::uint64_t device, const std::string& path,
                          SystemCalls& calls);

 private:
  DriveMemo* outer_;
  std::unordered_map<std::string, FolderKeys> folders_;
  std::unordered_map<std::uint64_t, DriveFacts> drives_;
};

// Drops the cached pages of `facts.cached_device`, so that a FUSE driver
// reading it next reads the medium. 0 when dropped or where there is
// nothing to drop; the errno when the device cannot be opened or its pages
// cannot be dropped (a read-back would then read memory).
int DropDeviceCache(const DriveFacts& facts, SystemCalls& calls);

// The same for the drive that holds `path`, as a copy's read-back asks it
// after the copy's flush.
int DropDeviceCacheOf(const std::string& path, SystemCalls& calls);

// True for a kernel release text ("6.1.0-13-amd64") of `major`.`minor` or
// later.
bool KernelReleaseAtLeast(std::string_view release, int major, int minor);

// Which file `status` (of the file at `path`) is: its device and inode, and on
// a drive that renumbers files a key of its path from the drive's root,
// compared as the drive compares names.
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
  SystemCalls& calls_;
  std::string folder_;
  bool resolved_ = false;
  FolderKeys keys_;
};

// The key of a path from the root of a drive that renumbers files: its
// names folded as the drive folds them (`folds` null: not at all), hashed.
// Never 0.
std::uint64_t DrivePathKey(std::string_view path_from_root,
                           const UpcaseTable* folds);

}  // namespace kuronel

#endif  // KURONEL_PLATFORM_DRIVE_FACTS_H_
