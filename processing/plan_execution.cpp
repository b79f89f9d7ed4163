#include "processing/plan_execution.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "platform/drive_facts.h"
#include "platform/text.h"
#include "processing/shot_names.h"
#include "processing/source_removal.h"

namespace kuronel {
namespace {

bool AttributeOnlyMode(const Settings& options) {
  return !options.RenameToDateFile && !options.MoveToDateFolder &&
         options.MakeReadOnly;
}

// Makes a rename durable: the folders of both names flushed (fsync, which
// FUSE drivers pass on to the drive).
FileResult FlushRenamedFolders(const std::string& from, const std::string& to,
                               FileSystem& file_system) {
  const std::string to_folder = ParentFolder(to);
  FileResult flushed = file_system.FlushFolder(to_folder);
  if (flushed.ok() && ParentFolder(from) != to_folder)
    flushed = file_system.FlushFolder(ParentFolder(from));
  return flushed;
}

// A row reads a success state only once what it did is on the disk, before
// the row is reported: a copy flushes its file and its folder itself, a
// rename its folders (RenameOrCopy), and a read-only mark its file here. A
// mark that may not be on the disk reads "AttrError!". A rename that could
// be neither flushed nor undone reads "CopyError!", saying where the file
// is.
void ConfirmOnDisk(const std::string& source_path, const PlannedCopy& planned,
                   const Settings& options,
                   std::optional<std::uint64_t> flushed_drive, PlanRow& row,
                   FileSystem& file_system) {
  if (planned.moved && !planned.copy.failure.ok()) {
    row.State = RowState::kCopyError;
    row.failure = planned.copy.failure.WithOutcome(FailureOutcome::kFileMoved);
    return;
  }
  const bool marked = planned.attribute_only
                          ? planned.read_only_set
                          : options.MakeReadOnly &&
                                (planned.moved || planned.copy.ok) &&
                                row.State != RowState::kAttrError;
  if (!marked) return;
  // A copy's mark is on the disk already when it was set before the copy's
  // flush, or when its whole drive was flushed after the marks of the batch
  // were set; a renamed file's when that drive holds it.
  if (!planned.attribute_only && !planned.moved &&
      (planned.copy.marked_read_only ||
       (flushed_drive && planned.copy.written.device == *flushed_drive)))
    return;
  if (planned.moved && flushed_drive &&
      planned.renamed_on_drive == flushed_drive)
    return;
  const FileResult flushed = file_system.FlushFile(
      planned.attribute_only ? source_path : planned.target_path);
  if (flushed.ok()) return;
  // A move is done by now: the reason says so beside the unconfirmed mark.
  const FailureOutcome outcome =
      row.State != RowState::kMoved ? FailureOutcome::kNone
      : planned.moved               ? FailureOutcome::kFileMoved
                                    : FailureOutcome::kSourceDeleted;
  row.State = RowState::kAttrError;
  row.failure = flushed.WithOutcome(outcome);
}

// Why a move kept the source of a copy, after the failure of the read-only
// step, if any.
FileResult SourceKept(
    const std::string& source_path, const FileResult& earlier,
    SourceRemoval removal,
    FailureOutcome unproven = FailureOutcome::kSourceKeptUnproven) {
  const FailureOutcome kept =
      removal == SourceRemoval::kDriveCannotFlush
          ? FailureOutcome::kSourceKeptNoFlush
      : removal == SourceRemoval::kReadBackFromMemory
          ? FailureOutcome::kSourceKeptReadBackFromMemory
          : unproven;
  if (!earlier.ok()) return earlier.WithOutcome(kept);
  return FileResult(FileOperation::kDelete, source_path,
                    FailureCause::kOutcomeOnly)
      .WithOutcome(kept);
}

// The delete step, after a copy that went as asked.
void DeleteSource(const std::string& source_path, const PlannedCopy& planned,
                  PlanRow& row, FileSystem& file_system) {
  if (planned.moved) return;  // renamed: there is no source left
  if (planned.attribute_only) {
    // The source was to be made read-only in place, so it is the only copy.
    // Once read-only, deleting it is refused; it is not even attempted. When
    // the read-only step failed the row keeps "AttrError!".
    if (planned.read_only_set) row.State = RowState::kDelError;
    return;
  }
  // A failed copy keeps its state and its source. A copy that does not prove
  // itself (changed source, replaced target, a drive that cannot confirm a
  // flush) keeps its state too, and the row says why its source stayed: the
  // move was asked and not done.
  if (!planned.copy.ok) return;
  const SourceRemoval removal =
      RemoveCopiedSource(source_path, planned.target_path, planned.copy,
                         file_system, &row.failure);
  switch (removal) {
    case SourceRemoval::kDeleted:
      if (row.State == RowState::kAttrError) {
        row.failure = row.failure.WithOutcome(FailureOutcome::kSourceDeleted);
      } else {
        row.State = RowState::kMoved;
      }
      return;
    case SourceRemoval::kDeleteFailed:
      row.State = RowState::kDelError;
      return;
    case SourceRemoval::kNotAllowed:
    case SourceRemoval::kDriveCannotFlush:
    case SourceRemoval::kReadBackFromMemory:
      row.failure = SourceKept(source_path, row.failure, removal);
      return;
  }
}

// Hidden temporary files that killed copies left are removed from each
// folder once, before the run first writes there.
class TemporaryCleanUp {
 public:
  void Before(const std::string& folder, FileSystem& file_system) {
    if (cleaned_.insert(folder).second)
      file_system.RemoveStaleTemporaries(folder);
  }

 private:
  std::unordered_set<std::string> cleaned_;
};

// Rows whose source files are asked of the drive before their turn: while
// one file's copy is written, flushed and read back, the card reads on.
constexpr std::size_t kRowsReadAhead = 2;
// Below this size a file comes in one request, mostly with the read of its
// Exif date already, and opening it ahead costs about as much as it saves.
constexpr std::uint64_t kReadAheadMinBytes = 256 * 1024ULL;

// Asks the drive for the sources of the next rows while the rows copy large
// files: not in the attribute-only mode, not while rows are moved by
// renaming, which reads nothing, and not while the files are small. A card's
// files come in runs (photos, then a movie), so the last row tells.
class SourceReadAhead {
 public:
  SourceReadAhead(const ProcessingPlan& plan, const Settings& options)
      : plan_(plan), on_(!AttributeOnlyMode(options)) {}

  // Before row `index` is handled.
  void Before(std::size_t index, FileSystem& file_system) {
    if (!on_) return;
    const std::size_t end = std::min(index + 1 + kRowsReadAhead, plan_.size());
    for (next_ = std::max(next_, index + 1); next_ < end; ++next_)
      file_system.ReadAheadFile(plan_[next_].SourcePath);
  }

  // After a row's copy step.
  void After(const PlannedCopy& planned) {
    if (!planned.attribute_only)
      on_ = !planned.moved && planned.copy.bytes_copied >= kReadAheadMinBytes;
  }

 private:
  const ProcessingPlan& plan_;
  bool on_;
  std::size_t next_ = 0;  // the first row not asked for yet
};

// How often a copy takes the next free name when another program took the
// one it was given meanwhile.
constexpr int kTargetNameAttempts = 16;

// A copy that found its name taken by another program: it goes to the next
// free one.
bool NameTakenMeanwhile(const CopyResult& copy) {
  if (copy.ok || copy.pending) return false;
  return copy.failure.cause() == FailureCause::kNameTaken ||
         (copy.failure.cause() == FailureCause::kSystem &&
          copy.failure.error() == EEXIST);
}

// Chooses the name each row's file goes to: the first free variant of its
// planned name; for the rows of a shot, the first variant free for the
// whole shot, or the one where a copy of part of the shot made before
// stands (its bytes compared) and the rest of it can follow, chosen once for
// the shot. Names given during the run count as taken, also while their
// copies wait for their batch's flush. A row whose shot's name was taken
// meanwhile, or that the shot finds there already, goes alone to the first
// variant free for it.
class TargetNames {
 public:
  TargetNames(const ProcessingPlan& plan, FileSystem& file_system)
      : plan_(plan), file_system_(file_system), shots_(RowsByShot(plan)) {}

  // The name for row `index`'s file; `again` when the name it was given
  // before was taken by another program meanwhile.
  std::string Choose(std::size_t index, bool again) {
    const PlanRow& row = plan_[index];
    std::string target;
    if (row.Shot < 0) {
      target = row.NewPath;
      for (int k = 1; Taken(target); ++k) target = NumberedPath(row.NewPath, k);
    } else {
      if (!again) target = NumberedPath(row.NewPath, VariantOfShot(row.Shot));
      if (target.empty() || Taken(target)) {
        const std::vector<ShotFile> alone = {{row.SourcePath, row.NewPath}};
        target = NumberedPath(
            row.NewPath,
            FirstFittingVariant(alone, file_system_, NoCopy(), ClaimedNames()));
      }
    }
    claimed_.insert(target);
    return target;
  }

 private:
  static OwnCopyTest NoCopy() {
    return [](const std::string&, const std::string&) { return false; };
  }

  ClaimedTest ClaimedNames() const {
    return [this](const std::string& path) { return claimed_.count(path) > 0; };
  }

  bool Taken(const std::string& path) {
    return claimed_.count(path) > 0 || file_system_.NameTaken(path);
  }

  int VariantOfShot(int shot) {
    const auto chosen = variants_.find(shot);
    if (chosen != variants_.end()) return chosen->second;
    const std::vector<ShotFile> files = ShotFilesOf(plan_, shots_[shot]);
    const OwnCopyTest same_bytes = [this](const std::string& source,
                                          const std::string& there) {
      return file_system_.SameContent(source, there);
    };
    const int k =
        FirstFittingVariant(files, file_system_, same_bytes, ClaimedNames());
    variants_[shot] = k;
    return k;
  }

  const ProcessingPlan& plan_;
  FileSystem& file_system_;
  std::map<int, std::vector<std::size_t>> shots_;  // rows by shot
  std::unordered_map<int, int> variants_;  // the variant chosen, by shot
  std::unordered_set<std::string> claimed_;
};

// One flush of a whole drive per folder (FileSystem::FlushDrive), made the
// first time the folder comes up: the drive flushed, or nullopt where its
// flush proves nothing or failed.
class DriveFlushes {
 public:
  std::optional<std::uint64_t> Of(const std::string& folder,
                                  FileSystem& file_system) {
    const auto [flushed, first] = flushed_.try_emplace(folder);
    if (first) flushed->second = file_system.FlushDrive(folder);
    return flushed->second;
  }

 private:
  std::unordered_map<std::string, std::optional<std::uint64_t>> flushed_;
};

// The files that stood in each target folder before the run wrote there, by
// length. A row whose source has an equal copy among them was imported
// before: with the option to skip such rows it is not copied again. Rows of
// one run are never taken for each other's copies: a folder is listed when
// the first row for it comes up, before anything is copied into it.
class ImportedFiles {
 public:
  // A file there equal to a row's source.
  struct EqualCopy {
    std::string path;            // empty: none
    FileInfo source;             // the source when it was hashed
    ContentHash::Digest digest;  // the source's hash
  };

  // The file in `folder` with the source's length and bytes (XXH3-128 of
  // both), on the disk (flushed); none when there is none. The source
  // itself (both names off) is no copy of itself. Only files of the
  // source's length are read, each file there once however many rows of
  // that length come (uncompressed RAW files are all of one length).
  EqualCopy EqualCopyOf(const std::string& source_path,
                        const std::string& folder, FileSystem& file_system) {
    const auto [listed, is_new] = folders_.try_emplace(folder);
    if (is_new) {
      for (const FileSystem::FolderFile& file : file_system.FilesIn(folder))
        listed->second.unread.emplace(file.size, JoinPath(folder, file.name));
    }
    EqualCopy equal;
    if (!file_system.Stat(source_path, equal.source)) return {};
    Listing& there = listed->second;
    if (!there.unread.contains(equal.source.size) &&
        !there.sizes_read.contains(equal.source.size))
      return {};
    if (!file_system.HashFile(source_path, equal.digest)) return {};
    there.ReadFilesOfSize(equal.source.size, file_system);
    const auto [first, last] = there.by_digest.equal_range(equal.digest.low);
    for (auto candidate = first; candidate != last; ++candidate) {
      const auto& [digest, size, path] = candidate->second;
      FileInfo info;
      if (digest != equal.digest || size != equal.source.size ||
          !file_system.Stat(path, info) || info.SameFileAs(equal.source))
        continue;
      if (OnDisk(path, info, file_system)) {
        equal.path = path;
        return equal;
      }
    }
    return {};
  }

 private:
  // The files of one folder that stood there before the run.
  struct Listing {
    struct Read {
      ContentHash::Digest digest;
      std::uint64_t size = 0;
      std::string path;
    };
    // Not read yet, by length.
    std::unordered_multimap<std::uint64_t, std::string> unread;
    // Read, by the low half of their hash; lengths whose files were read.
    std::unordered_multimap<std::uint64_t, Read> by_digest;
    std::unordered_set<std::uint64_t> sizes_read;

    // Every file of length `size` read once, when the first row of that
    // length comes: each row then finds its equal by hash, not by reading
    // or asking after every file of its length (uncompressed RAW files are
    // all of one length).
    void ReadFilesOfSize(std::uint64_t size, FileSystem& file_system) {
      if (!sizes_read.insert(size).second) return;
      const auto [first, last] = unread.equal_range(size);
      for (auto file = first; file != last; ++file) {
        ContentHash::Digest digest;
        if (file_system.HashFile(file->second, digest))
          by_digest.emplace(digest.low, Read{digest, size, file->second});
      }
      unread.erase(size);
    }
  };

  // True once the file at `path` (`info`) is flushed: by one flush of its
  // whole drive, asked once per folder, where the drive proves that
  // (DriveFlush); by an fsync of its own elsewhere.
  bool OnDisk(const std::string& path, const FileInfo& info,
              FileSystem& file_system) {
    return drive_flushes_.Of(ParentFolder(path), file_system) == info.device ||
           file_system.FlushFile(path).ok();
  }

  // Made once per folder: the files there stood before the run.
  DriveFlushes drive_flushes_;
  // The files listed, for each folder looked at.
  std::unordered_map<std::string, Listing> folders_;
};

// Renames (when allowed) or copies the source to the name `next_target`
// gives, again with the next name while other programs take them. A copy
// goes into `batch`, where it may wait for the batch's flush; without a
// batch it is made whole.
// A rename counts once both folders are on the disk. One that may not be is
// undone: the file back under its own name, the row a failed copy. Should
// that fail too, the failure stays with the moved file.
void FlushRename(const std::string& source_path, FileSystem& file_system,
                 PlannedCopy& planned) {
  const FileResult flushed =
      FlushRenamedFolders(source_path, planned.target_path, file_system);
  if (!flushed.ok()) planned.copy.failure = flushed;
  if (flushed.ok() ||
      !file_system.MoveFileNoReplace(planned.target_path, source_path)) {
    planned.moved = true;
    return;
  }
  planned.moved = false;
  // Best effort: the row fails already, and a move back that the disk
  // forgets leaves the file whole under its new name, not lost.
  static_cast<void>(
      FlushRenamedFolders(planned.target_path, source_path, file_system));
}

// A copy goes into `batch`, and a rename leaves the flush of its folders to
// the batch's end (FlushRenames); without a batch a copy is made whole and a
// rename flushed at once.
void RenameOrCopy(const std::string& source_path,
                  const std::function<std::string()>& next_target,
                  const Settings& options, FileSystem& file_system,
                  CopyBatch* batch, const CopyProgress& copy_progress,
                  PlannedCopy& planned) {
  // A copy whose source goes next is read back even where copies of kept
  // sources are not.
  const bool source_goes_next = !options.KeepOriginal;
  for (int attempt = 1;; ++attempt) {
    planned.target_path = next_target();
    // Within one file system a move is a rename: it ends as the copy and the
    // delete would, without reading the data. Anything else copies.
    if (!options.KeepOriginal &&
        file_system.MoveFileNoReplace(source_path, planned.target_path)) {
      planned.moved = true;
      planned.rename_unflushed = batch != nullptr;
      if (batch == nullptr) FlushRename(source_path, file_system, planned);
      return;
    }
    if (batch != nullptr) {
      planned.ticket = batch->Add(source_path, planned.target_path,
                                  source_goes_next, copy_progress);
      planned.copy = batch->Result(*planned.ticket);
    } else {
      planned.copy = file_system.CopyFileNoReplace(
          source_path, planned.target_path, source_goes_next, copy_progress);
    }
    if (!NameTakenMeanwhile(planned.copy) || attempt == kTargetNameAttempts)
      return;
  }
}

// Rows whose copies share the drive's flushes (one batch): up to this many
// rows, and a batch ends after the row that brings its copies to this many
// bytes, so that a movie does not wait long in memory for its flush. The
// first batch is of one row and each next one twice as large, so that the
// first rows show at once and a caller that can no longer report them (a
// closed output) stops the run after the first file.
constexpr std::size_t kBatchRows = 256;
constexpr std::uint64_t kBatchBytes = 64ULL << 20;

// A row of the batch being handled, between its copy step and its report.
struct RowInBatch {
  std::size_t index = 0;
  bool copy_step = false;  // the copy, rename or read-only step was taken
  PlannedCopy planned;
};

// The rows of one batch between their copy step and their report, and the
// copies that wait in it for the batch's flush, which may run aside while
// the next batch is written.
struct BatchInHand {
  std::vector<RowInBatch> rows;
  std::unique_ptr<CopyBatch> copies;
  std::future<void> finishing;  // valid while the batch finishes aside

  // Flushes, names and reads back the batch's copies: on a thread of its
  // own where the file system allows it, so that the card is read and the
  // next copies written meanwhile.
  void StartFinish() {
    if (!copies->FinishesAside()) {
      copies->Finish();
      return;
    }
    finishing = std::async(std::launch::async,
                           [batch = copies.get()] { batch->Finish(); });
  }
  bool Finished() const {
    return !finishing.valid() || finishing.wait_for(std::chrono::seconds(0)) ==
                                     std::future_status::ready;
  }
  void AwaitFinish() {
    if (finishing.valid()) finishing.get();
  }
};

// The copy step of a row: the source made read-only in place, renamed, or
// copied into `batch` (the copy perhaps pending, left to the batch's end).
PlannedCopy StartCopy(const std::string& source_path,
                      const std::function<std::string()>& next_target,
                      PlanRow& row, const Settings& options,
                      FileSystem& file_system, CopyBatch& batch,
                      const CopyProgress& copy_progress) {
  PlannedCopy planned;
  if (AttributeOnlyMode(options)) {
    planned.attribute_only = true;
    row.failure = file_system.SetReadOnly(source_path);
    planned.read_only_set = row.failure.ok();
    row.State =
        planned.read_only_set ? RowState::kReadOnly : RowState::kAttrError;
    return planned;
  }
  RenameOrCopy(source_path, next_target, options, file_system, &batch,
               copy_progress, planned);
  return planned;
}

// The row's state after its copy or rename, and the read-only mark of the
// file at its new name when asked.
void RecordCopy(const PlannedCopy& planned, const Settings& options,
                PlanRow& row, FileSystem& file_system) {
  if (planned.attribute_only) return;
  if (planned.moved || planned.copy.ok) row.TargetPath = planned.target_path;
  if (planned.moved) {
    row.State = RowState::kMoved;
    // The file is at its new name either way; a read-only mark that did not
    // hold shows, as it does after a copy.
    if (options.MakeReadOnly)
      row.failure = file_system.SetReadOnly(planned.target_path);
    if (!row.failure.ok()) {
      row.State = RowState::kAttrError;
      row.failure = row.failure.WithOutcome(FailureOutcome::kFileMoved);
    }
    return;
  }
  row.State = planned.copy.ok ? RowState::kCopied : RowState::kCopyError;
  row.failure = planned.copy.failure;
  // "AttrError!" only ever means that the copy exists but is not read-only:
  // after a failed copy there is no file of ours at the target to change.
  // A copy marked before its flush is read-only already.
  if (options.MakeReadOnly && planned.copy.ok &&
      !planned.copy.marked_read_only) {
    row.failure = file_system.SetReadOnly(planned.target_path);
    if (!row.failure.ok()) row.State = RowState::kAttrError;
  }
}

// True when the drive of the source at `path` is gone, as when a card is
// pulled out during a run: its FUSE driver has ended (ENOTCONN), the device
// is gone (ENODEV, ENXIO) or cannot be read (EIO), or the folder of the
// source is gone with the mount point a desktop removes. `why` is the
// drive's answer for the file (FileSystem::FileError).
bool SourceDriveGone(const std::string& path, const FileResult& why,
                     FileSystem& file_system) {
  if (why.ok() || why.cause() != FailureCause::kSystem) return false;
  const int error = why.error();
  if (error == ENOTCONN || error == ENODEV || error == ENXIO || error == EIO)
    return true;
  return error == ENOENT && !file_system.DirectoryExists(ParentFolder(path));
}

// A copy that failed because its source's drive went away says so, whatever
// step of the copy met it first (a source that seems to change, a read).
void NameAGoneSourceDrive(const std::string& source_path, PlannedCopy& planned,
                          FileSystem& file_system) {
  if (planned.copy.ok || planned.moved || planned.attribute_only ||
      planned.copy.pending)
    return;
  const FileResult why = file_system.FileError(source_path);
  if (!SourceDriveGone(source_path, why, file_system)) return;
  planned.copy.failure =
      FileResult(FileOperation::kRead, source_path, why.error(),
                 FailureCause::kSourceDriveGone);
}

// Handles the rows of one batch and reports them, in order. Their copies
// are written first and flushed together at the batch's end, before any row
// of it reads a success state or any source of it is deleted.
class BatchRun {
 public:
  BatchRun(ProcessingPlan& plan, const Settings& options,
           FileSystem& file_system, const StatusSink& progress,
           const RunObserver& observer)
      : plan_(plan),
        options_(options),
        file_system_(file_system),
        progress_(progress),
        observer_(observer),
        read_ahead_(plan, options),
        names_(plan, file_system) {}

  // Handles the rows from `first` on, up to a batch's worth; the index of
  // the first row not handled. `stop` is set when the observer asked to stop.
  // The batch before is reported once it has finished, meanwhile.
  std::size_t Run(std::size_t first, bool& stop) {
    // The drives' facts and the folders' identities, asked once for the
    // batch's hundreds of files.
    const DriveMemo drives;
    ready_folders_.clear();
    BatchInHand batch;
    batch.copies = file_system_.NewCopyBatch(options_.MakeReadOnly);
    std::uint64_t bytes = 0;
    const std::size_t most_rows = batch_rows_;
    batch_rows_ = std::min(batch_rows_ * 2, kBatchRows);
    for (std::size_t i = first;
         i < plan_.size() && batch.rows.size() < most_rows &&
         bytes < kBatchBytes && !stop;
         ++i) {
      batch.rows.push_back(Start(i, *batch.copies));
      bytes += batch.rows.back().planned.copy.bytes_copied;
      if (previous_ && previous_->Finished()) ReportPrevious();
      stop = observer_.stop_requested && observer_.stop_requested();
    }
    const std::size_t handled = batch.rows.size();
    batch.StartFinish();
    ReportPrevious();
    if (batch.finishing.valid()) {
      previous_ = std::move(batch);
    } else {
      Report(batch);
    }
    if (!stop) stop = observer_.stop_requested && observer_.stop_requested();
    return first + handled;
  }

  // The batch still finishing aside, once it has finished.
  void ReportPrevious() {
    if (!previous_) return;
    BatchInHand batch = std::move(*previous_);
    previous_.reset();
    Report(batch);
  }

 private:
  // The rows of a batch whose copies are finishing or finished: their states
  // written and reported, in order.
  void Report(BatchInHand& batch) {
    batch.AwaitFinish();
    CompletePendingCopies(batch);
    FlushRenames(batch.rows);
    for (RowInBatch& row : batch.rows)
      if (row.copy_step)
        RecordCopy(row.planned, options_, plan_[row.index], file_system_);
    const std::optional<std::uint64_t> marks_flushed =
        FlushReadOnlyMarks(batch.rows);
    for (RowInBatch& row : batch.rows) Finish(row, marks_flushed);
  }

  RowInBatch Start(std::size_t index, CopyBatch& copies) {
    if (progress_) progress_(ProgressText(ProgressCells(index, plan_.size())));
    read_ahead_.Before(index, file_system_);
    RowInBatch started;
    started.index = index;
    PlanRow& row = plan_[index];
    const std::string folder = ParentFolder(row.NewPath);
    if (!file_system_.FileExists(row.SourcePath)) {
      row.State = RowState::kNotFound;
      // No regular file when it was asked for, whatever stands there now.
      FileResult why = file_system_.FileError(row.SourcePath);
      if (why.ok())
        why = FileResult(FileOperation::kOpen, row.SourcePath,
                         FailureCause::kNotAFile);
      else if (SourceDriveGone(row.SourcePath, why, file_system_))
        why = FileResult(FileOperation::kOpen, row.SourcePath, why.error(),
                         FailureCause::kSourceDriveGone);
      row.failure = why;
    } else if (!FolderReady(folder, row, copies)) {
      row.State = RowState::kDirError;
    } else if (SkipsAsImported(row, folder)) {
      // Not copied: the row reads as done, with nothing to confirm or delete.
    } else {
      if (!AttributeOnlyMode(options_)) clean_up_.Before(folder, file_system_);
      started.copy_step = true;
      bool again = false;
      const std::function<std::string()> next_target = [&] {
        return names_.Choose(index, std::exchange(again, true));
      };
      started.planned =
          StartCopy(row.SourcePath, next_target, row, options_, file_system_,
                    copies, observer_.copy_progress);
      NameAGoneSourceDrive(row.SourcePath, started.planned, file_system_);
      read_ahead_.After(started.planned);
    }
    return started;
  }

  // The row's target folder stands, made for the batch where it was
  // missing; asked of the drive once a batch.
  bool FolderReady(const std::string& folder, PlanRow& row, CopyBatch& copies) {
    if (ready_folders_.contains(folder)) return true;
    if (!file_system_.DirectoryExists(folder) &&
        !(row.failure = copies.MakeFolder(folder, file_system_)).ok())
      return false;
    ready_folders_.insert(folder);
    return true;
  }

  // With the option to skip what was imported before: true when the row's
  // source has an equal copy in its target folder, which the row then
  // names. A move deletes such a source on the proof a copy of its own
  // would give (RemoveImportedSource), and keeps it otherwise, saying why.
  bool SkipsAsImported(PlanRow& row, const std::string& folder) {
    if (!options_.SkipImported || AttributeOnlyMode(options_)) return false;
    const ImportedFiles::EqualCopy equal =
        imported_.EqualCopyOf(row.SourcePath, folder, file_system_);
    if (equal.path.empty()) return false;
    row.State = RowState::kImported;
    row.TargetPath = equal.path;
    if (options_.KeepOriginal) return true;
    const SourceRemoval removal =
        RemoveImportedSource(row.SourcePath, equal.source, equal.digest,
                             equal.path, file_system_, &row.failure);
    switch (removal) {
      case SourceRemoval::kDeleted:
        break;
      case SourceRemoval::kDeleteFailed:
        row.State = RowState::kDelError;
        break;
      case SourceRemoval::kNotAllowed:
        // The file there did not prove itself: read back different, changed
        // meanwhile, or the source changed since it was hashed.
      case SourceRemoval::kDriveCannotFlush:
      case SourceRemoval::kReadBackFromMemory:
        row.failure = SourceKept(row.SourcePath, FileResult(), removal,
                                 FailureOutcome::kSourceKeptImported);
        break;
    }
    return true;
  }

  // The batch's copies flushed, named and read back; a copy that lost its
  // name to another program meanwhile is made again at the next free one.
  void CompletePendingCopies(BatchInHand& batch) {
    for (RowInBatch& row : batch.rows) {
      if (!row.copy_step || !row.planned.copy.pending) continue;
      row.planned.copy = batch.copies->Result(*row.planned.ticket);
      if (NameTakenMeanwhile(row.planned.copy)) {
        const PlanRow& planned_row = plan_[row.index];
        row.planned = PlannedCopy();
        const std::function<std::string()> next_target = [&] {
          return names_.Choose(row.index, true);
        };
        RenameOrCopy(planned_row.SourcePath, next_target, options_,
                     file_system_, nullptr, observer_.copy_progress,
                     row.planned);
      }
    }
  }

  // The batch's renames made durable: by one flush of their drive, asked once
  // per target folder, where the drive proves it (DriveFlush; a rename stays
  // within its drive, so both its folders are on it); elsewhere each by the
  // flush of its two folders, and undone where that fails.
  void FlushRenames(std::vector<RowInBatch>& rows) {
    DriveFlushes drives;  // after this batch's renames
    for (RowInBatch& row : rows) {
      PlannedCopy& planned = row.planned;
      if (!planned.rename_unflushed) continue;
      planned.rename_unflushed = false;
      planned.renamed_on_drive =
          drives.Of(ParentFolder(planned.target_path), file_system_);
      if (!planned.renamed_on_drive)
        FlushRename(plan_[row.index].SourcePath, file_system_, planned);
    }
  }

  // The read-only marks just set, made durable at once where their drive
  // proves a flush of the whole drive (the drive flushed, whose marks need no
  // flush of their own); elsewhere they are flushed one by one next, after
  // the drive had a chance to write them all out at once.
  std::optional<std::uint64_t> FlushReadOnlyMarks(
      const std::vector<RowInBatch>& rows) {
    if (!options_.MakeReadOnly) return std::nullopt;
    for (const RowInBatch& row : rows) {
      const PlanRow& planned_row = plan_[row.index];
      const std::string& marked = row.planned.attribute_only
                                      ? planned_row.SourcePath
                                      : planned_row.TargetPath;
      if (!row.copy_step || marked.empty() || row.planned.copy.marked_read_only)
        continue;
      return file_system_.FlushDrive(ParentFolder(marked));
    }
    return std::nullopt;
  }

  void Finish(const RowInBatch& done,
              std::optional<std::uint64_t> marks_flushed) {
    PlanRow& row = plan_[done.index];
    if (done.copy_step) {
      if (!options_.KeepOriginal)
        DeleteSource(row.SourcePath, done.planned, row, file_system_);
      ConfirmOnDisk(row.SourcePath, done.planned, options_, marks_flushed, row,
                    file_system_);
    }
    if (observer_.row_done)
      observer_.row_done(done.index, done.planned.copy.bytes_copied);
  }

  ProcessingPlan& plan_;
  const Settings& options_;
  FileSystem& file_system_;
  const StatusSink& progress_;
  const RunObserver& observer_;
  TemporaryCleanUp clean_up_;
  SourceReadAhead read_ahead_;
  TargetNames names_;
  ImportedFiles imported_;
  std::unordered_set<std::string> ready_folders_;  // of the batch in hand
  std::size_t batch_rows_ = 1;  // the most rows of the next batch
  // The batch written before the one in hand, finishing aside.
  std::optional<BatchInHand> previous_;
};

}  // namespace

std::string ProgressText(int filled) {
  return ProgressBar(std::clamp(filled, 0, 10)) + "実行中";
}

int ProgressCells(std::size_t index, std::size_t count) {
  // A plan of one row is finished with its only row.
  if (count <= 1) return 10;
  return static_cast<int>(index * 10 / (count - 1));
}

std::string NumberedPath(const std::string& new_path, int k) {
  return VariantPath(new_path, k, ExtensionOf(new_path));
}

RunSummary RunPlan(ProcessingPlan& plan, const Settings& options,
                   FileSystem& file_system, const StatusSink& progress,
                   const RunObserver& observer) {
  RunSummary summary;
  BatchRun batch(plan, options, file_system, progress, observer);
  bool stop = false;
  while (summary.rows < plan.size() && !stop)
    summary.rows = batch.Run(summary.rows, stop);
  batch.ReportPrevious();
  return summary;
}

}  // namespace kuronel
