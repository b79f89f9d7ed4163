// The only file of the core that calls the operating system directly; a
// check in make test holds every other one to SystemCalls.
#include "platform/system_calls.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <sys/utsname.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <vector>

namespace kuronel {
namespace {

// A file's status without its access time, which nothing here reads: a FUSE
// drive answers a status that asks for it with a request to its driver after
// every read of the file, one more request per photo of a card. st_atim is
// left zero.
int StatusOf(int dir_fd, const char* path, int flags, struct stat& info) {
  struct statx got;
  if (::statx(dir_fd, path, flags, STATX_BASIC_STATS & ~STATX_ATIME, &got) != 0)
    return -1;
  info = {};
  info.st_dev = makedev(got.stx_dev_major, got.stx_dev_minor);
  info.st_ino = got.stx_ino;
  info.st_mode = got.stx_mode;
  info.st_nlink = got.stx_nlink;
  info.st_uid = got.stx_uid;
  info.st_gid = got.stx_gid;
  info.st_rdev = makedev(got.stx_rdev_major, got.stx_rdev_minor);
  info.st_size = static_cast<off_t>(got.stx_size);
  info.st_blksize = got.stx_blksize;
  info.st_blocks = static_cast<blkcnt_t>(got.stx_blocks);
  info.st_mtim = {got.stx_mtime.tv_sec, got.stx_mtime.tv_nsec};
  info.st_ctim = {got.stx_ctime.tv_sec, got.stx_ctime.tv_nsec};
  return 0;
}

class OperatingSystem : public SystemCalls {
 public:
  int Open(const std::string& path, int flags, mode_t mode) override {
    return ::open(path.c_str(), flags, mode);
  }
  int OpenAt(int dir_fd, const char* name, int flags, mode_t mode) override {
    return ::openat(dir_fd, name, flags, mode);
  }
  int Close(int fd) override { return ::close(fd); }

  ssize_t Read(int fd, void* buffer, std::size_t size) override {
    return ::read(fd, buffer, size);
  }
  ssize_t ReadAt(int fd, void* buffer, std::size_t size,
                 off_t offset) override {
    return ::pread(fd, buffer, size, offset);
  }
  ssize_t Write(int fd, const void* data, std::size_t size) override {
    return ::write(fd, data, size);
  }
  ssize_t CopyRange(int from_fd, int to_fd, std::size_t size) override {
    return ::copy_file_range(from_fd, nullptr, to_fd, nullptr, size, 0);
  }
  off_t Seek(int fd, off_t offset, int whence) override {
    return ::lseek(fd, offset, whence);
  }
  int Truncate(int fd, off_t size) override { return ::ftruncate(fd, size); }
  int Advise(int fd, off_t offset, off_t length, int advice) override {
    return ::posix_fadvise(fd, offset, length, advice);
  }
  int Sync(int fd) override { return ::fsync(fd); }
  int SyncFileSystem(int fd) override { return ::syncfs(fd); }

  int Stat(const std::string& path, struct stat& info,
           bool follow_links) override {
    return StatusOf(AT_FDCWD, path.c_str(),
                    follow_links ? 0 : AT_SYMLINK_NOFOLLOW, info);
  }
  int StatAt(int dir_fd, const char* name, struct stat& info,
             bool follow_links) override {
    return StatusOf(dir_fd, name, follow_links ? 0 : AT_SYMLINK_NOFOLLOW, info);
  }
  int FileStat(int fd, struct stat& info) override {
    return StatusOf(fd, "", AT_EMPTY_PATH, info);
  }
  int FileSystemType(const std::string& path, unsigned long& type) override {
    struct statfs info;
    if (::statfs(path.c_str(), &info) != 0) return -1;
    type = static_cast<unsigned long>(info.f_type);
    return 0;
  }
  int FileSystemTypeOf(int fd, unsigned long& type) override {
    struct statfs info;
    if (::fstatfs(fd, &info) != 0) return -1;
    type = static_cast<unsigned long>(info.f_type);
    return 0;
  }
  std::string KernelRelease() override {
    struct utsname names;
    return ::uname(&names) == 0 ? names.release : "";
  }

  int MakeDirectory(const std::string& path, mode_t mode) override {
    return ::mkdir(path.c_str(), mode);
  }
  int Rename(const std::string& from, const std::string& to,
             unsigned flags) override {
    if (flags == 0) return ::rename(from.c_str(), to.c_str());
    return ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), flags);
  }
  int Link(const std::string& from, const std::string& to) override {
    return ::link(from.c_str(), to.c_str());
  }
  int LinkOpenFile(int fd, const std::string& to) override {
    const std::string proc_path = "/proc/self/fd/" + std::to_string(fd);
    if (::linkat(AT_FDCWD, proc_path.c_str(), AT_FDCWD, to.c_str(),
                 AT_SYMLINK_FOLLOW) == 0)
      return 0;
    if (errno != ENOENT) return -1;
    // Without /proc: the same link by descriptor (needs
    // CAP_DAC_READ_SEARCH).
    return ::linkat(fd, "", AT_FDCWD, to.c_str(), AT_EMPTY_PATH);
  }
  int Unlink(const std::string& path) override {
    return ::unlink(path.c_str());
  }
  int UnlinkAt(int dir_fd, const char* name) override {
    return ::unlinkat(dir_fd, name, 0);
  }
  int RealPath(const std::string& path, std::string& resolved) override {
    char* answer = ::realpath(path.c_str(), nullptr);
    if (answer == nullptr) return -1;
    resolved = answer;
    std::free(answer);
    return 0;
  }

  ssize_t ReadLink(const std::string& path, std::string& target) override {
    std::vector<char> buffer(PATH_MAX);
    const ssize_t length =
        ::readlink(path.c_str(), buffer.data(), buffer.size());
    if (length < 0) return -1;
    if (static_cast<std::size_t>(length) == buffer.size()) {
      errno = ENAMETOOLONG;
      return -1;
    }
    target.assign(buffer.data(), static_cast<std::size_t>(length));
    return length;
  }

  int ChangeMode(const std::string& path, mode_t mode) override {
    return ::chmod(path.c_str(), mode);
  }
  int ChangeFileMode(int fd, mode_t mode) override {
    return ::fchmod(fd, mode);
  }
  int ChangeFileOwner(int fd, uid_t owner, gid_t group) override {
    return ::fchown(fd, owner, group);
  }
  int SetFileTimes(int fd, const struct timespec times[2]) override {
    return ::futimens(fd, times);
  }
  int SetTimes(const std::string& path,
               const struct timespec times[2]) override {
    return ::utimensat(AT_FDCWD, path.c_str(), times, 0);
  }
  ssize_t GetAttribute(const std::string& path, const char* name, void* value,
                       std::size_t size) override {
    return ::getxattr(path.c_str(), name, value, size);
  }
  int SetAttribute(const std::string& path, const char* name, const void* value,
                   std::size_t size) override {
    return ::setxattr(path.c_str(), name, value, size, 0);
  }

  int Lock(int fd, int operation) override { return ::flock(fd, operation); }

  int ListNames(int dir_fd, const NameVisitor& visit) override {
    // A descriptor of its own, so that the folder's position is the
    // listing's alone.
    const int listing_fd =
        ::openat(dir_fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listing_fd < 0) return -1;
    DIR* dir = ::fdopendir(listing_fd);
    if (dir == nullptr) {
      ::close(listing_fd);
      return -1;
    }
    int result = 0;
    for (;;) {
      errno = 0;
      const struct dirent* entry = ::readdir(dir);
      if (entry == nullptr) {
        result = errno == 0 ? 0 : -1;
        break;
      }
      const char* name = entry->d_name;
      if (name[0] == '.' &&
          (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
        continue;
      visit(name, entry->d_type);
    }
    const int error = errno;
    ::closedir(dir);
    errno = error;
    return result;
  }

  std::string CurrentDirectory() override {
    std::vector<char> buffer(PATH_MAX);
    while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
      if (errno != ERANGE) return std::string();
      buffer.resize(buffer.size() * 2);
    }
    return std::string(buffer.data());
  }
  std::string ProgramPath() override {
    std::string path;
    return ReadLink("/proc/self/exe", path) > 0 ? path : std::string();
  }

  uid_t EffectiveUser() override { return ::geteuid(); }
  pid_t ProcessId() override { return ::getpid(); }

  bool LocalTime(std::time_t seconds, struct tm& local) override {
    return ::localtime_r(&seconds, &local) != nullptr;
  }

  iconv_t OpenConverter(const char* to, const char* from) override {
    return ::iconv_open(to, from);
  }
  std::size_t Convert(iconv_t converter, char** in, std::size_t* in_left,
                      char** out, std::size_t* out_left) override {
    return ::iconv(converter, in, in_left, out, out_left);
  }
  int CloseConverter(iconv_t converter) override {
    return ::iconv_close(converter);
  }
};

}  // namespace

SystemCalls& RealSystemCalls() {
  static OperatingSystem system;
  return system;
}

}  // namespace kuronel
