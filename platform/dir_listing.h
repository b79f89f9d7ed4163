#ifndef KURONEL_PLATFORM_DIR_LISTING_H_
#define KURONEL_PLATFORM_DIR_LISTING_H_

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/file_identity.h"
#include "platform/system_calls.h"

struct stat;

namespace kuronel {

// The bits of the attribute word that the listing derives for each entry, in
// the meaning they have in the Windows file attribute word.
inline constexpr std::uint32_t kAttrReadOnly = 0x01;
inline constexpr std::uint32_t kAttrHidden = 0x02;
inline constexpr std::uint32_t kAttrSystem = 0x04;
inline constexpr std::uint32_t kAttrVolumeLabel = 0x08;
inline constexpr std::uint32_t kAttrDirectory = 0x10;
inline constexpr std::uint32_t kAttrArchive = 0x20;

// One entry of a directory listing. Linux has no attribute word, so it is
// derived from the entry's status (symbolic links followed):
//   directory                       0x10
//   regular file                    0x20, + 0x01 when the owner may not write
//                                   it, + 0x02 when the name begins with "."
//   anything else (FIFO, socket, device, dangling link) 0
// The name is only valid during the call that receives the entry.
struct DirEntry {
  std::string_view name;
  std::uint32_t attributes = 0;
  std::int64_t modified_seconds = 0;  // st_mtime, seconds since the epoch
  // Which file or folder the entry is (see IdentityOf): its device and
  // inode, and on FAT and exFAT, which renumber files, a key of its path.
  FileIdentity identity;
  // The whole status the above come from, during the call only; null when
  // the entry has none.
  const struct stat* status = nullptr;
  // Why there is no status: 0 when there is one; ENOENT or ELOOP for a
  // dangling link or a link loop; anything else (EACCES, EIO, ...) for an
  // entry that exists but cannot be read.
  int status_error = 0;
};

using DirEntryVisitor = std::function<void(const DirEntry& entry)>;

// Calls `visit` for every entry of `folder` except "." and "..", in the order
// the file system returns them (nothing is sorted). Each entry costs one
// status call. Returns false when the folder cannot be opened (missing, not a
// folder, no access, a path too long), having called nothing, or when the
// listing broke off (an I/O error); `error`, when given, then receives the
// errno, and 0 otherwise.
bool ListDirectory(const std::string& folder, const DirEntryVisitor& visit,
                   SystemCalls& calls, int* error = nullptr);

// ListDirectory for a caller that wants the folders only: an entry that the
// directory marks as a regular file, FIFO, socket or device is passed over
// without a status call (on a cold card that call is a read of the drive);
// folders, links and unmarked entries are visited as ListDirectory visits
// them.
bool ListSubfolders(const std::string& folder, const DirEntryVisitor& visit,
                    SystemCalls& calls, int* error = nullptr);

// True for a folder on a file system that the kernel makes up (proc, sysfs,
// devtmpfs, cgroup, debugfs, ...): its files are no photos, and some of them
// never end when read.
bool IsPseudoFileSystem(const std::string& folder, SystemCalls& calls);

// The identity of a folder (see IdentityOf), symbolic links followed;
// nullopt when there is no folder (missing, or something else).
std::optional<FileIdentity> DirectoryIdentity(const std::string& folder,
                                              SystemCalls& calls);

}  // namespace kuronel

#endif  // KURONEL_PLATFORM_DIR_LISTING_H_
