#include "platform/file_system.h"

#include "platform/drive_attributes.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <vector>

namespace kuronel {
namespace {

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

// Errors of copy_file_range that mean "not between these two files", not
// "the disk failed": the copy goes on with read and write.
bool RangeCopyUnsupported(int error) {
  return error == EXDEV || error == EINVAL || error == ENOSYS ||
         error == EOPNOTSUPP || error == EPERM || error == EBADF;
}

// This process's user, asked once: a move asks for every file.
uid_t OwnUser() {
  static const uid_t user = geteuid();
  return user;
}

// Writes all of `text` to `fd`, resuming after partial writes.
bool WriteText(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t written = write(fd, text.data(), text.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    text.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

// True when `name` in the folder open as `dir_fd` is a file that nothing is
// writing: a regular file of this user (not a link) on which nobody holds
// the lock a copy keeps while it writes, and whose bytes, when `expected` is
// given, are exactly those.
bool IsUnusedFile(int dir_fd, const char* name,
                  const std::string* expected = nullptr) {
  const int fd = openat(dir_fd, name,
                        O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK |
                            O_NOCTTY);
  if (fd < 0) return false;
  struct stat opened, named;
  bool unused = fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) &&
                opened.st_uid == OwnUser() &&
                flock(fd, LOCK_EX | LOCK_NB) == 0 &&
                fstatat(dir_fd, name, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
                named.st_dev == opened.st_dev && named.st_ino == opened.st_ino;
  if (unused && expected != nullptr) {
    std::string bytes(expected->size() + 1, '\0');
    const ssize_t got = pread(fd, bytes.data(), bytes.size(), 0);
    unused = got == static_cast<ssize_t>(expected->size()) &&
             bytes.compare(0, expected->size(), *expected) == 0;
  }
  close(fd);
  return unused;
}

// The names in the folder open as `dir_fd` that `wanted` picks.
std::vector<std::string> NamesIn(int dir_fd,
                                 bool (*wanted)(int, const char*)) {
  std::vector<std::string> names;
  const int listing_fd = dup(dir_fd);
  DIR* dir = listing_fd < 0 ? nullptr : fdopendir(listing_fd);
  if (dir == nullptr) {
    if (listing_fd >= 0) close(listing_fd);
    return names;
  }
  rewinddir(dir);  // the duplicate shares the position of earlier listings
  while (const struct dirent* entry = readdir(dir)) {
    if (wanted(dir_fd, entry->d_name)) names.push_back(entry->d_name);
  }
  closedir(dir);
  return names;
}

bool IsStaleTemporary(int dir_fd, const char* name) {
  return IsTemporaryName(name) && IsUnusedFile(dir_fd, name);
}

bool MayBeReservation(int dir_fd, const char* name) {
  struct stat st;
  return !IsTemporaryName(name) &&
         fstatat(dir_fd, name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
         S_ISREG(st.st_mode) &&
         static_cast<std::size_t>(st.st_size) ==
             ReservationText(".kuronel-XXXXXX").size();
}

}  // namespace

bool IsTemporaryName(std::string_view name) {
  constexpr std::string_view prefix = kTemporaryPrefix;
  constexpr std::size_t kUniqueLetters = 6;  // mkostemp's XXXXXX
  if (name.size() != prefix.size() + kUniqueLetters ||
      name.substr(0, prefix.size()) != prefix)
    return false;
  return std::all_of(name.begin() + prefix.size(), name.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0;
  });
}

std::string ReservationText(std::string_view temporary_name) {
  return "Kuronel: reserved for the copy being written as " +
         std::string(temporary_name) + "\n";
}

template <typename Call>
auto RealFileSystem::Checked(SystemCall kind, Call call) -> decltype(call()) {
  const int fault = SystemCallFault(kind);
  if (fault == kSystemCallIgnored) return 0;
  if (fault != 0) {
    errno = fault;
    return -1;
  }
  return call();
}

// fsync of a folder, which makes the entries created in it durable.
int RealFileSystem::SyncFolder(const std::string& folder) {
  int fd = Checked(SystemCall::kOpen, [&] {
    return open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  });
  if (fd < 0) return errno;
  int error =
      Checked(SystemCall::kFsync, [&] { return fsync(fd); }) == 0 ? 0 : errno;
  close(fd);
  return error;
}

bool RealFileSystem::FileExists(const std::string& path) {
  struct stat st;
  return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool RealFileSystem::NameTaken(const std::string& path) {
  struct stat st;
  return !path.empty() && lstat(path.c_str(), &st) == 0;
}

bool RealFileSystem::DirectoryExists(const std::string& path) {
  struct stat st;
  return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool RealFileSystem::CreateDirectories(const std::string& path) {
  if (path.empty()) return false;
  // Each prefix ending before a "/", then the whole path.
  for (std::size_t end = path.find('/', 1);; end = path.find('/', end + 1)) {
    std::string prefix = path.substr(0, end);
    if (!prefix.empty() && prefix.back() != '/') {
      if (Checked(SystemCall::kMkdir,
                  [&] { return mkdir(prefix.c_str(), 0777); }) == 0) {
        // A copy flushed into this folder must not lose the folder itself.
        SyncFolder(ParentFolder(prefix));
      } else if (!DirectoryExists(prefix)) {
        return false;
      }
    }
    if (end == std::string::npos) break;
  }
  return DirectoryExists(path);
}

bool RealFileSystem::MoveFileNoReplace(const std::string& source,
                                       const std::string& target) {
  struct stat st;
  if (source.empty() || target.empty() || lstat(source.c_str(), &st) != 0)
    return false;
  // Anything a copy would not reproduce exactly is left to the copy: a link
  // (the copy holds what it points to), a second name (the copy is a file
  // of its own), another owner or set-id bits (the copy is this user's, with
  // permission bits only), and a file DeleteFile would refuse.
  if (!S_ISREG(st.st_mode) || (st.st_mode & S_IWUSR) == 0 ||
      (st.st_mode & 07000) != 0 || st.st_nlink != 1 ||
      st.st_uid != OwnUser() ||
      DriveReadOnlyOf(source) == DriveReadOnly::kReadOnly)
    return false;
  int error = MoveStepFault(MoveStep::kRename);
  if (error == 0) {
    if (Checked(SystemCall::kRename, [&] {
          return renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(),
                           RENAME_NOREPLACE);
        }) == 0)
      return true;
    error = errno;
  }
  // EXDEV, EEXIST, EACCES, ...: the file is where it was.
  if (error != EINVAL && error != ENOSYS) return false;
  return LinkThenUnlink(source, target);
}

// A file system without a no-replace rename: a link never replaces either.
bool RealFileSystem::LinkThenUnlink(const std::string& source,
                                    const std::string& target) {
  if (MoveStepFault(MoveStep::kLink) != 0 ||
      Checked(SystemCall::kLink,
              [&] { return link(source.c_str(), target.c_str()); }) != 0)
    return false;
  if (MoveStepFault(MoveStep::kUnlink) == 0 &&
      Checked(SystemCall::kUnlink, [&] { return unlink(source.c_str()); }) == 0)
    return true;
  // Both names stand for the file: the new one goes again, so that the
  // file is where it was.
  struct stat at_source, at_target;
  if (stat(source.c_str(), &at_source) == 0 &&
      stat(target.c_str(), &at_target) == 0 &&
      at_source.st_dev == at_target.st_dev &&
      at_source.st_ino == at_target.st_ino)
    Checked(SystemCall::kUnlink, [&] { return unlink(target.c_str()); });
  return false;
}

bool RealFileSystem::SetReadOnly(const std::string& path) {
  struct stat st;
  if (path.empty() || stat(path.c_str(), &st) != 0) return false;
  mode_t mode = st.st_mode & 07777 & ~static_cast<mode_t>(0222);
  const bool changed = Checked(SystemCall::kChmod, [&] {
                         return chmod(path.c_str(), mode);
                       }) == 0;
  // Some drivers accept the change and keep nothing of it; NTFS keeps the
  // read-only attribute of Windows instead. What holds is read back.
  if (changed && stat(path.c_str(), &st) == 0 && (st.st_mode & 0222) == 0)
    return true;
  return SetDriveReadOnly(path);
}

bool RealFileSystem::DeleteFile(const std::string& path) {
  struct stat st;
  if (path.empty() || stat(path.c_str(), &st) != 0) return false;
  if (S_ISDIR(st.st_mode) || (st.st_mode & S_IWUSR) == 0) return false;
  // A camera's "protect" and Windows' read-only mark, where the drive keeps
  // them apart from the permission bits.
  if (DriveReadOnlyOf(path) == DriveReadOnly::kReadOnly) return false;
  return Checked(SystemCall::kUnlink, [&] { return unlink(path.c_str()); }) ==
         0;
}

bool RealFileSystem::Stat(const std::string& path, FileInfo& info) {
  struct stat st;
  if (path.empty() || stat(path.c_str(), &st) != 0) return false;
  info = ToFileInfo(st);
  return true;
}

int RealFileSystem::RemoveStaleTemporaries(const std::string& folder) {
  const int dir_fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir_fd < 0) return 0;
  const std::vector<std::string> stale = NamesIn(dir_fd, IsStaleTemporary);
  // A reservation is left only beside its temporary: the folder is searched
  // for one only when a stale temporary was found. It goes first, so that
  // an interrupted clean-up still finds the temporary that proves it.
  std::vector<std::string> garbage;
  if (!stale.empty()) {
    for (const std::string& name : NamesIn(dir_fd, MayBeReservation)) {
      for (const std::string& temporary : stale) {
        const std::string text = ReservationText(temporary);
        if (IsUnusedFile(dir_fd, name.c_str(), &text)) garbage.push_back(name);
      }
    }
  }
  garbage.insert(garbage.end(), stale.begin(), stale.end());
  int removed = 0;
  for (const std::string& name : garbage) {
    if (Checked(SystemCall::kUnlink, [&] {
          return unlinkat(dir_fd, name.c_str(), 0);
        }) == 0)
      ++removed;
  }
  close(dir_fd);
  return removed;
}

bool RealFileSystem::SyncFileSystem(const std::string& path) {
  int fd = Checked(SystemCall::kOpen, [&] {
    return open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  });
  if (fd < 0) return false;
  bool ok = Checked(SystemCall::kFsync, [&] { return syncfs(fd); }) == 0;
  close(fd);
  return ok;
}

void RealFileSystem::ReadAheadFile(const std::string& path) {
  const int fd =
      open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return;
  struct stat st;
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    // As much as the copy reads in one go; the rest follows as it reads.
    const off_t wanted = std::min<off_t>(
        st.st_size, static_cast<off_t>(options_.chunk_bytes));
    posix_fadvise(fd, 0, wanted, POSIX_FADV_WILLNEED);
  }
  close(fd);
}

// One copy: owns the open files and removes whatever it wrote unless the copy
// was published complete.
class RealFileSystem::CopyJob {
 public:
  CopyJob(RealFileSystem& owner, const std::string& source,
          const std::string& target, bool flush, const CopyProgress& progress)
      : owner_(owner),
        source_(source),
        target_(target),
        folder_(ParentFolder(target)),
        flush_(flush),
        progress_(progress) {}

  ~CopyJob() {
    if (source_fd_ >= 0) close(source_fd_);
    if (temp_fd_ >= 0) close(temp_fd_);
    if (!temp_name_.empty()) Call(SystemCall::kUnlink, [this] {
      return unlink(temp_name_.c_str());
    });
  }

  CopyResult Run() {
    int error = OpenSource();
    if (!error) error = TargetFree();
    if (!error) error = OpenTemporary();
    if (!error) error = CopyData();
    if (!error) error = CopyAttributes();
    // A copy whose source goes next is on disk before it gets its name; the
    // copies of kept sources are written out together when the run ends (one
    // syncfs), which costs far less than a flush per file.
    if (!error && flush_)
      error = Step(CopyStep::kSyncFile,
                   [this] {
                     return Call(SystemCall::kFsync,
                                 [this] { return fsync(temp_fd_); }) == 0
                                ? 0
                                : errno;
                   });
    if (!error) error = NoteWritten();
    if (!error) error = Publish();
    if (!error && flush_) error = FlushFolder();
    result_.ok = error == 0;
    result_.flushed = result_.ok && flush_;
    result_.error = error;
    return result_;
  }

 private:
  // A system call of the copy, through the owner's fault hook.
  template <typename SysCall>
  auto Call(SystemCall kind, SysCall call) -> decltype(call()) {
    return owner_.Checked(kind, call);
  }

  // Runs a step (returning 0 or errno) unless the fault hook fails it.
  template <typename Call>
  int Step(CopyStep step, Call call) {
    if (int fault = owner_.CopyStepFault(step, result_.bytes_copied))
      return fault;
    return call();
  }

  int OpenSource() {
    // O_NONBLOCK: opening a FIFO must not wait for a writer; it is refused
    // below as anything but a regular file is.
    source_fd_ = Call(SystemCall::kOpen, [this] {
      return open(source_.c_str(),
                  O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    });
    if (source_fd_ < 0) return errno;
    if (fstat(source_fd_, &source_stat_) != 0) return errno;
    if (!S_ISREG(source_stat_.st_mode)) return EINVAL;
    fcntl(source_fd_, F_SETFL, fcntl(source_fd_, F_GETFL) & ~O_NONBLOCK);
    posix_fadvise(source_fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
    result_.source_before = ToFileInfo(source_stat_);
    return 0;
  }

  // Saves copying gigabytes that the final no-replace step would refuse.
  int TargetFree() {
    struct stat st;
    return lstat(target_.c_str(), &st) == 0 ? EEXIST : 0;
  }

  int OpenTemporary() {
    if (owner_.options_.use_unnamed_temporary) {
      temp_fd_ = Call(SystemCall::kOpen, [this] {
        return open(folder_.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
      });
      if (temp_fd_ >= 0) return 0;
    }
    std::string name = folder_ + "/" + kTemporaryPrefix + "XXXXXX";
    temp_fd_ = Call(SystemCall::kOpen,
                    [&] { return mkostemp(name.data(), O_CLOEXEC); });
    if (temp_fd_ < 0) return errno;
    temp_name_ = name;
    // Held until the file is closed, so that the clean-up of another run
    // tells this live temporary from one a killed copy left.
    flock(temp_fd_, LOCK_EX | LOCK_NB);
    return 0;
  }

  int CopyData() {
    const std::uint64_t total = result_.source_before.size;
    const std::size_t chunk =
        std::max<std::size_t>(owner_.options_.chunk_bytes, 1);
    bool use_range = owner_.options_.use_copy_range;
    for (;;) {
      if (int fault =
              owner_.CopyStepFault(CopyStep::kWrite, result_.bytes_copied))
        return fault;
      std::size_t this_chunk = chunk;
      if (!SkipHole(this_chunk)) break;
      ReadAheadBeyond(this_chunk, total);
      ssize_t moved;
      if (use_range) {
        moved = Call(SystemCall::kWrite, [&] {
          return copy_file_range(source_fd_, nullptr, temp_fd_, nullptr,
                                 this_chunk, 0);
        });
        // Some file systems answer 0 instead of refusing; read and write
        // then decide where the end is.
        if ((moved < 0 && RangeCopyUnsupported(errno)) ||
            (moved == 0 && result_.bytes_copied < total)) {
          use_range = false;
          continue;
        }
      } else {
        moved = ReadWriteChunk(this_chunk);
      }
      if (moved < 0) {
        if (errno == EINTR) continue;
        return errno;
      }
      if (moved == 0) break;
      result_.bytes_copied += static_cast<std::uint64_t>(moved);
      if (progress_)
        progress_(result_.bytes_copied, std::max(total, result_.bytes_copied));
    }
    struct stat after;
    if (fstat(source_fd_, &after) != 0) return errno;
    result_.source_after = ToFileInfo(after);
    if (int error = EndInHole(after.st_size)) return error;
    // Written to while it was read, the copy may mix old and new bytes.
    if (!result_.source_before.Unchanged(result_.source_after)) return EAGAIN;
    struct stat written;
    if (fstat(temp_fd_, &written) != 0) return errno;
    if (static_cast<std::uint64_t>(written.st_size) != result_.bytes_copied)
      return EIO;
    return 0;
  }

  // A sparse file (a movie preallocated by a camera, a disk image) is copied
  // sparse: both files are moved past a hole at the current position, and
  // `chunk` is cut at the next hole. False once only holes are left.
  bool SkipHole(std::size_t& chunk) {
    const off_t here = static_cast<off_t>(result_.bytes_copied);
    const off_t data = lseek(source_fd_, here, SEEK_DATA);
    if (data < 0) return errno != ENXIO;  // ENXIO: no data after here
    const off_t hole = lseek(source_fd_, data, SEEK_HOLE);
    if (lseek(source_fd_, data, SEEK_SET) != data ||
        lseek(temp_fd_, data, SEEK_SET) != data)
      return true;  // the copy goes on from where the reads left off
    result_.bytes_copied = static_cast<std::uint64_t>(data);
    if (hole > data)
      chunk = static_cast<std::size_t>(
          std::min<std::uint64_t>(chunk, static_cast<std::uint64_t>(hole - data)));
    return true;
  }

  // Asks the drive for the chunk after the one about to be copied, so that
  // a card reads it while this one is written.
  void ReadAheadBeyond(std::size_t chunk, std::uint64_t total) {
    const std::uint64_t next = result_.bytes_copied + chunk;
    if (next < total)
      posix_fadvise(source_fd_, static_cast<off_t>(next),
                    static_cast<off_t>(chunk), POSIX_FADV_WILLNEED);
  }

  // A file that ends in a hole: the copy gets the same length.
  int EndInHole(off_t size) {
    if (static_cast<std::uint64_t>(size) <= result_.bytes_copied) return 0;
    if (Call(SystemCall::kWrite,
             [&] { return ftruncate(temp_fd_, size); }) != 0)
      return errno;
    result_.bytes_copied = static_cast<std::uint64_t>(size);
    return 0;
  }

  ssize_t ReadWriteChunk(std::size_t chunk) {
    buffer_.resize(chunk);
    ssize_t got = Call(SystemCall::kRead,
                       [&] { return read(source_fd_, buffer_.data(), chunk); });
    if (got <= 0) return got;
    if (!WriteAll(static_cast<std::size_t>(got))) return -1;
    return got;
  }

  int CopyAttributes() {
    // Permission bits only: set-id bits of someone else's file must not
    // reappear on a copy owned by this user. A drive that keeps no
    // permission bits (FAT through FUSE) refuses; the copy goes on.
    if (Call(SystemCall::kChmod, [this] {
          return fchmod(temp_fd_, source_stat_.st_mode & 0777);
        }) != 0 &&
        errno != ENOSYS && errno != EPERM && errno != EOPNOTSUPP)
      return errno;
    struct timespec times[2] = {source_stat_.st_atim, source_stat_.st_mtim};
    if (Call(SystemCall::kChmod,
             [&] { return futimens(temp_fd_, times); }) != 0)
      return errno;
    return 0;
  }

  int NoteWritten() {
    struct stat written;
    if (fstat(temp_fd_, &written) != 0) return errno;
    result_.written = ToFileInfo(written);
    return 0;
  }

  // Gives the complete file its name. Both ways refuse an existing target.
  int Publish() {
    int error;
    if (temp_name_.empty()) {
      error = Step(CopyStep::kPublish, [this] { return LinkUnnamed(); });
    } else {
      error = Step(CopyStep::kPublish, [this] { return RenameNamed(); });
    }
    published_ = error == 0;
    if (published_) KeepTimeThroughRename();
    return error;
  }

  // fusefat dates a file renamed over another by the clock: the copy gets
  // the source's time once more under its name, as the disk now holds it.
  void KeepTimeThroughRename() {
    struct stat published;
    if (stat(target_.c_str(), &published) != 0 ||
        (published.st_mtim.tv_sec == result_.written.modified_seconds &&
         published.st_mtim.tv_nsec == result_.written.modified_nanoseconds))
      return;
    struct timespec times[2] = {source_stat_.st_atim, source_stat_.st_mtim};
    if (Call(SystemCall::kChmod, [&] {
          return utimensat(AT_FDCWD, target_.c_str(), times, 0);
        }) == 0 &&
        fstat(temp_fd_, &published) == 0)
      result_.written = ToFileInfo(published);
  }

  int LinkUnnamed() {
    std::string proc_path = "/proc/self/fd/" + std::to_string(temp_fd_);
    if (Call(SystemCall::kLink, [&] {
          return linkat(AT_FDCWD, proc_path.c_str(), AT_FDCWD, target_.c_str(),
                        AT_SYMLINK_FOLLOW);
        }) == 0)
      return 0;
    if (errno != ENOENT) return errno;
    // Without /proc: the same link by descriptor (needs CAP_DAC_READ_SEARCH).
    if (Call(SystemCall::kLink, [this] {
          return linkat(temp_fd_, "", AT_FDCWD, target_.c_str(),
                        AT_EMPTY_PATH);
        }) == 0)
      return 0;
    return errno;
  }

  int RenameNamed() {
    if (Call(SystemCall::kRename, [this] {
          return renameat2(AT_FDCWD, temp_name_.c_str(), AT_FDCWD,
                           target_.c_str(), RENAME_NOREPLACE);
        }) == 0) {
      temp_name_.clear();
      return 0;
    }
    if (errno != EINVAL && errno != ENOSYS) return errno;
    // A file system without no-replace rename: a hard link never replaces;
    // the hidden name is removed when the job ends.
    if (Call(SystemCall::kLink, [this] {
          return link(temp_name_.c_str(), target_.c_str());
        }) == 0)
      return 0;
    if (errno != EPERM && errno != EOPNOTSUPP && errno != ENOSYS) return errno;
    return RenameOverReservation();
  }

  // exFAT and FAT through FUSE have neither a no-replace rename nor links.
  // The name is reserved with O_EXCL, which never replaces anything, by a
  // short text that names the temporary file; the temporary is then renamed
  // over the reservation once that is checked to be still ours. A run killed
  // in between leaves both; the next run into the folder removes them
  // (RemoveStaleTemporaries), the text being the proof that they are its
  // own. The name never shows a partial photo.
  int RenameOverReservation() {
    const int fd = Call(SystemCall::kOpen, [this] {
      return open(target_.c_str(),
                  O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    });
    if (fd < 0) return errno;
    flock(fd, LOCK_EX | LOCK_NB);  // in use until closed
    struct stat reserved {};
    int error = fstat(fd, &reserved) == 0 ? 0 : errno;
    if (error == 0) error = WriteReservation(fd);
    // Somebody who replaced the reservation owns the name now.
    if (error == 0 && !StillReserved(reserved)) error = EEXIST;
    if (error == 0 && Call(SystemCall::kRename, [this] {
                        return rename(temp_name_.c_str(), target_.c_str());
                      }) != 0)
      error = errno;
    if (error == 0) {
      temp_name_.clear();
    } else if (StillReserved(reserved)) {
      Call(SystemCall::kUnlink, [this] { return unlink(target_.c_str()); });
    }
    close(fd);
    return error;
  }

  int WriteReservation(int fd) {
    const std::string text =
        ReservationText(temp_name_.substr(temp_name_.rfind('/') + 1));
    return Call(SystemCall::kWrite,
                [&] { return WriteText(fd, text) ? 0 : -1; }) == 0
               ? 0
               : errno;
  }

  // True while the target name is the reservation `reserved`.
  bool StillReserved(const struct stat& reserved) const {
    struct stat named;
    return lstat(target_.c_str(), &named) == 0 &&
           named.st_ino == reserved.st_ino && named.st_dev == reserved.st_dev;
  }


  // After a failed folder flush the copy is not known to be on disk; its
  // name goes again so that the failure is not mistaken for a finished copy.
  int FlushFolder() {
    int error =
        Step(CopyStep::kSyncFolder, [this] { return owner_.SyncFolder(folder_); });
    if (error && published_) Unpublish();
    return error;
  }

  void Unpublish() {
    struct stat ours, there;
    if (fstat(temp_fd_, &ours) == 0 && stat(target_.c_str(), &there) == 0 &&
        ours.st_dev == there.st_dev && ours.st_ino == there.st_ino)
      Call(SystemCall::kUnlink, [this] { return unlink(target_.c_str()); });
  }

  // Writes the first `size` bytes of the buffer, resuming after partial
  // writes.
  bool WriteAll(std::size_t size) {
    const char* data = buffer_.data();
    while (size > 0) {
      ssize_t written =
          Call(SystemCall::kWrite, [&] { return write(temp_fd_, data, size); });
      if (written < 0) {
        if (errno == EINTR) continue;
        return false;
      }
      data += written;
      size -= static_cast<std::size_t>(written);
    }
    return true;
  }

  RealFileSystem& owner_;
  const std::string& source_;
  const std::string& target_;
  const std::string folder_;
  const bool flush_;
  const CopyProgress& progress_;
  int source_fd_ = -1;
  int temp_fd_ = -1;
  std::string temp_name_;  // the hidden name while it exists
  bool published_ = false;
  struct stat source_stat_ {};
  std::vector<char> buffer_;
  CopyResult result_;
};

CopyResult RealFileSystem::CopyFileNoReplace(const std::string& source,
                                             const std::string& target,
                                             bool flush,
                                             const CopyProgress& progress) {
  CopyJob job(*this, source, target, flush, progress);
  return job.Run();
}

}  // namespace kuronel
