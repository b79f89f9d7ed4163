#ifndef KURONEL_PLATFORM_DRIVE_FLUSH_H_
#define KURONEL_PLATFORM_DRIVE_FLUSH_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/path.h"
#include "platform/system_calls.h"

namespace kuronel {

// True when syncfs on a drive of type `magic` (statfs's f_type), under the
// kernel of release `kernel_release`, both writes everything on the drive to
// its device with the device's cache flushed and reports every failure:
// ext4, xfs and btrfs, whose syncfs commits the journal (or transaction)
// with a cache flush, from Linux 5.17 on, which reports write-back errors
// (5.8) and failed commits (5.17). Everything else is flushed file by file.
bool SyncfsMakesDurable(unsigned long magic, std::string_view kernel_release);

// One flush of a whole drive. Opened before the writes it is to vouch for,
// so that a write-back error of any of them shows in its Sync.
class DriveFlush {
 public:
  DriveFlush(const std::string& folder, SystemCalls& calls);

  // True when Sync proves durability of what was written to the drive since
  // this was opened (SyncfsMakesDurable).
  bool proves() const { return proves_; }
  // The drive's device number (0 when the folder could not be opened).
  std::uint64_t device() const { return device_; }
  // syncfs of the drive: 0, or the errno. On a drive that it does not
  // prove, only a hint: the kernel's drives write out everything pending at
  // once, so that the fsync of each file after it finds little left to do.
  int Sync();

 private:
  SystemCalls& calls_;
  UniqueFd folder_;
  std::uint64_t device_ = 0;
  bool proves_ = false;
};

}  // namespace kuronel

#endif  // KURONEL_PLATFORM_DRIVE_FLUSH_H_
