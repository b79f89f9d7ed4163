#include "platform/folder_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
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

// The folder where the runs of this user register, made private to the user;
// empty when no such folder can be had (one of another user stands there).
std::string RegistryFolder(SystemCalls& calls) {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  std::string folder = runtime != nullptr && runtime[0] == '/'
                           ? JoinPath(runtime, "kuronel-runs")
                           : "/tmp/kuronel-runs-" + std::to_string(calls.EffectiveUser());
  calls.MakeDirectory(folder, 0700);
  struct stat st;
  if (calls.Stat(folder, st, false) != 0 || !S_ISDIR(st.st_mode) ||
      st.st_uid != calls.EffectiveUser() || (st.st_mode & 0077) != 0)
    return std::string();
  return folder;
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
    if (mode_end == std::string_view::npos || path_end == std::string_view::npos)
      break;
    folders.push_back({text.substr(at, mode_end - at) == "S"
                           ? FolderLocks::Mode::kShared
                           : FolderLocks::Mode::kExclusive,
                       std::string(text.substr(mode_end + 1,
                                               path_end - mode_end - 1))});
    at = path_end + 1;
  }
  return folders;
}

bool Overlap(const Registered& a, const Registered& b) {
  return (a.mode == FolderLocks::Mode::kExclusive ||
          b.mode == FolderLocks::Mode::kExclusive) &&
         (PathHolds(a.path, b.path) || PathHolds(b.path, a.path));
}

// The folders another run registered in `name`, or none when that run has
// ended (nobody holds the lock its file carries): its file is then removed.
std::vector<Registered> LiveRegistration(SystemCalls& calls,
                                         const std::string& folder,
                                         const char* name) {
  const std::string path = JoinPath(folder, name);
  UniqueFd fd(calls.Open(path, O_RDONLY | O_NOFOLLOW | O_CLOEXEC), calls);
  if (!fd.valid()) return {};
  if (calls.Lock(fd.get(), LOCK_SH | LOCK_NB) == 0) {
    calls.Unlink(path);
    return {};
  }
  std::string text;
  constexpr std::size_t kMaxRegistration = 1 << 20;
  if (ReadOpenFileUpTo(fd.get(), kMaxRegistration, text, calls) !=
      ReadOutcome::kRead)
    return {};
  return ParseRegistration(text);
}

// Holds the registry's own lock while the runs are compared and this one is
// added, so that two runs starting at once see each other.
class RegistryGuard {
 public:
  RegistryGuard(SystemCalls& calls, const std::string& folder)
      : fd_(calls.Open(JoinPath(folder, "lock"),
                       O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600),
            calls) {
    held_ = fd_.valid() && calls.Lock(fd_.get(), LOCK_EX) == 0;
  }
  bool held() const { return held_; }

 private:
  UniqueFd fd_;  // closing drops the lock
  bool held_ = false;
};

}  // namespace

bool FolderLocks::TryLock(const std::vector<Request>& requests,
                          std::string& busy) {
  Release();
  if (LockFolders(requests, busy) && Register(requests, busy)) return true;
  Release();
  return false;
}

bool FolderLocks::Register(const std::vector<Request>& requests,
                           std::string& busy) {
  const std::string folder = RegistryFolder(calls_);
  if (folder.empty()) return true;  // the folder locks alone then
  RegistryGuard guard(calls_, folder);
  if (!guard.held()) return true;
  std::vector<Registered> mine;
  mine.reserve(requests.size());
  for (const Request& request : requests)
    mine.push_back({request.mode, ResolvedPath(request.folder, calls_)});
  UniqueFd dir(calls_.Open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC), calls_);
  std::vector<std::string> names;
  calls_.ListNames(dir.get(), [&](const char* name, unsigned char) {
    if (std::string_view(name).substr(0, 4) == "run-") names.push_back(name);
  });
  for (const std::string& name : names) {
    for (const Registered& theirs :
         LiveRegistration(calls_, folder, name.c_str())) {
      for (std::size_t i = 0; i < mine.size(); ++i) {
        if (!Overlap(mine[i], theirs)) continue;
        busy = requests[i].folder;
        return false;
      }
    }
  }
  static std::atomic<unsigned> serial{0};
  registration_path_ = JoinPath(folder, "run-" + std::to_string(calls_.ProcessId()) +
                                            "-" + std::to_string(++serial));
  calls_.Unlink(registration_path_);  // a file of a dead process of this pid
  registration_ = UniqueFd(
      calls_.Open(registration_path_,
                  O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600),
      calls_);
  // A registration that cannot be written leaves the folder locks alone to
  // guard this run, as where there is no registry at all.
  if (registration_.valid() &&
      (calls_.Lock(registration_.get(), LOCK_EX | LOCK_NB) != 0 ||
       !WriteAll(calls_, registration_.get(), RegistrationText(mine)))) {
    calls_.Unlink(registration_path_);
    registration_ = UniqueFd();
  }
  return true;
}

bool FolderLocks::LockFolders(const std::vector<Request>& requests,
                              std::string& busy) {
  std::map<std::pair<std::uint64_t, std::uint64_t>, OpenFolder> folders;
  for (const Request& request : requests) {
    // A folder not made yet is guarded by the registrations alone.
    OpenFolder folder{UniqueFd(calls_.Open(request.folder,
                                           O_RDONLY | O_DIRECTORY | O_CLOEXEC),
                               calls_),
                      request.folder, request.mode};
    struct stat st;
    if (!folder.fd.valid() || calls_.FileStat(folder.fd.get(), st) != 0)
      continue;
    const FileIdentity identity = InodeIdentity(st);
    auto [it, inserted] = folders.try_emplace(
        {identity.device, identity.inode}, std::move(folder));
    // The same folder again: one lock, in the stronger mode.
    if (!inserted && request.mode == Mode::kExclusive)
      it->second.mode = Mode::kExclusive;
  }
  for (auto& [identity, folder] : folders) {
    if (!Lock(calls_, folder.fd.get(), folder.mode)) {
      busy = folder.path;
      return false;
    }
    descriptors_.push_back(std::move(folder.fd));  // closing drops the lock
  }
  return true;
}

void FolderLocks::Release() {
  if (registration_.valid()) calls_.Unlink(registration_path_);
  registration_ = UniqueFd();
  descriptors_.clear();
}

}  // namespace kuronel
