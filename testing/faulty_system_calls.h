#ifndef KURONEL_TESTING_FAULTY_SYSTEM_CALLS_H_
#define KURONEL_TESTING_FAULTY_SYSTEM_CALLS_H_

#include <cerrno>
#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/system_calls.h"

namespace kuronel::testing {

// The operating system's calls with failures on request: a test makes the
// nth call of a kind (or every one) fail with an errno, or report success
// without being made, or makes writes fail once some bytes are written.
// Everything not made to fail is the real call, so the files a test looks
// at afterwards are real.
class FaultySystemCalls : public SystemCalls {
 public:
  // The kinds of call that write, name or remove files, and the reads and
  // opens around them.
  enum class Call {
    kOpen,   // open, openat
    kRead,   // read, pread
    kWrite,  // write, copy_file_range, ftruncate
    kFsync,  // fsync of a file or folder, syncfs of a drive (on a folder)
    kLink,   // link, and linkat of an open file
    kRename,
    kMkdir,
    kChmod,  // permission bits, times, extended attributes
    kUnlink,
    kStat,      // stat and lstat by path (a drive gone: ENOTCONN)
    kClose,     // close of a descriptor opened for writing (the descriptor
                // is closed all the same, as the kernel does)
    kSeek,      // lseek; ignored, it is answered as by a drive that keeps
                // no holes (data up to the end), and the file position stays
    kFileStat,  // fstat of an open file or folder (never ignored: it would
                // answer nothing)
    kLock,      // flock
    kAdvise,    // posix_fadvise, which answers the errno and leaves errno
  };
  // Which calls of a kind a fault takes: any, or only those on a folder,
  // or only those on anything else.
  enum class On { kAnything, kFolder, kFile };
  // The errno that makes a call report success without being made (a
  // driver that accepts a change and keeps nothing of it); only for calls
  // that answer 0 on success.
  static constexpr int kIgnored = -1;

  explicit FaultySystemCalls(SystemCalls& real = RealSystemCalls())
      : real_(real) {}

  // The nth call of this kind from now on (counted from 1 among the calls
  // it takes) fails with `error`: only that one, or every one for nth == 0.
  // Faults of one kind add up; a call meets a fault on its nth call before
  // one on every call. A passing fault lasts until ClearPassingFaults.
  void FailCall(Call call, int nth, int error, On on = On::kAnything,
                bool passing = false);
  // Every later write fails with `error` once `bytes` bytes have been
  // written since now (no space left after so much); passing.
  void FailWritesAfter(std::uint64_t bytes, int error);
  // Reads of the file opened under `path` from now on give its first byte
  // changed, as a drive does that stored it wrong; passing.
  void CorruptReadsOf(const std::string& path);
  void ClearPassingFaults();
  // True once a fault that is not passing has struck.
  bool FaultStruck() const { return struck_; }

  int Open(const std::string& path, int flags, mode_t mode) override;
  int OpenAt(int dir_fd, const char* name, int flags, mode_t mode) override;
  int Close(int fd) override;
  ssize_t Read(int fd, void* buffer, std::size_t size) override;
  ssize_t ReadAt(int fd, void* buffer, std::size_t size, off_t offset) override;
  ssize_t Write(int fd, const void* data, std::size_t size) override;
  ssize_t CopyRange(int from_fd, int to_fd, std::size_t size) override;
  off_t Seek(int fd, off_t offset, int whence) override;
  int Truncate(int fd, off_t size) override;
  int Advise(int fd, off_t offset, off_t length, int advice) override;
  int Sync(int fd) override;
  int SyncFileSystem(int fd) override;
  int Stat(const std::string& path, struct stat& info,
           bool follow_links) override;
  int StatAt(int dir_fd, const char* name, struct stat& info,
             bool follow_links) override {
    return real_.StatAt(dir_fd, name, info, follow_links);
  }
  int FileStat(int fd, struct stat& info) override;
  int FileSystemType(const std::string& path, unsigned long& type) override {
    return real_.FileSystemType(path, type);
  }
  int FileSystemTypeOf(int fd, unsigned long& type) override {
    return real_.FileSystemTypeOf(fd, type);
  }
  std::string KernelRelease() override { return real_.KernelRelease(); }
  int MakeDirectory(const std::string& path, mode_t mode) override;
  int Rename(const std::string& from, const std::string& to,
             unsigned flags) override;
  int Link(const std::string& from, const std::string& to) override;
  int LinkOpenFile(int fd, const std::string& to) override;
  int Unlink(const std::string& path) override;
  int UnlinkAt(int dir_fd, const char* name) override;
  int RealPath(const std::string& path, std::string& resolved) override {
    return real_.RealPath(path, resolved);
  }
  ssize_t ReadLink(const std::string& path, std::string& target) override {
    return real_.ReadLink(path, target);
  }
  int ChangeMode(const std::string& path, mode_t mode) override;
  int ChangeFileMode(int fd, mode_t mode) override;
  int ChangeFileOwner(int fd, uid_t owner, gid_t group) override {
    return real_.ChangeFileOwner(fd, owner, group);
  }
  int SetFileTimes(int fd, const struct timespec times[2]) override;
  int SetTimes(const std::string& path,
               const struct timespec times[2]) override;
  ssize_t GetAttribute(const std::string& path, const char* name, void* value,
                       std::size_t size) override {
    return real_.GetAttribute(path, name, value, size);
  }
  int SetAttribute(const std::string& path, const char* name, const void* value,
                   std::size_t size) override;
  int Lock(int fd, int operation) override;
  int ListNames(int dir_fd, const NameVisitor& visit) override {
    return real_.ListNames(dir_fd, visit);
  }
  std::string CurrentDirectory() override { return real_.CurrentDirectory(); }
  std::string ProgramPath() override { return real_.ProgramPath(); }
  uid_t EffectiveUser() override { return real_.EffectiveUser(); }
  pid_t ProcessId() override { return real_.ProcessId(); }
  bool LocalTime(std::time_t seconds, struct tm& local) override {
    return real_.LocalTime(seconds, local);
  }
  iconv_t OpenConverter(const char* to, const char* from) override {
    return real_.OpenConverter(to, from);
  }
  std::size_t Convert(iconv_t converter, char** in, std::size_t* in_left,
                      char** out, std::size_t* out_left) override {
    return real_.Convert(converter, in, in_left, out, out_left);
  }
  int CloseConverter(iconv_t converter) override {
    return real_.CloseConverter(converter);
  }

 private:
  struct Fault {
    int nth = 0;
    int counted = 0;
    int error = EIO;
    On on = On::kAnything;
    bool passing = false;
  };

  // The errno a call of `call` on a folder (or not) is to fail with; 0 when
  // it is to be made.
  int FaultFor(Call call, bool on_folder);
  bool IsFolder(int fd);
  bool IsFolder(const std::string& path);
  // Makes a call, unless a fault takes it: then -1 with the fault's errno.
  template <typename Made>
  auto Checked(Call call, bool on_folder, Made made) -> decltype(made());
  // A write, within the write limit, counted against it.
  template <typename Made>
  ssize_t CountedWrite(Made made);
  // A read of `got` bytes at `offset` into `buffer`, spoilt when the file is
  // one whose reads are to be corrupted.
  ssize_t MaybeCorrupt(int fd, void* buffer, ssize_t got, off_t offset);
  // The answer to an ignored seek: the offset asked for (SEEK_SET, and
  // SEEK_DATA before the end), or the end of the file (SEEK_HOLE).
  off_t UnmadeSeek(int fd, off_t offset, int whence);
  // True for a descriptor whose reads are to be corrupted.
  bool Corrupts(int fd);
  // The write limit: false, with errno set, when a write of `size` bytes is
  // to fail.
  bool WriteAllowed();

  SystemCalls& real_;
  // Copies are read back on several threads: the faults' counts and the
  // descriptors' sets are kept under this.
  std::mutex mutex_;
  std::map<Call, std::vector<Fault>> faults_;
  bool struck_ = false;
  bool writes_limited_ = false;
  std::uint64_t write_limit_ = 0;
  std::uint64_t written_ = 0;
  int write_error_ = ENOSPC;
  std::string corrupt_path_;
  std::set<int> corrupt_fds_;
  std::set<int> writable_fds_;
};

}  // namespace kuronel::testing

#endif  // KURONEL_TESTING_FAULTY_SYSTEM_CALLS_H_
