#ifndef KURONEL_PROCESSING_SESSION_H_
#define KURONEL_PROCESSING_SESSION_H_

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "catalogue/catalogue_builder.h"
#include "catalogue/catalogue_checks.h"
#include "catalogue/catalogue_order.h"
#include "catalogue/catalogue_row.h"
#include "catalogue/folder_walk.h"
#include "platform/file_system.h"
#include "platform/folder_lock.h"
#include "platform/progress.h"
#include "platform/system_calls.h"
#include "processing/new_name_plan.h"
#include "processing/plan_execution.h"
#include "settings/settings.h"

namespace kuronel {

// The execute command's words for a destination that names no drive while
// the copies go into date folders under it.
inline constexpr char kInvalidDestinationText[] = "移動先フォルダが不正です。";
// Its words once its checks have passed, just before it sorts the catalogue.
inline constexpr char kSortedForExecuteText[] =
    "ファイル一覧を日付順でソートしました。";

// What the execute command's preparation of a run came to: a plan ready to
// run, or the first check that failed with its status text.
struct [[nodiscard]] RunPreparation {
  enum class Outcome {
    kReady,
    kInvalidDestination,  // kInvalidDestinationText
    kNoRows,              // "対象ファイルがありません"
    kNothingChecked,      // "選択されたファイルがありません"
  };
  Outcome outcome = Outcome::kReady;
  std::string message;  // empty when ready

  bool ready() const { return outcome == Outcome::kReady; }
};

// Told before and after each change of a session's catalogue, so that a list
// showing its rows keeps in step (the main window's item model). Between the
// two calls of a pair the rows must not be read.
class CatalogueObserver {
 public:
  virtual ~CatalogueObserver() = default;
  // Rows replaced, added or removed.
  virtual void RowsAboutToBeReplaced() = 0;
  virtual void RowsReplaced() = 0;
  // The same rows in a new order: row i is the one that stood at order[i].
  virtual void RowsAboutToBeReordered() = 0;
  virtual void RowsReordered(const std::vector<size_t>& order) = 0;
  // The check marks of rows first to last (inclusive) may have changed.
  virtual void ChecksChanged(size_t first, size_t last) = 0;
};

// What the program works on from opening a folder to the end of a run, and
// the steps that the window and kuronel-batch both take on it, so that the
// two cannot drift apart. It owns the catalogue and the folders it was built
// from, the one sort state of both lists, the settings the steps read and the
// locks of a run. Every disk access of its steps goes through the system
// calls and the file system it was given.
class Session {
 public:
  // `sort` is the order the program starts with.
  Session(SystemCalls& calls, FileSystem& file_system, SortState sort = {});
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  SystemCalls& Calls() const { return calls_; }
  FileSystem& Disk() const { return file_system_; }

  // The settings the steps read, as the front end last gave them (the
  // window gives them whenever the user changes an option, the destination
  // or a detail setting).
  void SetSettings(const Settings& settings) { settings_ = settings; }
  const Settings& CurrentSettings() const { return settings_; }

  const FileCatalogue& Catalogue() const { return catalogue_; }
  // The folders the catalogue was built from, the opened one first.
  const std::vector<std::string>& OpenedFolders() const {
    return opened_folders_;
  }
  const SortState& Sort() const { return sort_; }

  // The one list that follows the catalogue; null for none.
  void SetCatalogueObserver(CatalogueObserver* observer) {
    observer_ = observer;
  }

  // Opening a folder: builds the catalogue of `folder` (BuildCatalogue)
  // with its default checks, then puts it in place of the old one, which
  // stays as it was until then. `folder` becomes the only opened folder.
  BuildOutcome OpenFolder(const std::string& folder, const StatusSink& status);
  // Adding a folder: the same with the old rows kept, where a file already
  // listed keeps its one row (RemoveDuplicateRows); the default checks are
  // set again on all rows.
  BuildOutcome AddFolder(const std::string& folder, const StatusSink& status);
  // Opens the first folder and adds the others, as the window's two folder
  // commands would; gives what none of them could read.
  UnreadablePaths OpenFolders(const std::vector<std::string>& folders,
                              const StatusSink& status);
  // Runs `change` on the rows as one replacement of them.
  void ChangeRows(const std::function<void(FileCatalogue&)>& change);

  // The check commands. ApplyDefaultChecks (jpegのみCheck) checks the
  // photos, and the movies when the settings say so.
  size_t ApplyDefaultChecks(const StatusSink& status);
  CheckCommandResult CheckSelectedRows(const std::vector<bool>& selected);
  CheckCommandResult UncheckSelectedRows(const std::vector<bool>& selected);
  // One row's check box; a row past the end is ignored.
  void SetChecked(size_t row, bool checked);

  // A header click on the main list: sorts by `column` in the current
  // direction, then turns the direction for the next click of either list.
  void SortByClickedColumn(int column);
  // A header click on the plan list, sharing the same sort state.
  void SortPlanByClickedColumn(ProcessingPlan& plan, int column);

  // The execute command's check of the destination alone:
  // kInvalidDestinationText when the copies go into date folders under a
  // destination that names no drive, else empty.
  std::string DestinationMessage() const;

  // The execute command, in its one order: the destination check, the check
  // that there is something to process, then (once `status` is told
  // kSortedForExecuteText) the sort by timestamp, ascending, the direction
  // left so afterwards, and last `plan`: the checked rows in that order. A
  // failed check ends it there, with `plan` empty and the catalogue as it
  // was. It takes no lock: a run takes its own where it begins (RunPlan), so
  // that a plan on show keeps no other run waiting.
  RunPreparation PrepareRun(ProcessingPlan& plan,
                            const StatusSink& status = {});

  // False when a run of `plan` would make files read-only on a drive that
  // cannot keep the mark (FileSystem::KeepsReadOnlyMarks), so that its rows
  // would end "AttrError!": asked of the destination, or of the sources'
  // folders where the files stay beside them.
  bool ReadOnlyMarksHold(const ProcessingPlan& plan) const;

  // Takes the locks of a run (RunLockRequests of the settings and
  // `folders`) without waiting: false, with `refusal` saying why, when
  // another run holds one or the registry of runs cannot be had. Held until
  // UnlockRun or the session's end; a second call keeps the locks already
  // held.
  bool LockRun(const std::vector<std::string>& folders, LockRefusal& refusal);
  // The same for the opened folders.
  bool LockRun(LockRefusal& refusal) {
    return LockRun(opened_folders_, refusal);
  }
  void UnlockRun();
  bool HoldsRunLocks() const { return run_locks_ != nullptr; }

  // Carries out `plan` with the settings (see RunPlan). Without the locks
  // of LockRun it takes them for the run itself and lets them go at its end,
  // and when another run holds them it touches no file: no row is handled,
  // and the summary's refusal says why.
  RunSummary RunPlan(ProcessingPlan& plan, const StatusSink& status,
                     const RunObserver& observer = {});

 private:
  // Builds the catalogue of `folder` onto `rows` (a copy of the rows kept,
  // or none), a file listed twice kept once, sets the default checks and
  // puts the result in place of the catalogue.
  BuildOutcome BuildAndShow(FileCatalogue rows, const std::string& folder,
                            const StatusSink& status);
  // The first of the execute command's checks that fails, or kReady.
  RunPreparation CheckForRun() const;
  // Puts `rows` in place of the catalogue, the observer told around it.
  void ReplaceRows(FileCatalogue& rows);
  void Reorder(const std::vector<size_t>& order);
  void ChecksChanged();

  SystemCalls& calls_;
  FileSystem& file_system_;
  Settings settings_;
  SortState sort_;
  FileCatalogue catalogue_;
  std::vector<std::string> opened_folders_;
  // The folders of the last walk, root first.
  FolderWorkList work_list_;
  std::unique_ptr<FolderLocks> run_locks_;
  CatalogueObserver* observer_ = nullptr;
};

}  // namespace kuronel

#endif  // KURONEL_PROCESSING_SESSION_H_
