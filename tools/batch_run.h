#ifndef KURONEL_TOOLS_BATCH_RUN_H_
#define KURONEL_TOOLS_BATCH_RUN_H_

#include <chrono>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "platform/progress.h"
#include "processing/new_name_plan.h"
#include "processing/plan_execution.h"
#include "tools/batch_options.h"

namespace kuronel {

// Shows status texts on one terminal line, each replacing the one before, at
// most one text per `interval`: a build sends a text per file, far more than
// anyone can read.
class TerminalProgress {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;

  explicit TerminalProgress(
      std::ostream& err,
      std::chrono::milliseconds interval = std::chrono::milliseconds(250),
      Clock clock = std::chrono::steady_clock::now);
  ~TerminalProgress() { Clear(); }
  TerminalProgress(const TerminalProgress&) = delete;
  TerminalProgress& operator=(const TerminalProgress&) = delete;

  // Shows `text` unless the last text shown is younger than the interval.
  void Show(const std::string& text);
  // Erases the line, when anything was shown, so messages start clean.
  void Clear();
  StatusSink Sink();

 private:
  std::ostream& err_;
  std::chrono::milliseconds interval_;
  Clock clock_;
  bool shown_ = false;
  std::chrono::steady_clock::time_point last_shown_;
};

// The summary line without its line end: "# 13 files: 12 OK, 1 DelError!",
// the states in the order of the state table ("未処理", "重複", "OK", "Ok",
// "ReadOnly", "CopyError!", "AttrError!", "DirError!", "DelError!",
// "file not found"), any other state after them; "# 0 files" for an empty
// plan.
std::string PlanSummary(const ProcessingPlan& plan);

// The output line of one row without its line end:
// "SourcePath<TAB>Target<TAB>State<TAB>NewPath", the paths written with
// LineField (a file name may hold a TAB or a line break). Target is where
// the run put the file (the row's TargetPath, empty when it put it nowhere);
// for a plan that was not run, the planned NewPath.
std::string PlanLine(const PlanRow& row, bool was_run);

// Why a failed row failed, as a line of its own after the row's line, for
// example "# DirError! /x/2004_05_06: create folder: Permission denied";
// empty for a row that did not fail.
std::string FailureLine(const PlanRow& row);

// Does what the window does from opening the folders to the end of the run:
// builds the catalogue of the sources, checks the default targets, sorts by
// date, plans and (unless dry_run) runs the plan. A run holds the locks of
// RunLockRequests throughout and refuses (kBatchExitUsage) when another run
// holds them or the registry of runs cannot be had. Folders and files that
// could not be read go to `out` as
// "# cannot read PATH: REASON" lines before the plan, and fail the run. The
// plan goes to `out`, one line flushed as each row is done, progress and
// messages to `err`. When `out` fails (a full disk, a closed pipe) the run
// stops after the rows in hand and fails; the lines of the rows it did that
// `out` did not take go to `err`, one each, in the same form. So does a
// run whose pipe on `out_fd` (the descriptor under `out`, -1 for none) has
// lost its reader. A stop asked by RequestBatchStop ends the run the same
// way, all its lines on `out`, and gives kBatchExitSignalBase + the signal.
// Returns the exit code. When `result` is given it receives the plan with
// every row's final state; `disk` replaces the real disk for the run
// (tests).
int RunBatch(const BatchOptions& options, std::ostream& out, std::ostream& err,
             ProcessingPlan* result = nullptr, FileSystem* disk = nullptr,
             int out_fd = -1);

// Parses `args` (after the program name) against the current directory and
// runs; usage errors give kBatchExitUsage with the usage on `err`.
int BatchMain(const std::vector<std::string>& args, std::ostream& out,
              std::ostream& err, bool stderr_is_terminal, int out_fd = -1);

// The exit code of a run stopped by a signal is this plus its number, as a
// shell gives a command that the signal ended: 130 for SIGINT, 143 for
// SIGTERM.
inline constexpr int kBatchExitSignalBase = 128;

// Asks the run of this process to stop after the rows in hand, for
// `signal_number`; callable from any thread. False when the run has not
// begun touching files: none will be touched then, and the caller may end
// the process as the signal would.
bool RequestBatchStop(int signal_number);

// True when `fd` is a pipe or socket whose reader has gone.
bool OutputReaderGone(int fd);

}  // namespace kuronel

#endif  // KURONEL_TOOLS_BATCH_RUN_H_
