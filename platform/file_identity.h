#ifndef KURONEL_PLATFORM_FILE_IDENTITY_H_
#define KURONEL_PLATFORM_FILE_IDENTITY_H_

#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <unordered_set>

#include "platform/hash_combine.h"

namespace kuronel {

// Which file or folder a path leads to. Two spellings of one file (a
// symbolic link, "..", a second hard link) have one identity. All zero when
// unknown.
struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;  // as the drive numbers the file now
  // On a drive that renumbers its files (FAT, exFAT) the key of the file's
  // path from the drive's root, which is what identifies it there; 0
  // elsewhere.
  std::uint64_t path_key = 0;

  bool known() const { return device != 0 || inode != 0 || path_key != 0; }

  // The one comparison of identities: the same device, and the same path key
  // where either has one, else the same inode.
  bool SameFileAs(const FileIdentity& other) const {
    if (device != other.device) return false;
    if (path_key != 0 || other.path_key != 0) return path_key == other.path_key;
    return inode == other.inode;
  }
  friend bool operator==(const FileIdentity& a, const FileIdentity& b) {
    return a.SameFileAs(b);
  }
};

// The identity of a status by its device and inode alone: for comparing two
// looks at one name on one drive (the name and the file opened by it).
inline FileIdentity InodeIdentity(const struct stat& status) {
  return {static_cast<std::uint64_t>(status.st_dev),
          static_cast<std::uint64_t>(status.st_ino), 0};
}

// Agrees with SameFileAs: what identifies the file (the path key where there
// is one, else the inode) and its device.
struct FileIdentityHash {
  std::size_t operator()(const FileIdentity& identity) const {
    const std::uint64_t which =
        identity.path_key != 0 ? identity.path_key : identity.inode;
    return HashCombine(std::hash<std::uint64_t>()(identity.device),
                       std::hash<std::uint64_t>()(which));
  }
};

using FileIdentitySet = std::unordered_set<FileIdentity, FileIdentityHash>;

}  // namespace kuronel

#endif  // KURONEL_PLATFORM_FILE_IDENTITY_H_
