// The disk's queries, folders and flushes. Copies and their publication are
// in file_copy.cpp, hidden temporaries in temporaries.cpp, moves and deletes
// in file_removal.cpp, the read-only mark in file_attributes.cpp.
#include "platform/file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "platform/dir_listing.h"
#include "platform/drive_facts.h"

namespace kuronel {
namespace {

// Copies made whole, each when it is added.
class WholeCopyBatch : public CopyBatch {
 public:
  explicit WholeCopyBatch(FileSystem& file_system)
      : file_system_(file_system) {}

  Ticket Add(const std::string& source, const std::string& target,
             bool source_goes_next, const CopyProgress& progress) override {
    results_.push_back(file_system_.CopyFileNoReplace(
        source, target, source_goes_next, progress));
    return results_.size() - 1;
  }
  const CopyResult& Result(Ticket ticket) const override {
    return results_.at(ticket);
  }
  void Finish() override {}

 private:
  FileSystem& file_system_;
  std::vector<CopyResult> results_;
};

}  // namespace

FileResult CopyBatch::MakeFolder(const std::string& folder,
                                 FileSystem& file_system) {
  return file_system.CreateDirectories(folder);
}

std::unique_ptr<CopyBatch> FileSystem::NewCopyBatch(bool /*mark_read_only*/) {
  return std::make_unique<WholeCopyBatch>(*this);
}

FileInfo ToFileInfo(const struct stat& st, const std::string& path,
                    SystemCalls& calls) {
  FileInfo info;
  info.device = st.st_dev;
  info.inode = st.st_ino;
  info.path_key = PathKeyOf(st, path, calls);
  info.size = static_cast<std::uint64_t>(st.st_size);
  info.modified_seconds = st.st_mtim.tv_sec;
  info.modified_nanoseconds = st.st_mtim.tv_nsec;
  return info;
}

bool RealFileSystem::FileExists(const std::string& path) {
  return KindAt(path, true, calls_) == PathKind::kFile;
}

bool RealFileSystem::NameTaken(const std::string& path) {
  return KindAt(path, false, calls_) != PathKind::kNothing;
}

bool RealFileSystem::DirectoryExists(const std::string& path) {
  return KindAt(path, true, calls_) == PathKind::kFolder;
}

FileResult RealFileSystem::CreateDirectories(const std::string& path) {
  std::vector<std::string> made_in;
  FileResult made = MakeFolders(path, made_in);
  // A copy flushed into a new folder must not lose the folder itself: a
  // folder whose name may not be on the disk is no folder to copy into.
  for (const std::string& parent : made_in)
    if (const int error = SyncFolder(calls_, parent); error != 0 && made.ok())
      made = FileResult(FileOperation::kFlush, parent, error);
  return made;
}

FileResult RealFileSystem::MakeFolders(const std::string& path,
                                       std::vector<std::string>& made_in) {
  if (path.empty())
    return FileResult(FileOperation::kCreateFolder, path,
                      FailureCause::kNoPath);
  // Each prefix ending before a "/", then the whole path.
  for (std::size_t end = path.find('/', 1);; end = path.find('/', end + 1)) {
    std::string prefix = path.substr(0, end);
    if (!prefix.empty() && prefix.back() != '/') {
      if (calls_.MakeDirectory(prefix, 0777) == 0) {
        made_in.push_back(ParentFolder(prefix));
      } else {
        const int error = errno;
        if (!DirectoryExists(prefix))
          return error == EEXIST
                     ? FileResult(FileOperation::kCreateFolder, prefix,
                                  FailureCause::kNotAFolder)
                     : FileResult(FileOperation::kCreateFolder, prefix, error);
      }
    }
    if (end == std::string::npos) break;
  }
  if (DirectoryExists(path)) return FileResult();
  return FileResult(FileOperation::kCreateFolder, path,
                    FailureCause::kNotAFolder);
}

CopyProof RealFileSystem::ProofOfCopiesOn(const std::string& path) {
  const DriveFacts facts = DriveFactsOf(path, calls_);
  if (!facts.flushes_durable) return CopyProof::kFlushNotDurable;
  if (!facts.read_back_reaches_medium) return CopyProof::kReadBackFromMemory;
  return CopyProof::kComplete;
}

bool RealFileSystem::Stat(const std::string& path, FileInfo& info) {
  struct stat st;
  if (path.empty() || calls_.Stat(path, st) != 0) return false;
  info = ToFileInfo(st, path, calls_);
  return true;
}

namespace {

// Reads up to `size` bytes, an interrupted read read again; the count read,
// short only at the end of the file, or -1.
ssize_t ReadFully(SystemCalls& calls, int fd, char* buffer, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t got = calls.Read(fd, buffer + done, size - done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return -1;
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
  }
  return static_cast<ssize_t>(done);
}

// The bytes read at a time from a file of this status: the whole file up to
// a megabyte (and one byte more, to meet its end in the same read).
std::size_t PieceSizeFor(const struct stat& st) {
  constexpr std::size_t kMostBytes = 1 << 20;
  return std::min(static_cast<std::size_t>(std::max<off_t>(st.st_size, 0)) + 1,
                  kMostBytes);
}

}  // namespace

bool RealFileSystem::SameContent(const std::string& first,
                                 const std::string& second) {
  UniqueFd a(calls_.Open(first, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK),
             calls_);
  UniqueFd b(calls_.Open(second, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK),
             calls_);
  struct stat sa, sb;
  if (!a.valid() || !b.valid() || calls_.FileStat(a.get(), sa) != 0 ||
      calls_.FileStat(b.get(), sb) != 0 || !S_ISREG(sa.st_mode) ||
      !S_ISREG(sb.st_mode) || sa.st_size != sb.st_size)
    return false;
  const std::size_t piece_size = PieceSizeFor(sa);
  std::vector<char> piece_a(piece_size), piece_b(piece_size);
  for (;;) {
    const ssize_t got_a =
        ReadFully(calls_, a.get(), piece_a.data(), piece_size);
    const ssize_t got_b =
        ReadFully(calls_, b.get(), piece_b.data(), piece_size);
    if (got_a < 0 || got_a != got_b) return false;
    if (got_a == 0) return true;
    if (!std::equal(piece_a.begin(), piece_a.begin() + got_a, piece_b.begin()))
      return false;
    // A short piece is the end of both (ReadFully reads to the end).
    if (static_cast<std::size_t>(got_a) < piece_size) return true;
  }
}

bool RealFileSystem::HashFile(const std::string& path,
                              ContentHash::Digest& digest) {
  UniqueFd fd(calls_.Open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK),
              calls_);
  struct stat st;
  if (!fd.valid() || calls_.FileStat(fd.get(), st) != 0 || !S_ISREG(st.st_mode))
    return false;
  // A photo is read in one piece; a buffer no larger than the file is
  // cheaper to make than a megabyte for each of thousands of small files.
  const std::size_t piece_size = PieceSizeFor(st);
  std::vector<char> piece(piece_size);
  ContentHash hash;
  for (;;) {
    const ssize_t got = ReadFully(calls_, fd.get(), piece.data(), piece_size);
    if (got < 0) return false;
    if (got == 0) break;
    hash.Add(std::string_view(piece.data(), static_cast<std::size_t>(got)));
    // A short piece is the end of the file (ReadFully reads to the end).
    if (static_cast<std::size_t>(got) < piece_size) break;
  }
  digest = hash.Result();
  return true;
}

std::vector<FileSystem::FolderFile> RealFileSystem::FilesIn(
    const std::string& folder) {
  std::vector<FolderFile> files;
  ListDirectory(
      folder,
      [&](const DirEntry& entry) {
        if (entry.status == nullptr || !S_ISREG(entry.status->st_mode) ||
            IsTemporaryName(entry.name))
          return;
        files.push_back({std::string(entry.name),
                         static_cast<std::uint64_t>(entry.status->st_size)});
      },
      calls_);
  return files;
}

FileResult RealFileSystem::FlushFile(const std::string& path) {
  // Read-only: the file may be read-only already. fsync needs no more, and
  // FUSE passes it on to the driver whatever the open mode.
  UniqueFd fd(calls_.Open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK),
              calls_);
  if (!fd.valid() || calls_.Sync(fd.get()) != 0)
    return FileResult(FileOperation::kFlush, path, errno);
  return FileResult();
}

FileResult RealFileSystem::FlushFolder(const std::string& path) {
  const int error = SyncFolder(calls_, path);
  if (error != 0) return FileResult(FileOperation::kFlush, path, error);
  return FileResult();
}

FileResult RealFileSystem::FileError(const std::string& path) {
  if (path.empty())
    return FileResult(FileOperation::kOpen, path, FailureCause::kNoPath);
  struct stat st;
  if (calls_.Stat(path, st) != 0)
    return FileResult(FileOperation::kOpen, path, errno);
  if (S_ISREG(st.st_mode)) return FileResult();
  return FileResult(FileOperation::kOpen, path, FailureCause::kNotAFile);
}

void RealFileSystem::ReadAheadFile(const std::string& path) {
  UniqueFd fd(calls_.Open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK),
              calls_);
  struct stat st;
  if (!fd.valid() || calls_.FileStat(fd.get(), st) != 0 || !S_ISREG(st.st_mode))
    return;
  // As much as the copy reads in one go; the rest follows as it reads.
  const off_t wanted =
      std::min<off_t>(st.st_size, static_cast<off_t>(options_.chunk_bytes));
  calls_.Advise(fd.get(), 0, wanted, POSIX_FADV_WILLNEED);
}

}  // namespace kuronel
