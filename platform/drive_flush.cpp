#include "platform/drive_flush.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

#include "platform/drive_facts.h"

namespace kuronel {
namespace {

// statfs's magic numbers (linux/magic.h).
constexpr unsigned long kExt4Magic = 0xEF53;  // ext2, ext3 and ext4 alike
constexpr unsigned long kXfsMagic = 0x58465342;
constexpr unsigned long kBtrfsMagic = 0x9123683E;

// The first kernel whose syncfs reports both write-back errors and a
// failed journal commit.
constexpr int kFirstMajor = 5;
constexpr int kFirstMinor = 17;

}  // namespace

bool SyncfsMakesDurable(unsigned long magic, std::string_view kernel_release) {
  const bool journalled =
      magic == kExt4Magic || magic == kXfsMagic || magic == kBtrfsMagic;
  return journalled &&
         KernelReleaseAtLeast(kernel_release, kFirstMajor, kFirstMinor);
}

DriveFlush::DriveFlush(const std::string& folder, SystemCalls& calls)
    : calls_(calls),
      folder_(calls.Open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC), calls) {
  struct stat st;
  unsigned long magic = 0;
  if (!folder_.valid() || calls_.FileStat(folder_.get(), st) != 0 ||
      calls_.FileSystemTypeOf(folder_.get(), magic) != 0)
    return;
  device_ = static_cast<std::uint64_t>(st.st_dev);
  proves_ = SyncfsMakesDurable(magic, calls_.KernelRelease());
}

int DriveFlush::Sync() {
  if (!folder_.valid()) return EBADF;
  return calls_.SyncFileSystem(folder_.get()) == 0 ? 0 : errno;
}

}  // namespace kuronel
