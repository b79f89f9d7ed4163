#include "tools/batch_run.h"

#include <poll.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/file_system.h"
#include "platform/path.h"
#include "platform/system.h"
#include "processing/plan_execution.h"
#include "processing/session.h"
#include "tools/tool_text.h"

namespace kuronel {

namespace {

constexpr char kProgramName[] = "kuronel-batch: ";

// The order in which the summary names the states.
constexpr RowState kStateOrder[] = {
    RowState::kUnprocessed, RowState::kDuplicate, RowState::kCopied,
    RowState::kMoved,       RowState::kReadOnly,  RowState::kImported,
    RowState::kCopyError,   RowState::kAttrError, RowState::kDirError,
    RowState::kDelError,    RowState::kNotFound,
};

// "SIGINT" for SIGINT, and so on; the number for a signal without a name.
std::string SignalName(int signal_number) {
  const char* name = sigabbrev_np(signal_number);
  return name != nullptr ? std::string("SIG") + name
                         : "signal " + std::to_string(signal_number);
}

int UsageError(std::ostream& err, const std::string& message) {
  err << kProgramName << message << "\n" << BatchUsageText();
  return kBatchExitUsage;
}

// Standard output of a run. Each line is flushed as it is written, so that a
// reader follows the run and a failed write shows at once; once one failed,
// nothing more is written.
class BatchOutput {
 public:
  // `fd` is the descriptor under `out`, or -1 where there is none (tests).
  BatchOutput(std::ostream& out, int fd) : out_(out), fd_(fd) {}

  void Write(std::string_view text) {
    if (failed()) return;
    errno = 0;
    out_ << text << std::flush;
    if (!out_) error_ = errno;
  }
  void WriteLine(const std::string& line) { Write(line + '\n'); }
  bool failed() const { return !out_; }

  // True once the reader of a pipe on standard output has gone (`| head
  // -1`): a run then stops before it touches more files whose lines could
  // only go to standard error.
  bool ReaderGone() {
    if (fd_ < 0 || !OutputReaderGone(fd_)) return false;
    if (error_ == 0) error_ = EPIPE;
    return true;
  }

  // Says once on `err` why standard output failed.
  void ReportFailure(std::ostream& err) {
    if (reported_) return;
    reported_ = true;
    err << kProgramName << "cannot write to standard output: "
        << (error_ != 0 ? std::strerror(error_) : "write error")
        << "; the lines of the files done from here on follow here\n";
  }

 private:
  std::ostream& out_;
  int fd_;
  int error_ = 0;
  bool reported_ = false;
};

// A stop asked of the run by a signal (see RequestBatchStop): the signal's
// number, 0 while none came.
std::atomic<int> stop_signal{0};
// Whether the run has begun touching files; a signal before that may end
// the process at once.
enum RunPhase : int { kBeforeRun, kRunning, kEnding };
std::atomic<int> run_phase{kBeforeRun};

// The run's phase for the time it touches files; false when a signal came
// first (the process is ending then, and nothing may be touched).
class RunningPhase {
 public:
  RunningPhase() {
    int expected = kBeforeRun;
    began_ = run_phase.compare_exchange_strong(expected, kRunning);
  }
  ~RunningPhase() {
    if (began_) run_phase = kBeforeRun;
  }
  RunningPhase(const RunningPhase&) = delete;
  RunningPhase& operator=(const RunningPhase&) = delete;
  bool began() const { return began_; }

 private:
  bool began_;
};

// Why a run was refused its locks, and what the user can do.
void WriteRefusal(const LockRefusal& refusal, std::ostream& err) {
  if (refusal.kind == LockRefusal::Kind::kBusy) {
    err << kProgramName << "another Kuronel run is working on "
        << refusal.folder << "; try again when it has finished\n";
    return;
  }
  err << kProgramName << "cannot keep track of the runs in " << refusal.folder
      << " (" << refusal.reason
      << "); no run starts without it, or it could meet another run on the "
         "same files. Remove that folder (ask the administrator when it is "
         "not yours) and try again\n";
}

// One "#" line for each folder or file that could not be read, so that
// nobody takes the card for empty when it is not; they fail the run. Gives
// the exit code of a run that otherwise does all it was asked.
int WriteUnreadable(const UnreadablePaths& unreadable, BatchOutput& output,
                    std::ostream& err) {
  for (const UnreadablePath& path : unreadable)
    output.WriteLine("# cannot read " + LineField(path.path) + ": " +
                     std::strerror(path.error));
  if (unreadable.empty()) return kBatchExitOk;
  err << kProgramName << unreadable.size()
      << " folders or files could not be read; see the # lines\n";
  return kBatchExitFailed;
}

// Rows that did not do all that was asked: a failure state, or a success
// state with a reason beside it (a move that kept its source).
size_t FailedRows(const ProcessingPlan& plan) {
  return static_cast<size_t>(
      std::count_if(plan.begin(), plan.end(), [](const PlanRow& row) {
        return !IsSuccessState(row.State) || !row.failure.ok();
      }));
}

}  // namespace

TerminalProgress::TerminalProgress(std::ostream& err,
                                   std::chrono::milliseconds interval,
                                   Clock clock)
    : err_(err), interval_(interval), clock_(std::move(clock)) {}

void TerminalProgress::Show(const std::string& text) {
  const auto now = clock_();
  if (shown_ && now - last_shown_ < interval_) return;
  // Back to the line's start, the text, then erase what a longer text left.
  err_ << "\r" << text << "\x1b[K" << std::flush;
  shown_ = true;
  last_shown_ = now;
}

void TerminalProgress::Clear() {
  if (!shown_) return;
  err_ << "\r\x1b[K" << std::flush;
  shown_ = false;
}

StatusSink TerminalProgress::Sink() {
  return [this](const std::string& text) { Show(text); };
}

std::string PlanSummary(const ProcessingPlan& plan) {
  std::string summary = "# " + std::to_string(plan.size()) + " files";
  const char* separator = ": ";
  for (RowState state : kStateOrder) {
    const auto count = std::count_if(
        plan.begin(), plan.end(),
        [state](const PlanRow& row) { return row.State == state; });
    if (count == 0) continue;
    summary += separator + std::to_string(count) + " " + StateText(state);
    separator = ", ";
  }
  return summary;
}

std::string FailureLine(const PlanRow& row) {
  if (row.failure.ok()) return std::string();
  return "# " + std::string(StateText(row.State)) + " " +
         LineField(row.failure.path()) + ": " +
         OperationText(row.failure.operation()) + ": " + row.failure.Reason();
}

std::string PlanLine(const PlanRow& row, bool was_run) {
  const std::string& target = was_run ? row.TargetPath : row.NewPath;
  return LineField(row.SourcePath) + '\t' + LineField(target) + '\t' +
         StateText(row.State) + '\t' + LineField(row.NewPath);
}

namespace {

// The rows of a plan that is not run (--dry-run, nothing to do), then the
// summary line.
void WritePlannedRows(const ProcessingPlan& plan, BatchOutput& output) {
  for (const PlanRow& row : plan) output.WriteLine(PlanLine(row, false));
  output.WriteLine(PlanSummary(plan));
}

// A row of a run, and why it failed when it did. A row that standard output
// did not take goes to `err` in the same form: the file was handled, and
// its line must reach the user somewhere.
void WriteRow(const PlanRow& row, BatchOutput& output, std::ostream& err) {
  std::string lines = PlanLine(row, true) + '\n';
  const std::string failure = FailureLine(row);
  if (!failure.empty()) lines += failure + '\n';
  output.Write(lines);
  if (!output.failed()) return;
  output.ReportFailure(err);
  err << lines << std::flush;
}

// Runs the plan and writes each row as soon as it is done, in its final
// state (a row is reported only once it is on the disk). Once standard
// output fails or its reader has gone, or a signal asks for it, the run
// stops after the rows in hand.
RunSummary RunPlanWritingRows(Session& session, ProcessingPlan& plan,
                              const StatusSink& status,
                              TerminalProgress& progress, BatchOutput& output,
                              std::ostream& err) {
  RunObserver observer;
  observer.row_done = [&](std::size_t i, std::uint64_t /*bytes_copied*/) {
    progress.Clear();  // a row must not land on the progress line
    WriteRow(plan[i], output, err);
  };
  observer.stop_requested = [&] {
    return stop_signal != 0 || output.failed() || output.ReaderGone();
  };
  RunSummary run = session.RunPlan(plan, status, observer);
  progress.Clear();
  return run;
}

// The usage errors that stop a run before it reads anything, or
// kBatchExitOk.
int CheckArguments(const BatchOptions& options, const Session& session,
                   std::ostream& err) {
  if (options.sources.empty()) return UsageError(err, "no SOURCE folder given");
  for (const std::string& source : options.sources) {
    if (KindAt(source, true, session.Calls()) != PathKind::kFolder)
      return UsageError(err, "not a folder: " + source);
  }
  const std::string bad_destination = session.DestinationMessage();
  if (!bad_destination.empty()) return UsageError(err, bad_destination);
  return kBatchExitOk;
}

// After a run: the summary line, and why the run failed when it did not do
// all it was asked.
int RunEnd(const RunSummary& run, const ProcessingPlan& plan, int exit_ok,
           BatchOutput& output, std::ostream& err) {
  const int signal_number = stop_signal;
  if (signal_number != 0) {
    output.WriteLine(PlanSummary(plan));
    err << kProgramName << "stopped by " << SignalName(signal_number)
        << " after " << run.rows << " of " << plan.size()
        << " files; the files after them were not touched\n";
    return kBatchExitSignalBase + signal_number;
  }
  if (run.rows < plan.size()) {
    output.ReportFailure(err);
    err << kProgramName << "stopped after " << run.rows << " of " << plan.size()
        << " files; the files after them were not touched\n";
    return kBatchExitFailed;
  }
  output.WriteLine(PlanSummary(plan));
  const size_t failed = FailedRows(plan);
  if (failed == 0) return exit_ok;
  err << kProgramName << failed << " of " << plan.size()
      << " files were not done as asked; see their state and the # lines\n";
  return kBatchExitFailed;
}

int RunBatchWithOutput(const BatchOptions& options, BatchOutput& output,
                       std::ostream& err, ProcessingPlan* result,
                       FileSystem* disk) {
  if (options.help) {
    output.Write(BatchHelpText());
    return kBatchExitOk;
  }
  if (options.version) {
    output.WriteLine(VersionLine("kuronel-batch"));
    return kBatchExitOk;
  }
  SystemCalls& calls = RealSystemCalls();
  RealFileSystem real_disk({.verify_copies = options.verify_copies}, calls);
  // It starts with a descending sort, as the program does; the execute
  // step below turns it ascending.
  Session session(calls, disk != nullptr ? *disk : real_disk);
  session.SetSettings(options.settings);
  if (const int usage = CheckArguments(options, session, err);
      usage != kBatchExitOk)
    return usage;
  // The one step of this tool that the window does not take: the run's
  // locks, which Session::RunPlan would otherwise take, are held from before
  // the folders are read until the run has ended, so that the read sees no
  // other run's work half done (a dry run changes nothing and takes none).
  LockRefusal refusal;
  if (!options.dry_run && !session.LockRun(options.sources, refusal)) {
    WriteRefusal(refusal, err);
    return kBatchExitUsage;
  }

  TerminalProgress progress(err);
  const StatusSink status =
      options.show_progress ? progress.Sink() : StatusSink();
  const UnreadablePaths unreadable =
      session.OpenFolders(options.sources, status);
  progress.Clear();
  const int exit_ok = WriteUnreadable(unreadable, output, err);
  ProcessingPlan plan;
  const RunPreparation prepared = session.PrepareRun(plan);
  // The destination passed with the arguments; a bad one is never a success.
  if (prepared.outcome == RunPreparation::Outcome::kInvalidDestination)
    return UsageError(err, prepared.message);
  if (!prepared.ready()) {
    err << kProgramName << prepared.message << "\n";
    WritePlannedRows(ProcessingPlan(), output);
    return exit_ok;
  }
  if (result != nullptr) *result = plan;
  if (options.dry_run) {
    WritePlannedRows(plan, output);
    return exit_ok;
  }
  // Nobody would learn what a run did whose output is already lost.
  if (output.failed()) return kBatchExitFailed;
  const RunningPhase running;
  // A signal came first: the process is ending, and touches nothing.
  if (!running.began()) return kBatchExitSignalBase + stop_signal;
  const RunSummary run =
      RunPlanWritingRows(session, plan, status, progress, output, err);
  if (result != nullptr) *result = plan;
  if (run.refusal.kind != LockRefusal::Kind::kNone) {
    WriteRefusal(run.refusal, err);
    return kBatchExitUsage;
  }
  return RunEnd(run, plan, exit_ok, output, err);
}

}  // namespace

int RunBatch(const BatchOptions& options, std::ostream& out, std::ostream& err,
             ProcessingPlan* result, FileSystem* disk, int out_fd) {
  BatchOutput output(out, out_fd);
  const int code = RunBatchWithOutput(options, output, err, result, disk);
  if (!output.failed()) return code;
  // A run whose results were lost has not done what it was asked.
  output.ReportFailure(err);
  return code == kBatchExitOk ? kBatchExitFailed : code;
}

bool RequestBatchStop(int signal_number) {
  stop_signal = signal_number;
  int expected = kBeforeRun;
  return !run_phase.compare_exchange_strong(expected, kEnding);
}

bool OutputReaderGone(int fd) {
  pollfd probe = {.fd = fd, .events = 0, .revents = 0};
  return ::poll(&probe, 1, 0) == 1 && (probe.revents & (POLLERR | POLLHUP));
}

int BatchMain(const std::vector<std::string>& args, std::ostream& out,
              std::ostream& err, bool stderr_is_terminal, int out_fd) {
  BatchOptions options;
  std::string error;
  if (!ParseBatchArguments(args, CurrentDirectory(RealSystemCalls()), options,
                           error))
    return UsageError(err, error);
  options.show_progress = stderr_is_terminal;
  return RunBatch(options, out, err, nullptr, nullptr, out_fd);
}

}  // namespace kuronel
