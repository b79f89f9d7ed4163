#include "platform/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <random>
#include <system_error>

#include "platform/cp932.h"

namespace kuronel {
namespace {

// Closes a descriptor when it goes out of scope unless released first.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }
  // Closes now and reports whether the close succeeded (a delayed write
  // error can surface here).
  bool Close() {
    int fd = fd_;
    fd_ = -1;
    return close(fd) == 0;
  }

 private:
  int fd_;
};

std::string ErrorText(int error) {
  return std::generic_category().message(error);
}

Status WriteFailure(const std::string& path, const char* step, int error) {
  return Status::Error("「" + DisplayName(path) + "」を書き込めません: " +
                       step + " (" + ErrorText(error) + ")");
}

std::string FolderOf(const std::string& path) {
  std::string::size_type slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// Where the bytes really go: through symbolic links to the file at the end
// of the chain, so that each link stays a link. A link that dangles names
// the file to create. False, with errno ELOOP, for a loop (or a chain too
// long to be anything else).
bool FollowLinks(const std::string& path, std::string& target) {
  constexpr int kMaxLinks = 40;  // what the kernel itself follows
  target = path;
  for (int followed = 0; followed <= kMaxLinks; ++followed) {
    char link[PATH_MAX];
    ssize_t length = readlink(target.c_str(), link, sizeof link);
    // Not a link, or nothing there: this is the file to write (should the
    // name be out of reach, creating the file beside it says why).
    if (length < 0) return true;
    if (static_cast<size_t>(length) == sizeof link) break;
    std::string next(link, static_cast<size_t>(length));
    target = next.starts_with('/') ? next : FolderOf(target) + "/" + next;
  }
  errno = ELOOP;
  return false;
}

// Creates a new, hidden file beside `target`; the mode 0666 is narrowed by
// the umask exactly as for any new file.
int CreateTemporaryFile(const std::string& target,
                        std::string& temporary_path) {
  std::string folder = FolderOf(target);
  std::string name = target.substr(target.rfind('/') + 1);
  std::random_device entropy;
  std::mt19937 random(entropy());
  for (int attempt = 0; attempt < 100; ++attempt) {
    temporary_path =
        folder + "/." + name + ".tmp" + std::to_string(random() % 1000000);
    int fd = open(temporary_path.c_str(),
                  O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

bool WriteAll(int fd, std::string_view contents) {
  while (!contents.empty()) {
    ssize_t written = write(fd, contents.data(), contents.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    contents.remove_prefix(static_cast<size_t>(written));
  }
  return true;
}

// Gives the new file the old one's owner and permission bits. Best effort:
// only the superuser may hand a file to another owner, and the old bits are
// a courtesy, not a condition of the write.
void KeepOwnerAndMode(int fd, const struct stat& old_info) {
  struct stat new_info;
  if (fstat(fd, &new_info) == 0 && (new_info.st_uid != old_info.st_uid ||
                                    new_info.st_gid != old_info.st_gid)) {
    [[maybe_unused]] int ignored = fchown(fd, old_info.st_uid, old_info.st_gid);
  }
  fchmod(fd, old_info.st_mode & 07777);
}

// Makes the rename itself durable. Some file systems refuse fsync on a
// folder; the new file is in place either way, so this is best effort.
void SyncFolder(const std::string& folder) {
  int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

}  // namespace

ReadOutcome ReadFileUpTo(const std::string& path, size_t max_size,
                         std::string& contents) {
  contents.clear();
  // O_NONBLOCK keeps a FIFO under this name from blocking the open.
  FileDescriptor file(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (file.get() < 0)
    return errno == ENOENT ? ReadOutcome::kMissing : ReadOutcome::kUnreadable;
  struct stat info;
  if (fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode))
    return ReadOutcome::kUnreadable;
  if (static_cast<std::uintmax_t>(info.st_size) > max_size)
    return ReadOutcome::kTooLarge;
  contents.reserve(static_cast<size_t>(info.st_size));
  char buffer[65536];
  for (;;) {
    ssize_t count = read(file.get(), buffer, sizeof buffer);
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

bool PathExists(const std::string& path) {
  struct stat info;
  return !path.empty() && stat(path.c_str(), &info) == 0;
}

Status WriteFileAtomically(const std::string& path, std::string_view contents) {
  std::string target;
  if (!FollowLinks(path, target))
    return WriteFailure(path, "シンボリックリンクをたどれません", errno);
  struct stat old_info;
  bool replaces_file =
      stat(target.c_str(), &old_info) == 0 && S_ISREG(old_info.st_mode);

  std::string temporary_path;
  FileDescriptor file(CreateTemporaryFile(target, temporary_path));
  if (file.get() < 0)
    return WriteFailure(path, "一時ファイルを作れません", errno);

  const char* failed_step = nullptr;
  if (!WriteAll(file.get(), contents)) {
    failed_step = "書き込みに失敗しました";
  } else {
    if (replaces_file) KeepOwnerAndMode(file.get(), old_info);
    if (fsync(file.get()) != 0 || !file.Close()) {
      failed_step = "ディスクへの書き出しに失敗しました";
    } else if (rename(temporary_path.c_str(), target.c_str()) != 0) {
      failed_step = "置き換えに失敗しました";
    }
  }
  if (failed_step != nullptr) {
    int error = errno;
    unlink(temporary_path.c_str());
    return WriteFailure(path, failed_step, error);
  }
  SyncFolder(FolderOf(target));
  return Status::Ok();
}

}  // namespace kuronel
