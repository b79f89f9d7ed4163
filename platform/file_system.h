#ifndef KURONEL_PLATFORM_FILE_SYSTEM_H_
#define KURONEL_PLATFORM_FILE_SYSTEM_H_

#include <sys/types.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/content_hash.h"
#include "platform/file_identity.h"
#include "platform/file_result.h"
#include "platform/path.h"
#include "platform/system_calls.h"

namespace kuronel {

// What the checks around a move need to know of a file: which file it is
// (SameFileAs), how long it is and when it last changed.
struct FileInfo : FileIdentity {
  std::uint64_t size = 0;
  std::int64_t modified_seconds = 0;
  std::int64_t modified_nanoseconds = 0;

  // Same file, same length, same modification time.
  bool Unchanged(const FileInfo& other) const {
    return SameFileAs(other) && size == other.size &&
           modified_seconds == other.modified_seconds &&
           modified_nanoseconds == other.modified_nanoseconds;
  }
};

// What a copy that read back equal proves, by its drive.
enum class CopyProof {
  kComplete,  // on the disk, and read from the medium
  // The drive is not known to write its device when it flushes (fusefat,
  // any FUSE driver not known): a power cut may take the copy.
  kFlushNotDurable,
  // The read-back may have been served from memory the program cannot drop
  // (ext4 data=journal, btrfs, a FUSE drive whose device it cannot open).
  kReadBackFromMemory,
};

// Called while a copy runs, every few MB and once at the end, so that a
// window can repaint during the copy of a large movie.
using CopyProgress =
    std::function<void(std::uint64_t bytes_done, std::uint64_t bytes_total)>;

// The outcome of CopyFileNoReplace. The source as seen when the copy began
// and when its data had been read lets the caller refuse to delete a source
// that changed under the copy.
struct [[nodiscard]] CopyResult {
  bool ok = false;
  FileResult failure;  // which step failed, on which path, and why
  FileInfo source_before;
  FileInfo source_after;
  // The copy as it was written and published: which file it is and its
  // length. Whatever stands at the target later is checked against it.
  FileInfo written;
  // True when the copy and its folder entry were flushed to disk.
  bool flushed = false;
  // True when the flushed copy was read back from the drive, its cached
  // pages dropped, and held exactly the bytes read from the source.
  bool verified = false;
  std::uint64_t bytes_copied = 0;
  // Made read-only (every write permission bit removed, as the copy's status
  // showed) before it was flushed: the mark is on the disk with the copy.
  bool marked_read_only = false;
  // Written whole into a temporary, its flush, name and read-back left to
  // its batch's Finish: nothing stands at the target yet.
  bool pending = false;
};

class FileSystem;

// Copies that share the drive's flushes: each is written when it is added,
// and Finish flushes, names and reads back all of them at once, so that a
// drive flushed once vouches for hundreds of copies. Adding a copy gives a
// ticket; its outcome is Result(ticket): before Finish a failure or a copy
// `pending`, after it the copy's outcome. A batch that ends without Finish
// removes whatever its pending copies wrote.
class CopyBatch {
 public:
  using Ticket = std::size_t;
  virtual ~CopyBatch() = default;
  // As CopyFileNoReplace, the copy perhaps left pending.
  virtual Ticket Add(const std::string& source, const std::string& target,
                     bool source_goes_next, const CopyProgress& progress) = 0;
  virtual const CopyResult& Result(Ticket ticket) const = 0;
  // Completes the pending copies, as CopyFileNoReplace would have. Once.
  virtual void Finish() = 0;
  // True when Finish may run on a thread of its own while the caller goes
  // on with other files (and with the copies of another batch); it then
  // reports no progress. False where the calls must come in order.
  virtual bool FinishesAside() const { return false; }
  // Makes `folder` and every missing folder above it for this batch's
  // copies, as `file_system`'s CreateDirectories does. Each folder made is
  // in its parent on the disk by the time Finish has ended; here it is
  // flushed at once.
  virtual FileResult MakeFolder(const std::string& folder,
                                FileSystem& file_system);
};

// The disk as the processing sees it. Paths are byte strings with "/" as
// separator. Everything reports failure by its return value.
class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // True only for an existing regular file (links followed); false for a
  // folder and anything else.
  virtual bool FileExists(const std::string& path) = 0;
  virtual bool DirectoryExists(const std::string& path) = 0;
  // True when anything at all stands at `path`: a file, a folder, a link
  // (even a dangling one), a FIFO...
  virtual bool NameTaken(const std::string& path) = 0;
  // Creates the folder and every missing parent (mkdir -p); succeeds when
  // the whole chain exists afterwards, each folder it made flushed into its
  // parent.
  virtual FileResult CreateDirectories(const std::string& path) = 0;
  // Copies contents and modification time; the copy gets the permission bits
  // of a new file (0666 less the umask). Never replaces
  // anything at `target`: the target name appears only once the copy is
  // complete, and nothing appears when the copy fails. A copy that succeeds
  // is on disk before it gets its name, and its folder entry is flushed
  // after (fsync of both: calls that FUSE drivers pass on to the drive).
  // It is then read back from the drive and compared with the bytes read
  // from the source; a copy that differs is removed and the copy fails. A
  // file system may be told not to read back copies whose sources are kept;
  // with `source_goes_next` (the caller deletes the source once the copy
  // proves itself) the copy is always read back.
  virtual CopyResult CopyFileNoReplace(const std::string& source,
                                       const std::string& target,
                                       bool source_goes_next,
                                       const CopyProgress& progress) = 0;
  // Moves a file within its file system where that ends exactly as copying
  // it and deleting the source would: the source is a regular file (not a
  // link) of this user with no other name and no set-id or sticky bit, its
  // owner may write it (DeleteFile would not refuse it), and nothing stands
  // at `target`, which is on the same file system. The file keeps its data,
  // permission bits and times. Never replaces anything at `target`. True
  // when the file now stands at `target` and no longer at `source`; false
  // when it was not moved and stands at `source` as before (refused,
  // another file system, the target taken meanwhile, a failing disk), so
  // that the caller can copy instead. The two folders are flushed by the
  // caller (FlushFolder).
  virtual bool MoveFileNoReplace(const std::string& source,
                                 const std::string& target) = 0;
  // Makes the file read-only as its drive keeps it: every write permission
  // bit removed, or where the drive ignores that (NTFS through ntfs-3g) its
  // Windows read-only attribute set; then reads back what it set, and fails
  // where it did not hold.
  virtual FileResult SetReadOnly(const std::string& path) = 0;
  // Refuses (file left in place) a file its owner may not write or whose
  // drive attribute says read-only, as Windows refuses a read-only file;
  // otherwise unlinks it.
  virtual FileResult DeleteFile(const std::string& path) = 0;
  // Information on the file at `path`, links followed; false when there is
  // nothing there.
  virtual bool Stat(const std::string& path, FileInfo& info) = 0;
  // True when both paths name regular files (links followed) of the same
  // length and bytes. Only files of equal length are read. False for
  // anything that cannot be read, and wherever the disk cannot tell.
  virtual bool SameContent(const std::string& /*first*/,
                           const std::string& /*second*/) {
    return false;
  }
  // The XXH3-128 hash of the bytes of the regular file at `path` (links
  // followed); false when it cannot be read, or the disk cannot tell.
  virtual bool HashFile(const std::string& /*path*/,
                        ContentHash::Digest& /*digest*/) {
    return false;
  }
  // True when the regular file at `path` (not a link) is `length` long and,
  // read back from its drive as a copy is (every cache the kernel lets the
  // program bypass bypassed), hashes to `digest`. A disk that cannot read
  // past its caches compares what it has.
  virtual bool ReadsBackEqual(const std::string& path, std::uint64_t length,
                              const ContentHash::Digest& digest) {
    ContentHash::Digest read;
    FileInfo info;
    return Stat(path, info) && info.size == length && HashFile(path, read) &&
           read == digest;
  }
  // The regular files directly in `folder` (links followed), without this
  // program's hidden temporaries; none where the folder cannot be listed.
  struct FolderFile {
    std::string name;
    std::uint64_t size = 0;
  };
  virtual std::vector<FolderFile> FilesIn(const std::string& /*folder*/) {
    return {};
  }
  // Removes the hidden temporary files that copies into `folder` left when
  // their program was killed, and the reservations of names that their
  // proofs name while those hold no more than a reservation's text: files
  // named as this program names them, of this user, that no running copy
  // holds (a copy keeps a lock on them while it writes). Nothing else is
  // touched. Returns how many were removed.
  virtual int RemoveStaleTemporaries(const std::string& folder) = 0;
  // Writes the file at `path` to disk, its data and what the drive keeps of
  // it (its read-only mark), by fsync.
  virtual FileResult FlushFile(const std::string& path) = 0;
  // Makes the names in the folder `path` durable, by fsync of the folder.
  virtual FileResult FlushFolder(const std::string& path) = 0;
  // Why no regular file stands at `path` (links followed), as a failure to
  // open it: the drive's errno (ENOENT when nothing does, ENOTCONN for a
  // FUSE drive whose driver has gone, EIO), kNotAFile for a folder or
  // anything else, kNoPath for an empty path; success when one does.
  virtual FileResult FileError(const std::string& path) {
    if (FileExists(path)) return FileResult();
    return FileResult(FileOperation::kOpen, path, FailureCause::kNotAFile);
  }
  // What a flushed copy's read-back proves on the drive holding `path`:
  // whether the copy would outlive a power cut and was read from the
  // medium, so that its source may go.
  virtual CopyProof ProofOfCopiesOn(const std::string& /*path*/) {
    return CopyProof::kComplete;
  }
  // False when files in `folder` cannot be made read-only so that the mark
  // holds (exFAT and FAT through FUSE keep neither permission bits nor an
  // attribute), so that every copy made read-only there would fail its
  // read-only step. Where `folder` does not exist yet its nearest existing
  // parent is asked. True when it cannot be told.
  virtual bool KeepsReadOnlyMarks(const std::string& /*folder*/) {
    return true;
  }
  // A hint that the file at `path` is copied next: where the system can,
  // its drive starts reading the file's first bytes in the background, so
  // that a card is not idle while the copy before it is written. Changes
  // nothing and reports nothing; a file that cannot be opened is passed by.
  virtual void ReadAheadFile(const std::string& /*path*/) {}
  // A batch for copies that share the drive's flushes (CopyBatch). With
  // `mark_read_only` its copies are made read-only before they are flushed
  // where their drive keeps permission bits (CopyResult::marked_read_only).
  // Here every copy is made whole when it is added, by CopyFileNoReplace,
  // and marks none.
  virtual std::unique_ptr<CopyBatch> NewCopyBatch(bool mark_read_only);
  // Makes everything changed on the drive of `folder` durable at once, where
  // that drive proves it (DriveFlush: a checked syncfs of ext4, xfs or
  // btrfs): the drive's device number, so that the caller knows which files
  // need no flush of their own. nullopt where the drive cannot prove it or
  // the flush failed: the caller flushes each file.
  virtual std::optional<std::uint64_t> FlushDrive(
      const std::string& /*folder*/) {
    return std::nullopt;
  }
};

// FileSystem on the disk, through the system's calls.
class RealFileSystem : public FileSystem {
 public:
  struct Options {
    // Write copies into an unnamed O_TMPFILE file where the file system
    // allows it; otherwise (or when off) into a hidden uniquely named file.
    bool use_unnamed_temporary = true;
    // Let the kernel move the data (copy_file_range) where it can; otherwise
    // read and write through a buffer.
    bool use_copy_range = true;
    // Bytes moved between progress reports.
    std::size_t chunk_bytes = 8u << 20;
    // Read back every copy from the drive; when off, only the copies whose
    // sources go next are.
    bool verify_copies = true;
    // Threads that read back the copies of a batch (1: one after another,
    // and a batch finished before anything else goes on, for system calls
    // that must be made in order).
    std::size_t read_back_threads = 4;
  };

  explicit RealFileSystem(SystemCalls& calls)
      : RealFileSystem(Options(), calls) {}
  RealFileSystem(Options options, SystemCalls& calls);
  ~RealFileSystem() override;

  bool FileExists(const std::string& path) override;
  bool DirectoryExists(const std::string& path) override;
  bool NameTaken(const std::string& path) override;
  FileResult CreateDirectories(const std::string& path) override;
  CopyResult CopyFileNoReplace(const std::string& source,
                               const std::string& target, bool source_goes_next,
                               const CopyProgress& progress) override;
  bool MoveFileNoReplace(const std::string& source,
                         const std::string& target) override;
  FileResult SetReadOnly(const std::string& path) override;
  FileResult DeleteFile(const std::string& path) override;
  bool Stat(const std::string& path, FileInfo& info) override;
  bool SameContent(const std::string& first,
                   const std::string& second) override;
  std::vector<FolderFile> FilesIn(const std::string& folder) override;
  bool HashFile(const std::string& path, ContentHash::Digest& digest) override;
  bool ReadsBackEqual(const std::string& path, std::uint64_t length,
                      const ContentHash::Digest& digest) override;
  int RemoveStaleTemporaries(const std::string& folder) override;
  FileResult FlushFile(const std::string& path) override;
  FileResult FlushFolder(const std::string& path) override;
  FileResult FileError(const std::string& path) override;
  void ReadAheadFile(const std::string& path) override;
  CopyProof ProofOfCopiesOn(const std::string& path) override;
  bool KeepsReadOnlyMarks(const std::string& folder) override;
  std::unique_ptr<CopyBatch> NewCopyBatch(bool mark_read_only) override;
  std::optional<std::uint64_t> FlushDrive(const std::string& folder) override;

 private:
  class CopyJob;
  class FlushedBatch;
  // Creates `path` and every missing folder above it; the parent of each
  // folder it made goes into `made_in`, to be flushed by the caller (also
  // when a deeper one could not be made).
  FileResult MakeFolders(const std::string& path,
                         std::vector<std::string>& made_in);
  bool LinkThenUnlink(const std::string& source, const std::string& target);

  Options options_;
  SystemCalls& calls_;
  const mode_t new_file_mode_;  // of a copy: 0666 less the umask
};

// FileInfo of the status of the file at `path` (which need not exist yet on
// a drive that renumbers files: a copy before it gets its name).
FileInfo ToFileInfo(const struct stat& st, const std::string& path,
                    SystemCalls& calls);

// The prefix of the hidden names of a copy's own files: ".kuronel-", six
// random letters or digits and six more computed from them, so that a name
// a user gave a file passes for one only by a chance of one in two billion.
inline constexpr char kTemporaryPrefix[] = ".kuronel-";
// True for a file name of that form (in either case: FAT folds it).
bool IsTemporaryName(std::string_view name);
// A new name of that form, chosen at random.
std::string NewTemporaryName();
// Creates a new file of such a name in `folder` (never one that exists),
// with `mode` narrowed by the umask. The open file, with its path in `path`;
// invalid with errno, and `path` empty, when none can be made.
UniqueFd CreateTemporaryFile(SystemCalls& calls, const std::string& folder,
                             mode_t mode, std::string& path);

// What a copy that cannot be linked to its name (exFAT and FAT through FUSE)
// writes under that name, to reserve it: a line naming its temporary file.
std::string ReservationText(std::string_view temporary_name);

// Such a copy first writes, under a hidden temporary name, a proof naming
// the name it is about to reserve and its temporary file: from its first
// instant, even empty, a reservation that a killed copy left has the proof
// beside it that makes it this program's own.
struct ReservationProof {
  std::string target_name;     // in the proof's folder
  std::string temporary_name;  // the file to be renamed over the target
};
std::string ProofText(const ReservationProof& proof);
// The proof that `text` is exactly the text of; false when it is none.
bool ParseProofText(std::string_view text, ReservationProof& proof);
// Writes the proof into `folder`, flushed, and locked (until closed) as a
// live copy's temporary is. The open file, with its path in `path`; invalid
// with errno, and nothing left, when it cannot be written.
UniqueFd WriteReservationProof(SystemCalls& calls, const std::string& folder,
                               const ReservationProof& proof,
                               std::string& path);

}  // namespace kuronel

#endif  // KURONEL_PLATFORM_FILE_SYSTEM_H_
