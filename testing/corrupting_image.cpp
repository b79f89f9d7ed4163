// kuronel-corrupting-image: one file, "image", over a backing image file,
// through FUSE with direct I/O, that stores photo bytes wrong: a write
// holding MARKER has the byte after the marker's first occurrence changed.
// Other writes (a file system's own records) are kept, so the file system
// on a loop device over "image" mounts again and only the marked photos
// come back different. Usage (in the foreground until unmounted):
//   kuronel-corrupting-image BACKING-IMAGE MOUNTPOINT MARKER
#define FUSE_USE_VERSION 35
#include <fcntl.h>
#include <fuse.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <string_view>

namespace {

int image_fd = -1;
std::string marker;

int GetAttr(const char* path, struct stat* st, struct fuse_file_info*) {
  if (std::strcmp(path, "/") == 0) {
    *st = {};
    st->st_mode = S_IFDIR | 0755;
    return 0;
  }
  if (std::strcmp(path, "/image") != 0) return -ENOENT;
  return fstat(image_fd, st) == 0 ? 0 : -errno;
}

int Open(const char*, struct fuse_file_info* info) {
  info->direct_io = 1;  // no page cache above the daemon
  return 0;
}

int Read(const char*, char* buffer, size_t size, off_t offset,
         struct fuse_file_info*) {
  const ssize_t got = pread(image_fd, buffer, size, offset);
  return got < 0 ? -errno : static_cast<int>(got);
}

int Write(const char*, const char* data, size_t size, off_t offset,
          struct fuse_file_info*) {
  std::string bytes(data, size);
  const std::size_t at = std::string_view(bytes).find(marker);
  if (at != std::string::npos && at + marker.size() < size)
    bytes[at + marker.size()] ^= 0x20;
  const ssize_t written = pwrite(image_fd, bytes.data(), size, offset);
  return written < 0 ? -errno : static_cast<int>(written);
}

int Sync(const char*, int, struct fuse_file_info*) {
  return fsync(image_fd) == 0 ? 0 : -errno;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4 || argv[3][0] == '\0') {
    std::fprintf(stderr, "usage: %s BACKING-IMAGE MOUNTPOINT MARKER\n",
                 argv[0]);
    return 2;
  }
  image_fd = open(argv[1], O_RDWR | O_CLOEXEC);
  if (image_fd < 0) return 1;
  marker = argv[3];
  struct fuse_operations operations = {};
  operations.getattr = GetAttr;
  operations.open = Open;
  operations.read = Read;
  operations.write = Write;
  operations.fsync = Sync;
  char* fuse_argv[] = {argv[0], const_cast<char*>("-f"),
                       const_cast<char*>("-s"), argv[2], nullptr};
  return fuse_main(4, fuse_argv, &operations, nullptr);
}
