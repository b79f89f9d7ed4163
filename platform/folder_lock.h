#ifndef KURONEL_PLATFORM_FOLDER_LOCK_H_
#define KURONEL_PLATFORM_FOLDER_LOCK_H_

#include <string>
#include <vector>

#include "platform/path.h"

namespace kuronel {

// Locks on folder trees, held while the object lives, so that two runs whose
// folders overlap in any way (the same folder, one inside the other, a
// destination that one of them creates) never run at once.
//
// Two layers. Each run of this user registers its folders, resolved, in a
// private folder ($XDG_RUNTIME_DIR/kuronel-runs, else /tmp/kuronel-runs-UID)
// as a file it keeps flock'ed; a new run compares its folders with those of
// every live run there, by whole path names, so a folder inside another or
// not made yet conflicts too. Beside that, each folder that exists carries
// an advisory flock, which also keeps out runs of other users on the same
// folder. The kernel drops
// every lock when the process ends, however it ends, so a killed run never
// leaves a folder locked; its registration is then stale and is removed by
// the next run. Spellings do not matter: one folder reached twice is locked
// once, in the stronger of the two modes.
class FolderLocks {
 public:
  enum class Mode { kShared, kExclusive };
  struct Request {
    std::string folder;
    Mode mode;
  };

  explicit FolderLocks(SystemCalls& calls) : calls_(calls) {}
  ~FolderLocks() { Release(); }
  FolderLocks(const FolderLocks&) = delete;
  FolderLocks& operator=(const FolderLocks&) = delete;

  // Takes every lock without waiting, or none: false, with `busy` naming the
  // folder, when another process holds a lock that conflicts. A folder whose
  // file system keeps no locks is passed over.
  bool TryLock(const std::vector<Request>& requests, std::string& busy);
  void Release();

 private:
  bool LockFolders(const std::vector<Request>& requests, std::string& busy);
  bool Register(const std::vector<Request>& requests, std::string& busy);

  SystemCalls& calls_;
  std::vector<UniqueFd> descriptors_;
  UniqueFd registration_;
  std::string registration_path_;
};

}  // namespace kuronel

#endif  // KURONEL_PLATFORM_FOLDER_LOCK_H_
