// kuronel-power-cut-drive: a FUSE drive over a backing folder that can lose
// its power. Everything is written through to the backing folder at once,
// but the drive remembers what a power cut would take back:
//   - a file's data, size, permissions and times as they were at its last
//     fsync (a new file: empty), until the file is fsynced again (fdatasync:
//     data and size only);
//   - each name added in a folder (create, mkdir, link) and each rename, until
//     an fsync of that folder (a rename: of both its folders).
// A cut undoes those names newest first and puts back the remembered data,
// leaving the backing folder as a disk that lost its power would be; from
// then on every request fails with EIO, until the drive is unmounted.
// Removals (unlink, rmdir, the target a rename replaces) are never taken
// back: a disk may write them out at any moment, and a program must not
// count on one waiting for a copy's data. That is the worst case for the
// photos: a source's delete reached the disk, its copy did not.
//
// Usage: kuronel-power-cut-drive [OPTION...] BACKING MOUNTPOINT
//   --cut=WHEN:KIND:N[:PATTERN]  cuts the power before or after the Nth
//       change of KIND (create mkdir link rename unlink rmdir chmod chown
//       utimens write truncate fsync fsyncdir, or any) on a path matching
//       the shell pattern (default "*"; relative to the drive's root; for
//       link and rename the new name).
//   --corrupt-writes=N[:PATTERN]  alters one byte of every Nth write.
//   --corrupt-reads=N[:PATTERN]   alters one byte of every Nth read.
//   --separate-top-folders  each folder at the root is a drive of its own:
//       a rename or link between two of them fails with EXDEV.
//   --close-fault=KIND:N[:PATTERN]  spoils every Nth close of a file that
//       was written through the descriptor closed (FUSE's flush, which
//       close(2) waits for): KIND "empty" empties the file and the close
//       fails with EIO; "short" cuts the file's last byte and the close
//       succeeds.
// Writing "now" to /.power-cut cuts at once; writing a --cut value there
// sets a new trigger. The drive runs single-threaded, in the foreground, and
// prints one line on standard output for each cut and corruption, and
// "unmounted after N changes" when it ends.
#define FUSE_USE_VERSION 35
#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <ftw.h>
#include <fuse.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr char kControlPath[] = "/.power-cut";
constexpr uint64_t kControlHandle = ~uint64_t{0};

const char* const kKinds[] = {
    "create", "mkdir",   "link",  "rename",   "unlink", "rmdir",   "chmod",
    "chown",  "utimens", "write", "truncate", "fsync",  "fsyncdir"};

// "Every Nth operation on a path matching PATTERN", counted.
struct EveryNth {
  long every = 0;  // 0: never
  std::string pattern = "*";
  long seen = 0;

  bool Parse(const std::string& text) {
    const size_t colon = text.find(':');
    every = std::atol(text.substr(0, colon).c_str());
    if (colon != std::string::npos) pattern = text.substr(colon + 1);
    return every > 0;
  }
  bool Strikes(const std::string& path) {
    return every > 0 && fnmatch(pattern.c_str(), path.c_str() + 1, 0) == 0 &&
           ++seen % every == 0;
  }
};

struct Trigger {
  bool armed = false;
  bool before = false;
  std::string kind;  // a name of kKinds, or "any"
  EveryNth nth;

  bool Parse(const std::string& text) {
    const size_t first = text.find(':'), second = text.find(':', first + 1);
    if (second == std::string::npos) return false;
    const std::string when = text.substr(0, first);
    kind = text.substr(first + 1, second - first - 1);
    before = when == "before";
    bool known = kind == "any";
    for (const char* name : kKinds) known = known || kind == name;
    armed = known && (before || when == "after") &&
            nth.Parse(text.substr(second + 1));
    nth.every = armed ? nth.every : 0;
    return armed;
  }
};

// A name this drive added or moved since its folder was last fsynced.
struct NameChange {
  bool renamed = false;  // else added
  std::string path;      // the name it has now
  std::string old_path;  // a rename's former name
  ino_t inode = 0;       // what the name stands for
  std::set<std::string> unsynced_folders;
};

constexpr off_t kBlock = 4096;

// What a file held at its last fsync, as far as it changed since: its size
// and the blocks written over (so that a disk image costs only what changed).
struct DurableFile {
  int fd = -1;                // keeps the file reachable when its names change
  std::optional<off_t> size;  // set once its data changed
  std::map<off_t, std::string> blocks;  // block number -> bytes at the fsync
  std::optional<struct stat> attributes;
};

std::string ParentOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == 0 ? "/" : path.substr(0, slash);
}

// "card" for "/card/DCIM/IMG.JPG" and for "/card".
std::string TopFolderOf(const std::string& path) {
  const size_t end = path.find('/', 1);
  return path.substr(1, end == std::string::npos ? end : end - 1);
}

// Goes on past what cannot be removed.
int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) {
  remove(path);
  return 0;
}

void RemoveTree(const std::string& path) {
  nftw(path.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
}

// What --close-fault does to a written file at its close.
struct CloseFault {
  bool empties = false;  // else it cuts the last byte
  EveryNth nth;

  bool Parse(const std::string& text) {
    const size_t colon = text.find(':');
    const std::string kind = text.substr(0, colon);
    empties = kind == "empty";
    return (empties || kind == "short") && colon != std::string::npos &&
           nth.Parse(text.substr(colon + 1));
  }
};

class PowerCutDrive {
 public:
  std::string backing;
  Trigger trigger;
  EveryNth corrupt_writes, corrupt_reads;
  CloseFault close_fault;
  bool separate_top_folders = false;
  // The open descriptors that something was written through.
  std::set<uint64_t> written_handles;

  std::string Backing(const std::string& path) const { return backing + path; }

  // Runs one change of `kind` on `path`, cutting the power before or after
  // it when the trigger says so.
  template <typename Change>
  int Do(const char* kind, const std::string& path, Change change) {
    if (cut_) return -EIO;
    ++changes_;
    const bool strikes = trigger.armed &&
                         (trigger.kind == "any" || trigger.kind == kind) &&
                         trigger.nth.Strikes(path);
    const std::string where = std::string(kind) + " #" +
                              std::to_string(trigger.nth.seen) + " " + path;
    if (strikes && trigger.before) return Cut("before " + where);
    const int result = change();
    if (strikes) return Cut("after " + where);
    return result;
  }

  bool Off() const { return cut_; }

  int Cut(const std::string& reason) {
    size_t names = 0;
    for (auto change = names_.rbegin(); change != names_.rend(); ++change) {
      if (!change->unsynced_folders.empty()) names += Undo(*change);
    }
    for (auto& [inode, file] : durable_) Restore(file);
    std::printf(
        "cut %s after %ld changes: %zu names undone, %zu files rolled back\n",
        reason.c_str(), changes_, names, durable_.size());
    std::fflush(stdout);
    names_.clear();
    durable_.clear();
    cut_ = true;
    return -EIO;
  }

  // A new name in a folder, or a rename: lost until fsyncdir.
  void NoteName(const std::string& path, const std::string& old_path = "") {
    struct stat st;
    if (lstat(Backing(path).c_str(), &st) != 0) return;
    NameChange change{
        !old_path.empty(), path, old_path, st.st_ino, {ParentOf(path)}};
    if (change.renamed) change.unsynced_folders.insert(ParentOf(old_path));
    names_.push_back(change);
  }

  void FolderSynced(const std::string& folder) {
    for (NameChange& change : names_) change.unsynced_folders.erase(folder);
  }

  // Remembers a regular file's permissions and times before they first
  // change after its last fsync.
  DurableFile* BeforeAttributes(int fd, struct stat& st) {
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return nullptr;
    DurableFile& file = durable_[st.st_ino];
    if (file.fd < 0) {
      // Reopened for reading and writing, whatever `fd` was opened for.
      const std::string self = "/proc/self/fd/" + std::to_string(fd);
      file.fd = open(self.c_str(), O_RDWR | O_CLOEXEC);
    }
    if (!file.attributes) file.attributes = st;
    return &file;
  }

  // Remembers the size and the blocks of bytes [from, to) before they first
  // change after the file's last fsync; `created`: it held nothing durable.
  void BeforeData(int fd, off_t from, off_t to, bool created = false) {
    struct stat st;
    DurableFile* file = BeforeAttributes(fd, st);
    if (file == nullptr) return;
    if (!file->size) file->size = created ? 0 : st.st_size;
    for (off_t block = from / kBlock;
         block * kBlock < std::min(to, *file->size); ++block) {
      if (file->blocks.contains(block)) continue;
      std::string bytes(kBlock, '\0');
      const ssize_t got = pread(file->fd, bytes.data(), kBlock, block * kBlock);
      bytes.resize(got > 0 ? static_cast<size_t>(got) : 0);
      file->blocks.emplace(block, std::move(bytes));
    }
  }

  void FileSynced(int fd, bool data_only) {
    struct stat st;
    auto found =
        fstat(fd, &st) == 0 ? durable_.find(st.st_ino) : durable_.end();
    if (found == durable_.end()) return;
    found->second.size.reset();
    found->second.blocks.clear();
    if (!data_only) found->second.attributes.reset();
    if (found->second.size || found->second.attributes) return;
    close(found->second.fd);
    durable_.erase(found);
  }

  void Report(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
  }

  long changes() const { return changes_; }

 private:
  // Takes back one name change; 1 when it found the name to take back.
  size_t Undo(const NameChange& change) {
    const std::string now = Backing(change.path);
    struct stat st;
    if (lstat(now.c_str(), &st) != 0 || st.st_ino != change.inode) return 0;
    if (change.renamed &&
        renameat2(AT_FDCWD, now.c_str(), AT_FDCWD,
                  Backing(change.old_path).c_str(), RENAME_NOREPLACE) == 0)
      return 1;
    // An added name, or a rename whose old name was taken for good since:
    // what the name held had no other durable name.
    if (S_ISDIR(st.st_mode))
      RemoveTree(now);
    else
      unlink(now.c_str());
    return 1;
  }

  static void Restore(DurableFile& file) {
    if (file.fd < 0) return;
    if (file.size) {
      // The blocks first: one may reach past the size.
      for (const auto& [block, bytes] : file.blocks) {
        if (pwrite(file.fd, bytes.data(), bytes.size(), block * kBlock) < 0)
          std::perror("power-cut-drive: restore");
      }
      if (ftruncate(file.fd, *file.size) != 0)
        std::perror("power-cut-drive: restore");
    }
    if (file.attributes) {
      fchmod(file.fd, file.attributes->st_mode & 07777);
      const struct timespec times[2] = {file.attributes->st_atim,
                                        file.attributes->st_mtim};
      futimens(file.fd, times);
    }
    close(file.fd);
  }

  bool cut_ = false;
  long changes_ = 0;
  std::vector<NameChange> names_;
  std::map<ino_t, DurableFile> durable_;
};

PowerCutDrive drive;

int Errno(int result) { return result < 0 ? -errno : 0; }

bool IsControl(const char* path) {
  return std::strcmp(path, kControlPath) == 0;
}

// Two paths on "drives" that a rename or link cannot join.
bool OnSeparateDrives(const char* from, const char* to) {
  return drive.separate_top_folders && TopFolderOf(from) != TopFolderOf(to);
}

void* Init(struct fuse_conn_info*, struct fuse_config* config) {
  config->use_ino = 1;  // the program tells files apart by inode number
  config->hard_remove = 1;
  // The kernel asks every time: nothing it cached outlives a change or a cut.
  config->entry_timeout = 0;
  config->attr_timeout = 0;
  config->negative_timeout = 0;
  return nullptr;
}

int GetAttr(const char* path, struct stat* st, struct fuse_file_info* info) {
  if (drive.Off()) return -EIO;
  if (IsControl(path)) {
    *st = {};
    st->st_mode = S_IFREG | 0600;
    st->st_nlink = 1;
    return 0;
  }
  if (info != nullptr && info->fh != kControlHandle)
    return Errno(fstat(static_cast<int>(info->fh), st));
  return Errno(lstat(drive.Backing(path).c_str(), st));
}

int ReadLink(const char* path, char* buffer, size_t size) {
  if (drive.Off()) return -EIO;
  const ssize_t got = readlink(drive.Backing(path).c_str(), buffer, size - 1);
  if (got < 0) return -errno;
  buffer[got] = '\0';
  return 0;
}

int MakeDirectory(const char* path, mode_t mode) {
  return drive.Do("mkdir", path, [&] {
    const int result = Errno(mkdir(drive.Backing(path).c_str(), mode));
    if (result == 0) drive.NoteName(path);
    return result;
  });
}

int Unlink(const char* path) {
  return drive.Do("unlink", path,
                  [&] { return Errno(unlink(drive.Backing(path).c_str())); });
}

int RemoveDirectory(const char* path) {
  return drive.Do("rmdir", path,
                  [&] { return Errno(rmdir(drive.Backing(path).c_str())); });
}

int Rename(const char* from, const char* to, unsigned int flags) {
  return drive.Do("rename", to, [&] {
    if (OnSeparateDrives(from, to)) return -EXDEV;
    if ((flags & ~RENAME_NOREPLACE) != 0) return -EINVAL;
    const int result =
        Errno(renameat2(AT_FDCWD, drive.Backing(from).c_str(), AT_FDCWD,
                        drive.Backing(to).c_str(), flags));
    if (result == 0) drive.NoteName(to, from);
    return result;
  });
}

int Link(const char* from, const char* to) {
  return drive.Do("link", to, [&] {
    if (OnSeparateDrives(from, to)) return -EXDEV;
    const int result =
        Errno(link(drive.Backing(from).c_str(), drive.Backing(to).c_str()));
    if (result == 0) drive.NoteName(to);
    return result;
  });
}

// Before a change of the permissions or times of `path`.
void RememberAttributes(const char* path, struct fuse_file_info* info) {
  const int fd = info != nullptr ? dup(static_cast<int>(info->fh))
                                 : open(drive.Backing(path).c_str(),
                                        O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return;
  struct stat st;
  drive.BeforeAttributes(fd, st);
  close(fd);
}

int ChangeMode(const char* path, mode_t mode, struct fuse_file_info* info) {
  return drive.Do("chmod", path, [&] {
    RememberAttributes(path, info);
    return Errno(fchmodat(AT_FDCWD, drive.Backing(path).c_str(), mode, 0));
  });
}

int ChangeOwner(const char* path, uid_t owner, gid_t group,
                struct fuse_file_info*) {
  return drive.Do("chown", path, [&] {
    return Errno(lchown(drive.Backing(path).c_str(), owner, group));
  });
}

int Truncate(const char* path, off_t size, struct fuse_file_info* info) {
  if (IsControl(path)) return drive.Off() ? -EIO : 0;
  return drive.Do("truncate", path, [&] {
    const int fd = info != nullptr ? dup(static_cast<int>(info->fh))
                                   : open(drive.Backing(path).c_str(),
                                          O_WRONLY | O_CLOEXEC);
    if (fd < 0) return -errno;
    drive.BeforeData(fd, size, std::numeric_limits<off_t>::max());
    const int result = Errno(ftruncate(fd, size));
    close(fd);
    return result;
  });
}

int SetTimes(const char* path, const struct timespec times[2],
             struct fuse_file_info* info) {
  if (IsControl(path)) return drive.Off() ? -EIO : 0;
  return drive.Do("utimens", path, [&] {
    RememberAttributes(path, info);
    return Errno(utimensat(AT_FDCWD, drive.Backing(path).c_str(), times,
                           AT_SYMLINK_NOFOLLOW));
  });
}

int Open(const char* path, struct fuse_file_info* info) {
  if (drive.Off()) return -EIO;
  if (IsControl(path)) {
    info->fh = kControlHandle;
    return 0;
  }
  // The kernel truncates with a separate request, which is remembered.
  const int fd = open(drive.Backing(path).c_str(), info->flags & ~O_TRUNC);
  if (fd < 0) return -errno;
  info->fh = static_cast<uint64_t>(fd);
  return 0;
}

int Create(const char* path, mode_t mode, struct fuse_file_info* info) {
  return drive.Do("create", path, [&] {
    const int fd =
        open(drive.Backing(path).c_str(), info->flags | O_CREAT, mode);
    if (fd < 0) return -errno;
    info->fh = static_cast<uint64_t>(fd);
    drive.BeforeData(fd, 0, 0, true);
    drive.NoteName(path);
    return 0;
  });
}

int Read(const char* path, char* buffer, size_t size, off_t offset,
         struct fuse_file_info* info) {
  if (drive.Off()) return -EIO;
  if (info->fh == kControlHandle) return 0;
  const ssize_t got = pread(static_cast<int>(info->fh), buffer, size, offset);
  if (got < 0) return -errno;
  if (got > 0 && drive.corrupt_reads.Strikes(path)) {
    buffer[got / 2] ^= 0x20;
    drive.Report("corrupted read " + std::to_string(drive.corrupt_reads.seen) +
                 " of " + path);
  }
  return static_cast<int>(got);
}

// A write to /.power-cut: "now" cuts, a --cut value sets the trigger.
int ControlWrite(const char* data, size_t size) {
  std::string command(data, size);
  while (!command.empty() &&
         std::isspace(static_cast<unsigned char>(command.back())))
    command.pop_back();
  if (command == "now") {
    drive.Cut("by " + std::string(kControlPath));
    return static_cast<int>(size);  // the writer learns it worked
  }
  Trigger trigger;
  if (!trigger.Parse(command)) return -EINVAL;
  drive.trigger = trigger;
  return static_cast<int>(size);
}

int Write(const char* path, const char* data, size_t size, off_t offset,
          struct fuse_file_info* info) {
  if (drive.Off()) return -EIO;
  if (info->fh == kControlHandle) return ControlWrite(data, size);
  return drive.Do("write", path, [&] {
    const int fd = static_cast<int>(info->fh);
    drive.BeforeData(fd, offset, offset + static_cast<off_t>(size));
    std::string bytes(data, size);
    if (size > 0 && drive.corrupt_writes.Strikes(path)) {
      bytes[size / 2] ^= 0x20;
      drive.Report("corrupted write " +
                   std::to_string(drive.corrupt_writes.seen) + " of " + path);
    }
    const ssize_t written = pwrite(fd, bytes.data(), size, offset);
    if (written > 0) drive.written_handles.insert(info->fh);
    return written < 0 ? -errno : static_cast<int>(written);
  });
}

// Each close(2) of a descriptor; its answer is the close's.
int Flush(const char* path, struct fuse_file_info* info) {
  if (drive.Off()) return -EIO;
  if (!drive.written_handles.contains(info->fh) ||
      !drive.close_fault.nth.Strikes(path))
    return 0;
  const int fd = static_cast<int>(info->fh);
  struct stat st;
  if (fstat(fd, &st) != 0) return -errno;
  const off_t size =
      drive.close_fault.empties ? 0 : std::max<off_t>(st.st_size - 1, 0);
  drive.BeforeData(fd, size, std::numeric_limits<off_t>::max());
  if (ftruncate(fd, size) != 0) return -errno;
  drive.Report(
      std::string(drive.close_fault.empties ? "emptied" : "cut short") +
      " at close " + std::to_string(drive.close_fault.nth.seen) + ": " + path);
  return drive.close_fault.empties ? -EIO : 0;
}

int StatFs(const char* path, struct statvfs* st) {
  if (drive.Off()) return -EIO;
  return Errno(statvfs(drive.Backing(path).c_str(), st));
}

int Release(const char*, struct fuse_file_info* info) {
  drive.written_handles.erase(info->fh);
  if (info->fh != kControlHandle) close(static_cast<int>(info->fh));
  return 0;
}

int FileSync(const char* path, int data_only, struct fuse_file_info* info) {
  if (info->fh == kControlHandle) return 0;
  return drive.Do("fsync", path, [&] {
    drive.FileSynced(static_cast<int>(info->fh), data_only != 0);
    return 0;
  });
}

int FolderSync(const char* path, int, struct fuse_file_info*) {
  return drive.Do("fsyncdir", path, [&] {
    drive.FolderSynced(path);
    return 0;
  });
}

int ReadFolder(const char* path, void* buffer, fuse_fill_dir_t fill, off_t,
               struct fuse_file_info*, enum fuse_readdir_flags) {
  if (drive.Off()) return -EIO;
  DIR* dir = opendir(drive.Backing(path).c_str());
  if (dir == nullptr) return -errno;
  while (const struct dirent* entry = readdir(dir)) {
    struct stat st {};
    st.st_ino = entry->d_ino;
    st.st_mode = static_cast<mode_t>(DTTOIF(entry->d_type));
    if (fill(buffer, entry->d_name, &st, 0,
             static_cast<fuse_fill_dir_flags>(0)))
      break;
  }
  closedir(dir);
  return 0;
}

void Destroy(void*) {
  drive.Report("unmounted after " + std::to_string(drive.changes()) +
               " changes");
}

int Usage(const char* program) {
  std::fprintf(stderr,
               "usage: %s [--cut=WHEN:KIND:N[:PATTERN]] "
               "[--corrupt-writes=N[:PATTERN]] [--corrupt-reads=N[:PATTERN]] "
               "[--close-fault=empty|short:N[:PATTERN]] "
               "[--separate-top-folders] BACKING MOUNTPOINT\n",
               program);
  return 2;
}

}  // namespace

int main(int argc, char* argv[]) {
  std::vector<std::string> places;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const auto value = [&](const char* option) {
      return arg.substr(std::strlen(option));
    };
    bool ok = true;
    if (arg.starts_with("--cut="))
      ok = drive.trigger.Parse(value("--cut="));
    else if (arg.starts_with("--corrupt-writes="))
      ok = drive.corrupt_writes.Parse(value("--corrupt-writes="));
    else if (arg.starts_with("--corrupt-reads="))
      ok = drive.corrupt_reads.Parse(value("--corrupt-reads="));
    else if (arg.starts_with("--close-fault="))
      ok = drive.close_fault.Parse(value("--close-fault="));
    else if (arg == "--separate-top-folders")
      drive.separate_top_folders = true;
    else if (arg.starts_with("-"))
      ok = false;
    else
      places.push_back(arg);
    if (!ok) return Usage(argv[0]);
  }
  if (places.size() != 2) return Usage(argv[0]);
  char* backing = realpath(places[0].c_str(), nullptr);
  if (backing == nullptr) return Usage(argv[0]);
  drive.backing = std::strcmp(backing, "/") == 0 ? "" : backing;
  std::free(backing);

  struct fuse_operations operations {};
  operations.init = Init;
  operations.getattr = GetAttr;
  operations.readlink = ReadLink;
  operations.mkdir = MakeDirectory;
  operations.unlink = Unlink;
  operations.rmdir = RemoveDirectory;
  operations.rename = Rename;
  operations.link = Link;
  operations.chmod = ChangeMode;
  operations.chown = ChangeOwner;
  operations.truncate = Truncate;
  operations.utimens = SetTimes;
  operations.open = Open;
  operations.create = Create;
  operations.read = Read;
  operations.write = Write;
  operations.statfs = StatFs;
  operations.flush = Flush;
  operations.release = Release;
  operations.fsync = FileSync;
  operations.fsyncdir = FolderSync;
  operations.readdir = ReadFolder;
  operations.destroy = Destroy;

  std::vector<std::string> fuse_args = {
      argv[0],
      places[1],
      "-f",
      "-s",
      "-o",
      "default_permissions,fsname=power-cut-drive,subtype=kuronel-power-cut"};
  std::vector<char*> fuse_argv;
  fuse_argv.reserve(fuse_args.size());
  for (std::string& arg : fuse_args) fuse_argv.push_back(arg.data());
  return fuse_main(static_cast<int>(fuse_argv.size()), fuse_argv.data(),
                   &operations, nullptr);
}
