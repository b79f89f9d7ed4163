#include "ui/processing_window.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QShowEvent>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <limits>
#include <optional>

#include "platform/cp932.h"
#include "processing/plan_columns.h"
#include "processing/run_outcome.h"
#include "ui/application.h"
#include "ui/keyboard_buttons.h"
#include "ui/path_elision.h"
#include "ui/plan_model.h"
#include "ui/plan_run.h"
#include "ui/report_list.h"

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
// The second button stands 72 pixels from the left edge.
constexpr int kButtonGap = 72 - kButtonWidth;
constexpr int kNextFailureButtonWidth = 84;
constexpr int kStatusTimerMs = 1000;
constexpr int kRunClockMs = 1000;

QString Text(const char* utf8) { return QString::fromUtf8(utf8); }
QString Text(const std::string& utf8) { return QString::fromStdString(utf8); }

constexpr char kAnotherRunText[] =
    "別の Kuronel が同じフォルダを処理しています。"
    "終わってから、もう一度実行してください。\n";
// Without its registry a run could not see another one on nested folders.
constexpr char kNoRunRegistryText[] =
    "実行中の処理を記録するフォルダが安全に使えないため、処理を始めません。"
    "このフォルダを取り除いて (他のユーザーのものなら管理者に頼んで) から、"
    "もう一度実行してください。\n";

// The message of a run that was refused its locks.
QString RefusalText(const LockRefusal& refusal) {
  const QString folder = QString::fromStdString(DisplayPath(refusal.folder));
  if (refusal.kind == LockRefusal::Kind::kBusy)
    return Text(kAnotherRunText) + folder;
  return Text(kNoRunRegistryText) + folder + " (" +
         QString::fromStdString(refusal.reason) + ")";
}

constexpr char kStoppingText[] =
    "中止しています。処理中のファイルを終えてから止まります: ";
constexpr char kReadOnlyNotKeptText[] =
    "この行き先のドライブは読み出し専用の印を保てません（FUSE "
    "のドライバでマウントした exFAT や FAT など）。このままでは各ファイルが "
    "AttrError! になります。オプションの「読み出し専用に変更」を外すか、"
    "カーネルのドライバでマウントし直してください。";
constexpr char kCloseDuringRunText[] =
    "実行中です。処理中のファイルを終えたところで中止して、閉じますか？\n"
    "まだ始めていないファイルには手を付けません。";

const QColor kAttentionColour(255, 0, 0);

}  // namespace

ProcessingWindow::ProcessingWindow(Session& session, QWidget* parent)
    : QDialog(parent), session_(session) {
  setObjectName("Form2");
  setWindowTitle(Text("処理ファイル一覧"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);

  CreateToolBand();
  CreateList();
  CreateStatusLine();
  CreateReadOnlyNotice();
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(tool_band_);
  layout->addWidget(read_only_notice_);
  layout->addWidget(plan_list_);
  layout->addWidget(status_bar_);
  // Opens at its designed size; the user may resize it, the list taking the
  // room (the main window keeps the size for the next start).
  resize(kClientWidth, kClientHeight);
  setMinimumSize(kMinimumWidth, kMinimumHeight);

  status_timer_ = new QTimer(this);
  status_timer_->setObjectName("Timer2");
  status_timer_->setInterval(kStatusTimerMs);
  status_timer_->setSingleShot(true);
  connect(status_timer_, &QTimer::timeout, this,
          &ProcessingWindow::OnStatusTimer);

  run_clock_ = new QTimer(this);
  run_clock_->setInterval(kRunClockMs);
  connect(run_clock_, &QTimer::timeout, this,
          &ProcessingWindow::ShowRunProgress);
}

ProcessingWindow::~ProcessingWindow() {
  if (run_ == nullptr) return;
  // The program ends under a run: the rows in hand are finished first, and
  // the run lets its locks go.
  delete run_;
  run_ = nullptr;
}

QPushButton* ProcessingWindow::AddButton(const char* name, const char* caption,
                                         int width) {
  auto* button = new QPushButton(Text(caption), tool_band_);
  button->setObjectName(name);
  button->setFlat(true);
  // Neither is the dialog's default: Return in the list never starts a run.
  // A keyboard user reaches each with Tab and presses it with Space or
  // Return.
  button->setAutoDefault(false);
  PressOnReturn(button);
  ShowFocusOfFlatButton(button);
  button->setFixedSize(width, kButtonHeight);
  return button;
}

void ProcessingWindow::CreateToolBand() {
  tool_band_ = new QWidget(this);
  tool_band_->setObjectName("ToolBar1");
  tool_band_->setFixedHeight(kToolBandHeight);
  run_button_ = AddButton("SpeedButton1", "実行", kButtonWidth);
  run_button_->setToolTip(Text("実行"));
  cancel_button_ = AddButton("SpeedButton2", "Cancel", kButtonWidth);
  next_failure_button_ =
      AddButton("NextFailureButton", "次の問題(&N)", kNextFailureButtonWidth);
  next_failure_button_->setToolTip(Text("うまくいかなかった次の行へ (F8)"));
  // What the run will do, then how far it is, then how it ended: one line.
  run_info_ = new QLabel(tool_band_);
  run_info_->setObjectName("RunInfo");
  run_info_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

  auto* band = new QHBoxLayout(tool_band_);
  const int margin = (kToolBandHeight - kButtonHeight) / 2;
  band->setContentsMargins(0, margin, margin, margin);
  band->setSpacing(kButtonGap);
  band->addWidget(run_button_);
  band->addWidget(cancel_button_);
  band->addWidget(next_failure_button_);
  band->addWidget(run_info_, 1);

  connect(run_button_, &QPushButton::clicked, this,
          &ProcessingWindow::StartRun);
  connect(cancel_button_, &QPushButton::clicked, this,
          &ProcessingWindow::reject);
  connect(next_failure_button_, &QPushButton::clicked, this,
          &ProcessingWindow::GoToNextFailure);
}

void ProcessingWindow::CreateList() {
  plan_model_ = new PlanModel(this);
  plan_list_ =
      NewReportList(this, "ListViewFile", plan_model_,
                    QAbstractItemView::SingleSelection, {200, 288, 100});
  auto* paths = new PathColumnDelegate(plan_list_);
  plan_list_->setItemDelegateForColumn(kSourcePathColumn, paths);
  plan_list_->setItemDelegateForColumn(kNewPathColumn, paths);
  connect(plan_list_->horizontalHeader(), &QHeaderView::sectionClicked, this,
          &ProcessingWindow::SortByClickedColumn);
}

void ProcessingWindow::CreateStatusLine() {
  status_bar_ = new QStatusBar(this);
  status_bar_->setObjectName("StatusBar2");
  status_bar_->setSizeGripEnabled(false);
  status_bar_->setFixedHeight(kStatusLineHeight);
  status_text_ = new QLabel(status_bar_);
  status_text_->setObjectName("StatusBar2Text");
  status_bar_->addWidget(status_text_, 1);
}

void ProcessingWindow::CreateReadOnlyNotice() {
  read_only_notice_ = new QLabel(Text(kReadOnlyNotKeptText), this);
  read_only_notice_->setObjectName("ReadOnlyNotice");
  read_only_notice_->setWordWrap(true);
  read_only_notice_->setContentsMargins(4, 2, 4, 2);
  QPalette palette = read_only_notice_->palette();
  palette.setColor(QPalette::WindowText, kAttentionColour);
  read_only_notice_->setPalette(palette);
  read_only_notice_->hide();
}

const ProcessingPlan& ProcessingWindow::Plan() const {
  return plan_model_->Plan();
}

QString ProcessingWindow::StatusText() const { return status_text_->text(); }

void ProcessingWindow::ShowStatus(const QString& text) {
  status_text_->setText(text);
}

void ProcessingWindow::ShowRunInfo(const QString& text, bool attention) {
  run_info_->setText(text);
  run_info_->setToolTip(text);  // whole, where the line is cut short
  QPalette palette = run_info_->palette();
  palette.setColor(QPalette::WindowText,
                   attention
                       ? kAttentionColour
                       : tool_band_->palette().color(QPalette::WindowText));
  run_info_->setPalette(palette);
}

void ProcessingWindow::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // Only the window's own showing puts a new plan in view: a window restored
  // by the desktop keeps the outcomes of its run.
  if (!event->spontaneous()) ShowNewPlan();
}

void ProcessingWindow::ShowNewPlan() {
  // The rows of a run stay in view, and so do its outcomes until a new plan
  // is given.
  if (Running() || !plan_to_show_) return;
  plan_model_->ChangePlan([this](ProcessingPlan& rows) {
    rows = std::move(*plan_to_show_);
    plan_to_show_.reset();
  });
  ShowReadyToRun();
  // A new plan is read from its beginning, whatever the last one showed.
  plan_list_->scrollToTop();
  plan_list_->horizontalScrollBar()->setValue(0);
  // The keyboard starts in the list; Tab reaches 実行.
  plan_list_->setFocus(Qt::OtherFocusReason);
}

void ProcessingWindow::ShowReadyToRun() {
  run_button_->setEnabled(true);
  cancel_button_->setEnabled(true);
  cancel_button_->setText(Text("Cancel"));
  next_failure_button_->setEnabled(false);
  plan_list_->horizontalHeader()->setSectionsClickable(true);
  // A move deletes the originals: that is said before anything is done.
  const Settings& options = session_.CurrentSettings();
  ShowRunInfo(Text(RunModeLine(options)), RunDeletesOriginals(options));
  read_only_notice_->setVisible(!session_.ReadOnlyMarksHold(Plan()));
}

void ProcessingWindow::StartRun() {
  if (Running() || !run_button_->isEnabled()) return;
  run_button_->setEnabled(false);
  // Said once, before the run; now the rows say what happened.
  read_only_notice_->hide();
  // The second button stops the run; the rows must keep their places.
  cancel_button_->setText(Text("中止"));
  cancel_button_->setFocus(Qt::OtherFocusReason);
  plan_list_->horizontalHeader()->setSectionsClickable(false);
  status_timer_->stop();
  rows_done_ = 0;
  bytes_copied_ = 0;
  close_after_run_ = false;

  // The run works on its own copy of the plan, in the list's order; the
  // list is told each row.
  run_ = new PlanRun(session_, Plan(), this);
  connect(run_, &PlanRun::RowDone, this, &ProcessingWindow::RowDone);
  connect(run_, &PlanRun::Progress, this, &ProcessingWindow::ShowStatus);
  connect(run_, &PlanRun::Finished, this, &ProcessingWindow::RunFinished);
  run_time_.start();
  run_clock_->start();
  ShowRunProgress();
  run_->Start();
}

void ProcessingWindow::reject() {
  if (Running()) {
    StopRun();
    return;
  }
  QDialog::reject();
}

void ProcessingWindow::closeEvent(QCloseEvent* event) {
  if (!Running()) {
    QDialog::closeEvent(event);
    return;
  }
  event->ignore();
  if (close_after_run_) return;
  QMessageBox box(QMessageBox::Question, Text(kApplicationTitle),
                  Text(kCloseDuringRunText), QMessageBox::NoButton, this);
  QPushButton* stop =
      box.addButton(Text("中止して閉じる"), QMessageBox::AcceptRole);
  box.addButton(Text("続ける"), QMessageBox::RejectRole);
  KeepTitleVisible(box);
  box.exec();
  if (box.clickedButton() != stop) return;
  // The run may have ended while the user read the question.
  if (!Running()) {
    QDialog::reject();
    return;
  }
  close_after_run_ = true;
  StopRun();
}

void ProcessingWindow::keyPressEvent(QKeyEvent* event) {
  // F8 goes to the next row that did not succeed, wherever the focus is.
  if (event->key() == Qt::Key_F8 && event->modifiers() == Qt::NoModifier) {
    GoToNextFailure();
    return;
  }
  QDialog::keyPressEvent(event);
}

void ProcessingWindow::StopRun() {
  if (run_ == nullptr || run_->StopRequested()) return;
  run_->RequestStop();
  cancel_button_->setEnabled(false);
  ShowRunProgress();
}

void ProcessingWindow::RowDone(int row, const PlanRow& outcome,
                               quint64 bytes_copied) {
  plan_model_->SetRow(static_cast<std::size_t>(row), outcome);
  ++rows_done_;
  bytes_copied_ += bytes_copied;
  ShowRunProgress();
}

void ProcessingWindow::ShowRunProgress() {
  if (run_ == nullptr) return;
  const double elapsed = static_cast<double>(run_time_.elapsed()) / 1000;
  const std::size_t rows = Plan().size();
  QString line = Text(RunProgressLine(rows_done_, rows, bytes_copied_,
                                      SecondsLeft(elapsed, rows_done_, rows)));
  if (run_->StopRequested()) line = Text(kStoppingText) + line;
  ShowRunInfo(line, false);
}

void ProcessingWindow::RunFinished() {
  // The thread has ended: its plan is final, rows not begun included.
  const ProcessingPlan& outcome = run_->Plan();
  plan_model_->ChangeStates(
      [&outcome](ProcessingPlan& plan) { plan = outcome; });
  const bool refused = run_->Refusal().kind != LockRefusal::Kind::kNone;
  const QString error =
      refused ? RefusalText(run_->Refusal()) : Text(run_->Error());
  run_->deleteLater();
  run_ = nullptr;
  run_clock_->stop();

  if (refused) {
    // No file was touched: the same plan can run once the other run is over.
    ShowReadyToRun();
    run_button_->setFocus(Qt::OtherFocusReason);
  } else {
    ShowRunEnded();
  }
  // The last progress text goes a second later.
  status_timer_->start();
  if (!error.isEmpty()) ShowErrorReport(error);
  if (close_after_run_) QDialog::reject();
}

void ProcessingWindow::ShowRunEnded() {
  const OutcomeCounts counts = CountOutcomes(Plan());
  ShowRunInfo(Text(RunSummaryLine(counts)),
              counts.failed + counts.source_kept + counts.not_begun > 0);
  next_failure_button_->setEnabled(counts.failed + counts.source_kept > 0);
  plan_list_->horizontalHeader()->setSectionsClickable(true);
  cancel_button_->setText(Text("閉じる"));
  cancel_button_->setEnabled(true);
  // 実行 is off now; the keyboard's next step is closing.
  cancel_button_->setFocus(Qt::OtherFocusReason);
}

void ProcessingWindow::GoToNextFailure() {
  if (Running()) return;
  const QModelIndex current = plan_list_->currentIndex();
  const std::size_t from = current.isValid()
                               ? static_cast<std::size_t>(current.row())
                               : std::numeric_limits<std::size_t>::max();
  const std::optional<std::size_t> next = NextRowNeedingAttention(Plan(), from);
  if (!next) return;
  const QModelIndex target = plan_model_->index(static_cast<int>(*next), 0);
  plan_list_->setCurrentIndex(target);
  plan_list_->scrollTo(target);
}

void ProcessingWindow::SortByClickedColumn(int column) {
  // The run reports rows by their place in the plan.
  if (Running()) return;
  plan_model_->ChangePlan([&](ProcessingPlan& plan) {
    session_.SortPlanByClickedColumn(plan, column);
  });
  ShowStatus(Text(kSortedText));
  status_timer_->start();
}

void ProcessingWindow::OnStatusTimer() {
  ShowStatus(QString());
  status_timer_->stop();
}

}  // namespace kuronel
