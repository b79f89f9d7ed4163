#include "platform/folder_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <utility>

#include "platform/file_system.h"

namespace kuronel {
namespace {

struct OpenFolder {
  int fd = -1;
  std::string path;
  FolderLocks::Mode mode;
};

// Opens `folder`, or the nearest folder above it that exists.
int OpenExistingFolder(std::string folder, std::string& opened) {
  for (;;) {
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
      opened = folder;
      return fd;
    }
    if (errno != ENOENT) return -1;
    std::string parent = ParentFolder(folder);
    if (parent == folder) return -1;
    folder = std::move(parent);
  }
}

bool Lock(int fd, FolderLocks::Mode mode) {
  const int operation =
      (mode == FolderLocks::Mode::kExclusive ? LOCK_EX : LOCK_SH) | LOCK_NB;
  while (flock(fd, operation) != 0) {
    if (errno == EINTR) continue;
    // Only a lock held elsewhere stops the run; a file system that keeps no
    // locks cannot tell either.
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
    OpenFolder folder{-1, std::string(), request.mode};
    folder.fd = OpenExistingFolder(request.folder, folder.path);
    struct stat st;
    if (folder.fd < 0) continue;
    if (fstat(folder.fd, &st) != 0) {
      close(folder.fd);
      continue;
    }
    auto [it, inserted] = folders.try_emplace({st.st_dev, st.st_ino}, folder);
    if (inserted) continue;
    close(folder.fd);  // the same folder again: one lock, the stronger mode
    if (request.mode == Mode::kExclusive) it->second.mode = Mode::kExclusive;
  }
  bool all_locked = true;
  for (auto& [identity, folder] : folders) {
    if (all_locked && !Lock(folder.fd, folder.mode)) {
      all_locked = false;
      busy = folder.path;
    }
    descriptors_.push_back(folder.fd);
  }
  if (!all_locked) Release();
  return all_locked;
}

void FolderLocks::Release() {
  for (int fd : descriptors_) close(fd);  // closing drops the lock
  descriptors_.clear();
}

}  // namespace kuronel
