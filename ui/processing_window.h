#ifndef KURONEL_UI_PROCESSING_WINDOW_H_
#define KURONEL_UI_PROCESSING_WINDOW_H_

#include <QDialog>
#include <memory>
#include <string>
#include <vector>

#include "catalogue/catalogue_order.h"
#include "catalogue/catalogue_row.h"
#include "platform/file_system.h"
#include "processing/new_name_plan.h"
#include "settings/settings.h"

class QLabel;
class QPushButton;
class QStatusBar;
class QTableView;
class QTimer;

namespace kuronel {

class PlanModel;
class StatusLine;

// What the processing window works from while it is shown: the catalogue and
// the settings of that moment, the folders the catalogue was built from
// (locked during a run) and the program's sort state.
struct ProcessingRequest {
  const FileCatalogue* catalogue = nullptr;  // outlives the showing
  Settings settings;
  std::vector<std::string> opened_folders;
  SortState sort;
};

// The processing window: the plan of the checked files with their new paths
// and states, the 実行 button that carries it out, and a status line for the
// run's progress. Shown modally by the execute command; each showing builds
// a new plan from its request.
class TForm2 : public QDialog {
  Q_OBJECT

 public:
  explicit TForm2(FileSystem& file_system, QWidget* parent = nullptr);
  ~TForm2() override;

  // Shows the window modally for `request` and gives the sort state as the
  // window's header clicks left it.
  SortState Execute(ProcessingRequest request);
  // What Execute does before it shows the window, for a caller that shows it
  // itself.
  void Prepare(ProcessingRequest request) { request_ = std::move(request); }
  const SortState& Sort() const { return request_.sort; }

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

  ProcessingRequest request_;
  FileSystem& file_system_;
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
