#include "platform/folder_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <string_view>
#include <utility>

#include "platform/file_identity.h"
#include "platform/file_io.h"
#include "platform/file_system.h"

namespace kuronel {
namespace {

struct OpenFolder {
  UniqueFd fd;
  std::string path;
  FolderLocks::Mode mode;
};

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

std::string OctalMode(mode_t mode) {
  char text[8];
  std::snprintf(text, sizeof text, "%03o", static_cast<unsigned>(mode & 0777));
  return text;
}

// Why the registry cannot live in `parent`; empty when it can. Where others
// may write, only the sticky bit keeps them from renaming this user's
// folder away and putting one of theirs in its place.
std::string ParentFault(SystemCalls& calls, const std::string& parent) {
  struct stat st;
  if (calls.Stat(parent, st) != 0) return parent + ": " + std::strerror(errno);
  if (!S_ISDIR(st.st_mode)) return parent + " is not a folder";
  if ((st.st_mode & 0022) != 0 && (st.st_mode & S_ISVTX) == 0)
    return parent + " lets others rename what it holds (mode " +
           OctalMode(st.st_mode) + ", no sticky bit)";
  return std::string();
}

// Why the registry folder open as `fd` cannot serve; empty when it can. A
// folder of this user that nobody else could write into is made private
// when it is not; one that others could write into may hold their files,
// and is not trusted.
std::string RegistryFault(SystemCalls& calls, int fd) {
  struct stat st;
  if (calls.FileStat(fd, st) != 0) return std::strerror(errno);
  if (!S_ISDIR(st.st_mode)) return "it is not a folder";
  if (st.st_uid != calls.EffectiveUser())
    return "it belongs to user " + std::to_string(st.st_uid);
  if ((st.st_mode & 0777) == 0700) return std::string();
  if ((st.st_mode & 0022) != 0)
    return "others may write to it (mode " + OctalMode(st.st_mode) + ")";
  if (calls.ChangeFileMode(fd, 0700) != 0)
    return "its mode " + OctalMode(st.st_mode) +
           " cannot be made 700: " + std::strerror(errno);
  return std::string();
}

// The folders one run registered: a mode letter and a resolved path each,
// every field ended by a NUL (paths may hold any other byte).
struct Registered {
  FolderLocks::Mode mode;
  std::string path;
};

std::string RegistrationText(const std::vector<Registered>& folders) {
  std::string text;
  for (const Registered& folder : folders) {
    text += folder.mode == FolderLocks::Mode::kExclusive ? 'X' : 'S';
    text += '\0' + folder.path + '\0';
  }
  return text;
}

std::vector<Registered> ParseRegistration(std::string_view text) {
  std::vector<Registered> folders;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t mode_end = text.find('\0', at);
    const std::size_t path_end = text.find('\0', mode_end + 1);
    if (mode_end == std::string_view::npos ||
        path_end == std::string_view::npos)
      break;
    folders.push_back(
        {text.substr(at, mode_end - at) == "S" ? FolderLocks::Mode::kShared
                                               : FolderLocks::Mode::kExclusive,
         std::string(text.substr(mode_end + 1, path_end - mode_end - 1))});
    at = path_end + 1;
  }
  return folders;
}

bool Overlap(const Registered& a, const Registered& b) {
  return (a.mode == FolderLocks::Mode::kExclusive ||
          b.mode == FolderLocks::Mode::kExclusive) &&
         (PathHolds(a.path, b.path) || PathHolds(b.path, a.path));
}

// The folders another run registered in `name` (in the registry open as
// `registry`), or none when that run has ended (nobody holds the lock its
// file carries): its file is then removed. False when a live run's file
// cannot be read: what it holds is then unknown.
bool LiveRegistration(SystemCalls& calls, int registry, const char* name,
                      std::vector<Registered>& folders) {
  folders.clear();
  UniqueFd fd(calls.OpenAt(registry, name, O_RDONLY | O_NOFOLLOW | O_CLOEXEC),
              calls);
  if (!fd.valid()) return errno == ENOENT;  // ended meanwhile
  if (calls.Lock(fd.get(), LOCK_SH | LOCK_NB) == 0) {
    calls.UnlinkAt(registry, name);
    return true;
  }
  std::string text;
  constexpr std::size_t kMaxRegistration = 1 << 20;
  if (ReadOpenFileUpTo(fd.get(), kMaxRegistration, text, calls) !=
      ReadOutcome::kRead)
    return false;
  folders = ParseRegistration(text);
  return true;
}

// Holds the registry's own lock while the runs are compared and this one is
// added, so that two runs starting at once see each other.
class RegistryGuard {
 public:
  RegistryGuard(SystemCalls& calls, int registry)
      : fd_(calls.OpenAt(registry, "lock",
                         O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600),
            calls) {
    int locked = -1;
    if (fd_.valid()) {
      // A signal while it waits for another run is no reason to refuse.
      while ((locked = calls.Lock(fd_.get(), LOCK_EX)) != 0 && errno == EINTR) {
      }
    }
    held_ = locked == 0;
  }
  bool held() const { return held_; }

 private:
  UniqueFd fd_;  // closing drops the lock
  bool held_ = false;
};

// A refusal for want of a registry, for `reason`.
bool Refuse(LockRefusal& refusal, std::string reason) {
  refusal.kind = LockRefusal::Kind::kNoRegistry;
  refusal.reason = std::move(reason);
  return false;
}

// The same, with errno's text after `what`.
bool NoRegistry(LockRefusal& refusal, const std::string& what) {
  return Refuse(refusal, what + ": " + std::strerror(errno));
}

}  // namespace

std::string RunRegistryFolder(uid_t user, const std::string& parent) {
  return JoinPath(parent, "kuronel-runs-" + std::to_string(user));
}

bool FolderLocks::TryLock(const std::vector<Request>& requests,
                          LockRefusal& refusal) {
  Release();
  refusal = LockRefusal();
  if (LockFolders(requests, refusal) && Register(requests, refusal))
    return true;
  Release();
  return false;
}

bool FolderLocks::OpenRegistry(LockRefusal& refusal) {
  refusal.folder = RunRegistryFolder(calls_.EffectiveUser(), registry_parent_);
  if (std::string fault = ParentFault(calls_, registry_parent_); !fault.empty())
    return Refuse(refusal, std::move(fault));
  if (calls_.MakeDirectory(refusal.folder, 0700) != 0 && errno != EEXIST)
    return NoRegistry(refusal, "cannot make it");
  // Never through a link: whatever a link planted there points at is not
  // this user's private folder.
  registry_ = UniqueFd(calls_.Open(refusal.folder, O_RDONLY | O_DIRECTORY |
                                                       O_NOFOLLOW | O_CLOEXEC),
                       calls_);
  if (!registry_.valid()) {
    const int error = errno;
    struct stat st;
    if (calls_.Stat(refusal.folder, st, false) == 0 && S_ISLNK(st.st_mode))
      return Refuse(refusal, "it is a symbolic link");
    errno = error;
    return NoRegistry(refusal, "cannot open it");
  }
  if (std::string fault = RegistryFault(calls_, registry_.get());
      !fault.empty())
    return Refuse(refusal, std::move(fault));
  return true;
}

bool FolderLocks::Register(const std::vector<Request>& requests,
                           LockRefusal& refusal) {
  if (!OpenRegistry(refusal)) return false;
  RegistryGuard guard(calls_, registry_.get());
  if (!guard.held()) return NoRegistry(refusal, "cannot lock its file lock");
  std::vector<Registered> mine;
  mine.reserve(requests.size());
  for (const Request& request : requests)
    mine.push_back({request.mode, ResolvedPath(request.folder, calls_)});
  std::vector<std::string> names;
  if (calls_.ListNames(registry_.get(), [&](const char* name, unsigned char) {
        if (std::string_view(name).substr(0, 4) == "run-")
          names.push_back(name);
      }) != 0)
    return NoRegistry(refusal, "cannot list it");
  std::vector<Registered> theirs;
  for (const std::string& name : names) {
    if (!LiveRegistration(calls_, registry_.get(), name.c_str(), theirs))
      return NoRegistry(refusal, "cannot read the live run file " + name);
    for (const Registered& their_folder : theirs) {
      for (std::size_t i = 0; i < mine.size(); ++i) {
        if (!Overlap(mine[i], their_folder)) continue;
        refusal = {LockRefusal::Kind::kBusy, requests[i].folder, ""};
        return false;
      }
    }
  }
  if (!WriteRegistration(RegistrationText(mine), refusal)) return false;
  refusal = LockRefusal();
  return true;
}

// This run's file in the registry, locked as long as the run lives; a run
// whose registration cannot be written is refused: other runs would not
// see it.
bool FolderLocks::WriteRegistration(const std::string& text,
                                    LockRefusal& refusal) {
  static std::atomic<unsigned> serial{0};
  registration_name_ = "run-" + std::to_string(calls_.ProcessId()) + "-" +
                       std::to_string(++serial);
  const char* name = registration_name_.c_str();
  // A file of a dead process of this number.
  calls_.UnlinkAt(registry_.get(), name);
  registration_ = UniqueFd(
      calls_.OpenAt(registry_.get(), name,
                    O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600),
      calls_);
  if (registration_.valid() &&
      calls_.Lock(registration_.get(), LOCK_EX | LOCK_NB) == 0 &&
      WriteAll(calls_, registration_.get(), text))
    return true;
  NoRegistry(refusal, "cannot write the run file " + registration_name_);
  if (registration_.valid()) calls_.UnlinkAt(registry_.get(), name);
  registration_ = UniqueFd();
  return false;
}

namespace {

// The folders to flock, by identity, each in the strongest mode asked of
// it: every folder asked for that exists, and, shared, every folder above
// it (above the nearest that exists, for one not made yet). A run of
// another user, who has a registry of their own, then cannot take a folder
// exclusively while this one works inside it, nor work inside a folder
// this one holds exclusively: two users' moves of a card and of its DCIM
// folder do not interleave.
using FolderSet = std::map<std::pair<std::uint64_t, std::uint64_t>, OpenFolder>;

void AddFolder(SystemCalls& calls, const std::string& path,
               FolderLocks::Mode mode, FolderSet& folders) {
  OpenFolder folder{
      UniqueFd(calls.Open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC), calls),
      path, mode};
  struct stat st;
  if (!folder.fd.valid() || calls.FileStat(folder.fd.get(), st) != 0) return;
  const FileIdentity identity = InodeIdentity(st);
  auto [it, inserted] =
      folders.try_emplace({identity.device, identity.inode}, std::move(folder));
  // The same folder again: one lock, in the stronger mode (two descriptors
  // of one process would conflict with each other).
  if (!inserted && mode == FolderLocks::Mode::kExclusive)
    it->second.mode = FolderLocks::Mode::kExclusive;
}

FolderSet FoldersToLock(SystemCalls& calls,
                        const std::vector<FolderLocks::Request>& requests) {
  FolderSet folders;
  for (const FolderLocks::Request& request : requests) {
    AddFolder(calls, request.folder, request.mode, folders);
    for (std::string above = ResolvedPath(request.folder, calls);
         above.starts_with('/') && above != "/";) {
      above = ParentFolder(above);
      AddFolder(calls, above, FolderLocks::Mode::kShared, folders);
    }
  }
  return folders;
}

}  // namespace

bool FolderLocks::LockFolders(const std::vector<Request>& requests,
                              LockRefusal& refusal) {
  for (auto& [identity, folder] : FoldersToLock(calls_, requests)) {
    if (!Lock(calls_, folder.fd.get(), folder.mode)) {
      refusal = {LockRefusal::Kind::kBusy, folder.path, ""};
      return false;
    }
    descriptors_.push_back(std::move(folder.fd));  // closing drops the lock
  }
  return true;
}

void FolderLocks::Release() {
  if (registration_.valid())
    calls_.UnlinkAt(registry_.get(), registration_name_.c_str());
  registration_ = UniqueFd();
  registry_ = UniqueFd();
  descriptors_.clear();
}

}  // namespace kuronel
