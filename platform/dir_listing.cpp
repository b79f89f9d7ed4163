#include "platform/dir_listing.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "platform/drive_facts.h"
#include "platform/path.h"

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

// True for an entry that the directory itself marks as something that is
// not a folder and cannot lead to one (a link or an unmarked entry can).
bool MarkedAsNoFolder(unsigned char type) {
  return type != DT_DIR && type != DT_LNK && type != DT_UNKNOWN;
}

bool ListEntries(const std::string& folder, const DirEntryVisitor& visit,
                 int* error, bool folders_only, SystemCalls& calls) {
  if (error != nullptr) *error = 0;
  UniqueFd dir(calls.Open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC), calls);
  if (!dir.valid()) {
    if (error != nullptr) *error = errno;
    return false;
  }
  DirEntry entry;
  FolderIdentities identities(folder, calls);
  const int listed =
      calls.ListNames(dir.get(), [&](const char* name, unsigned char type) {
        if (folders_only && MarkedAsNoFolder(type)) return;
        entry.name = std::string_view(name, std::strlen(name));
        // Following links: a link to a folder is a folder, a dangling one has
        // no status and so no attribute bits.
        struct stat info;
        if (calls.StatAt(dir.get(), name, info, true) == 0) {
          entry.attributes = AttributesOf(info, entry.name);
          entry.modified_seconds = info.st_mtim.tv_sec;
          entry.identity = identities.Of(info, entry.name);
          entry.status = &info;
          entry.status_error = 0;
        } else {
          entry.attributes = 0;
          entry.modified_seconds = 0;
          entry.identity = FileIdentity();
          entry.status = nullptr;
          entry.status_error = errno;
        }
        visit(entry);
      });
  if (listed == 0) return true;
  if (error != nullptr) *error = errno;
  return false;
}

}  // namespace

bool ListDirectory(const std::string& folder, const DirEntryVisitor& visit,
                   SystemCalls& calls, int* error) {
  return ListEntries(folder, visit, error, false, calls);
}

bool ListSubfolders(const std::string& folder, const DirEntryVisitor& visit,
                    SystemCalls& calls, int* error) {
  return ListEntries(folder, visit, error, true, calls);
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

}  // namespace

bool IsPseudoFileSystem(const std::string& folder, SystemCalls& calls) {
  unsigned long magic = 0;
  if (calls.FileSystemType(folder, magic) != 0) return false;
  for (unsigned long pseudo : kPseudoMagics) {
    if (magic == pseudo) return true;
  }
  // devtmpfs reports itself as tmpfs to statfs; only the mount table tells
  // them apart.
  struct stat st;
  MountEntry mount;
  return magic == kTmpfsMagic && calls.Stat(folder, st) == 0 &&
         MountEntryOf(st.st_dev, ResolvedPath(folder, calls), mount, calls) &&
         mount.type == "devtmpfs";
}

std::optional<FileIdentity> DirectoryIdentity(const std::string& folder,
                                              SystemCalls& calls) {
  struct stat info;
  if (folder.empty() || calls.Stat(folder, info) != 0 || !S_ISDIR(info.st_mode))
    return std::nullopt;
  return IdentityOf(info, folder, calls);
}

}  // namespace kuronel
