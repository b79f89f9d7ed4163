#include "processing/session.h"

#include <unordered_set>
#include <utility>

#include "platform/path.h"
#include "processing/plan_columns.h"
#include "processing/run_lock.h"

namespace kuronel {

Session::Session(SystemCalls& calls, FileSystem& file_system, SortState sort)
    : calls_(calls), file_system_(file_system), sort_(sort) {}

Session::~Session() = default;

BuildOutcome Session::OpenFolder(const std::string& folder,
                                 const StatusSink& status) {
  BuildOutcome outcome = BuildAndShow(FileCatalogue(), folder, status);
  opened_folders_ = {folder};
  return outcome;
}

BuildOutcome Session::AddFolder(const std::string& folder,
                                const StatusSink& status) {
  BuildOutcome outcome = BuildAndShow(catalogue_, folder, status);
  opened_folders_.push_back(folder);
  return outcome;
}

BuildOutcome Session::BuildAndShow(FileCatalogue rows,
                                   const std::string& folder,
                                   const StatusSink& status) {
  // Built apart: the rows shown meanwhile stay valid until the swap.
  const bool adding = !rows.empty();
  BuildOutcome outcome =
      BuildCatalogue(folder, rows, work_list_, calls_,
                     BuildOptionsFor(settings_), sort_, status);
  // One walk lists a file once; a second may reach it again.
  if (adding) RemoveDuplicateRows(rows);
  ::kuronel::ApplyDefaultChecks(rows, DefaultTargetsFor(settings_), status);
  ReplaceRows(rows);
  return outcome;
}

UnreadablePaths Session::OpenFolders(const std::vector<std::string>& folders,
                                     const StatusSink& status) {
  UnreadablePaths unreadable;
  for (size_t i = 0; i < folders.size(); ++i) {
    BuildOutcome outcome =
        i == 0 ? OpenFolder(folders[i], status) : AddFolder(folders[i], status);
    unreadable.insert(unreadable.end(), outcome.unreadable.begin(),
                      outcome.unreadable.end());
  }
  return unreadable;
}

void Session::ChangeRows(const std::function<void(FileCatalogue&)>& change) {
  if (observer_ != nullptr) observer_->RowsAboutToBeReplaced();
  change(catalogue_);
  if (observer_ != nullptr) observer_->RowsReplaced();
}

void Session::ReplaceRows(FileCatalogue& rows) {
  ChangeRows([&rows](FileCatalogue& catalogue) { catalogue.swap(rows); });
}

size_t Session::ApplyDefaultChecks(const StatusSink& status) {
  const size_t count = ::kuronel::ApplyDefaultChecks(
      catalogue_, DefaultTargetsFor(settings_), status);
  ChecksChanged();
  return count;
}

CheckCommandResult Session::CheckSelectedRows(
    const std::vector<bool>& selected) {
  CheckCommandResult result =
      ::kuronel::CheckSelectedRows(catalogue_, selected);
  ChecksChanged();
  return result;
}

CheckCommandResult Session::UncheckSelectedRows(
    const std::vector<bool>& selected) {
  CheckCommandResult result =
      ::kuronel::UncheckSelectedRows(catalogue_, selected);
  ChecksChanged();
  return result;
}

void Session::SetChecked(size_t row, bool checked) {
  if (row >= catalogue_.size()) return;
  catalogue_[row].Checked = checked;
  if (observer_ != nullptr) observer_->ChecksChanged(row, row);
}

void Session::ChecksChanged() {
  if (observer_ != nullptr && !catalogue_.empty())
    observer_->ChecksChanged(0, catalogue_.size() - 1);
}

void Session::SortByClickedColumn(int column) {
  Reorder(ClickedColumnOrder(
      catalogue_.size(),
      [this, column](size_t row) {
        return CatalogueColumnText(catalogue_[row], column);
      },
      column, sort_));
}

void Session::SortPlanByClickedColumn(ProcessingPlan& plan, int column) {
  ::kuronel::SortPlanByClickedColumn(plan, column, sort_);
}

void Session::Reorder(const std::vector<size_t>& order) {
  if (observer_ != nullptr) observer_->RowsAboutToBeReordered();
  ApplyPermutation(catalogue_, order);
  if (observer_ != nullptr) observer_->RowsReordered(order);
}

std::string Session::DestinationMessage() const {
  if (settings_.MoveToDateFolder && !NamesADrive(settings_.DestinationFolder))
    return kInvalidDestinationText;
  return std::string();
}

RunPreparation Session::CheckForRun() const {
  using Outcome = RunPreparation::Outcome;
  if (std::string message = DestinationMessage(); !message.empty())
    return {Outcome::kInvalidDestination, std::move(message)};
  std::string message = ::kuronel::NothingToProcessMessage(catalogue_);
  if (message.empty()) return {};
  return {catalogue_.empty() ? Outcome::kNoRows : Outcome::kNothingChecked,
          std::move(message)};
}

RunPreparation Session::PrepareRun(ProcessingPlan& plan,
                                   const StatusSink& status) {
  plan.clear();
  RunPreparation prepared = CheckForRun();
  if (!prepared.ready()) return prepared;
  if (status) status(kSortedForExecuteText);
  // Each day's rows must stand together for the running suffixes of their
  // new names.
  ::kuronel::SortForExecute(sort_);
  Reorder(CatalogueOrder(catalogue_, sort_));
  ::kuronel::BuildPlan(catalogue_, settings_, file_system_, plan);
  return prepared;
}

bool Session::ReadOnlyMarksHold(const ProcessingPlan& plan) const {
  if (!settings_.MakeReadOnly || plan.empty()) return true;
  // Date folders are made under the destination; without them, the copies
  // (or the files themselves) stay in the sources' folders.
  if (settings_.MoveToDateFolder)
    return file_system_.KeepsReadOnlyMarks(settings_.DestinationFolder);
  std::unordered_set<std::string> asked;
  for (const PlanRow& row : plan) {
    const std::string folder = ParentFolder(row.SourcePath);
    if (asked.insert(folder).second && !file_system_.KeepsReadOnlyMarks(folder))
      return false;
  }
  return true;
}

bool Session::LockRun(const std::vector<std::string>& folders,
                      LockRefusal& refusal) {
  if (run_locks_ != nullptr) return true;
  auto locks = std::make_unique<FolderLocks>(calls_);
  if (!locks->TryLock(RunLockRequests(settings_, folders), refusal))
    return false;
  run_locks_ = std::move(locks);
  return true;
}

void Session::UnlockRun() { run_locks_.reset(); }

RunSummary Session::RunPlan(ProcessingPlan& plan, const StatusSink& status,
                            const RunObserver& observer) {
  // A run without locks could interleave with another run on the same
  // folders; this one then holds them for its own length.
  struct LocksOfThisRun {
    Session* session = nullptr;
    ~LocksOfThisRun() {
      if (session != nullptr) session->UnlockRun();
    }
  } locks_of_this_run;
  if (run_locks_ == nullptr) {
    RunSummary refused;
    if (!LockRun(refused.refusal)) return refused;
    locks_of_this_run.session = this;
  }
  return ::kuronel::RunPlan(plan, settings_, file_system_, status, observer);
}

}  // namespace kuronel
