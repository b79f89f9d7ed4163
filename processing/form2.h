#ifndef KURONEL_PROCESSING_FORM2_H_
#define KURONEL_PROCESSING_FORM2_H_

#include <QDialog>
#include <functional>
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

// The processing window: the plan of the checked files with their new paths
// and states, the 実行 button that carries it out, and a status line for the
// run's progress. Shown modally by the execute command; each showing builds
// a new plan from the catalogue and the settings of that moment.
class TForm2 : public QDialog {
  Q_OBJECT

 public:
  // `catalogue` and `settings` are read when the window is shown and when a
  // run starts; `opened_folders` (the folders the catalogue was built from)
  // when a run starts, to lock them; `sort_state` is the program's one sort
  // state, shared with the main list.
  TForm2(std::function<const FileCatalogue&()> catalogue,
         std::function<Settings()> settings,
         std::function<std::vector<std::string>()> opened_folders,
         SortState& sort_state, FileSystem& file_system,
         QWidget* parent = nullptr);
  ~TForm2() override;

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

  std::function<const FileCatalogue&()> catalogue_;
  std::function<Settings()> settings_;
  std::function<std::vector<std::string>()> opened_folders_;
  SortState& sort_state_;
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

#endif  // KURONEL_PROCESSING_FORM2_H_
