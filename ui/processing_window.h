#ifndef KURONEL_UI_PROCESSING_WINDOW_H_
#define KURONEL_UI_PROCESSING_WINDOW_H_

#include <QDialog>
#include <memory>

#include "catalogue/catalogue_order.h"
#include "processing/new_name_plan.h"
#include "processing/session.h"

class QLabel;
class QPushButton;
class QStatusBar;
class QTableView;
class QTimer;

namespace kuronel {

class PlanModel;
class StatusLine;

// The processing window: the plan of the checked files with their new paths
// and states, the 実行 button that carries it out, and a status line for the
// run's progress. Shown modally by the execute command; each showing builds
// a new plan from the session's catalogue and settings of that moment, and
// its header clicks turn the session's sort state.
class TForm2 : public QDialog {
  Q_OBJECT

 public:
  // `session` outlives the window.
  explicit TForm2(Session& session, QWidget* parent = nullptr);
  ~TForm2() override;

  // Shows the window modally.
  void Execute() { exec(); }
  const SortState& Sort() const { return session_.Sort(); }

  const ProcessingPlan& Plan() const;
  QString StatusText() const;

 public slots:
  // Closes the window, except in the middle of a run.
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void FormActivate();
  void SpeedButton1Click();
  void SpeedButton2Click();
  void ListViewFileColumnClick(int column);
  void Timer2Timer();

  void CreateToolBand();
  void CreateList();
  void CreateStatusLine();
  QPushButton* AddButton(const char* name, const char* caption, int left);

  Session& session_;
  bool running_ = false;

  QWidget* ToolBar1 = nullptr;
  QPushButton* SpeedButton1 = nullptr;
  QPushButton* SpeedButton2 = nullptr;
  QTableView* ListViewFile = nullptr;
  PlanModel* plan_model_ = nullptr;
  QStatusBar* StatusBar2 = nullptr;
  QLabel* status_text_ = nullptr;
  std::unique_ptr<StatusLine> status_line_;
  QTimer* Timer2 = nullptr;
};

}  // namespace kuronel

#endif  // KURONEL_UI_PROCESSING_WINDOW_H_
