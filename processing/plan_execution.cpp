#include "processing/plan_execution.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <map>
#include <unordered_set>
#include <vector>

#include "processing/source_removal.h"

namespace kuronel {
namespace {

bool AttributeOnlyMode(const Settings& options) {
  return !options.RenameToDateFile && !options.MoveToDateFolder &&
         options.MakeReadOnly;
}

// The file systems that received copies or read-only marks. Copies whose
// sources are kept were not flushed one by one; they are written out together
// once the run is over.
class PendingFlushes {
 public:
  void Add(std::size_t row_index, const std::string& folder,
           FileSystem& file_system) {
    // Rows in date order mostly share the previous row's folder.
    if (folder != last_folder_) {
      FileInfo info;
      if (!file_system.Stat(folder, info)) return;
      last_folder_ = folder;
      last_device_ = info.device;
      folders_.emplace(info.device, folder);
    }
    rows_.emplace_back(row_index, last_device_);
  }

  // Syncs each file system once. A row whose copy could not be written out
  // is not reported as copied.
  bool Flush(ProcessingPlan& plan, FileSystem& file_system) {
    bool all_ok = true;
    for (const auto& [device, folder] : folders_) {
      const FileResult flushed = file_system.SyncFileSystem(folder);
      if (flushed.ok()) continue;
      all_ok = false;
      for (const auto& [row_index, row_device] : rows_) {
        PlanRow& row = plan[row_index];
        if (row_device != device || row.State != RowState::kCopied) continue;
        row.State = RowState::kCopyError;
        row.failure = flushed;
      }
    }
    return all_ok;
  }

 private:
  std::map<std::uint64_t, std::string> folders_;
  std::vector<std::pair<std::size_t, std::uint64_t>> rows_;
  std::string last_folder_;
  std::uint64_t last_device_ = 0;
};

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
  // A copy that does not prove itself (failed, changed source, replaced
  // target) keeps the state its copy step wrote, and the source stays.
  switch (RemoveCopiedSource(source_path, planned.target_path, planned.copy,
                             file_system, &row.failure)) {
    case SourceRemoval::kNotAllowed:
      return;
    case SourceRemoval::kDeleted:
      row.State = RowState::kMoved;  // a failed read-only step no longer shows
      row.failure = FileResult();
      return;
    case SourceRemoval::kDeleteFailed:
      row.State = RowState::kDelError;
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
// one file's copy is written (and, in a move, flushed) the card reads on.
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

// Renames (when allowed) or copies the source to the first free variant of
// new_path, again with the next free name while other programs take them.
void RenameOrCopy(const std::string& source_path, const std::string& new_path,
                  const Settings& options, FileSystem& file_system,
                  const CopyProgress& copy_progress, PlannedCopy& planned) {
  // A copy whose source goes next must be on disk before the delete.
  const bool flush = !options.KeepOriginal;
  for (int attempt = 1;; ++attempt) {
    planned.target_path = FreeTargetPath(new_path, file_system);
    // Within one file system a move is a rename: it ends as the copy and the
    // delete would, without reading the data. Anything else copies.
    if (!options.KeepOriginal &&
        file_system.MoveFileNoReplace(source_path, planned.target_path)) {
      planned.moved = true;
      return;
    }
    planned.copy = file_system.CopyFileNoReplace(
        source_path, planned.target_path, flush, copy_progress);
    if (planned.copy.ok || planned.copy.failure.error() != EEXIST ||
        attempt == kTargetNameAttempts)
      return;
  }
}

}  // namespace

std::string ProgressText(int filled) {
  filled = std::clamp(filled, 0, 10);
  std::string text;
  for (int cell = 0; cell < 10; ++cell) text += cell < filled ? "■" : "□";
  return text + "実行中";
}

int ProgressCells(std::size_t index, std::size_t count) {
  // A plan of one row is finished with its only row.
  if (count <= 1) return 10;
  return static_cast<int>(index * 10 / (count - 1));
}

std::string NumberedPath(const std::string& new_path, int k) {
  if (k == 0) return new_path;
  std::string extension = ExtensionOf(new_path);
  std::string stem = new_path.substr(0, new_path.size() - extension.size());
  return stem + std::to_string(k) + extension;
}

std::string FreeTargetPath(const std::string& new_path,
                           FileSystem& file_system) {
  std::string candidate = new_path;
  for (int k = 1; file_system.NameTaken(candidate); ++k)
    candidate = NumberedPath(new_path, k);
  return candidate;
}

PlannedCopy CopyPlannedFile(const std::string& source_path,
                            const std::string& new_path, PlanRow& row,
                            const Settings& options, FileSystem& file_system,
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
  RenameOrCopy(source_path, new_path, options, file_system, copy_progress,
               planned);
  if (planned.moved || planned.copy.ok) row.TargetPath = planned.target_path;
  if (planned.moved) {
    // As after a copy, a failed read-only step does not show: the delete's
    // state would replace it.
    if (options.MakeReadOnly) file_system.SetReadOnly(planned.target_path);
    row.State = RowState::kMoved;
    return planned;
  }
  row.State = planned.copy.ok ? RowState::kCopied : RowState::kCopyError;
  row.failure = planned.copy.failure;
  // After a failed copy there is no file of ours at the target to change.
  if (options.MakeReadOnly && planned.copy.ok)
    row.failure = file_system.SetReadOnly(planned.target_path);
  if (options.MakeReadOnly && !row.failure.ok())
    row.State = RowState::kAttrError;
  return planned;
}

RunSummary RunPlan(ProcessingPlan& plan, const Settings& options,
                   FileSystem& file_system, const StatusSink& progress,
                   const RunObserver& observer) {
  RunSummary summary;
  PendingFlushes pending;
  TemporaryCleanUp clean_up;
  SourceReadAhead read_ahead(plan, options);
  for (std::size_t i = 0; i < plan.size(); ++i) {
    if (progress) progress(ProgressText(ProgressCells(i, plan.size())));
    read_ahead.Before(i, file_system);
    PlanRow& row = plan[i];
    const std::string source_path = row.SourcePath;
    const std::string new_path = row.NewPath;
    const std::string folder = FolderOf(new_path);
    if (!file_system.FileExists(source_path)) {
      row.State = RowState::kNotFound;
      row.failure = FileResult(FileOperation::kOpen, source_path, ENOENT);
    } else if (!file_system.DirectoryExists(folder) &&
               !(row.failure = file_system.CreateDirectories(folder)).ok()) {
      row.State = RowState::kDirError;
    } else {
      if (!AttributeOnlyMode(options)) clean_up.Before(folder, file_system);
      PlannedCopy planned =
          CopyPlannedFile(source_path, new_path, row, options, file_system,
                          observer.copy_progress);
      read_ahead.After(planned);
      // A rename is atomic, so neither name can lose the file meanwhile;
      // both folders are written out with the copies at the end.
      if (planned.copy.ok || planned.moved) {
        pending.Add(i, FolderOf(planned.target_path), file_system);
      } else if (planned.read_only_set) {
        pending.Add(i, FolderOf(source_path), file_system);
      }
      if (!options.KeepOriginal)
        DeleteSource(source_path, planned, row, file_system);
    }
    if (observer.row_done) observer.row_done(i);
    summary.rows = i + 1;
    if (observer.stop_requested && observer.stop_requested()) break;
  }
  // The copies made before a stop are written out like all others.
  summary.flushed = pending.Flush(plan, file_system);
  return summary;
}

}  // namespace kuronel
