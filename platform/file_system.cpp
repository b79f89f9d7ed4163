// The disk's queries, folders, moves, read-only marks, deletes and flushes.
// Copies are in file_copy.cpp, temporary files in temporaries.cpp.
#include "platform/file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/drive_attributes.h"

namespace kuronel {

uid_t OwnUser() {
  static const uid_t user = geteuid();
  return user;
}

FileInfo ToFileInfo(const struct stat& st) {
  FileInfo info;
  info.device = st.st_dev;
  info.inode = st.st_ino;
  info.size = static_cast<std::uint64_t>(st.st_size);
  info.modified_seconds = st.st_mtim.tv_sec;
  info.modified_nanoseconds = st.st_mtim.tv_nsec;
  info.mode = st.st_mode;
  return info;
}

bool RealFileSystem::FileExists(const std::string& path) {
  return KindAt(path, true, calls_) == PathKind::kFile;
}

bool RealFileSystem::NameTaken(const std::string& path) {
  return KindAt(path, false, calls_) != PathKind::kNothing;
}

bool RealFileSystem::DirectoryExists(const std::string& path) {
  return KindAt(path, true, calls_) == PathKind::kFolder;
}

FileResult RealFileSystem::CreateDirectories(const std::string& path) {
  if (path.empty()) return FileResult(FileOperation::kCreateFolder, path, ENOENT);
  // Each prefix ending before a "/", then the whole path.
  for (std::size_t end = path.find('/', 1);; end = path.find('/', end + 1)) {
    std::string prefix = path.substr(0, end);
    if (!prefix.empty() && prefix.back() != '/') {
      if (calls_.MakeDirectory(prefix, 0777) == 0) {
        // A copy flushed into this folder must not lose the folder itself.
        SyncFolder(calls_, ParentFolder(prefix));
      } else {
        const int error = errno;
        if (!DirectoryExists(prefix))
          return FileResult(FileOperation::kCreateFolder, prefix,
                            error == EEXIST ? ENOTDIR : error);
      }
    }
    if (end == std::string::npos) break;
  }
  if (DirectoryExists(path)) return FileResult();
  return FileResult(FileOperation::kCreateFolder, path, ENOTDIR);
}

bool RealFileSystem::MoveFileNoReplace(const std::string& source,
                                       const std::string& target) {
  struct stat st;
  if (source.empty() || target.empty() || calls_.Stat(source, st, false) != 0)
    return false;
  // Anything a copy would not reproduce exactly is left to the copy: a link
  // (the copy holds what it points to), a second name (the copy is a file
  // of its own), another owner or set-id bits (the copy is this user's, with
  // permission bits only), and a file DeleteFile would refuse.
  if (!S_ISREG(st.st_mode) || (st.st_mode & S_IWUSR) == 0 ||
      (st.st_mode & 07000) != 0 || st.st_nlink != 1 ||
      st.st_uid != OwnUser() ||
      DriveReadOnlyOf(source, calls_) == DriveReadOnly::kReadOnly)
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

FileResult RealFileSystem::SetReadOnly(const std::string& path) {
  struct stat st;
  if (path.empty() || calls_.Stat(path, st) != 0)
    return FileResult(FileOperation::kMakeReadOnly, path, errno);
  const mode_t mode = st.st_mode & 07777 & ~static_cast<mode_t>(0222);
  const int changed = calls_.ChangeMode(path, mode) == 0 ? 0 : errno;
  // Some drivers accept the change and keep nothing of it; NTFS keeps the
  // read-only attribute of Windows instead. What holds is read back.
  if (changed == 0 && calls_.Stat(path, st) == 0 && (st.st_mode & 0222) == 0)
    return FileResult();
  if (SetDriveReadOnly(path, calls_)) return FileResult();
  return FileResult(FileOperation::kMakeReadOnly, path,
                    changed != 0 ? changed : EOPNOTSUPP);
}

FileResult RealFileSystem::DeleteFile(const std::string& path) {
  struct stat st;
  if (path.empty() || calls_.Stat(path, st) != 0)
    return FileResult(FileOperation::kDelete, path, errno);
  if (S_ISDIR(st.st_mode)) return FileResult(FileOperation::kDelete, path, EISDIR);
  // A read-only file, by its permission bits or, where the drive keeps them
  // apart, by a camera's "protect" or Windows' read-only mark.
  if ((st.st_mode & S_IWUSR) == 0 ||
      DriveReadOnlyOf(path, calls_) == DriveReadOnly::kReadOnly)
    return FileResult(FileOperation::kDelete, path, EPERM);
  if (calls_.Unlink(path) != 0)
    return FileResult(FileOperation::kDelete, path, errno);
  return FileResult();
}

bool RealFileSystem::Stat(const std::string& path, FileInfo& info) {
  struct stat st;
  if (path.empty() || calls_.Stat(path, st) != 0) return false;
  info = ToFileInfo(st);
  return true;
}

FileResult RealFileSystem::SyncFileSystem(const std::string& path) {
  UniqueFd fd(calls_.Open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK), calls_);
  if (!fd.valid() || calls_.SyncFileSystem(fd.get()) != 0)
    return FileResult(FileOperation::kFlush, path, errno);
  return FileResult();
}

void RealFileSystem::ReadAheadFile(const std::string& path) {
  UniqueFd fd(calls_.Open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK),
              calls_);
  struct stat st;
  if (!fd.valid() || calls_.FileStat(fd.get(), st) != 0 ||
      !S_ISREG(st.st_mode))
    return;
  // As much as the copy reads in one go; the rest follows as it reads.
  const off_t wanted =
      std::min<off_t>(st.st_size, static_cast<off_t>(options_.chunk_bytes));
  calls_.Advise(fd.get(), 0, wanted, POSIX_FADV_WILLNEED);
}

}  // namespace kuronel
