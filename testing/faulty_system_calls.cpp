#include "testing/faulty_system_calls.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kuronel::testing {

void FaultySystemCalls::FailCall(Call call, int nth, int error, On on,
                                 bool passing) {
  std::vector<Fault>& faults = faults_[call];
  const Fault fault{nth, 0, error, on, passing};
  // A fault on the nth call goes before those on every call.
  if (nth == 0) {
    faults.push_back(fault);
  } else {
    faults.insert(faults.begin(), fault);
  }
}

void FaultySystemCalls::ClearPassingFaults() {
  for (auto& [call, faults] : faults_)
    std::erase_if(faults, [](const Fault& fault) { return fault.passing; });
  writes_limited_ = false;
  corrupt_path_.clear();
  corrupt_fds_.clear();
}

void FaultySystemCalls::CorruptReadsOf(const std::string& path) {
  corrupt_path_ = path;
}

ssize_t FaultySystemCalls::MaybeCorrupt(int fd, void* buffer, ssize_t got,
                                        off_t offset) {
  if (got > 0 && offset == 0 && Corrupts(fd))
    static_cast<unsigned char*>(buffer)[0] ^= 0x01;
  return got;
}

void FaultySystemCalls::FailWritesAfter(std::uint64_t bytes, int error) {
  writes_limited_ = true;
  write_limit_ = bytes;
  written_ = 0;
  write_error_ = error;
}

int FaultySystemCalls::FaultFor(Call call, bool on_folder) {
  const std::lock_guard lock(mutex_);
  auto it = faults_.find(call);
  if (it == faults_.end()) return 0;
  for (Fault& fault : it->second) {
    if ((fault.on == On::kFolder && !on_folder) ||
        (fault.on == On::kFile && on_folder))
      continue;
    ++fault.counted;
    if (fault.nth != 0 && fault.counted != fault.nth) continue;
    if (!fault.passing) struck_ = true;
    return fault.error;
  }
  return 0;
}

bool FaultySystemCalls::IsFolder(int fd) {
  struct stat info;
  return real_.FileStat(fd, info) == 0 && S_ISDIR(info.st_mode);
}

bool FaultySystemCalls::IsFolder(const std::string& path) {
  struct stat info;
  return real_.Stat(path, info, true) == 0 && S_ISDIR(info.st_mode);
}

template <typename Made>
auto FaultySystemCalls::Checked(Call call, bool on_folder, Made made)
    -> decltype(made()) {
  const int fault = FaultFor(call, on_folder);
  if (fault == kIgnored) return 0;
  if (fault != 0) {
    errno = fault;
    return -1;
  }
  return made();
}

bool FaultySystemCalls::WriteAllowed() {
  if (!writes_limited_ || written_ < write_limit_) return true;
  errno = write_error_;
  return false;
}

namespace {

bool OpensForWriting(int flags) { return (flags & (O_WRONLY | O_RDWR)) != 0; }

}  // namespace

int FaultySystemCalls::Open(const std::string& path, int flags, mode_t mode) {
  const int fd = Checked(Call::kOpen, IsFolder(path),
                         [&] { return real_.Open(path, flags, mode); });
  const std::lock_guard lock(mutex_);
  if (fd >= 0 && !corrupt_path_.empty() && path == corrupt_path_)
    corrupt_fds_.insert(fd);
  if (fd >= 0 && OpensForWriting(flags)) writable_fds_.insert(fd);
  return fd;
}

bool FaultySystemCalls::Corrupts(int fd) {
  const std::lock_guard lock(mutex_);
  return corrupt_fds_.contains(fd);
}

int FaultySystemCalls::Close(int fd) {
  bool was_writable;
  {
    const std::lock_guard lock(mutex_);
    corrupt_fds_.erase(fd);
    was_writable = writable_fds_.erase(fd) != 0;
  }
  if (!was_writable) return real_.Close(fd);
  const int fault = FaultFor(Call::kClose, false);
  const int closed = real_.Close(fd);
  if (fault == 0 || fault == kIgnored) return closed;
  errno = fault;
  return -1;
}

int FaultySystemCalls::OpenAt(int dir_fd, const char* name, int flags,
                              mode_t mode) {
  const int fd = Checked(Call::kOpen, false, [&] {
    return real_.OpenAt(dir_fd, name, flags, mode);
  });
  const std::lock_guard lock(mutex_);
  if (fd >= 0 && OpensForWriting(flags)) writable_fds_.insert(fd);
  return fd;
}

off_t FaultySystemCalls::Seek(int fd, off_t offset, int whence) {
  const int fault = FaultFor(Call::kSeek, IsFolder(fd));
  if (fault == kIgnored) return UnmadeSeek(fd, offset, whence);
  if (fault != 0) {
    errno = fault;
    return -1;
  }
  return real_.Seek(fd, offset, whence);
}

off_t FaultySystemCalls::UnmadeSeek(int fd, off_t offset, int whence) {
  struct stat info;
  if (whence == SEEK_SET || real_.FileStat(fd, info) != 0) return offset;
  if (whence == SEEK_HOLE) return info.st_size;
  if (whence == SEEK_DATA && offset >= info.st_size) {
    errno = ENXIO;
    return -1;
  }
  return offset;
}

ssize_t FaultySystemCalls::Read(int fd, void* buffer, std::size_t size) {
  const off_t offset = Corrupts(fd) ? real_.Seek(fd, 0, SEEK_CUR) : -1;
  return MaybeCorrupt(
      fd, buffer,
      Checked(Call::kRead, false, [&] { return real_.Read(fd, buffer, size); }),
      offset);
}

ssize_t FaultySystemCalls::ReadAt(int fd, void* buffer, std::size_t size,
                                  off_t offset) {
  return MaybeCorrupt(
      fd, buffer,
      Checked(Call::kRead, false,
              [&] { return real_.ReadAt(fd, buffer, size, offset); }),
      offset);
}

ssize_t FaultySystemCalls::Write(int fd, const void* data, std::size_t size) {
  return CountedWrite([&] { return real_.Write(fd, data, size); });
}

ssize_t FaultySystemCalls::CopyRange(int from_fd, int to_fd, std::size_t size) {
  return CountedWrite([&] { return real_.CopyRange(from_fd, to_fd, size); });
}

template <typename Made>
ssize_t FaultySystemCalls::CountedWrite(Made made) {
  return Checked(Call::kWrite, false, [&]() -> ssize_t {
    if (!WriteAllowed()) return -1;
    const ssize_t written = made();
    if (written > 0) written_ += static_cast<std::uint64_t>(written);
    return written;
  });
}

int FaultySystemCalls::Truncate(int fd, off_t size) {
  return Checked(Call::kWrite, false, [&] { return real_.Truncate(fd, size); });
}

int FaultySystemCalls::Advise(int fd, off_t offset, off_t length, int advice) {
  const int fault = FaultFor(Call::kAdvise, false);
  if (fault == kIgnored) return 0;
  if (fault != 0) return fault;  // as posix_fadvise answers
  return real_.Advise(fd, offset, length, advice);
}

int FaultySystemCalls::Sync(int fd) {
  return Checked(Call::kFsync, IsFolder(fd), [&] { return real_.Sync(fd); });
}

int FaultySystemCalls::SyncFileSystem(int fd) {
  return Checked(Call::kFsync, /*on_folder=*/true,
                 [&] { return real_.SyncFileSystem(fd); });
}

int FaultySystemCalls::Stat(const std::string& path, struct stat& info,
                            bool follow_links) {
  return Checked(Call::kStat, false,
                 [&] { return real_.Stat(path, info, follow_links); });
}

int FaultySystemCalls::FileStat(int fd, struct stat& info) {
  return Checked(Call::kFileStat, IsFolder(fd),
                 [&] { return real_.FileStat(fd, info); });
}

int FaultySystemCalls::Lock(int fd, int operation) {
  return Checked(Call::kLock, IsFolder(fd),
                 [&] { return real_.Lock(fd, operation); });
}

int FaultySystemCalls::MakeDirectory(const std::string& path, mode_t mode) {
  return Checked(Call::kMkdir, true,
                 [&] { return real_.MakeDirectory(path, mode); });
}

int FaultySystemCalls::Rename(const std::string& from, const std::string& to,
                              unsigned flags) {
  return Checked(Call::kRename, false,
                 [&] { return real_.Rename(from, to, flags); });
}

int FaultySystemCalls::Link(const std::string& from, const std::string& to) {
  return Checked(Call::kLink, false, [&] { return real_.Link(from, to); });
}

int FaultySystemCalls::LinkOpenFile(int fd, const std::string& to) {
  return Checked(Call::kLink, false,
                 [&] { return real_.LinkOpenFile(fd, to); });
}

int FaultySystemCalls::Unlink(const std::string& path) {
  return Checked(Call::kUnlink, false, [&] { return real_.Unlink(path); });
}

int FaultySystemCalls::UnlinkAt(int dir_fd, const char* name) {
  return Checked(Call::kUnlink, false,
                 [&] { return real_.UnlinkAt(dir_fd, name); });
}

int FaultySystemCalls::ChangeMode(const std::string& path, mode_t mode) {
  return Checked(Call::kChmod, false,
                 [&] { return real_.ChangeMode(path, mode); });
}

int FaultySystemCalls::ChangeFileMode(int fd, mode_t mode) {
  return Checked(Call::kChmod, false,
                 [&] { return real_.ChangeFileMode(fd, mode); });
}

int FaultySystemCalls::SetFileTimes(int fd, const struct timespec times[2]) {
  return Checked(Call::kChmod, false,
                 [&] { return real_.SetFileTimes(fd, times); });
}

int FaultySystemCalls::SetTimes(const std::string& path,
                                const struct timespec times[2]) {
  return Checked(Call::kChmod, false,
                 [&] { return real_.SetTimes(path, times); });
}

int FaultySystemCalls::SetAttribute(const std::string& path, const char* name,
                                    const void* value, std::size_t size) {
  return Checked(Call::kChmod, false,
                 [&] { return real_.SetAttribute(path, name, value, size); });
}

}  // namespace kuronel::testing
