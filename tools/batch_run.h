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

// Writes one "SourcePath<TAB>NewPath<TAB>State" line per row, then the
// summary line. In the paths a backslash, TAB, line feed and carriage return
// are written as \\, \t, \n and \r: a file name may hold any of them.
void WritePlan(const ProcessingPlan& plan, std::ostream& out);

// Does what the window does from opening the folders to the end of the run:
// builds the catalogue of the sources, checks the default targets, sorts by
// date, plans and (unless dry_run) runs the plan. A run holds the locks of
// RunLockRequests throughout and refuses (kBatchExitUsage) when another run
// holds them. Folders and files that could not be read go to `out` as
// "# cannot read PATH: REASON" lines before the plan, and fail the run. The
// plan goes to `out`, progress and messages to `err`. Returns the exit code.
// When `result` is given it receives the plan with every row's final state;
// `disk` replaces the real disk for the run (tests).
int RunBatch(const BatchOptions& options, std::ostream& out, std::ostream& err,
             ProcessingPlan* result = nullptr, FileSystem* disk = nullptr);

// Parses `args` (after the program name) against the current directory and
// runs; usage errors give kBatchExitUsage with the usage on `err`.
int BatchMain(const std::vector<std::string>& args, std::ostream& out,
              std::ostream& err, bool stderr_is_terminal);

}  // namespace kuronel

#endif  // KURONEL_TOOLS_BATCH_RUN_H_
