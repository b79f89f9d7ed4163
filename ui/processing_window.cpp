#include "ui/processing_window.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QShowEvent>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include "platform/cp932.h"
#include "processing/plan_columns.h"
#include "ui/plan_model.h"
#include "ui/report_list.h"
#include "ui/application.h"
#include "ui/input_discard.h"
#include "ui/keyboard_buttons.h"
#include "ui/path_elision.h"
#include "ui/status_line.h"

namespace kuronel {
namespace {

constexpr int kClientWidth = 592;
constexpr int kClientHeight = 333;
constexpr int kMinimumWidth = 300;
constexpr int kMinimumHeight = 150;
constexpr int kToolBandHeight = 26;
constexpr int kStatusLineHeight = 19;
constexpr int kButtonWidth = 65;
constexpr int kButtonHeight = 22;
constexpr int kStatusTimerMs = 1000;

QString Text(const char* utf8) { return QString::fromUtf8(utf8); }

constexpr char kAnotherRunText[] =
    "別の Kuronel が同じフォルダを処理しています。"
    "終わってから、もう一度実行してください。\n";

}  // namespace

TForm2::TForm2(Session& session, QWidget* parent)
    : QDialog(parent), session_(session) {
  setObjectName("Form2");
  setWindowTitle(Text("処理ファイル一覧"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);

  CreateToolBand();
  CreateList();
  CreateStatusLine();
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(ToolBar1);
  layout->addWidget(ListViewFile);
  layout->addWidget(StatusBar2);
  // Opens at its designed size; the user may resize it, the list taking the
  // room (the main window keeps the size for the next start).
  resize(kClientWidth, kClientHeight);
  setMinimumSize(kMinimumWidth, kMinimumHeight);

  Timer2 = new QTimer(this);
  Timer2->setObjectName("Timer2");
  Timer2->setInterval(kStatusTimerMs);
  Timer2->setSingleShot(true);
  connect(Timer2, &QTimer::timeout, this, &TForm2::Timer2Timer);
}

TForm2::~TForm2() = default;

QPushButton* TForm2::AddButton(const char* name, const char* caption,
                               int left) {
  auto* button = new QPushButton(Text(caption), ToolBar1);
  button->setObjectName(name);
  button->setFlat(true);
  // Neither is the dialog's default: Return in the list never starts a run.
  // A keyboard user reaches each with Tab and presses it with Space or
  // Return.
  button->setAutoDefault(false);
  PressOnReturn(button);
  ShowFocusOfFlatButton(button);
  button->setGeometry(left, 2, kButtonWidth, kButtonHeight);
  return button;
}

void TForm2::CreateToolBand() {
  ToolBar1 = new QWidget(this);
  ToolBar1->setObjectName("ToolBar1");
  ToolBar1->setFixedHeight(kToolBandHeight);
  SpeedButton1 = AddButton("SpeedButton1", "実行", 0);
  SpeedButton1->setToolTip(Text("実行"));
  SpeedButton2 = AddButton("SpeedButton2", "Cancel", 72);
  connect(SpeedButton1, &QPushButton::clicked, this,
          &TForm2::SpeedButton1Click);
  connect(SpeedButton2, &QPushButton::clicked, this,
          &TForm2::SpeedButton2Click);
}

void TForm2::CreateList() {
  plan_model_ = new PlanModel(this);
  ListViewFile = NewReportList(this, "ListViewFile", plan_model_,
                               QAbstractItemView::SingleSelection,
                               {200, 288, 100});
  auto* paths = new PathColumnDelegate(ListViewFile);
  ListViewFile->setItemDelegateForColumn(kSourcePathColumn, paths);
  ListViewFile->setItemDelegateForColumn(kNewPathColumn, paths);
  connect(ListViewFile->horizontalHeader(), &QHeaderView::sectionClicked,
          this, &TForm2::ListViewFileColumnClick);
}

void TForm2::CreateStatusLine() {
  StatusBar2 = new QStatusBar(this);
  StatusBar2->setObjectName("StatusBar2");
  StatusBar2->setSizeGripEnabled(false);
  StatusBar2->setFixedHeight(kStatusLineHeight);
  status_text_ = new QLabel(StatusBar2);
  status_text_->setObjectName("StatusBar2Text");
  StatusBar2->addWidget(status_text_, 1);
  status_line_ = std::make_unique<StatusLine>(status_text_);
}

const ProcessingPlan& TForm2::Plan() const { return plan_model_->Plan(); }

QString TForm2::StatusText() const { return status_line_->Text(); }

void TForm2::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // Only the window's own showing builds the plan: a window restored by the
  // desktop keeps the outcomes of its run.
  if (!event->spontaneous()) FormActivate();
}

void TForm2::FormActivate() {
  SpeedButton1->setEnabled(true);
  SpeedButton2->setEnabled(true);
  SpeedButton2->setText(Text("Cancel"));
  ProcessingPlan plan;
  session_.BuildPlan(plan);
  plan_model_->ChangePlan(
      [&plan](ProcessingPlan& rows) { rows = std::move(plan); });
  // A new plan is read from its beginning, whatever the last one showed.
  ListViewFile->scrollToTop();
  ListViewFile->horizontalScrollBar()->setValue(0);
  // The keyboard starts in the list; Tab reaches 実行.
  ListViewFile->setFocus(Qt::OtherFocusReason);
}

void TForm2::SpeedButton1Click() {
  if (running_) return;
  // Another run on the same folders would interleave with this one.
  std::string busy;
  if (!session_.LockRun(busy)) {
    ShowErrorReport(Text(kAnotherRunText) +
                    QString::fromStdString(DisplayPath(busy)));
    return;
  }
  // The run takes no user input; the buttons say so as well.
  running_ = true;
  // Declared first, so that input given during the run is discarded after
  // the buttons are enabled again, not delivered to them.
  InputDiscardScope discard_input;
  SpeedButton1->setEnabled(false);
  SpeedButton2->setEnabled(false);
  Timer2->stop();
  struct RunEnd {
    TForm2* form;
    ~RunEnd() {
      form->session_.UnlockRun();
      form->running_ = false;
      form->SpeedButton2->setEnabled(true);
      // 実行 is off now; the keyboard's next step is closing.
      form->SpeedButton2->setFocus(Qt::OtherFocusReason);
    }
  } run_end{this};

  RunObserver observer;
  observer.row_done = [this](std::size_t row) {
    plan_model_->RowChanged(row);
    status_line_->KeepAlive();
  };
  observer.copy_progress = [this](std::uint64_t, std::uint64_t) {
    status_line_->KeepAlive();
  };
  const StatusSink show_progress = status_line_->ProgressSink();
  // Writing out the copies at the end may still turn rows into errors.
  plan_model_->ChangeStates([&](ProcessingPlan& plan) {
    session_.RunPlan(plan, show_progress, observer);
  });
  status_line_->Flush();

  SpeedButton2->setText(Text("閉じる"));
  Timer2->start();
}

void TForm2::SpeedButton2Click() { reject(); }

void TForm2::reject() {
  if (running_) return;
  QDialog::reject();
}

void TForm2::ListViewFileColumnClick(int column) {
  InputDiscardScope discard_input;
  plan_model_->ChangePlan([&](ProcessingPlan& plan) {
    session_.SortPlanByClickedColumn(plan, column);
  });
  status_line_->Show(Text(kSortedText));
  Timer2->start();
}

void TForm2::Timer2Timer() {
  status_line_->Show(QString());
  Timer2->stop();
}

}  // namespace kuronel
