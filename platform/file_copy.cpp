// A copy that never replaces anything and never shows a partial file under
// its name: written into a temporary file, checked whole, flushed, and
// published with a no-replace link or rename (or, on drives with neither,
// over a reservation of the name); then read back from the drive.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/content_hash.h"
#include "platform/drive_facts.h"
#include "platform/drive_flush.h"
#include "platform/file_identity.h"
#include "platform/file_system.h"

namespace kuronel {
namespace {

// Errors of copy_file_range that mean "not between these two files", not
// "the disk failed": the copy goes on with read and write.
bool RangeCopyUnsupported(int error) {
  return error == EXDEV || error == EINVAL || error == ENOSYS ||
         error == EOPNOTSUPP || error == EPERM || error == EBADF;
}

// The device and inode of `file`, without its path key.
FileIdentity InodeOnly(const FileIdentity& file) {
  return {file.device, file.inode, 0};
}

// The answer for `folder` in `known`, asked of `ask` the first time only.
template <typename Answer, typename Ask>
Answer OncePerFolder(std::unordered_map<std::string, Answer>& known,
                     const std::string& folder, const Ask& ask) {
  const auto [entry, first] = known.try_emplace(folder);
  if (first) entry->second = ask();
  return entry->second;
}

// What O_DIRECT reads need their buffers, lengths and offsets aligned to: a
// page, which covers the sector size of every drive.
constexpr std::size_t kDirectAlignment = 4096;

std::uint64_t RoundUp(std::uint64_t count, std::uint64_t unit) {
  return (count + unit - 1) / unit * unit;
}

// A buffer for O_DIRECT reads.
struct AlignedBuffer {
  explicit AlignedBuffer(std::size_t wanted)
      : size(static_cast<std::size_t>(
            RoundUp(std::max(wanted, kDirectAlignment), kDirectAlignment))),
        bytes(static_cast<char*>(std::aligned_alloc(kDirectAlignment, size))) {}
  struct Free {
    void operator()(char* p) const { std::free(p); }
  };
  std::size_t size;
  std::unique_ptr<char, Free> bytes;
};

// The next data of the file `path`, open as `fd`, at or after `from`, and
// the hole after it: success; the read's failure with ENXIO when only a
// hole is left; or the errno of a seek that failed. An answer that makes no
// sense (data before `from`, a hole that is not after its data) fails as
// kUnsoundDataMap: nothing built on it could be trusted.
FileResult FindData(SystemCalls& calls, int fd, const std::string& path,
                    off_t from, off_t& data, off_t& hole) {
  data = calls.Seek(fd, from, SEEK_DATA);
  if (data < 0) return FileResult(FileOperation::kRead, path, errno);
  hole = calls.Seek(fd, data, SEEK_HOLE);
  if (hole < 0) return FileResult(FileOperation::kRead, path, errno);
  if (data < from || hole <= data)
    return FileResult(FileOperation::kRead, path,
                      FailureCause::kUnsoundDataMap);
  return FileResult();
}

// True for FindData's answer that only a hole is left.
bool OnlyHoleLeft(const FileResult& found) {
  return !found.ok() && found.cause() == FailureCause::kSystem &&
         found.error() == ENXIO;
}

// Reads a file back from its drive, every cache between the program and the
// device bypassed where the kernel allows it: a FUSE driver's block device's
// cached pages dropped, the file opened with O_DIRECT (where the drive
// refuses it: its own cached pages dropped). Only its data is read; holes
// are skipped (SEEK_DATA, SEEK_HOLE) and hashed by their place and length.
class DriveReader {
 public:
  DriveReader(SystemCalls& calls, std::size_t chunk_bytes)
      : calls_(calls), chunk_bytes_(chunk_bytes) {}

  // The hash by position and the length of the file at `path` as its drive
  // gives it back; only when it is still the file `expected` (device and
  // inode) and `expected_length` long is it read. Success, or the read's
  // failure (kCopyReplaced for another file at the name). `on_read` follows
  // each read. A FUSE driver reads its block device through the device's
  // own cache: dropped first (unless `device_cache` holds the errno of the
  // caller's drop after the file was flushed), the read-back reaches the
  // medium.
  FileResult Hash(const std::string& path, const FileIdentity& expected,
                  std::uint64_t expected_length, ContentHash::Digest& digest,
                  std::uint64_t& length, const std::function<void()>& on_read,
                  std::optional<int> device_cache = std::nullopt) {
    const int error =
        device_cache ? *device_cache : DropDeviceCacheOf(path, calls_);
    if (error != 0) return FileResult(FileOperation::kRead, path, error);
    FileResult read = HashOpened(path, /*direct=*/true, expected,
                                 expected_length, digest, length, on_read);
    // Drives that take no O_DIRECT (FUSE, tmpfs) refuse it at the open or
    // at the first read: read through the cache, its pages dropped first.
    if (!read.ok() && read.cause() == FailureCause::kSystem &&
        read.error() == EINVAL)
      read = HashOpened(path, /*direct=*/false, expected, expected_length,
                        digest, length, on_read);
    return read;
  }

 private:
  FileResult HashOpened(const std::string& path, bool direct,
                        const FileIdentity& expected,
                        std::uint64_t expected_length,
                        ContentHash::Digest& digest, std::uint64_t& length,
                        const std::function<void()>& on_read) {
    const int flags = O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW |
                      O_NONBLOCK | (direct ? O_DIRECT : 0);
    UniqueFd file(calls_.Open(path, flags), calls_);
    if (!file.valid()) return FileResult(FileOperation::kRead, path, errno);
    struct stat opened;
    if (calls_.FileStat(file.get(), opened) != 0)
      return FileResult(FileOperation::kRead, path, errno);
    // Somebody else's file at the name now: not the file to vouch for.
    if (!InodeIdentity(opened).SameFileAs(expected))
      return FileResult(FileOperation::kRead, path,
                        FailureCause::kCopyReplaced);
    length = static_cast<std::uint64_t>(opened.st_size);
    if (length != expected_length) return FileResult();  // differs; not read
    // The pages written are clean after the flush; dropped, the reads
    // below come from the drive, not from memory.
    if (!direct) calls_.Advise(file.get(), 0, 0, POSIX_FADV_DONTNEED);
    AlignedBuffer buffer(static_cast<std::size_t>(
        std::min<std::uint64_t>(chunk_bytes_, length)));
    // aligned_alloc says why it failed in errno (ENOMEM).
    if (!buffer.bytes) return FileResult(FileOperation::kRead, path, errno);
    ContentHash hash;
    while (hash.size() < length) {
      off_t data = 0, hole = 0;
      FileResult found = FindData(calls_, file.get(), path,
                                  static_cast<off_t>(hash.size()), data, hole);
      if (OnlyHoleLeft(found)) break;  // a hole up to the end
      if (!found.ok()) return found;
      const auto end = std::min(static_cast<std::uint64_t>(hole), length);
      hash.AddZeros(std::min(static_cast<std::uint64_t>(data), end) -
                    hash.size());
      if (FileResult read =
              HashData(path, file.get(), end, buffer, hash, on_read);
          !read.ok())
        return read;
    }
    hash.AddZeros(length - hash.size());
    digest = hash.Result();
    return FileResult();
  }

  // Reads the file's data from the hash's position up to `end` into the
  // hash; success, or the read's failure (kEndedEarly where the file ends
  // before it).
  FileResult HashData(const std::string& path, int fd, std::uint64_t end,
                      const AlignedBuffer& buffer, ContentHash& hash,
                      const std::function<void()>& on_read) {
    while (hash.size() < end) {
      // No more than the data, in whole pages as O_DIRECT wants them.
      const std::size_t wanted =
          static_cast<std::size_t>(std::min<std::uint64_t>(
              buffer.size, RoundUp(end - hash.size(), kDirectAlignment)));
      const ssize_t got = calls_.ReadAt(fd, buffer.bytes.get(), wanted,
                                        static_cast<off_t>(hash.size()));
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) return FileResult(FileOperation::kRead, path, errno);
      if (got == 0)
        return FileResult(FileOperation::kRead, path,
                          FailureCause::kEndedEarly);
      hash.Add(std::string_view(
          buffer.bytes.get(),
          static_cast<std::size_t>(std::min<std::uint64_t>(
              static_cast<std::uint64_t>(got), end - hash.size()))));
      if (on_read) on_read();
    }
    return FileResult();
  }

  SystemCalls& calls_;
  const std::size_t chunk_bytes_;
};

}  // namespace

// One copy: owns the open files and removes whatever it wrote unless the copy
// was published complete. It runs whole (Run), or in the steps of a batch
// whose copies share the drive's flushes: Write, FlushAndName, Conclude.
class RealFileSystem::CopyJob {
 public:
  CopyJob(RealFileSystem& owner, const std::string& source,
          const std::string& target, bool source_goes_next,
          CopyProgress progress, bool mark_read_only = false)
      : calls_(owner.calls_),
        options_(owner.options_),
        new_file_mode_(mark_read_only ? owner.new_file_mode_ & ~0222
                                      : owner.new_file_mode_),
        source_path_(source),
        target_(target),
        folder_(ParentFolder(target)),
        verify_(source_goes_next || owner.options_.verify_copies),
        progress_(std::move(progress)) {}

  ~CopyJob() {
    // Closed first: a FUSE drive hides a file removed while open under a
    // name of its own (.fuse_hidden...) until it is closed.
    temp_.Reset();
    if (!temp_name_.empty()) calls_.Unlink(temp_name_);
  }

  CopyResult Run() {
    if (!Write() || !FlushAndName()) return result_;
    return Conclude(SyncFolder(calls_, folder_));
  }

  // The copy written whole into its temporary file, which is all that a
  // copy does before any flush. The source is closed afterwards.
  bool Write() {
    const bool ok = OpenSource() && TargetFree() && OpenTemporary() &&
                    CopyData() && CopyAttributes();
    source_.Reset();
    buffer_.reset();
    buffer_size_ = 0;
    return ok;
  }

  // Every copy is on disk before it gets its name, and the name is made
  // durable before the copy counts: fsync of the file and of its folder,
  // which FUSE drivers pass on to the drive (syncfs they do not, and the
  // kernel reports success all the same). The written descriptor is closed
  // once the copy has its name (an unnamed copy is linked through it), and
  // before anything reads the copy back.
  bool FlushAndName() {
    return Succeeded(calls_.Sync(temp_.get()), kFlush, target_) && Name();
  }

  // The name alone, once a flush of the whole drive has put the copy on its
  // device (CopyBatch), and the written descriptor's close.
  bool Name() { return NoteWritten() && Publish() && CloseWritten(); }

  // After the flush of the copy's folder (0, or its errno): the copy counts
  // once its name is on the disk and, where asked, it read back equal.
  // `report`: progress is reported meanwhile (only from the thread that
  // runs the copies). `device_cache`: the errno of dropping the cache of
  // the copy's device after its flush, when the caller did that already.
  CopyResult Conclude(int folder_flush_error, bool report = true,
                      std::optional<int> device_cache = std::nullopt) {
    report_ = report;
    device_cache_ = device_cache;
    bool ok = NameFlushed(folder_flush_error);
    result_.flushed = ok;
    if (ok && verify_) ok = ReadBack();
    result_.verified = ok && verify_;
    result_.ok = ok;
    return result_;
  }

  // What is known so far: a failure, or a copy waiting for its flush.
  CopyResult SoFar(bool pending) const {
    CopyResult so_far = result_;
    so_far.pending = pending;
    return so_far;
  }

  const std::string& folder() const { return folder_; }

 private:
  static constexpr FileOperation kOpen = FileOperation::kOpen;
  static constexpr FileOperation kRead = FileOperation::kRead;
  static constexpr FileOperation kWrite = FileOperation::kWrite;
  static constexpr FileOperation kFlush = FileOperation::kFlush;
  static constexpr FileOperation kName = FileOperation::kName;
  static constexpr FileOperation kVerify = FileOperation::kVerify;

  // Records the failure of `operation` on `path` with `error` (and the
  // program's own cause, where the errno cannot say it); false.
  bool Fail(FileOperation operation, const std::string& path, int error,
            FailureCause cause = FailureCause::kSystem) {
    result_.failure = FileResult(operation, path, error, cause);
    return false;
  }
  // Why WriteAll failed, by the errno it left.
  static FailureCause WriteAllCause(int error) {
    return error != 0 ? FailureCause::kSystem : FailureCause::kNothingWritten;
  }
  // For a call that answers 0 or -1 with errno.
  bool Succeeded(int answer, FileOperation operation, const std::string& path) {
    return answer == 0 || Fail(operation, path, errno);
  }

  bool OpenSource() {
    // O_NONBLOCK: opening a FIFO must not wait for a writer; it is refused
    // below as anything but a regular file is. A regular file's reads do
    // not heed it.
    source_ = UniqueFd(
        calls_.Open(source_path_, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK),
        calls_);
    if (!source_.valid()) return Fail(kOpen, source_path_, errno);
    if (calls_.FileStat(source_.get(), source_stat_) != 0)
      return Fail(kRead, source_path_, errno);
    if (!S_ISREG(source_stat_.st_mode))
      return Fail(kOpen, source_path_, 0, FailureCause::kNotAFile);
    calls_.Advise(source_.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    result_.source_before = ToFileInfo(source_stat_, source_path_, calls_);
    return true;
  }

  // Saves copying gigabytes that the final no-replace step would refuse,
  // and a temporary that a FUSE drive would have to hide while it is open.
  bool TargetFree() {
    if (KindAt(target_, false, calls_) == PathKind::kNothing) return true;
    return Fail(kName, target_, 0, FailureCause::kNameTaken);
  }

  bool OpenTemporary() {
    if (options_.use_unnamed_temporary) {
      temp_ = UniqueFd(
          calls_.Open(folder_, O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600), calls_);
      if (temp_.valid()) return true;
    }
    temp_ = CreateTemporaryFile(calls_, folder_, 0600, temp_name_);
    if (!temp_.valid()) return Fail(kWrite, target_, errno);
    // Held until the file is closed, so that the clean-up of another run
    // tells this live temporary from one a killed copy left.
    calls_.Lock(temp_.get(), LOCK_EX | LOCK_NB);
    return true;
  }

  bool CopyData() {
    const std::uint64_t total = result_.source_before.size;
    const std::size_t chunk = std::max<std::size_t>(options_.chunk_bytes, 1);
    // A copy to be read back hashes the bytes as it reads them, so they
    // pass through the program; the kernel's range copy would hide them.
    bool use_range = options_.use_copy_range && !verify_;
    for (;;) {
      std::size_t this_chunk = chunk;
      const Extent next = SkipHole(this_chunk);
      if (next == Extent::kFailed) return false;
      if (next == Extent::kEnd) break;
      ReadAheadBeyond(this_chunk, total);
      ssize_t moved;
      if (use_range) {
        moved = calls_.CopyRange(source_.get(), temp_.get(), this_chunk);
        // Some file systems answer 0 instead of refusing; read and write
        // then decide where the end is.
        if ((moved < 0 && RangeCopyUnsupported(errno)) ||
            (moved == 0 && result_.bytes_copied < total)) {
          use_range = false;
          continue;
        }
        if (moved < 0 && errno != EINTR) return Fail(kWrite, target_, errno);
      } else {
        moved = ReadWriteChunk(this_chunk);
        if (moved < 0) return false;  // the failure is recorded
      }
      if (moved < 0) continue;  // interrupted: again
      if (moved == 0) break;
      result_.bytes_copied += static_cast<std::uint64_t>(moved);
      if (progress_)
        progress_(result_.bytes_copied, std::max(total, result_.bytes_copied));
    }
    return CheckWhole();
  }

  // The source unchanged since the copy began.
  bool CheckWhole() {
    struct stat after;
    if (calls_.FileStat(source_.get(), after) != 0)
      return Fail(kRead, source_path_, errno);
    result_.source_after = ToFileInfo(after, source_path_, calls_);
    if (!EndInHole(after.st_size)) return false;
    // Written to while it was read, the copy may mix old and new bytes.
    if (!result_.source_before.Unchanged(result_.source_after))
      return Fail(kRead, source_path_, 0, FailureCause::kSourceChanged);
    return true;
  }

  // Where the source's data goes on from the copy's position.
  enum class Extent { kData, kEnd, kFailed };

  // A sparse file (a movie preallocated by a camera, a disk image) is copied
  // sparse: both files are moved past a hole at the current position, and
  // `chunk` is cut at the next hole. kEnd once only holes are left. Every
  // seek must succeed: a file position that did not move as asked would put
  // the data at the wrong place in the copy.
  Extent SkipHole(std::size_t& chunk) {
    const off_t here = static_cast<off_t>(result_.bytes_copied);
    off_t data = 0, hole = 0;
    const FileResult found =
        FindData(calls_, source_.get(), source_path_, here, data, hole);
    if (OnlyHoleLeft(found)) return Extent::kEnd;
    if (!found.ok()) {
      result_.failure = found;
      return Extent::kFailed;
    }
    // The range copy moves from both file positions (reads go by offset):
    // the source's, which the questions above moved to the hole, back to
    // the data, and the copy's past the hole.
    if (calls_.Seek(source_.get(), data, SEEK_SET) != data) {
      Fail(kRead, source_path_, errno);
      return Extent::kFailed;
    }
    if (data != here) {
      if (calls_.Seek(temp_.get(), data, SEEK_SET) != data) {
        Fail(kWrite, target_, errno);
        return Extent::kFailed;
      }
      if (verify_)
        source_hash_.AddZeros(static_cast<std::uint64_t>(data - here));
      result_.bytes_copied = static_cast<std::uint64_t>(data);
    }
    chunk = static_cast<std::size_t>(std::min<std::uint64_t>(
        chunk, static_cast<std::uint64_t>(hole - data)));
    return Extent::kData;
  }

  // Asks the drive for the chunk after the one about to be copied, so that
  // a card reads it while this one is written.
  void ReadAheadBeyond(std::size_t chunk, std::uint64_t total) {
    const std::uint64_t next = result_.bytes_copied + chunk;
    if (next < total)
      calls_.Advise(source_.get(), static_cast<off_t>(next),
                    static_cast<off_t>(chunk), POSIX_FADV_WILLNEED);
  }

  // A file that ends in a hole: the copy gets the same length.
  bool EndInHole(off_t size) {
    if (static_cast<std::uint64_t>(size) <= result_.bytes_copied) return true;
    if (calls_.Truncate(temp_.get(), size) != 0)
      return Fail(kWrite, target_, errno);
    if (verify_)
      source_hash_.AddZeros(static_cast<std::uint64_t>(size) -
                            result_.bytes_copied);
    result_.bytes_copied = static_cast<std::uint64_t>(size);
    return true;
  }

  // The bytes moved (0 at the end), or -1 with the failure recorded. An
  // interrupted read is made again.
  ssize_t ReadWriteChunk(std::size_t chunk) {
    // As large as the file, up to a chunk, and not cleared: a card's small
    // files cost no chunk of memory to set up each.
    if (buffer_size_ == 0) {
      buffer_size_ = static_cast<std::size_t>(std::min<std::uint64_t>(
          chunk, std::max<std::uint64_t>(result_.source_before.size, 1)));
      buffer_ = std::make_unique_for_overwrite<char[]>(buffer_size_);
    }
    // Read at the copy's own position, which the data's place in the copy
    // and in its hash follows, whatever the file position says.
    ssize_t got;
    do {
      got = calls_.ReadAt(source_.get(), buffer_.get(),
                          std::min(chunk, buffer_size_),
                          static_cast<off_t>(result_.bytes_copied));
    } while (got < 0 && errno == EINTR);
    if (got < 0) {
      Fail(kRead, source_path_, errno);
      return -1;
    }
    if (got == 0) return 0;
    const std::string_view bytes(buffer_.get(), static_cast<std::size_t>(got));
    if (verify_) source_hash_.Add(bytes);
    if (!WriteAll(calls_, temp_.get(), bytes)) {
      Fail(kWrite, target_, errno, WriteAllCause(errno));
      return -1;
    }
    return got;
  }

  bool CopyAttributes() {
    // The permission bits of any new file of this user, not the source's:
    // a card's drive gives every file 0777, which made photos executable,
    // and set-id bits of someone else's file must not reappear on a copy
    // owned by this user. A drive that keeps no permission bits (FAT
    // through FUSE) refuses; the copy goes on.
    if (calls_.ChangeFileMode(temp_.get(), new_file_mode_) != 0 &&
        errno != ENOSYS && errno != EPERM && errno != EOPNOTSUPP)
      return Fail(kWrite, target_, errno);
    return Succeeded(calls_.SetFileTimes(temp_.get(), SourceTimes().data()),
                     kWrite, target_);
  }

  // The times the copy gets: the source's modification time, and the time
  // of the copy as its access time (a file's status is taken without the
  // access time). Not "leave it as it is": exFAT and FAT through FUSE then
  // set no modification time either.
  std::array<struct timespec, 2> SourceTimes() const {
    return {{{0, UTIME_NOW}, source_stat_.st_mtim}};
  }

  // What the copy is, as written: as long as its source, or not published.
  bool NoteWritten() {
    struct stat written;
    if (calls_.FileStat(temp_.get(), written) != 0)
      return Fail(kWrite, target_, errno);
    if (static_cast<std::uint64_t>(written.st_size) != result_.bytes_copied)
      return Fail(kWrite, target_, 0, FailureCause::kCopyWrongLength);
    result_.written = ToFileInfo(written, target_, calls_);
    result_.marked_read_only =
        (new_file_mode_ & 0222) == 0 && (written.st_mode & 0222) == 0;
    return true;
  }

  // Gives the complete file its name. Every way refuses an existing target.
  bool Publish() {
    const bool named = !temp_name_.empty();
    FileResult publish = named ? RenameNamed() : LinkUnnamed();
    if (!publish.ok()) {
      result_.failure = std::move(publish);
      return false;
    }
    // A rename clears the hidden name; a link keeps the file's time.
    if (named && temp_name_.empty()) KeepTimeThroughRename();
    return true;
  }

  // fusefat dates a renamed file by the clock: the copy gets the source's
  // time once more under its name, as the disk now holds it.
  void KeepTimeThroughRename() {
    struct stat published;
    if (calls_.Stat(target_, published) != 0 ||
        (published.st_mtim.tv_sec == result_.written.modified_seconds &&
         published.st_mtim.tv_nsec == result_.written.modified_nanoseconds))
      return;
    if (calls_.SetTimes(target_, SourceTimes().data()) == 0 &&
        calls_.FileStat(temp_.get(), published) == 0)
      result_.written = ToFileInfo(published, target_, calls_);
  }

  // The naming step's failure.
  FileResult NameFailure(int error,
                         FailureCause cause = FailureCause::kSystem) const {
    return FileResult(kName, target_, error, cause);
  }

  FileResult LinkUnnamed() {
    if (calls_.LinkOpenFile(temp_.get(), target_) == 0) return FileResult();
    return NameFailure(errno);
  }

  FileResult RenameNamed() {
    if (calls_.Rename(temp_name_, target_, RENAME_NOREPLACE) == 0) {
      temp_name_.clear();
      return FileResult();
    }
    if (errno != EINVAL && errno != ENOSYS) return NameFailure(errno);
    // A file system without no-replace rename: a hard link never replaces;
    // the hidden name is removed when the job ends.
    if (calls_.Link(temp_name_, target_) == 0) return FileResult();
    if (errno != EPERM && errno != EOPNOTSUPP && errno != ENOSYS)
      return NameFailure(errno);
    return RenameOverReservation();
  }

  // exFAT and FAT through FUSE have neither a no-replace rename nor links.
  // The name is reserved with O_EXCL, which never replaces anything, by a
  // short text that names the temporary file; the temporary is then renamed
  // over the reservation once that is checked to be still ours. Before the
  // reservation exists, a hidden proof names it and the temporary, so that
  // whatever a run killed at any instant leaves, even an empty reservation,
  // proves itself this program's own to the next run into the folder
  // (RemoveStaleTemporaries). The proof goes last: only once the name holds
  // the copy, or is free again. The name never shows a partial photo.
  FileResult RenameOverReservation() {
    std::string proof_path;
    UniqueFd proof = WriteReservationProof(
        calls_, folder_, {BaseName(target_), BaseName(temp_name_)}, proof_path);
    if (!proof.valid()) return NameFailure(errno, WriteAllCause(errno));
    FileResult named = ReserveAndRename();
    proof.Reset();  // closed first, as the reservation is
    calls_.Unlink(proof_path);
    return named;
  }

  FileResult ReserveAndRename() {
    UniqueFd reservation(
        calls_.Open(target_,
                    O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644),
        calls_);
    if (!reservation.valid()) return NameFailure(errno);
    calls_.Lock(reservation.get(), LOCK_EX | LOCK_NB);  // in use until closed
    struct stat reserved {};
    FileResult named;
    if (calls_.FileStat(reservation.get(), reserved) != 0)
      named = NameFailure(errno);
    if (named.ok() && !WriteAll(calls_, reservation.get(),
                                ReservationText(BaseName(temp_name_))))
      named = NameFailure(errno, WriteAllCause(errno));
    // Somebody who replaced the reservation owns the name now.
    const auto still_reserved = [&] {
      return TargetIs(InodeIdentity(reserved));
    };
    if (named.ok() && !still_reserved())
      named = NameFailure(0, FailureCause::kNameTaken);
    // Closed before anything replaces or removes it: a FUSE drive keeps a
    // file replaced while open under a hidden name of its own until it is
    // closed, which a power cut meanwhile would leave in the folder. The
    // proof, open and locked, keeps a clean-up off the reservation.
    reservation.Reset();
    if (named.ok() && calls_.Rename(temp_name_, target_) != 0)
      named = NameFailure(errno);
    if (named.ok()) {
      temp_name_.clear();
    } else if (still_reserved()) {
      calls_.Unlink(target_);
    }
    return named;
  }

  // True while the target name (not followed) is the file `file`: two looks
  // at one name a moment apart, compared by device and inode.
  bool TargetIs(const FileIdentity& file) {
    struct stat named;
    return calls_.Stat(target_, named, false) == 0 &&
           InodeIdentity(named).SameFileAs(InodeOnly(file));
  }

  // After a failed folder flush the copy is not known to be on disk; its
  // name goes again so that the failure is not mistaken for a finished copy.
  bool NameFlushed(int error) {
    if (error == 0) return true;
    Fail(kFlush, folder_, error);
    return RemoveUnproven();
  }

  // The close of the written descriptor, checked: a drive may report a
  // delayed write error only there (a FUSE driver that writes on close),
  // and whatever it does to the file at the close comes before the
  // read-back, which then sees it. A copy whose close failed is no copy.
  bool CloseWritten() {
    if (temp_.Close()) return true;
    Fail(kWrite, target_, errno);
    return RemoveUnproven();
  }

  // Takes the name of a copy that did not prove itself away again, while
  // the name is still this copy's, and flushes its folder. A copy that
  // cannot be removed stays, and the failure says so and where. False.
  bool RemoveUnproven() {
    struct stat named;
    if (calls_.Stat(target_, named, false) != 0) {
      // Where the drive cannot say what is at the name, the copy may be.
      if (errno != ENOENT)
        result_.failure = result_.failure.WithCopyLeftBehind(target_, errno);
      return false;
    }
    // Another program's file at the name now: not this copy to remove.
    if (!InodeIdentity(named).SameFileAs(InodeOnly(result_.written)))
      return false;
    if (calls_.Unlink(target_) != 0) {
      result_.failure = result_.failure.WithCopyLeftBehind(target_, errno);
      return false;
    }
    SyncFolder(calls_, folder_);
    return false;
  }

  // Reads the copy back from the drive through a fresh open of its name and
  // compares it with what the copy read from its source: its length, and
  // its bytes by position. A copy that differs, or cannot be read, is no
  // copy: its name goes again.
  bool ReadBack() {
    ContentHash::Digest read_back;
    std::uint64_t length = 0;
    const FileResult read =
        DriveReader(calls_, options_.chunk_bytes)
            .Hash(
                target_, InodeOnly(result_.written), result_.bytes_copied,
                read_back, length,
                [this] {
                  // A window repaints while a large movie
                  // is read back.
                  if (progress_ && report_)
                    progress_(result_.bytes_copied, result_.bytes_copied);
                },
                device_cache_);
    if (read.ok() && length == result_.bytes_copied &&
        read_back == source_hash_.Result())
      return true;
    if (!read.ok()) {
      result_.failure = read;
    } else {
      Fail(kVerify, target_, 0, FailureCause::kCopyDiffers);
    }
    return RemoveUnproven();
  }

  SystemCalls& calls_;
  const Options& options_;
  const mode_t new_file_mode_;
  const std::string source_path_;
  const std::string target_;
  const std::string folder_;
  // Read back after the flush: every copy, unless the file system was told
  // not to, and always when the source goes next.
  const bool verify_;
  const CopyProgress progress_;
  bool report_ = true;               // progress reported during the read-back
  std::optional<int> device_cache_;  // dropped by the caller: its errno
  UniqueFd source_;
  UniqueFd temp_;
  std::string temp_name_;  // the hidden name while it exists
  struct stat source_stat_ {};
  std::unique_ptr<char[]> buffer_;
  std::size_t buffer_size_ = 0;
  ContentHash source_hash_;  // of the bytes read from the source
  CopyResult result_;
};

// The copies of one batch, written and waiting for their flush, their name
// and their read-back. On a drive whose syncfs proves durability (DriveFlush)
// one syncfs puts every copy's data on the device and a second one every
// name, instead of an fsync of each file and folder; a failed syncfs falls
// back to those fsyncs, which tell which copy failed. Elsewhere (FUSE
// drivers, FAT, anything unknown) every copy and folder is flushed by its
// own fsync, after one syncfs that lets the kernel's drives write out
// everything at once.
class RealFileSystem::FlushedBatch : public CopyBatch {
 public:
  FlushedBatch(RealFileSystem& owner, bool mark_read_only)
      : owner_(owner),
        calls_(owner.calls_),
        threads_(owner.options_.read_back_threads),
        mark_read_only_(mark_read_only) {}

  Ticket Add(const std::string& source, const std::string& target,
             bool source_goes_next, const CopyProgress& progress) override {
    auto job = std::make_unique<CopyJob>(
        owner_, source, target, source_goes_next, progress, mark_read_only_);
    const bool on_drive = Prepare(job->folder());
    const bool written = job->Write();
    results_.push_back(job->SoFar(/*pending=*/written));
    if (written)
      jobs_.push_back({std::move(job), on_drive, results_.size() - 1});
    return results_.size() - 1;
  }

  const CopyResult& Result(Ticket ticket) const override {
    return results_.at(ticket);
  }

  // On the drive whose syncfs proves durability, a new folder's name is
  // made durable by the flush of the batch's names, with the copies' own
  // names, instead of an fsync of its parent the moment it is made, which
  // would make the writer wait for the disk once a day of photos.
  FileResult MakeFolder(const std::string& folder,
                        FileSystem& /*file_system*/) override {
    std::vector<std::string> made_in;
    FileResult made = owner_.MakeFolders(folder, made_in);
    if (made_in.empty()) return made;
    if (made.ok() && Prepare(folder)) {
      new_folders_.push_back({folder, std::move(made_in)});
      return made;
    }
    for (const std::string& parent : made_in)
      if (const int error = FolderFlush(parent); error != 0 && made.ok())
        made = FileResult(FileOperation::kFlush, parent, error);
    return made;
  }

  // Every copy flushed, named and read back.
  void Finish() override {
    if (jobs_.empty() && new_folders_.empty()) return;
    // The facts of the batch's folders and drives, asked once (this may run
    // on a thread of its own, which has no memo of the caller's).
    const DriveMemo drives;
    const int data_error = drive_->Sync();
    std::vector<bool> named(jobs_.size());
    bool any_by_drive = false;
    for (std::size_t i = 0; i < jobs_.size(); ++i) {
      const bool by_drive = jobs_[i].on_drive && data_error == 0;
      named[i] = by_drive ? jobs_[i].job->Name() : jobs_[i].job->FlushAndName();
      any_by_drive = any_by_drive || (by_drive && named[i]);
    }
    const int names_error =
        any_by_drive || !new_folders_.empty() ? drive_->Sync() : -1;
    const bool drive_flushed = data_error == 0 && names_error == 0;
    const std::unordered_map<std::string, int> folder_errors =
        FlushNewFolders(drive_flushed);
    std::vector<int> name_errors(jobs_.size(), 0);
    for (std::size_t i = 0; i < jobs_.size(); ++i) {
      const bool name_on_disk = jobs_[i].on_drive && drive_flushed;
      const std::string& folder = jobs_[i].job->folder();
      if (named[i] && !name_on_disk) name_errors[i] = FolderFlush(folder);
      if (const auto lost = folder_errors.find(folder);
          named[i] && name_errors[i] == 0 && lost != folder_errors.end())
        name_errors[i] = lost->second;
    }
    DropDeviceCaches(named);
    ConcludeAll(named, name_errors);
    jobs_.clear();  // each job's temporary closed and gone
  }

  bool FinishesAside() const override { return threads_ > 1; }

 private:
  struct Pending {
    std::unique_ptr<CopyJob> job;
    bool on_drive = false;  // on the drive whose syncfs proves durability
    Ticket ticket = 0;
  };

  // Before a copy into `folder` writes anything: the drive's flush is opened
  // before the first write it is to vouch for. True when the folder is on
  // the drive whose syncfs proves durability.
  bool Prepare(const std::string& folder) {
    if (!drive_) drive_ = std::make_unique<DriveFlush>(folder, calls_);
    if (!drive_->proves()) return false;
    return OncePerFolder(on_flushed_drive_, folder, [&] {
      struct stat st;
      return calls_.Stat(folder, st) == 0 &&
             static_cast<std::uint64_t>(st.st_dev) == drive_->device();
    });
  }

  // Once every copy is flushed and named, the cache of each FUSE driver's
  // block device that holds copies is dropped, once for all of them, so
  // that their read-backs reach the medium: the errno of that, by folder.
  void DropDeviceCaches(const std::vector<bool>& named) {
    for (std::size_t i = 0; i < jobs_.size(); ++i) {
      if (!named[i]) continue;
      const std::string& folder = jobs_[i].job->folder();
      OncePerFolder(device_caches_, folder,
                    [&] { return DropDeviceCacheOf(folder, calls_); });
    }
  }

  // Each copy's read-back, on several threads: a drive answers reads of
  // several files at once faster than one after another, most of all a
  // drive that must fetch each from its device. With one thread the copies
  // are read back here in turn, reporting their progress.
  void ConcludeAll(const std::vector<bool>& named,
                   const std::vector<int>& name_errors) {
    const auto conclude = [&](std::size_t i, bool report) {
      Pending& pending = jobs_[i];
      results_[pending.ticket] =
          named[i]
              ? pending.job->Conclude(name_errors[i], report,
                                      device_caches_.at(pending.job->folder()))
              : pending.job->SoFar(/*pending=*/false);
    };
    const std::size_t threads = std::min(threads_, jobs_.size());
    if (threads_ <= 1) {
      for (std::size_t i = 0; i < jobs_.size(); ++i) conclude(i, true);
      return;
    }
    std::atomic<std::size_t> next{0};
    const auto work = [&] {
      for (std::size_t i; (i = next.fetch_add(1)) < jobs_.size();)
        conclude(i, false);
    };
    std::vector<std::jthread> helpers;
    for (std::size_t t = 1; t < threads; ++t) helpers.emplace_back(work);
    work();
  }

  // The folders made for the batch, in their parents on the disk: by the
  // drive's flush where it succeeded (`drive_flushed`), else by the fsync of
  // each parent. The errno of a folder whose name may not be on the disk,
  // by folder.
  std::unordered_map<std::string, int> FlushNewFolders(bool drive_flushed) {
    std::unordered_map<std::string, int> errors;
    if (drive_flushed) return errors;
    for (const auto& [folder, made_in] : new_folders_)
      for (const std::string& parent : made_in)
        if (const int error = FolderFlush(parent); error != 0)
          errors.try_emplace(folder, error);
    return errors;
  }

  // The fsync of a folder, once for all its copies: 0, or the errno.
  int FolderFlush(const std::string& folder) {
    return OncePerFolder(flushed_folders_, folder,
                         [&] { return SyncFolder(calls_, folder); });
  }

  RealFileSystem& owner_;
  SystemCalls& calls_;
  const std::size_t threads_;
  const bool mark_read_only_;
  std::unique_ptr<DriveFlush> drive_;
  std::vector<CopyResult> results_;  // by ticket
  std::vector<Pending> jobs_;        // the copies written, in order
  // Each folder made on the flushed drive, with the folders it was made in,
  // not flushed yet.
  std::vector<std::pair<std::string, std::vector<std::string>>> new_folders_;
  // By folder: on the drive flushed by syncfs; the errno of its fsync; the
  // errno of dropping its device's cache.
  std::unordered_map<std::string, bool> on_flushed_drive_;
  std::unordered_map<std::string, int> flushed_folders_;
  std::unordered_map<std::string, int> device_caches_;
};

// The permission bits a new file of this process gets: 0666 less the umask,
// as the process's status gives it (Linux 4.7 and later), read without
// changing the umask, which other threads may be using.
mode_t NewFileMode() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("Umask:", 0) != 0) continue;
    char* end = nullptr;
    const unsigned long mask = std::strtoul(line.c_str() + 6, &end, 8);
    if (end != line.c_str() + 6) return 0666 & ~static_cast<mode_t>(mask);
  }
  return 0644;
}

RealFileSystem::RealFileSystem(Options options, SystemCalls& calls)
    : options_(options), calls_(calls), new_file_mode_(NewFileMode()) {}

RealFileSystem::~RealFileSystem() = default;

std::unique_ptr<CopyBatch> RealFileSystem::NewCopyBatch(bool mark_read_only) {
  return std::make_unique<FlushedBatch>(*this, mark_read_only);
}

CopyResult RealFileSystem::CopyFileNoReplace(const std::string& source,
                                             const std::string& target,
                                             bool source_goes_next,
                                             const CopyProgress& progress) {
  return CopyJob(*this, source, target, source_goes_next, progress).Run();
}

bool RealFileSystem::ReadsBackEqual(const std::string& path,
                                    std::uint64_t length,
                                    const ContentHash::Digest& digest) {
  struct stat st;
  if (calls_.Stat(path, st, /*follow_links=*/false) != 0 ||
      !S_ISREG(st.st_mode))
    return false;
  ContentHash::Digest read_back;
  std::uint64_t read_length = 0;
  return DriveReader(calls_, options_.chunk_bytes)
             .Hash(path, InodeIdentity(st), length, read_back, read_length,
                   nullptr)
             .ok() &&
         read_length == length && read_back == digest;
}

std::optional<std::uint64_t> RealFileSystem::FlushDrive(
    const std::string& folder) {
  DriveFlush drive(folder, calls_);
  const int error = drive.Sync();
  if (!drive.proves() || error != 0) return std::nullopt;
  return drive.device();
}

}  // namespace kuronel
