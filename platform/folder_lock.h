#ifndef KURONEL_PLATFORM_FOLDER_LOCK_H_
#define KURONEL_PLATFORM_FOLDER_LOCK_H_

#include <string>
#include <vector>

#include "platform/path.h"

namespace kuronel {

// Advisory locks (flock) on folders, held while the object lives. The kernel
// drops them when the process ends, however it ends, so a killed run never
// leaves a folder locked. A folder that does not exist yet is locked through
// the nearest folder above it that does. Spellings do not matter: one folder
// reached twice is locked once, in the stronger of the two modes.
class FolderLocks {
 public:
  enum class Mode { kShared, kExclusive };
  struct Request {
    std::string folder;
    Mode mode;
  };

  explicit FolderLocks(SystemCalls& calls = RealSystemCalls())
      : calls_(calls) {}
  ~FolderLocks() { Release(); }
  FolderLocks(const FolderLocks&) = delete;
  FolderLocks& operator=(const FolderLocks&) = delete;

  // Takes every lock without waiting, or none: false, with `busy` naming the
  // folder, when another process holds a lock that conflicts. A folder whose
  // file system keeps no locks is passed over.
  bool TryLock(const std::vector<Request>& requests, std::string& busy);
  void Release();

 private:
  SystemCalls& calls_;
  std::vector<UniqueFd> descriptors_;
};

}  // namespace kuronel

#endif  // KURONEL_PLATFORM_FOLDER_LOCK_H_
