#include "platform/dir_listing.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cstring>

namespace kuronel {
namespace {

std::uint32_t AttributesOf(const struct stat& info, std::string_view name) {
  if (S_ISDIR(info.st_mode)) return kAttrDirectory;
  if (!S_ISREG(info.st_mode)) return 0;
  std::uint32_t attributes = kAttrArchive;
  if ((info.st_mode & S_IWUSR) == 0) attributes |= kAttrReadOnly;
  if (!name.empty() && name.front() == '.') attributes |= kAttrHidden;
  return attributes;
}

bool IsDotOrDotDot(const char* name) {
  return name[0] == '.' &&
         (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// Closes the directory stream on every way out.
class DirCloser {
 public:
  explicit DirCloser(DIR* dir) : dir_(dir) {}
  ~DirCloser() { closedir(dir_); }
  DirCloser(const DirCloser&) = delete;
  DirCloser& operator=(const DirCloser&) = delete;

 private:
  DIR* dir_;
};

}  // namespace

bool ListDirectory(const std::string& folder, const DirEntryVisitor& visit) {
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return false;
  DirCloser closer(dir);
  const int dir_fd = dirfd(dir);
  DirEntry entry;
  while (const struct dirent* found = readdir(dir)) {
    if (IsDotOrDotDot(found->d_name)) continue;
    entry.name = std::string_view(found->d_name, std::strlen(found->d_name));
    // Following links: a link to a folder is a folder, a dangling one has no
    // status and so no attribute bits.
    struct stat info;
    if (fstatat(dir_fd, found->d_name, &info, 0) == 0) {
      entry.attributes = AttributesOf(info, entry.name);
      entry.modified_seconds = info.st_mtim.tv_sec;
      entry.device = info.st_dev;
      entry.inode = info.st_ino;
      entry.status = &info;
    } else {
      entry.attributes = 0;
      entry.modified_seconds = 0;
      entry.device = 0;
      entry.inode = 0;
      entry.status = nullptr;
    }
    visit(entry);
  }
  return true;
}

bool DirectoryIdentity(const std::string& folder, std::uint64_t& device,
                       std::uint64_t& inode) {
  struct stat info;
  if (folder.empty() || stat(folder.c_str(), &info) != 0 ||
      !S_ISDIR(info.st_mode))
    return false;
  device = info.st_dev;
  inode = info.st_ino;
  return true;
}

}  // namespace kuronel
