// The read-only mark of a copy: the permission bits where the drive keeps
// them, the drive's own attribute (drive_attributes.h) where it does not.
#include <sys/stat.h>

#include <cerrno>
#include <optional>
#include <string>

#include "platform/drive_attributes.h"
#include "platform/file_system.h"
#include "platform/path.h"

namespace kuronel {

FileResult RealFileSystem::SetReadOnly(const std::string& path) {
  if (path.empty())
    return FileResult(FileOperation::kMakeReadOnly, path,
                      FailureCause::kNoPath);
  struct stat st;
  if (calls_.Stat(path, st) != 0)
    return FileResult(FileOperation::kMakeReadOnly, path, errno);
  const mode_t mode = st.st_mode & 07777 & ~static_cast<mode_t>(0222);
  const int changed = calls_.ChangeMode(path, mode) == 0 ? 0 : errno;
  // Some drivers accept the change and keep nothing of it; NTFS keeps the
  // read-only attribute of Windows instead. What holds is read back.
  if (changed == 0 && calls_.Stat(path, st) == 0 && (st.st_mode & 0222) == 0)
    return FileResult();
  if (SetDriveReadOnly(path, calls_)) return FileResult();
  if (changed != 0)
    return FileResult(FileOperation::kMakeReadOnly, path, changed);
  return FileResult(FileOperation::kMakeReadOnly, path,
                    FailureCause::kReadOnlyNotKept);
}

bool RealFileSystem::KeepsReadOnlyMarks(const std::string& folder) {
  const std::optional<std::string> existing = NearestPathWhere(
      folder,
      [this](const std::string& path) { return DirectoryExists(path); });
  if (!existing) return true;
  // Asked of a file of the drive's own: a hidden temporary, which the next
  // run would remove should this one be killed before it does.
  std::string probe;
  UniqueFd file = CreateTemporaryFile(calls_, *existing, 0600, probe);
  if (!file.valid()) return true;  // a folder we may not write: no copies
  file.Reset();
  struct stat st;
  const bool kept = (calls_.ChangeMode(probe, 0400) == 0 &&
                     calls_.Stat(probe, st) == 0 && (st.st_mode & 0222) == 0) ||
                    DriveReadOnlyOf(probe, calls_) != DriveReadOnly::kNotKept;
  calls_.Unlink(probe);
  return kept;
}

}  // namespace kuronel
