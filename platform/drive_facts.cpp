#include "platform/drive_facts.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <charconv>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <utility>

#include "platform/file_io.h"
#include "platform/path.h"

namespace kuronel {
namespace {

// statfs's magic numbers (linux/magic.h).
constexpr unsigned long kMsdosMagic = 0x4d44;
constexpr unsigned long kExfatMagic = 0x2011BAB0;
constexpr unsigned long kFuseMagic = 0x65735546;
constexpr unsigned long kExt4Magic = 0xEF53;
constexpr unsigned long kBtrfsMagic = 0x9123683E;

// Whether the drive's names are wanted (identity), or only its trust (a
// read-back, which need not read an up-case table).
enum class Ask { kEverything, kTrustOnly };

// What the first sector of a drive's device says it holds.
DriveKind KindOfBootSector(std::string_view sector) {
  if (sector.size() < 512) return DriveKind::kUnknown;
  if (sector.substr(3, 8) == "EXFAT   ") return DriveKind::kExfat;
  if (sector.substr(3, 8) == "NTFS    ") return DriveKind::kNtfs;
  const bool signed_sector = sector.substr(510, 2) == "\x55\xAA";
  if (signed_sector &&
      (sector.substr(0x36, 5) == "FAT12" || sector.substr(0x36, 5) == "FAT16" ||
       sector.substr(0x52, 5) == "FAT32"))
    return DriveKind::kFat;
  return DriveKind::kUnknown;
}

// The names of a FAT drive, and of an exFAT drive whose own table cannot be
// read, fold as every FAT and exFAT drive folds them.
std::shared_ptr<const UpcaseTable> AsciiFolding() {
  static const auto table =
      std::make_shared<const UpcaseTable>(UpcaseTable::AsciiOnly());
  return table;
}

// The exFAT drive's own up-case table, when its device can be read. Tables
// are kept by device and volume serial number (which formatting draws
// anew): a drive's identities are asked for file after file.
std::shared_ptr<const UpcaseTable> ExfatFolding(int device,
                                                SystemCalls& calls) {
  static std::mutex mutex;
  static std::map<std::pair<std::uint64_t, std::string>,
                  std::shared_ptr<const UpcaseTable>>
      tables;
  struct stat st;
  std::string serial(4, '\0');
  if (device < 0 || calls.FileStat(device, st) != 0 ||
      calls.ReadAt(device, serial.data(), serial.size(), 100) != 4)
    return AsciiFolding();
  const auto key = std::make_pair(std::uint64_t{st.st_rdev}, serial);
  {
    const std::lock_guard<std::mutex> lock(mutex);
    const auto known = tables.find(key);
    if (known != tables.end()) return known->second;
  }
  UpcaseTable table;
  if (!ReadExfatUpcaseTable(device, table, calls)) return AsciiFolding();
  auto shared = std::make_shared<const UpcaseTable>(std::move(table));
  const std::lock_guard<std::mutex> lock(mutex);
  tables[key] = shared;
  return shared;
}

// What a FUSE drive is: only its device's boot sector tells, whatever the
// drive is called in the mount table. Its driver is trusted only for the
// kinds whose drivers are known to write their device when they flush
// (exfat-fuse, ntfs-3g), and only on a block device whose cache the
// read-back can drop.
DriveFacts FuseDriveFacts(const MountEntry& entry, Ask ask,
                          SystemCalls& calls) {
  DriveFacts facts;
  facts.kind = DriveKind::kUnknown;
  UniqueFd device(
      calls.Open(entry.source, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK),
      calls);
  std::string sector(512, '\0');
  struct stat st;
  const bool read =
      device.valid() && calls.ReadAt(device.get(), sector.data(), sector.size(),
                                     0) == static_cast<ssize_t>(sector.size());
  if (read) facts.kind = KindOfBootSector(sector);
  const bool block_device =
      read && calls.FileStat(device.get(), st) == 0 && S_ISBLK(st.st_mode);
  const bool trusted =
      facts.kind == DriveKind::kExfat || facts.kind == DriveKind::kNtfs;
  facts.flushes_durable = trusted;
  facts.read_back_reaches_medium = trusted && block_device;
  if (facts.read_back_reaches_medium) facts.cached_device = entry.source;
  // NTFS keeps its file numbers; every other FUSE drive is known by paths.
  facts.renumbers_files = facts.kind != DriveKind::kNtfs;
  if (ask == Ask::kTrustOnly) return facts;
  if (facts.kind == DriveKind::kExfat) {
    facts.folds_names = ExfatFolding(device.get(), calls);
  } else if (facts.kind == DriveKind::kFat || entry.type == "fuse.fusefat") {
    facts.folds_names = AsciiFolding();
  }
  return facts;
}

// ext4's options as the drive has them, its defaults included (the mount
// table leaves out those its superblock sets).
std::string Ext4Options(const MountEntry& entry, SystemCalls& calls) {
  std::string options;
  const std::string name = entry.source.substr(entry.source.rfind('/') + 1);
  if (entry.source.starts_with("/dev/") && !name.empty() &&
      ReadFileUpTo("/proc/fs/ext4/" + name + "/options", 1 << 16, options,
                   calls) == ReadOutcome::kRead)
    return options;
  return entry.options;
}

// The facts of a drive of the kernel's own file system `magic`.
DriveFacts KernelDriveFacts(unsigned long magic, const MountEntry* entry,
                            Ask ask, SystemCalls& calls) {
  DriveFacts facts;
  if (magic == kMsdosMagic || magic == kExfatMagic) {
    facts.kind = magic == kMsdosMagic ? DriveKind::kKernel : DriveKind::kExfat;
    facts.renumbers_files = true;
    facts.folds_names = AsciiFolding();
    if (magic == kExfatMagic && entry != nullptr && ask == Ask::kEverything) {
      UniqueFd device(calls.Open(entry->source,
                                 O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK),
                      calls);
      facts.folds_names =
          ExfatFolding(device.valid() ? device.get() : -1, calls);
    }
  }
  // data=journal serves even O_DIRECT reads from pages the journal holds
  // until it writes them home; btrfs serves small files from its cached
  // tree: no read-back there reaches the medium.
  if (magic == kBtrfsMagic ||
      (magic == kExt4Magic &&
       (entry == nullptr ||
        HasMountOption(Ext4Options(*entry, calls), "data=journal"))))
    facts.read_back_reaches_medium = false;
  return facts;
}

// statfs's magic number of the drive holding `path`, or of the nearest folder
// above it that exists; 0 when none can be asked.
unsigned long FileSystemMagic(const std::string& path, std::string& existing,
                              SystemCalls& calls) {
  unsigned long magic = 0;
  const std::optional<std::string> asked =
      NearestPathWhere(path, [&](const std::string& folder) {
        return calls.FileSystemType(folder, magic) == 0;
      });
  if (!asked) return 0;
  existing = *asked;
  return magic;
}

// The drive's facts, and its mount entry when one was looked up
// (`entry.device` 0 otherwise). The mount table is read only for drives
// whose facts depend on it.
DriveFacts AskDrive(const std::string& path, Ask ask, MountEntry& entry,
                    SystemCalls& calls) {
  std::string existing;
  const unsigned long magic = FileSystemMagic(path, existing, calls);
  struct stat st;
  std::string real;
  if (magic == 0 || calls.Stat(existing, st) != 0) return DriveFacts();
  // A read-back asks only what a FUSE drive's device is.
  const bool needs_mount =
      magic == kFuseMagic ||
      (ask == Ask::kEverything &&
       (magic == kExt4Magic || magic == kExfatMagic || magic == kMsdosMagic));
  const bool mounted = needs_mount && calls.RealPath(existing, real) == 0 &&
                       MountEntryOf(st.st_dev, real, entry, calls);
  if (!mounted) entry = MountEntry();
  DriveFacts facts;
  if (magic == kFuseMagic) {
    // A FUSE drive missing from the mount table is one nobody can tell.
    facts = mounted ? FuseDriveFacts(entry, ask, calls)
                    : FuseDriveFacts(MountEntry(), ask, calls);
  } else {
    facts = KernelDriveFacts(magic, mounted ? &entry : nullptr, ask, calls);
  }
  facts.device = st.st_dev;
  return facts;
}

// The path of `real` (resolved, below the mount point of `entry`) from the
// root of its drive, so that two mounts of one card give one path.
std::string PathFromDriveRoot(const MountEntry& entry,
                              const std::string& real) {
  std::string rest =
      entry.mount_point == "/" ? real : real.substr(entry.mount_point.size());
  if (entry.root == "/") return rest.empty() ? "/" : rest;
  return entry.root + rest;
}

}  // namespace

DriveFacts DriveFactsOf(const std::string& path, SystemCalls& calls) {
  struct stat st;
  if (DriveMemo* memo = DriveMemo::Current();
      memo != nullptr && calls.Stat(path, st) == 0)
    return memo->Drive(st.st_dev, path, calls);
  MountEntry entry;
  return AskDrive(path, Ask::kEverything, entry, calls);
}

namespace {
thread_local DriveMemo* current_memo = nullptr;
}  // namespace

DriveMemo::DriveMemo() : outer_(current_memo) { current_memo = this; }

DriveMemo::~DriveMemo() { current_memo = outer_; }

DriveMemo* DriveMemo::Current() { return current_memo; }

const FolderKeys& DriveMemo::Folder(const std::string& folder,
                                    SystemCalls& calls) {
  const auto known = folders_.find(folder);
  if (known != folders_.end()) return known->second;
  return folders_.emplace(folder, KeysOfFolder(folder, calls)).first->second;
}

const DriveFacts& DriveMemo::Drive(std::uint64_t device,
                                   const std::string& path,
                                   SystemCalls& calls) {
  const auto known = drives_.find(device);
  if (known != drives_.end()) return known->second;
  MountEntry entry;
  return drives_.emplace(device, AskDrive(path, Ask::kEverything, entry, calls))
      .first->second;
}

int DropDeviceCache(const DriveFacts& facts, SystemCalls& calls) {
  if (facts.cached_device.empty()) return 0;
  UniqueFd device(calls.Open(facts.cached_device,
                             O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK),
                  calls);
  if (!device.valid()) return errno;
  return calls.Advise(device.get(), 0, 0, POSIX_FADV_DONTNEED);
}

int DropDeviceCacheOf(const std::string& path, SystemCalls& calls) {
  MountEntry entry;
  return DropDeviceCache(AskDrive(path, Ask::kTrustOnly, entry, calls), calls);
}

bool KernelReleaseAtLeast(std::string_view release, int major, int minor) {
  int have_major = 0, have_minor = 0;
  const char* end = release.data() + release.size();
  const auto major_end = std::from_chars(release.data(), end, have_major);
  if (major_end.ec != std::errc()) return false;
  if (major_end.ptr == end || *major_end.ptr != '.' ||
      std::from_chars(major_end.ptr + 1, end, have_minor).ec != std::errc())
    return have_major > major;
  return have_major > major || (have_major == major && have_minor >= minor);
}

std::uint64_t DrivePathKey(std::string_view path_from_root,
                           const UpcaseTable* folds) {
  const std::string key = folds != nullptr ? FoldedName(path_from_root, *folds)
                                           : std::string(path_from_root);
  // Never 0, which stands for "unknown".
  return std::hash<std::string>()(key) | 1;
}

std::uint64_t PathKeyOf(const struct stat& status, const std::string& path,
                        SystemCalls& calls) {
  if (DriveMemo* memo = DriveMemo::Current()) {
    const FolderKeys& folder = memo->Folder(ParentFolder(path), calls);
    // A drive mounted on a folder, or a link to another drive: asked below.
    if (folder.device == static_cast<std::uint64_t>(status.st_dev))
      return PathKeyIn(folder, BaseName(path));
  }
  std::string existing;
  const unsigned long magic = FileSystemMagic(path, existing, calls);
  if (magic != kMsdosMagic && magic != kExfatMagic && magic != kFuseMagic)
    return 0;
  const std::string real = ResolvedPath(path, calls);
  MountEntry entry;
  const DriveFacts facts = AskDrive(path, Ask::kEverything, entry, calls);
  if (!facts.renumbers_files ||
      facts.device != static_cast<std::uint64_t>(status.st_dev))
    return 0;
  const bool mounted = entry.device != 0 && PathHolds(entry.mount_point, real);
  return DrivePathKey(mounted ? PathFromDriveRoot(entry, real) : real,
                      facts.folds_names.get());
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
  if (!resolved_) {
    keys_ = KeysOfFolder(folder_, calls_);
    resolved_ = true;
  }
  // A link to another drive, or a drive mounted on a folder here: its own
  // path tells.
  if (static_cast<std::uint64_t>(status.st_dev) != keys_.device)
    return IdentityOf(status, JoinPath(folder_, name), calls_);
  FileIdentity identity = InodeIdentity(status);
  identity.path_key = PathKeyIn(keys_, name);
  return identity;
}

FolderKeys KeysOfFolder(const std::string& folder, SystemCalls& calls) {
  FolderKeys keys;
  struct stat st;
  if (calls.Stat(folder, st) != 0) return keys;
  keys.device = st.st_dev;
  MountEntry entry;
  const DriveFacts facts = AskDrive(folder, Ask::kEverything, entry, calls);
  keys.by_path = facts.renumbers_files && facts.device == keys.device;
  if (!keys.by_path) return keys;
  const std::string real = ResolvedPath(folder, calls);
  const bool mounted =
      entry.device == keys.device && PathHolds(entry.mount_point, real);
  keys.from_root = mounted ? PathFromDriveRoot(entry, real) : real;
  keys.folds = facts.folds_names;
  return keys;
}

std::uint64_t PathKeyIn(const FolderKeys& folder, std::string_view name) {
  if (!folder.by_path) return 0;
  return DrivePathKey(JoinPath(folder.from_root, name), folder.folds.get());
}

}  // namespace kuronel
