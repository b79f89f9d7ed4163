// What takes a name away from a file: a move within one drive (a rename that
// never replaces, or a link and an unlink where the drive has no such rename)
// and a delete. Both leave alone a file the user marked read-only.
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

#include "platform/drive_attributes.h"
#include "platform/file_system.h"

namespace kuronel {
namespace {

// A file the user marked read-only: by its permission bits or, where the
// drive keeps them apart, by a camera's "protect" or Windows' read-only mark
// (read last: it costs a call to the drive).
bool MarkedReadOnly(const std::string& path, const struct stat& st,
                    SystemCalls& calls) {
  return (st.st_mode & S_IWUSR) == 0 ||
         DriveReadOnlyOf(path, calls) == DriveReadOnly::kReadOnly;
}

}  // namespace

bool RealFileSystem::MoveFileNoReplace(const std::string& source,
                                       const std::string& target) {
  struct stat st;
  if (source.empty() || target.empty() || calls_.Stat(source, st, false) != 0)
    return false;
  // Anything a copy would not reproduce exactly is left to the copy: a link
  // (the copy holds what it points to), a second name (the copy is a file
  // of its own), another owner or set-id bits (the copy is this user's, with
  // permission bits only), and a file DeleteFile would refuse.
  if (!S_ISREG(st.st_mode) || (st.st_mode & 07000) != 0 || st.st_nlink != 1 ||
      st.st_uid != calls_.EffectiveUser() || MarkedReadOnly(source, st, calls_))
    return false;
  if (calls_.Rename(source, target, RENAME_NOREPLACE) == 0) return true;
  // EXDEV, EEXIST, EACCES, ...: the file is where it was.
  if (errno != EINVAL && errno != ENOSYS) return false;
  return LinkThenUnlink(source, target);
}

// A file system without a no-replace rename: a link never replaces either.
bool RealFileSystem::LinkThenUnlink(const std::string& source,
                                    const std::string& target) {
  if (calls_.Link(source, target) != 0) return false;
  if (calls_.Unlink(source) == 0) return true;
  // Both names stand for the file: the new one goes again, so that the
  // file is where it was.
  FileInfo at_source, at_target;
  if (Stat(source, at_source) && Stat(target, at_target) &&
      at_source.SameFileAs(at_target))
    calls_.Unlink(target);
  return false;
}

FileResult RealFileSystem::DeleteFile(const std::string& path) {
  if (path.empty())
    return FileResult(FileOperation::kDelete, path, FailureCause::kNoPath);
  struct stat st;
  if (calls_.Stat(path, st) != 0)
    return FileResult(FileOperation::kDelete, path, errno);
  if (S_ISDIR(st.st_mode))
    return FileResult(FileOperation::kDelete, path, FailureCause::kNotAFile);
  if (MarkedReadOnly(path, st, calls_))
    return FileResult(FileOperation::kDelete, path,
                      FailureCause::kMarkedReadOnly);
  if (calls_.Unlink(path) != 0)
    return FileResult(FileOperation::kDelete, path, errno);
  return FileResult();
}

}  // namespace kuronel
