#include "platform/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdint>

#include "platform/cp932.h"
#include "platform/file_result.h"
#include "platform/path.h"

namespace kuronel {
namespace {

// The reason of a failed call, in the windows' words.
std::string ErrorText(
    int error, FailureCause cause_without_errno = FailureCause::kSystem) {
  const FailureCause cause =
      error != 0 ? FailureCause::kSystem : cause_without_errno;
  return FileResult(FileOperation::kWrite, std::string(), error, cause)
      .Reason(Wording::kJapanese);
}

Status WriteFailure(const std::string& path, const char* step,
                    const std::string& reason) {
  return Status::Error("「" + DisplayName(path) +
                       "」を書き込めません: " + step + " (" + reason + ")");
}

// Where the bytes really go: through symbolic links to the file at the end
// of the chain, so that each link stays a link. A link that dangles names
// the file to create. False, with `why` said, for a loop (or a chain too
// long to be anything else) and a link whose target is out of reach.
bool FollowLinks(SystemCalls& calls, const std::string& path,
                 std::string& target, std::string& why) {
  constexpr int kMaxLinks = 40;  // what the kernel itself follows
  target = path;
  for (int followed = 0; followed <= kMaxLinks; ++followed) {
    std::string next;
    // Not a link, or nothing there: this is the file to write (should the
    // name be out of reach, creating the file beside it says why).
    if (calls.ReadLink(target, next) < 0) {
      if (errno != ENAMETOOLONG) return true;
      why = ErrorText(errno);
      return false;
    }
    target =
        next.starts_with('/') ? next : JoinPath(ParentFolder(target), next);
  }
  why = "リンクが循環しています";
  return false;
}

// Gives the new file the old one's owner and permission bits. Best effort:
// only the superuser may hand a file to another owner, and the old bits are
// a courtesy, not a condition of the write.
void KeepOwnerAndMode(SystemCalls& calls, int fd, const struct stat& old_info) {
  struct stat new_info;
  if (calls.FileStat(fd, new_info) == 0 &&
      (new_info.st_uid != old_info.st_uid ||
       new_info.st_gid != old_info.st_gid)) {
    (void)calls.ChangeFileOwner(fd, old_info.st_uid, old_info.st_gid);
  }
  (void)calls.ChangeFileMode(fd, old_info.st_mode & 07777);
}

}  // namespace

ReadOutcome ReadFileUpTo(const std::string& path, size_t max_size,
                         std::string& contents, SystemCalls& calls) {
  contents.clear();
  // O_NONBLOCK keeps a FIFO under this name from blocking the open.
  UniqueFd file(calls.Open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC), calls);
  if (!file.valid())
    return errno == ENOENT ? ReadOutcome::kMissing : ReadOutcome::kUnreadable;
  return ReadOpenFileUpTo(file.get(), max_size, contents, calls);
}

ReadOutcome ReadOpenFileUpTo(int fd, size_t max_size, std::string& contents,
                             SystemCalls& calls) {
  contents.clear();
  struct stat info;
  if (calls.FileStat(fd, info) != 0 || !S_ISREG(info.st_mode))
    return ReadOutcome::kUnreadable;
  if (static_cast<std::uintmax_t>(info.st_size) > max_size)
    return ReadOutcome::kTooLarge;
  contents.reserve(static_cast<size_t>(info.st_size));
  char buffer[65536];
  for (;;) {
    ssize_t count = calls.Read(fd, buffer, sizeof buffer);
    if (count == 0) return ReadOutcome::kRead;
    if (count < 0) {
      if (errno == EINTR) continue;
      contents.clear();
      return ReadOutcome::kUnreadable;
    }
    // The file may have grown since it was measured.
    if (contents.size() + static_cast<size_t>(count) > max_size) {
      contents.clear();
      return ReadOutcome::kTooLarge;
    }
    contents.append(buffer, static_cast<size_t>(count));
  }
}

Status WriteFileAtomically(const std::string& path, std::string_view contents,
                           SystemCalls& calls) {
  std::string target;
  std::string why;
  if (!FollowLinks(calls, path, target, why))
    return WriteFailure(path, "シンボリックリンクをたどれません", why);
  struct stat old_info;
  bool replaces_file =
      calls.Stat(target, old_info) == 0 && S_ISREG(old_info.st_mode);

  std::string temporary_path;
  UniqueFd file =
      CreateUniqueFile(calls, ParentFolder(target),
                       "." + BaseName(target) + ".tmp", 0666, temporary_path);
  if (!file.valid())
    return WriteFailure(path, "一時ファイルを作れません", ErrorText(errno));

  const char* failed_step = nullptr;
  FailureCause cause_without_errno = FailureCause::kSystem;
  if (!WriteAll(calls, file.get(), contents)) {
    failed_step = "書き込みに失敗しました";
    cause_without_errno = FailureCause::kNothingWritten;
  } else {
    if (replaces_file) KeepOwnerAndMode(calls, file.get(), old_info);
    if (calls.Sync(file.get()) != 0 || !file.Close()) {
      failed_step = "ディスクへの書き出しに失敗しました";
    } else if (calls.Rename(temporary_path, target) != 0) {
      failed_step = "置き換えに失敗しました";
    }
  }
  if (failed_step != nullptr) {
    const std::string reason = ErrorText(errno, cause_without_errno);
    calls.Unlink(temporary_path);
    return WriteFailure(path, failed_step, reason);
  }
  // Makes the rename itself durable. Some file systems refuse fsync on a
  // folder; the new file is in place either way, so this is best effort.
  SyncFolder(calls, ParentFolder(target));
  return Status::Ok();
}

}  // namespace kuronel
