#ifndef KURONEL_EXIF_BYTE_SOURCE_H_
#define KURONEL_EXIF_BYTE_SOURCE_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

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
};

// Bytes held in memory (not owned).
class MemoryByteSource : public ByteSource {
 public:
  explicit MemoryByteSource(std::string_view bytes) : bytes_(bytes) {}

  size_t ReadAt(uint64_t offset, uint8_t* out, size_t size) override;
  uint64_t Size() const override { return bytes_.size(); }

 private:
  std::string_view bytes_;
};

// A regular file opened for reading. Its first bytes are read once into a
// buffer when it is opened, since the Exif block sits at the start of the
// file; reads elsewhere go to the file at their offset.
class FileByteSource : public ByteSource {
 public:
  FileByteSource() = default;
  ~FileByteSource() override;
  FileByteSource(const FileByteSource&) = delete;
  FileByteSource& operator=(const FileByteSource&) = delete;

  // Opens `path` and reads up to `head_size` bytes of its start. False for an
  // empty name, a missing file, a folder or anything else that is not a
  // regular file, and a file that cannot be opened.
  bool Open(const std::string& path, size_t head_size);

  // Replaces the buffered start of the file by its first `head_size` bytes.
  void ReadHead(size_t head_size);

  size_t ReadAt(uint64_t offset, uint8_t* out, size_t size) override;
  uint64_t Size() const override { return size_; }

 private:
  int fd_ = -1;
  uint64_t size_ = 0;
  std::vector<uint8_t> head_;
};

}  // namespace kuronel

#endif  // KURONEL_EXIF_BYTE_SOURCE_H_
