#include "platform/dir_listing.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>

#include <cerrno>
#include <cstdio>
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

// True for an entry that the directory itself marks as something that is
// not a folder and cannot lead to one (a link or an unmarked entry can).
bool MarkedAsNoFolder(unsigned char type) {
  return type != DT_DIR && type != DT_LNK && type != DT_UNKNOWN;
}

bool ListEntries(const std::string& folder, const DirEntryVisitor& visit,
                 int* error, bool folders_only) {
  if (error != nullptr) *error = 0;
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) {
    if (error != nullptr) *error = errno;
    return false;
  }
  DirCloser closer(dir);
  const int dir_fd = dirfd(dir);
  DirEntry entry;
  for (;;) {
    errno = 0;
    const struct dirent* found = readdir(dir);
    if (found == nullptr) {
      if (errno == 0) return true;
      if (error != nullptr) *error = errno;
      return false;
    }
    if (IsDotOrDotDot(found->d_name)) continue;
    if (folders_only && MarkedAsNoFolder(found->d_type)) continue;
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
      entry.status_error = 0;
    } else {
      entry.attributes = 0;
      entry.modified_seconds = 0;
      entry.device = 0;
      entry.inode = 0;
      entry.status = nullptr;
      entry.status_error = errno;
    }
    visit(entry);
  }
}

}  // namespace

bool ListDirectory(const std::string& folder, const DirEntryVisitor& visit,
                   int* error) {
  return ListEntries(folder, visit, error, false);
}

bool ListSubfolders(const std::string& folder, const DirEntryVisitor& visit,
                    int* error) {
  return ListEntries(folder, visit, error, true);
}

namespace {

// The file system types by statfs's magic numbers (linux/magic.h).
constexpr unsigned long kPseudoMagics[] = {
    0x9fa0,      // proc
    0x62656572,  // sysfs
    0x1cd1,      // devpts
    0x27e0eb,    // cgroup
    0x63677270,  // cgroup2
    0x64626720,  // debugfs
    0x74726163,  // tracefs
    0x73636673,  // securityfs
    0x62656570,  // configfs
    0x65735543,  // fusectl
    0x19800202,  // mqueue
    0xcafe4a11,  // bpf
    0x6165676c,  // pstore
    0x42494e4d,  // binfmt_misc
    0xde5e81e4,  // efivarfs
};
constexpr unsigned long kTmpfsMagic = 0x01021994;

// devtmpfs reports itself as tmpfs to statfs; only the mount table tells
// them apart.
bool IsDevtmpfs(dev_t device) {
  std::FILE* mounts = std::fopen("/proc/self/mountinfo", "re");
  if (mounts == nullptr) return false;
  char line[4096];
  bool found = false;
  while (!found && std::fgets(line, sizeof line, mounts) != nullptr) {
    unsigned major_number = 0, minor_number = 0;
    if (std::sscanf(line, "%*d %*d %u:%u", &major_number, &minor_number) != 2 ||
        makedev(major_number, minor_number) != device)
      continue;
    // The fields after " - " are the type, the source and the options.
    const char* fields = std::strstr(line, " - ");
    found = fields != nullptr && std::strncmp(fields + 3, "devtmpfs ", 9) == 0;
  }
  std::fclose(mounts);
  return found;
}

}  // namespace

bool IsPseudoFileSystem(const std::string& folder) {
  struct statfs info;
  if (statfs(folder.c_str(), &info) != 0) return false;
  const auto magic = static_cast<unsigned long>(info.f_type);
  for (unsigned long pseudo : kPseudoMagics) {
    if (magic == pseudo) return true;
  }
  struct stat st;
  return magic == kTmpfsMagic && stat(folder.c_str(), &st) == 0 &&
         IsDevtmpfs(st.st_dev);
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
