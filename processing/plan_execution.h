#ifndef KURONEL_PROCESSING_PLAN_EXECUTION_H_
#define KURONEL_PROCESSING_PLAN_EXECUTION_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/file_system.h"
#include "platform/folder_lock.h"
#include "platform/progress.h"
#include "processing/new_name_plan.h"
#include "settings/settings.h"

namespace kuronel {

// The status line during a run: `filled` "■" then "□" up to ten cells, then
// "実行中". ProgressText(3) is ■■■□□□□□□□実行中.
std::string ProgressText(int filled);

// The filled cells while row `index` of `count` rows is handled: none for
// the first row, all ten for the last (and for the only row).
int ProgressCells(std::size_t index, std::size_t count);

// The kth numbered variant of a target path: k before the extension of the
// file name (a0.JPG gives a01.JPG), or at the end when there is none; k == 0
// gives the path itself. A folder name is never changed.
std::string NumberedPath(const std::string& new_path, int k);

// Lets a window follow a run: it repaints a finished row and keeps repainting
// while a large file is copied. A caller that can no longer report the rows
// (the batch tool's output was closed) ends the run between two rows.
struct RunObserver {
  // A row is done, in its final state, and the bytes its copy wrote: 0 for
  // a rename, a file made read-only in place, or a row that copied nothing.
  std::function<void(std::size_t row_index, std::uint64_t bytes_copied)>
      row_done = {};
  CopyProgress copy_progress = {};
  // Asked after each row is begun and after each batch of rows is reported:
  // true ends the run once the rows begun are finished and reported. The
  // later rows keep their planned state and their files are not touched.
  std::function<bool()> stop_requested = {};
};

// What the copy step did, for the delete step that may follow.
struct PlannedCopy {
  bool attribute_only = false;  // the source itself was to be made read-only
  bool read_only_set = false;   // ...and it was
  std::string target_path;      // where the copy went (copy mode)
  CopyResult copy;
  // The copy's ticket in its batch, where it waited for the batch's flush.
  std::optional<CopyBatch::Ticket> ticket;
  // The source was renamed to target_path instead of copied, so the row is
  // already moved (KeepOriginal off).
  bool moved = false;
  // Renamed, its folders not yet flushed: left to the end of its batch.
  bool rename_unflushed = false;
  // The drive whose flush after the rename made it durable, where one did.
  std::optional<std::uint64_t> renamed_on_drive;
};

struct RunSummary {
  // The rows handled: all of the plan's unless the run was stopped.
  std::size_t rows = 0;
  // Why the run was refused before it touched any file (another run held
  // a folder, the registry of runs could not be had); kNone when it ran.
  LockRefusal refusal;
};

// Handles every row in the plan's current order, writing each row's state;
// a failed row never stops the run; only the observer's stop_requested
// does. The rows go in batches whose copies share the drive's flushes, and
// each is reported once its batch is done. A row reads a success state only
// once what it did is on the disk (its copy, rename or read-only mark
// flushed, a copy read back equal), before row_done reports it. A source is
// deleted only through RemoveCopiedSource: after a copy that this run made is
// on disk, whole and read back, at the row's target, and never when anything
// went wrong. Before the first copy into a folder, the hidden temporaries that
// killed copies left there are removed.
RunSummary RunPlan(ProcessingPlan& plan, const Settings& options,
                   FileSystem& file_system, const StatusSink& progress,
                   const RunObserver& observer = {});

}  // namespace kuronel

#endif  // KURONEL_PROCESSING_PLAN_EXECUTION_H_
