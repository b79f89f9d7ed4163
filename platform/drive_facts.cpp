#include "platform/drive_facts.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include "platform/file_io.h"
#include "platform/path.h"
#include "platform/text.h"

namespace kuronel {
namespace {

// statfs's magic numbers (linux/magic.h).
constexpr unsigned long kMsdosMagic = 0x4d44;
constexpr unsigned long kExfatMagic = 0x2011BAB0;
constexpr unsigned long kFuseMagic = 0x65735546;

// The space-separated fields of one mount table line.
std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> fields;
  for (std::size_t start = 0; start < line.size();) {
    std::size_t end = line.find(' ', start);
    if (end == std::string_view::npos) end = line.size();
    fields.push_back(line.substr(start, end - start));
    start = end + 1;
  }
  return fields;
}

// ntfs-3g and exfat-fuse both mount as "fuseblk"; the boot sector tells
// them apart. NTFS keeps its file numbers; anything else is taken as a FAT
// drive, which only costs hard links their shared identity.
bool FuseblkRenumbers(const std::string& source, SystemCalls& calls) {
  UniqueFd device(calls.Open(source, O_RDONLY | O_CLOEXEC | O_NOCTTY), calls);
  char sector[16] = {};
  return !device.valid() ||
         calls.ReadAt(device.get(), sector, sizeof sector, 0) !=
             static_cast<ssize_t>(sizeof sector) ||
         std::string_view(sector + 3, 8) != "NTFS    ";
}

// What a FUSE drive's mount entry tells of it.
DriveFacts FuseDriveFacts(const MountEntry& entry, SystemCalls& calls) {
  DriveFacts facts;
  if (entry.type == "fuse.fusefat") {
    facts.renumbers_files = true;
    facts.confirms_flushes = false;
  } else if (entry.type == "fuseblk") {
    facts.renumbers_files = FuseblkRenumbers(entry.source, calls);
  } else {
    facts.renumbers_files = entry.type.find("fat") != std::string::npos;
  }
  return facts;
}

// The path of `real` (resolved, below the mount point of `entry`) from the
// root of its drive, so that two mounts of one card give one path.
std::string PathFromDriveRoot(const MountEntry& entry, const std::string& real) {
  std::string rest = entry.mount_point == "/"
                         ? real
                         : real.substr(entry.mount_point.size());
  if (entry.root == "/") return rest.empty() ? "/" : rest;
  return entry.root + rest;
}

// statfs's magic number of the drive holding `path`, or of the nearest folder
// above it that exists; 0 when none can be asked.
unsigned long FileSystemMagic(const std::string& path, std::string& existing,
                              SystemCalls& calls) {
  existing = path;
  unsigned long magic = 0;
  while (calls.FileSystemType(existing, magic) != 0) {
    const std::string parent = ParentFolder(existing);
    if (parent == existing || parent.empty()) return 0;
    existing = parent;
  }
  return magic;
}

}  // namespace

std::string UnescapedMountField(std::string_view field) {
  std::string text;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size() &&
        std::all_of(field.begin() + i + 1, field.begin() + i + 4,
                    [](char c) { return c >= '0' && c <= '7'; })) {
      text += static_cast<char>((field[i + 1] - '0') * 64 +
                                (field[i + 2] - '0') * 8 + (field[i + 3] - '0'));
      i += 3;
    } else {
      text += field[i];
    }
  }
  return text;
}

bool MountEntryOf(std::uint64_t device, const std::string& path,
                  MountEntry& entry, SystemCalls& calls) {
  constexpr std::size_t kMaxMountTable = 16 << 20;
  std::string table;
  if (ReadFileUpTo("/proc/self/mountinfo", kMaxMountTable, table, calls) !=
      ReadOutcome::kRead)
    return false;
  bool found = false;
  for (std::size_t start = 0; start < table.size();) {
    std::size_t end = table.find('\n', start);
    if (end == std::string::npos) end = table.size();
    const std::string_view line(table.data() + start, end - start);
    start = end + 1;
    unsigned major_number = 0, minor_number = 0;
    const std::vector<std::string_view> fields = Fields(line);
    std::size_t dash = 0;
    while (dash < fields.size() && fields[dash] != "-") ++dash;
    if (fields.size() < 5 || dash + 2 >= fields.size() ||
        std::sscanf(std::string(fields[2]).c_str(), "%u:%u", &major_number,
                    &minor_number) != 2 ||
        makedev(major_number, minor_number) != device)
      continue;
    std::string mount_point = UnescapedMountField(fields[4]);
    if (!PathHolds(mount_point, path) ||
        (found && mount_point.size() < entry.mount_point.size()))
      continue;
    entry = {std::string(fields[dash + 1]), UnescapedMountField(fields[dash + 2]),
             std::move(mount_point), UnescapedMountField(fields[3])};
    found = true;
  }
  return found;
}

DriveFacts DriveFactsOf(const std::string& path, SystemCalls& calls) {
  std::string existing;
  const unsigned long magic = FileSystemMagic(path, existing, calls);
  if (magic == kMsdosMagic || magic == kExfatMagic) return {true, true};
  struct stat st;
  std::string real;
  MountEntry entry;
  if (magic == kFuseMagic && calls.Stat(existing, st) == 0 &&
      calls.RealPath(existing, real) == 0 &&
      MountEntryOf(st.st_dev, real, entry, calls))
    return FuseDriveFacts(entry, calls);
  return DriveFacts();
}

std::uint64_t FatPathKey(std::string_view path_from_root) {
  std::string folded(path_from_root);
  for (char& c : folded) c = AsciiUpper(c);
  // Never 0, which stands for "unknown".
  return std::hash<std::string>()(folded) | 1;
}

std::uint64_t PathKeyOf(const struct stat& status, const std::string& path,
                        SystemCalls& calls) {
  std::string existing;
  const unsigned long magic = FileSystemMagic(path, existing, calls);
  if (magic != kMsdosMagic && magic != kExfatMagic && magic != kFuseMagic)
    return 0;
  // One look at the mount table: whether a FUSE drive renumbers, and where
  // the drive's root is.
  const std::string real = ResolvedPath(path, calls);
  MountEntry entry;
  const bool mounted =
      MountEntryOf(static_cast<std::uint64_t>(status.st_dev), real, entry, calls);
  if (magic == kFuseMagic &&
      !(mounted && FuseDriveFacts(entry, calls).renumbers_files))
    return 0;
  return FatPathKey(mounted ? PathFromDriveRoot(entry, real) : real);
}

FileIdentity IdentityOf(const struct stat& status, const std::string& path,
                        SystemCalls& calls) {
  FileIdentity identity = InodeIdentity(status);
  identity.path_key = PathKeyOf(status, path, calls);
  return identity;
}

FolderIdentities::FolderIdentities(std::string folder, SystemCalls& calls)
    : calls_(calls), folder_(std::move(folder)) {}

FileIdentity FolderIdentities::Of(const struct stat& status,
                                  std::string_view name) {
  if (!resolved_) Resolve();
  const auto device = static_cast<std::uint64_t>(status.st_dev);
  // A link to another drive, or a drive mounted on a folder here: its own
  // path tells.
  if (device != device_)
    return IdentityOf(status, JoinPath(folder_, name), calls_);
  FileIdentity identity = InodeIdentity(status);
  if (renumbers_) identity.path_key = FatPathKey(JoinPath(real_folder_, name));
  return identity;
}

void FolderIdentities::Resolve() {
  resolved_ = true;
  struct stat st;
  if (calls_.Stat(folder_, st) != 0) return;
  device_ = st.st_dev;
  renumbers_ = DriveFactsOf(folder_, calls_).renumbers_files;
  if (!renumbers_) return;
  real_folder_ = ResolvedPath(folder_, calls_);
  MountEntry entry;
  if (MountEntryOf(device_, real_folder_, entry, calls_))
    real_folder_ = PathFromDriveRoot(entry, real_folder_);
}

}  // namespace kuronel
