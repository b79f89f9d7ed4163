#ifndef KURONEL_PLATFORM_DIR_LISTING_H_
#define KURONEL_PLATFORM_DIR_LISTING_H_

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

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
  std::uint64_t device = 0;           // with inode: identity of a directory
  std::uint64_t inode = 0;
  // The whole status the above come from, during the call only; null when
  // the entry has none (a dangling link).
  const struct stat* status = nullptr;
};

using DirEntryVisitor = std::function<void(const DirEntry& entry)>;

// Calls `visit` for every entry of `folder` except "." and "..", in the order
// the file system returns them (nothing is sorted). Each entry costs one
// status call. Returns false, having called nothing, when the folder cannot be
// opened (missing, not a folder, no access); that is not an error to report.
bool ListDirectory(const std::string& folder, const DirEntryVisitor& visit);

// The identity (device and inode) of a folder, symbolic links followed; false
// when it has none (missing).
bool DirectoryIdentity(const std::string& folder, std::uint64_t& device,
                       std::uint64_t& inode);

}  // namespace kuronel

#endif  // KURONEL_PLATFORM_DIR_LISTING_H_
