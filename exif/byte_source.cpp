#include "exif/byte_source.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace kuronel {

size_t MemoryByteSource::ReadAt(uint64_t offset, uint8_t* out, size_t size) {
  if (offset >= bytes_.size()) return 0;
  size_t count = std::min<uint64_t>(size, bytes_.size() - offset);
  std::memcpy(out, bytes_.data() + offset, count);
  return count;
}

void HeadBuffer::Reserve(size_t size, size_t keep) {
  if (size <= capacity_) return;
  auto grown = std::make_unique_for_overwrite<uint8_t[]>(size);
  if (keep > 0)
    std::memcpy(grown.get(), data_.get(), std::min(keep, capacity_));
  data_ = std::move(grown);
  capacity_ = size;
}

FileByteSource::~FileByteSource() {
  if (fd_ >= 0) calls_.Close(fd_);
}

namespace {

// pread until `size` bytes are read, the file ends or an error occurs; the
// errno of a failed read goes to `error` when given.
size_t ReadFully(SystemCalls& calls, int fd, uint64_t offset, uint8_t* out,
                 size_t size, int* error = nullptr) {
  size_t done = 0;
  while (done < size) {
    ssize_t got = calls.ReadAt(fd, out + done, size - done,
                               static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 && error != nullptr) *error = errno;
    if (got <= 0) break;
    done += static_cast<size_t>(got);
  }
  return done;
}

}  // namespace

bool FileByteSource::Open(const std::string& path, size_t head_size) {
  if (path.empty() || fd_ >= 0) return false;
  // O_NONBLOCK keeps a FIFO from blocking the open; such files are refused
  // below anyway.
  error_ = 0;
  fd_ = calls_.Open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd_ < 0) {
    error_ = errno;
    return false;
  }
  struct stat info;
  if (calls_.FileStat(fd_, info) != 0 || !S_ISREG(info.st_mode) ||
      info.st_size < 0) {
    calls_.Close(fd_);
    fd_ = -1;
    return false;
  }
  size_ = static_cast<uint64_t>(info.st_size);
  ReadHead(head_size);
  return true;
}

void FileByteSource::ReadHead(size_t head_size) {
  head_size_ = 0;
  set_window(nullptr, 0);
  const size_t wanted =
      static_cast<size_t>(std::min<uint64_t>(head_size, size_));
  if (fd_ < 0 || wanted == 0) return;
  buffer_->Reserve(wanted, 0);
  head_size_ = ReadFully(calls_, fd_, 0, buffer_->data(), wanted, &error_);
  set_window(buffer_->data(), head_size_);
}

void FileByteSource::ExtendHead() {
  const size_t end =
      static_cast<size_t>(std::min<uint64_t>(extend_limit_, size_));
  extend_limit_ = 0;  // Once: a short read leaves the rest to the file.
  if (fd_ < 0 || end <= head_size_) return;
  buffer_->Reserve(end, head_size_);
  head_size_ += ReadFully(calls_, fd_, head_size_, buffer_->data() + head_size_,
                          end - head_size_, &error_);
  set_window(buffer_->data(), head_size_);
}

size_t FileByteSource::ReadAt(uint64_t offset, uint8_t* out, size_t size) {
  if (offset >= size_ || size == 0) return 0;
  size = std::min<uint64_t>(size, size_ - offset);
  if (offset + size > head_size_ && offset + size <= extend_limit_)
    ExtendHead();
  if (offset + size <= head_size_) {
    std::memcpy(out, buffer_->data() + offset, size);
    return size;
  }
  if (fd_ < 0) return 0;
  return ReadFully(calls_, fd_, offset, out, size, &error_);
}

}  // namespace kuronel
