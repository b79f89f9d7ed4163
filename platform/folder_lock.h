#ifndef KURONEL_PLATFORM_FOLDER_LOCK_H_
#define KURONEL_PLATFORM_FOLDER_LOCK_H_

#include <sys/types.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/path.h"

namespace kuronel {

// Why a run's locks were refused.
struct LockRefusal {
  enum class Kind {
    kNone,
    // Another run holds a folder: `folder` names it.
    kBusy,
    // The registry of this user's runs cannot be trusted or had: `folder`
    // names it, `reason` says what is wrong. A run is refused then rather
    // than run unguarded.
    kNoRegistry,
  };
  Kind kind = Kind::kNone;
  std::string folder;
  std::string reason;
};

// The folder where the runs of `user` register. One place per user, whatever
// the environment says: a run started from the desktop, a terminal, cron or
// sudo must see every other run of the same user (a runtime folder named by
// XDG_RUNTIME_DIR comes and goes with the variable and the login). /tmp is
// there for every process of the machine; its sticky bit keeps others from
// removing or renaming a folder there that is not theirs.
std::string RunRegistryFolder(uid_t user, const std::string& parent = "/tmp");

// Locks on folder trees, held while the object lives, so that two runs whose
// folders overlap in any way (the same folder, one inside the other, a
// destination that one of them creates) never run at once.
//
// Two layers. Each run of this user registers its folders, resolved, in
// RunRegistryFolder as a file it keeps flock'ed; a new run compares its
// folders with those of every live run there, by whole path names, so a
// folder inside another or not made yet conflicts too. That folder must be
// the user's own, mode 0700 and no link, checked on the open folder, and
// every file in it is reached through that open folder; when it cannot be
// had so (made first by another user, a link, open to others), the run is
// refused. Beside that, each folder that exists carries an advisory flock,
// which also keeps out runs of other users on the same folder. The kernel
// drops every lock when the process ends, however it ends, so a killed run
// never leaves a folder locked; its registration is then stale and is
// removed by the next run. Spellings do not matter: one folder reached
// twice is locked once, in the stronger of the two modes.
class FolderLocks {
 public:
  enum class Mode { kShared, kExclusive };
  struct Request {
    std::string folder;
    Mode mode;
  };

  // `registry_parent` holds the registry folder (tests give their own).
  explicit FolderLocks(SystemCalls& calls, std::string registry_parent = "/tmp")
      : calls_(calls), registry_parent_(std::move(registry_parent)) {}
  ~FolderLocks() { Release(); }
  FolderLocks(const FolderLocks&) = delete;
  FolderLocks& operator=(const FolderLocks&) = delete;

  // Takes every lock without waiting, or none: false, with `refusal` saying
  // why, when another process holds a lock that conflicts or the registry
  // cannot be had. A folder whose file system keeps no locks is passed over.
  bool TryLock(const std::vector<Request>& requests, LockRefusal& refusal);
  void Release();

 private:
  bool LockFolders(const std::vector<Request>& requests, LockRefusal& refusal);
  bool Register(const std::vector<Request>& requests, LockRefusal& refusal);
  bool OpenRegistry(LockRefusal& refusal);
  bool WriteRegistration(const std::string& text, LockRefusal& refusal);

  SystemCalls& calls_;
  std::string registry_parent_;
  std::vector<UniqueFd> descriptors_;
  UniqueFd registry_;
  UniqueFd registration_;
  std::string registration_name_;
};

}  // namespace kuronel

#endif  // KURONEL_PLATFORM_FOLDER_LOCK_H_
