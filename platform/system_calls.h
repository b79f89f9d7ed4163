#ifndef KURONEL_PLATFORM_SYSTEM_CALLS_H_
#define KURONEL_PLATFORM_SYSTEM_CALLS_H_

#include <iconv.h>
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>

struct stat;
struct timespec;
struct tm;

namespace kuronel {

// The program's one way to the operating system's calls: the disk layer,
// the folder listing, the settings file, the Exif reader and the locks all
// go through it, as do the process's own user and number, local time and the
// CP932 conversions, and nothing else in the core calls the system.
// Each method is the call of the same name and answers as it does (-1 with
// errno on failure, unless said otherwise), so that code reads as it would
// with the calls themselves. Tests put an implementation in its place that
// fails calls on request.
class SystemCalls {
 public:
  virtual ~SystemCalls() = default;

  // open, openat (relative to dir_fd), close.
  virtual int Open(const std::string& path, int flags, mode_t mode = 0) = 0;
  virtual int OpenAt(int dir_fd, const char* name, int flags,
                     mode_t mode = 0) = 0;
  virtual int Close(int fd) = 0;

  // read, pread, write, copy_file_range (from the current positions),
  // lseek, ftruncate, posix_fadvise (answers 0 or the error number, as it
  // does), fsync.
  virtual ssize_t Read(int fd, void* buffer, std::size_t size) = 0;
  virtual ssize_t ReadAt(int fd, void* buffer, std::size_t size,
                         off_t offset) = 0;
  virtual ssize_t Write(int fd, const void* data, std::size_t size) = 0;
  virtual ssize_t CopyRange(int from_fd, int to_fd, std::size_t size) = 0;
  virtual off_t Seek(int fd, off_t offset, int whence) = 0;
  virtual int Truncate(int fd, off_t size) = 0;
  virtual int Advise(int fd, off_t offset, off_t length, int advice) = 0;
  virtual int Sync(int fd) = 0;
  // syncfs: waits until everything written to the drive of `fd` is on its
  // device. It proves that only on a drive that DriveFlush trusts: FUSE
  // drivers do not implement it and the kernel answers 0 all the same, and
  // older kernels drop the errors it meets.
  virtual int SyncFileSystem(int fd) = 0;

  // stat (links followed) or lstat, fstatat, fstat, and the file system
  // type (statfs's f_type).
  virtual int Stat(const std::string& path, struct stat& info,
                   bool follow_links = true) = 0;
  virtual int StatAt(int dir_fd, const char* name, struct stat& info,
                     bool follow_links) = 0;
  virtual int FileStat(int fd, struct stat& info) = 0;
  virtual int FileSystemType(const std::string& path, unsigned long& type) = 0;
  // fstatfs's f_type.
  virtual int FileSystemTypeOf(int fd, unsigned long& type) = 0;
  // uname's release of the running kernel ("6.1.0-18-amd64"); empty when
  // it cannot be had.
  virtual std::string KernelRelease() = 0;

  // mkdir, renameat2 (flags 0: rename), link, linkat of an open file (by
  // /proc/self/fd, else AT_EMPTY_PATH), unlink, unlinkat, readlink (into
  // `target`; answers its length).
  virtual int MakeDirectory(const std::string& path, mode_t mode) = 0;
  virtual int Rename(const std::string& from, const std::string& to,
                     unsigned flags = 0) = 0;
  virtual int Link(const std::string& from, const std::string& to) = 0;
  virtual int LinkOpenFile(int fd, const std::string& to) = 0;
  virtual int Unlink(const std::string& path) = 0;
  virtual int UnlinkAt(int dir_fd, const char* name) = 0;
  virtual ssize_t ReadLink(const std::string& path, std::string& target) = 0;
  // realpath: the path with every link, "." and ".." resolved; 0, or -1
  // with errno.
  virtual int RealPath(const std::string& path, std::string& resolved) = 0;

  // chmod, fchmod, fchown, futimens, utimensat, getxattr, setxattr.
  virtual int ChangeMode(const std::string& path, mode_t mode) = 0;
  virtual int ChangeFileMode(int fd, mode_t mode) = 0;
  virtual int ChangeFileOwner(int fd, uid_t owner, gid_t group) = 0;
  virtual int SetFileTimes(int fd, const struct timespec times[2]) = 0;
  virtual int SetTimes(const std::string& path,
                       const struct timespec times[2]) = 0;
  virtual ssize_t GetAttribute(const std::string& path, const char* name,
                               void* value, std::size_t size) = 0;
  virtual int SetAttribute(const std::string& path, const char* name,
                           const void* value, std::size_t size) = 0;

  // flock.
  virtual int Lock(int fd, int operation) = 0;

  // The names in the folder open as dir_fd, "." and ".." left out, with the
  // type readdir gives (DT_UNKNOWN where the file system does not say), in
  // the order the file system gives them. 0, or -1 with errno when the
  // listing broke off; the folder's position is its own, not dir_fd's.
  using NameVisitor = std::function<void(const char* name, unsigned char type)>;
  virtual int ListNames(int dir_fd, const NameVisitor& visit) = 0;

  // getcwd (answers empty with errno on failure), and the path of the
  // running program file.
  virtual std::string CurrentDirectory() = 0;
  virtual std::string ProgramPath() = 0;

  // geteuid and getpid: the user this process runs as, and its number.
  virtual uid_t EffectiveUser() = 0;
  virtual pid_t ProcessId() = 0;

  // localtime_r: `seconds` as the local calendar time (the time zone of the
  // system); false when it has none (a year that does not fit).
  virtual bool LocalTime(std::time_t seconds, struct tm& local) = 0;

  // iconv_open (answers (iconv_t)-1 with errno on failure), iconv (answers
  // (size_t)-1 with errno on failure; null `in` resets the state and writes
  // what ends it), iconv_close. The CP932 codec converts through them.
  virtual iconv_t OpenConverter(const char* to, const char* from) = 0;
  virtual std::size_t Convert(iconv_t converter, char** in,
                              std::size_t* in_left, char** out,
                              std::size_t* out_left) = 0;
  virtual int CloseConverter(iconv_t converter) = 0;
};

// The operating system itself.
SystemCalls& RealSystemCalls();

}  // namespace kuronel

#endif  // KURONEL_PLATFORM_SYSTEM_CALLS_H_
