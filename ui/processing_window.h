#ifndef KURONEL_UI_PROCESSING_WINDOW_H_
#define KURONEL_UI_PROCESSING_WINDOW_H_

#include <QDialog>
#include <QElapsedTimer>
#include <cstdint>
#include <optional>
#include <utility>

#include "catalogue/catalogue_order.h"
#include "processing/new_name_plan.h"
#include "processing/session.h"

class QCloseEvent;
class QKeyEvent;
class QLabel;
class QPushButton;
class QStatusBar;
class QTableView;
class QTimer;

namespace kuronel {

class PlanModel;
class PlanRun;

// The processing window: the plan of the checked files with their new paths
// and states, the 実行 button that carries it out, and a status line for the
// run's progress. Shown modally by the execute command with the plan that
// the session prepared (Session::PrepareRun); its header clicks turn the
// session's sort state.
//
// The run goes on a thread of its own (PlanRun), which takes the run's locks
// and lets them go at its end (Session::RunPlan): the window stays alive,
// shows each row as it is done with the files, bytes and time left, and the
// second button or Escape stops the run after the rows in hand. While it
// runs the window leaves the session and the plan alone; closing the window
// asks first, then stops the run and closes once it has ended. A run refused
// because another run holds its folders touches nothing: the window says so
// and the plan stays ready to run.
class ProcessingWindow : public QDialog {
  Q_OBJECT

 public:
  // `session` outlives the window.
  explicit ProcessingWindow(Session& session, QWidget* parent = nullptr);
  ~ProcessingWindow() override;

  // Shows `plan` modally.
  void Execute(ProcessingPlan plan) {
    SetPlanToShow(std::move(plan));
    exec();
  }
  // The plan the window's next own showing puts in place of the rows and
  // outcomes it showed before.
  void SetPlanToShow(ProcessingPlan plan) { plan_to_show_ = std::move(plan); }
  const SortState& Sort() const { return session_.Sort(); }

  // The plan as the list shows it: during a run, the rows reported so far.
  const ProcessingPlan& Plan() const;
  QString StatusText() const;
  bool Running() const { return run_ != nullptr; }

 public slots:
  // Escape and the second button: before or after a run it closes the
  // window; during one it stops the run after the rows in hand.
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  // The window's own showing: the plan given to show, if any, and the
  // buttons as before a run.
  void ShowNewPlan();
  // The buttons and the line beside them as before a run.
  void ShowReadyToRun();
  void StartRun();
  void SortByClickedColumn(int column);
  void OnStatusTimer();

  void StopRun();
  void RowDone(int row, const PlanRow& outcome, quint64 bytes_copied);
  void ShowRunProgress();
  void RunFinished();
  // After a run that ran: its outcome, and the buttons for closing.
  void ShowRunEnded();
  void GoToNextFailure();
  void ShowRunInfo(const QString& text, bool attention);
  void ShowStatus(const QString& text);

  void CreateToolBand();
  void CreateList();
  void CreateStatusLine();
  void CreateReadOnlyNotice();
  QPushButton* AddButton(const char* name, const char* caption, int width);

  Session& session_;
  std::optional<ProcessingPlan> plan_to_show_;
  PlanRun* run_ = nullptr;  // the run going on, if any
  bool close_after_run_ = false;
  std::size_t rows_done_ = 0;
  std::uint64_t bytes_copied_ = 0;
  QElapsedTimer run_time_;

  QWidget* tool_band_ = nullptr;
  QPushButton* run_button_ = nullptr;
  // Cancel before a run, 中止 during one, 閉じる after it.
  QPushButton* cancel_button_ = nullptr;
  QPushButton* next_failure_button_ = nullptr;
  QLabel* run_info_ = nullptr;
  // Shown before a run whose read-only marks the drive cannot keep.
  QLabel* read_only_notice_ = nullptr;
  QTableView* plan_list_ = nullptr;
  PlanModel* plan_model_ = nullptr;
  QStatusBar* status_bar_ = nullptr;
  QLabel* status_text_ = nullptr;
  QTimer* status_timer_ = nullptr;
  // Ticks the time left while no row comes (a long flush or movie).
  QTimer* run_clock_ = nullptr;
};

}  // namespace kuronel

#endif  // KURONEL_UI_PROCESSING_WINDOW_H_
