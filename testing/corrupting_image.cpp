// kuronel-corrupting-image: one file, "image", over a backing image file,
// through FUSE with direct I/O, which stores photo bytes wrong: every write
// holding MARKER has the byte after the marker's first occurrence changed.
// Writes of everything else (a file system's own records) are kept as
// given, so a file system made on a loop device over "image" mounts again,
// and only the photos that carry the marker come back different. Reads give
// what was stored.
//
// Usage: kuronel-corrupting-image BACKING-IMAGE MOUNTPOINT MARKER
// (runs in the foreground until unmounted).
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

constexpr char kImage[] = "/image";
int image_fd = -1;
std::string marker;

int GetAttr(const char* path, struct stat* st, struct fuse_file_info*) {
  if (std::strcmp(path, "/") == 0) {
    *st = {};
    st->st_mode = S_IFDIR | 0755;
    st->st_nlink = 2;
    return 0;
  }
  if (std::strcmp(path, kImage) != 0) return -ENOENT;
  if (fstat(image_fd, st) != 0) return -errno;
  st->st_ino = 2;
  return 0;
}

int ReadDir(const char* path, void* entries, fuse_fill_dir_t fill, off_t,
            struct fuse_file_info*, enum fuse_readdir_flags) {
  if (std::strcmp(path, "/") != 0) return -ENOENT;
  for (const char* name : {".", "..", kImage + 1})
    fill(entries, name, nullptr, 0, static_cast<fuse_fill_dir_flags>(0));
  return 0;
}

int Open(const char* path, struct fuse_file_info* info) {
  if (std::strcmp(path, kImage) != 0) return -ENOENT;
  // No page cache above the daemon: what the loop device reads is what was
  // stored.
  info->direct_io = 1;
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

int Truncate(const char*, off_t size, struct fuse_file_info*) {
  return ftruncate(image_fd, size) == 0 ? 0 : -errno;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4 || argv[3][0] == '\0') {
    std::fprintf(stderr, "usage: %s BACKING-IMAGE MOUNTPOINT MARKER\n",
                 argv[0]);
    return 2;
  }
  image_fd = open(argv[1], O_RDWR | O_CLOEXEC);
  if (image_fd < 0) {
    std::perror(argv[1]);
    return 1;
  }
  marker = argv[3];
  struct fuse_operations operations = {};
  operations.getattr = GetAttr;
  operations.readdir = ReadDir;
  operations.open = Open;
  operations.read = Read;
  operations.write = Write;
  operations.fsync = Sync;
  operations.truncate = Truncate;
  char* fuse_argv[] = {argv[0], const_cast<char*>("-f"),
                       const_cast<char*>("-s"), argv[2], nullptr};
  return fuse_main(4, fuse_argv, &operations, nullptr);
}
