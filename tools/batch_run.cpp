#include "tools/batch_run.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "catalogue/catalogue_builder.h"
#include "catalogue/catalogue_checks.h"
#include "catalogue/catalogue_order.h"
#include "catalogue/folder_walk.h"
#include "exif/exif_info.h"
#include "platform/file_system.h"
#include "platform/folder_lock.h"
#include "platform/system.h"
#include "processing/plan_execution.h"
#include "processing/run_lock.h"

namespace kuronel {

namespace {

constexpr char kProgramName[] = "kuronel-batch: ";

// The order in which the summary names the states.
constexpr const char* kStateOrder[] = {
    kStateUnprocessed, kStateDuplicate, kStateCopied,    kStateMoved,
    kStateReadOnly,    kStateCopyError, kStateAttrError, kStateDirError,
    kStateDelError,    kStateNotFound,
};

int UsageError(std::ostream& err, const std::string& message) {
  err << kProgramName << message << "\n" << BatchUsageText();
  return kBatchExitUsage;
}

std::string PathField(const std::string& path);

// Opens the first source and adds the others, as the window's two folder
// commands do, then sets the default checks. Returns what could not be read.
UnreadablePaths BuildSourceCatalogue(const BatchOptions& options,
                                     SortState& sort_state,
                                     const StatusSink& status,
                                     FileCatalogue& catalogue) {
  FolderWorkList work_list;
  TExifInfo exif;
  const BuildOptions build = BuildOptionsFor(options.settings);
  UnreadablePaths unreadable;
  for (size_t i = 0; i < options.sources.size(); ++i) {
    BuildOutcome outcome = BuildCatalogue(options.sources[i], catalogue,
                                          work_list, exif, build, sort_state,
                                          status);
    if (i > 0) RemoveDuplicateRows(catalogue);
    unreadable.insert(unreadable.end(), outcome.unreadable.begin(),
                      outcome.unreadable.end());
  }
  ApplyDefaultChecks(catalogue, options.settings.CheckMoviesByDefault, status);
  return unreadable;
}

// One "#" line for each folder or file that could not be read, so that
// nobody takes the card for empty when it is not.
void WriteUnreadable(const UnreadablePaths& unreadable, std::ostream& out) {
  for (const UnreadablePath& path : unreadable)
    out << "# cannot read " << PathField(path.path) << ": "
        << std::strerror(path.error) << '\n';
}

// The execute command's checks of the catalogue: the message when there is
// nothing to process, else empty.
std::string NothingToProcessMessage(const FileCatalogue& catalogue) {
  if (catalogue.empty()) return "対象ファイルがありません";
  if (std::none_of(catalogue.begin(), catalogue.end(),
                   [](const CatalogueRow& row) { return row.Checked; }))
    return "選択されたファイルがありません";
  return std::string();
}

// A path as one field of a line: the bytes as the file system holds them,
// except that a backslash, TAB, line feed and carriage return are written as
// \\, \t, \n and \r, so that no name can split a line or add a field.
std::string PathField(const std::string& path) {
  std::string field;
  field.reserve(path.size());
  for (char c : path) {
    switch (c) {
      case '\\':
        field += "\\\\";
        break;
      case '\t':
        field += "\\t";
        break;
      case '\n':
        field += "\\n";
        break;
      case '\r':
        field += "\\r";
        break;
      default:
        field += c;
    }
  }
  return field;
}

size_t FailedRows(const ProcessingPlan& plan) {
  return static_cast<size_t>(std::count_if(
      plan.begin(), plan.end(),
      [](const PlanRow& row) { return !IsSuccessState(row.State); }));
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
  std::vector<std::pair<std::string, size_t>> counts;
  for (const char* state : kStateOrder) counts.emplace_back(state, 0);
  for (const PlanRow& row : plan) {
    auto found = std::find_if(counts.begin(), counts.end(), [&](auto& entry) {
      return entry.first == row.State;
    });
    if (found == counts.end()) {
      counts.emplace_back(row.State, 1);
    } else {
      ++found->second;
    }
  }
  std::string summary = "# " + std::to_string(plan.size()) + " files";
  const char* separator = ": ";
  for (const auto& [state, count] : counts) {
    if (count == 0) continue;
    summary += separator + std::to_string(count) + " " + state;
    separator = ", ";
  }
  return summary;
}

void WritePlan(const ProcessingPlan& plan, std::ostream& out) {
  for (const PlanRow& row : plan)
    out << PathField(row.SourcePath) << '\t' << PathField(row.NewPath) << '\t'
        << row.State << '\n';
  out << PlanSummary(plan) << '\n' << std::flush;
}

int RunBatch(const BatchOptions& options, std::ostream& out, std::ostream& err,
             ProcessingPlan* result, FileSystem* disk) {
  if (options.help) {
    out << BatchHelpText() << std::flush;
    return kBatchExitOk;
  }
  if (options.sources.empty()) return UsageError(err, "no SOURCE folder given");
  for (const std::string& source : options.sources) {
    if (!IsDirectory(source)) return UsageError(err, "not a folder: " + source);
  }
  const Settings& settings = options.settings;
  if (settings.MoveToDateFolder && !NamesADrive(settings.DestinationFolder))
    return UsageError(err, "移動先フォルダが不正です。");

  // Held from before the folders are read until the run has ended.
  FolderLocks locks;
  std::string busy;
  if (!options.dry_run &&
      !locks.TryLock(RunLockRequests(settings, options.sources), busy)) {
    err << kProgramName << "another Kuronel run is working on " << busy
        << "; try again when it has finished\n";
    return kBatchExitUsage;
  }

  TerminalProgress progress(err);
  const StatusSink status =
      options.show_progress ? progress.Sink() : StatusSink();
  // The program starts with a descending sort; the execute command below
  // turns it ascending.
  SortState sort_state;
  FileCatalogue catalogue;
  const UnreadablePaths unreadable =
      BuildSourceCatalogue(options, sort_state, status, catalogue);
  progress.Clear();
  WriteUnreadable(unreadable, out);
  if (!unreadable.empty())
    err << kProgramName << unreadable.size()
        << " folders or files could not be read; see the # lines\n";
  const int exit_ok = unreadable.empty() ? kBatchExitOk : kBatchExitFailed;

  const std::string nothing = NothingToProcessMessage(catalogue);
  if (!nothing.empty()) {
    err << kProgramName << nothing << "\n";
    WritePlan(ProcessingPlan(), out);
    return exit_ok;
  }
  // The rows of one day must stand together for the running suffixes.
  sort_state.SortColumn = kTimestampColumn;
  sort_state.SortAscending = true;
  SortCatalogue(catalogue, sort_state);

  RealFileSystem real_disk;
  FileSystem& file_system = disk != nullptr ? *disk : real_disk;
  ProcessingPlan plan;
  const Status built = BuildPlan(catalogue, settings, file_system, plan);
  if (!built.ok()) {
    progress.Clear();
    err << kProgramName << built.message() << "\n";
    return kBatchExitFailed;
  }
  if (options.dry_run) {
    progress.Clear();
    WritePlan(plan, out);
    if (result != nullptr) *result = plan;
    return exit_ok;
  }

  const RunSummary run = RunPlan(plan, settings, file_system, status);
  progress.Clear();
  WritePlan(plan, out);
  if (result != nullptr) *result = plan;
  if (!run.flushed)
    err << kProgramName << "the copies could not all be written to disk\n";
  const size_t failed = FailedRows(plan);
  if (failed == 0) return exit_ok;
  err << kProgramName << failed << " of " << plan.size()
      << " files were not processed; see their state\n";
  return kBatchExitFailed;
}

int BatchMain(const std::vector<std::string>& args, std::ostream& out,
              std::ostream& err, bool stderr_is_terminal) {
  BatchOptions options;
  std::string error;
  if (!ParseBatchArguments(args, CurrentDirectory(), options, error))
    return UsageError(err, error);
  options.show_progress = stderr_is_terminal;
  return RunBatch(options, out, err);
}

}  // namespace kuronel
