#ifndef KURONEL_PLATFORM_FILE_IDENTITY_H_
#define KURONEL_PLATFORM_FILE_IDENTITY_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <unordered_set>

namespace kuronel {

// Which file a path leads to: its device and inode. Two spellings of one file
// (a symbolic link, "..", a second hard link) have one identity. All zero when
// unknown.
struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;

  bool known() const { return device != 0 || inode != 0; }
  friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

struct FileIdentityHash {
  std::size_t operator()(const FileIdentity& identity) const {
    const std::size_t device = std::hash<std::uint64_t>()(identity.device);
    return device ^ (std::hash<std::uint64_t>()(identity.inode) + 0x9E3779B9 +
                     (device << 6) + (device >> 2));
  }
};

using FileIdentitySet = std::unordered_set<FileIdentity, FileIdentityHash>;

}  // namespace kuronel

#endif  // KURONEL_PLATFORM_FILE_IDENTITY_H_
