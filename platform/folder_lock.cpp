#include "platform/folder_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <cerrno>
#include <map>
#include <utility>

namespace kuronel {
namespace {

struct OpenFolder {
  UniqueFd fd;
  std::string path;
  FolderLocks::Mode mode;
};

// Opens `folder`, or the nearest folder above it that exists.
UniqueFd OpenExistingFolder(SystemCalls& calls, std::string folder,
                            std::string& opened) {
  for (;;) {
    UniqueFd fd(calls.Open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC), calls);
    if (fd.valid()) {
      opened = folder;
      return fd;
    }
    if (errno != ENOENT) return fd;
    std::string parent = ParentFolder(folder);
    if (parent == folder) return fd;
    folder = std::move(parent);
  }
}

// False only for a lock that another process holds: a file system that
// keeps no locks cannot tell either.
bool Lock(SystemCalls& calls, int fd, FolderLocks::Mode mode) {
  const int operation =
      (mode == FolderLocks::Mode::kExclusive ? LOCK_EX : LOCK_SH) | LOCK_NB;
  while (calls.Lock(fd, operation) != 0) {
    if (errno == EINTR) continue;
    return errno != EWOULDBLOCK;
  }
  return true;
}

}  // namespace

bool FolderLocks::TryLock(const std::vector<Request>& requests,
                          std::string& busy) {
  Release();
  std::map<std::pair<std::uint64_t, std::uint64_t>, OpenFolder> folders;
  for (const Request& request : requests) {
    OpenFolder folder{UniqueFd(), std::string(), request.mode};
    folder.fd = OpenExistingFolder(calls_, request.folder, folder.path);
    struct stat st;
    if (!folder.fd.valid() || calls_.FileStat(folder.fd.get(), st) != 0)
      continue;
    auto [it, inserted] =
        folders.try_emplace({st.st_dev, st.st_ino}, std::move(folder));
    // The same folder again: one lock, in the stronger mode.
    if (!inserted && request.mode == Mode::kExclusive)
      it->second.mode = Mode::kExclusive;
  }
  for (auto& [identity, folder] : folders) {
    if (!Lock(calls_, folder.fd.get(), folder.mode)) {
      busy = folder.path;
      Release();
      return false;
    }
    descriptors_.push_back(std::move(folder.fd));  // closing drops the lock
  }
  return true;
}

void FolderLocks::Release() { descriptors_.clear(); }

}  // namespace kuronel
