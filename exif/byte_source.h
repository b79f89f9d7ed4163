#ifndef KURONEL_EXIF_BYTE_SOURCE_H_
#define KURONEL_EXIF_BYTE_SOURCE_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/system_calls.h"

namespace kuronel {

// Random-access bytes that the Exif reader works on: a file, or bytes that
// are already in memory. Every read is bounded by the data's end, so no
// offset or count found inside a file can make the reader read or allocate
// more than the data holds.
class ByteSource {
 public:
  virtual ~ByteSource() = default;

  // Copies up to `size` bytes starting at `offset` into `out` and returns how
  // many were copied: fewer at the end of the data or on a read error.
  virtual size_t ReadAt(uint64_t offset, uint8_t* out, size_t size) = 0;

  // The number of bytes the data holds.
  virtual uint64_t Size() const = 0;

  // The bytes from offset 0 that are in memory already, which a reader may
  // take directly; a read outside them goes through ReadAt.
  const uint8_t* window() const { return window_; }
  size_t window_size() const { return window_size_; }

 protected:
  void set_window(const uint8_t* data, size_t size) {
    window_ = data;
    window_size_ = size;
  }

 private:
  const uint8_t* window_ = nullptr;
  size_t window_size_ = 0;
};

// Bytes held in memory (not owned).
class MemoryByteSource : public ByteSource {
 public:
  explicit MemoryByteSource(std::string_view bytes) : bytes_(bytes) {
    set_window(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  }

  size_t ReadAt(uint64_t offset, uint8_t* out, size_t size) override;
  uint64_t Size() const override { return bytes_.size(); }

 private:
  std::string_view bytes_;
};

// Memory for the buffered start of a file. A reader of many files keeps one
// and hands it to each FileByteSource in turn, so that a file costs no
// allocation.
class HeadBuffer {
 public:
  uint8_t* data() { return data_.get(); }
  // Makes room for `size` bytes; the first `keep` bytes stay.
  void Reserve(size_t size, size_t keep);

 private:
  std::unique_ptr<uint8_t[]> data_;
  size_t capacity_ = 0;
};

// A regular file opened for reading. Its first bytes are read once into a
// buffer when it is opened, since the Exif block sits at the start of the
// file; reads elsewhere go to the file at their offset.
class FileByteSource : public ByteSource {
 public:
  // Reads through `calls`, which must outlive the source.
  explicit FileByteSource(SystemCalls& calls) : calls_(calls) {}
  // Keeps the file's start in `buffer`, which must outlive the source.
  FileByteSource(HeadBuffer& buffer, SystemCalls& calls)
      : calls_(calls), buffer_(&buffer) {}
  ~FileByteSource() override;
  FileByteSource(const FileByteSource&) = delete;
  FileByteSource& operator=(const FileByteSource&) = delete;

  // Opens `path` and reads up to `head_size` bytes of its start. False for an
  // empty name, a missing file, a folder or anything else that is not a
  // regular file, and a file that cannot be opened.
  bool Open(const std::string& path, size_t head_size);
  // The errno of a failed open or of the last failed read; 0 when none
  // failed. A file that is not a regular one is no error.
  int error() const { return error_; }

  // Replaces the buffered start of the file by its first `head_size` bytes.
  void ReadHead(size_t head_size);

  // The first read that misses the buffered start but ends within the first
  // `limit` bytes of the file extends the buffer to `limit` bytes with one
  // read, so that the rest of a segment costs no read of its own.
  void ExtendHeadOnMiss(uint64_t limit) { extend_limit_ = limit; }

  size_t ReadAt(uint64_t offset, uint8_t* out, size_t size) override;
  uint64_t Size() const override { return size_; }

 private:
  void ExtendHead();

  SystemCalls& calls_;
  int fd_ = -1;
  uint64_t size_ = 0;
  HeadBuffer own_buffer_;
  HeadBuffer* buffer_ = &own_buffer_;
  size_t head_size_ = 0;
  uint64_t extend_limit_ = 0;
  int error_ = 0;
};

}  // namespace kuronel

#endif  // KURONEL_EXIF_BYTE_SOURCE_H_
