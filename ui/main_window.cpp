#include "ui/main_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QFont>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyle>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "catalogue/catalogue_checks.h"
#include "ui/catalogue_model.h"
#include "platform/cp932.h"
#include "platform/system.h"
#include "settings/colour_table.h"
#include "ui/processing_window.h"
#include "ui/report_list.h"
#include "ui/detail_settings_window.h"
#include "settings/option_rule.h"
#include "settings/settings_io.h"
#include "ui/application.h"
#include "ui/keyboard_buttons.h"
#include "ui/status_line.h"
#include "ui/tool_icons.h"
#include "ui/window_sizes.h"

namespace kuronel {
namespace {

constexpr int kClientWidth = 592;
constexpr int kToolStripHeight = 26;
constexpr int kListHeight = 269;
constexpr int kStatusLineHeight = 19;
constexpr int kStatusTimerMs = 2500;
// The destination button reaches from here to the tool strip's right edge.
constexpr int kDestinationLeft = 176;
// Smaller, the tool strip's buttons and the list's first columns would not
// show.
constexpr int kMinimumWidth = 400;
constexpr int kMinimumClientHeight = 160;

constexpr char kMoveModeText[] = "移動（オリジナルを削除）";
constexpr char kMoveModeHint[] =
    "オプションの「オリジナルは保存」がオフです。実行すると、"
    "コピーを確かめたファイルを元の場所から削除します。";

QString Text(const char* utf8) { return QString::fromUtf8(utf8); }

constexpr char kDestinationHint[] = "新規フォルダの入力";
// The destination button's caption: 1 pixel from its left edge, and as much
// on the right.
constexpr int kCaptionMargins = 2;

// A caption shown on a button: "&" would otherwise mark an access key.
QString ButtonCaption(const QString& text) {
  return QString(text).replace('&', QStringLiteral("&&"));
}

// The list's font: IPA Gothic, whose half-width letters are all half an em
// wide, so that digits stand in columns, at 12 pixels: smaller, its "."
// takes a tail like a "," (IMG_0039,JPG) and its "_" fades into the grid.
QFont ListFont() {
  QFont font(QStringLiteral("IPAGothic"));
  font.setPixelSize(12);
  return font;
}

constexpr char kWidestTimestamp[] = "2008/12/31 23:59:58";

}  // namespace

TForm1::TForm1(const StartupValues& start, Session& session, QWidget* parent)
    : QMainWindow(parent),
      session_(session),
      startup_folder_(start.startup_folder) {
  setObjectName("Form1");
  setWindowTitle(Text(kApplicationTitle));
  catalogue_model_ = new CatalogueModel(session_, this);
  catalogue_model_->SetCheckedBackground([this] {
    return QColor::fromRgb(ColourToRgb(settings_.TargetBackColour));
  });

  auto* client = new QWidget(this);
  auto* layout = new QVBoxLayout(client);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  setCentralWidget(client);
  CreateToolStrip();
  CreateList();
  layout->addWidget(CoolBar1);
  layout->addWidget(ListViewM);
  CreateMainMenu();
  CreatePopupMenu();
  CreateStatusLine();

  TimerSB = new QTimer(this);
  TimerSB->setObjectName("TimerSB");
  TimerSB->setInterval(kStatusTimerMs);
  TimerSB->setSingleShot(true);
  connect(TimerSB, &QTimer::timeout, this, &TForm1::TimerSBTimer);

  // The designed size: the client area (tool strip, list, status line) is
  // 592 x 314 and the menu bar comes on top of it. The user may resize the
  // window; the list takes the room.
  designed_size_ =
      QSize(kClientWidth, menuBar()->sizeHint().height() + kToolStripHeight +
                              kListHeight + kStatusLineHeight);
  resize(designed_size_);
  setMinimumSize(kMinimumWidth,
                 menuBar()->sizeHint().height() + kMinimumClientHeight);
  ConnectDialogCommands();
  ConnectCatalogueCommands();
  ConnectExecuteCommand();
  ApplyLoadedSettings(start.settings);
  CreateProcessingAndDetailWindows(start.settings);
  // The keyboard starts in the list: Space checks a row there, and Tab
  // goes on to the tool buttons.
  ReturnFocusToList();
}

void TForm1::ReturnFocusToList() { ListViewM->setFocus(Qt::OtherFocusReason); }

TForm1::ListFocusReturn::~ListFocusReturn() { form_.ReturnFocusToList(); }

// After the main window, as the program starts: the processing window, then
// the detail settings window, both owned by this window.
void TForm1::CreateProcessingAndDetailWindows(const Settings& loaded) {
  Form2 = new TForm2(session_, this);
  processing_designed_size_ = Form2->size();
  RestoreWindowSize(*Form2, loaded.ProcessingWindowSize);
  Form3 = new TForm3(startup_folder_, DetailOf(loaded), this);
  connect(Form3, &TForm3::DetailSettingsInUse, this,
          &TForm1::UseDetailSettings);
}

void TForm1::UseDetailSettings(const DetailSettings& values) {
  UseDetail(settings_, values);
  ShareSettings();
  // Checked rows take a new colour at their next repaint.
  ListViewM->viewport()->update();
}

void TForm1::ShareSettings() {
  session_.SetSettings(CurrentSettings());
  ShowMoveMode();
}

// A run that deletes the originals from the card is never a surprise: the
// sign stays while the options say so, also after a start that loaded them.
void TForm1::ShowMoveMode() {
  move_mode_sign_->setVisible(RunDeletesOriginals(
      MoveFMainM->isChecked(), ChangeFMainM->isChecked(),
      NoWriteFMainM->isChecked(), NokosuFMainM->isChecked()));
}

TForm1::~TForm1() = default;

void TForm1::CreateToolStrip() {
  CoolBar1 = new QWidget(this);
  CoolBar1->setObjectName("CoolBar1");
  CoolBar1->setFixedHeight(kToolStripHeight);
  CoolBar1->installEventFilter(this);
  SpeedButton1 = AddToolButton("SpeedButton1", 0, 23, OpenFolderIcon(),
                               "フォルダを開く");
  SpeedButton3 =
      AddToolButton("SpeedButton3", 24, 23, AddFolderIcon(), "フォルダを追加");
  SpeedButton2 = AddToolButton("SpeedButton2", 56, 23, ExecuteIcon(),
                               "処理の実行");
  HelpSpeedButton = AddToolButton("HelpSpeedButton", 88, 23, HelpIcon(), "Help");
  OptionSpeedButton =
      AddToolButton("OptionSpeedButton", 120, 23, ToolsIcon(), "Option");
  OptionSpeedButton->setVisible(false);
  SpeedButton4 = AddToolButton("SpeedButton4", 152, 25, ChooseFolderIcon(),
                               "既存フォルダの選択");

  SpeedButtonIdousaki = new QPushButton(CoolBar1);
  SpeedButtonIdousaki->setObjectName("SpeedButtonIdousaki");
  SpeedButtonIdousaki->setFlat(true);
  SpeedButtonIdousaki->setGeometry(kDestinationLeft, 2, 417, 22);
  SpeedButtonIdousaki->setStyleSheet(
      "QPushButton { text-align: left; padding-left: 1px; }");
  PressOnReturn(SpeedButtonIdousaki);
  ShowDestination();
}

QToolButton* TForm1::AddToolButton(const char* name, int left, int width,
                                   const QIcon& icon, const char* hint) {
  auto* button = new QToolButton(CoolBar1);
  button->setObjectName(name);
  button->setAutoRaise(true);
  button->setIcon(icon);
  button->setIconSize(QSize(16, 16));
  button->setToolTip(Text(hint));
  button->setGeometry(left, 2, width, 22);
  PressOnReturn(button);
  return button;
}

void TForm1::CreateList() {
  const QFont font = ListFont();
  ListViewM = NewReportList(this, "ListViewM", catalogue_model_,
                            QAbstractItemView::ExtendedSelection,
                            {100, 125, 245, 118}, &font);
  // A whole time stamp fits its column, inside the cell's text margins;
  // the folder column, which takes the rest, gives up what this one needs.
  const int margin = ListViewM->style()->pixelMetric(
                         QStyle::PM_FocusFrameHMargin, nullptr, ListViewM) +
                     1;
  ListViewM->setColumnWidth(
      3, std::max(118,
                  ListViewM->fontMetrics().horizontalAdvance(kWidestTimestamp) +
                      2 * margin + 2));
  ListViewM->setContextMenuPolicy(Qt::CustomContextMenu);
  ListViewM->installEventFilter(this);
  // After a sort (the execute command's among them) the row with the focus
  // may stand anywhere; Space must not change a row the user cannot see.
  connect(catalogue_model_, &QAbstractItemModel::layoutChanged, this,
          &TForm1::ScrollCurrentRowIntoView);
  connect(catalogue_model_, &CatalogueModel::CheckToggled, this, [this] {
    SetStatusText(
        QString::fromStdString(CheckedCountText(session_.Catalogue())));
  });
}

void TForm1::ScrollCurrentRowIntoView() {
  const QModelIndex current = ListViewM->currentIndex();
  if (!current.isValid()) return;
  // Only up or down: the check boxes stay where the user left them.
  QScrollBar* sideways = ListViewM->horizontalScrollBar();
  const int across = sideways->value();
  ListViewM->scrollTo(current);
  sideways->setValue(across);
}

QAction* TForm1::AddItem(QMenu* menu, const char* name, const char* caption) {
  QAction* item = menu->addAction(Text(caption));
  item->setObjectName(name);
  return item;
}

QAction* TForm1::AddSeparator(QMenu* menu, const char* name) {
  QAction* separator = menu->addSeparator();
  separator->setObjectName(name);
  return separator;
}

void TForm1::CreateMainMenu() {
  QMenuBar* MainMenu1 = menuBar();
  MainMenu1->setObjectName("MainMenu1");

  QMenu* File1 = MainMenu1->addMenu(Text("ファイル"));
  File1->setObjectName("File1");
  File1->menuAction()->setObjectName("File1Item");
  File1->menuAction()->setToolTip(Text("フォルダを開く"));
  OpenFMainM = AddItem(File1, "OpenFMainM", "フォルダを開く");
  AddFMainM = AddItem(File1, "AddFMainM", "フォルダを追加");
  AddSeparator(File1, "N2");
  N16 = AddItem(File1, "N16", "既存フォルダの選択");
  N17 = AddItem(File1, "N17", "新規フォルダの入力");
  AddSeparator(File1, "N15");
  Exit1 = AddItem(File1, "Exit1", "終了");
  // The close control and 終了 end the program the same way.
  connect(Exit1, &QAction::triggered, this, &QWidget::close);

  QMenu* MainM0 = MainMenu1->addMenu(Text("編集"));
  MainM0->setObjectName("MainM0");
  MainM0->menuAction()->setToolTip(Text("日付ファイルに変更"));
  jpeg1 = AddItem(MainM0, "jpeg1", "jpegのみCheck");
  N5 = AddItem(MainM0, "N5", "Check On");
  Off1 = AddItem(MainM0, "Off1", "Check Off");
  AddSeparator(MainM0, "N14");
  N4 = AddItem(MainM0, "N4", "全て選択");
  N9 = AddItem(MainM0, "N9", "選択を反転");
  AddSeparator(MainM0, "N3");
  ActionMainM = AddItem(MainM0, "ActionMainM", "実行");

  QMenu* MainM1 = MainMenu1->addMenu(Text("オプション"));
  MainM1->setObjectName("MainM1");
  struct Option {
    QAction** item;
    const char* name;
    const char* caption;
    int tag;
    bool checked;
  } options[] = {
      {&MoveFMainM, "MoveFMainM", "日付フォルダに移動", kTagMoveToDateFolder,
       true},
      {&ChangeFMainM, "ChangeFMainM", "日付ファイルに変更", kTagRenameToDateFile,
       true},
      {&NoWriteFMainM, "NoWriteFMainM", "読み出し専用に変更", kTagMakeReadOnly,
       true},
      {&NokosuFMainM, "NokosuFMainM", "オリジナルは保存", kTagKeepOriginal,
       true},
      {&SaveTMainM, "SaveTMainM", "処理結果のテキスト保存", kTagSaveResultText,
       false},
  };
  for (const Option& option : options) {
    QAction* item = AddItem(MainM1, option.name, option.caption);
    item->setCheckable(true);
    item->setChecked(option.checked);
    item->setProperty("Tag", option.tag);
    // The item's own toggle inverts its check mark; the handler applies the
    // rule that ties the options together.
    connect(item, &QAction::triggered, this,
            [this, item] { OptionCheckClick(item); });
    // However the mark changes, the session reads the new options.
    connect(item, &QAction::toggled, this, &TForm1::ShareSettings);
    *option.item = item;
  }
  SaveTMainM->setVisible(false);
  AddSeparator(MainM1, "N1");
  OptionMainM = AddItem(MainM1, "OptionMainM", "詳細設定");

  QMenu* Help1 = MainMenu1->addMenu(Text("ヘルプ"));
  Help1->setObjectName("Help1");
  HelpM = AddItem(Help1, "HelpM", "Help");
  VerMainM = AddItem(Help1, "VerMainM", "Ver情報");
}

void TForm1::CreatePopupMenu() {
  PopupMenu1 = new QMenu(this);
  PopupMenu1->setObjectName("PopupMenu1");
  jpeg2 = AddItem(PopupMenu1, "jpeg2", "jpegのみ対象");
  N7 = AddItem(PopupMenu1, "N7", "Check On");
  N8 = AddItem(PopupMenu1, "N8", "Check Off");
  AddSeparator(PopupMenu1, "N13");
  N6 = AddItem(PopupMenu1, "N6", "全て選択");
  N10 = AddItem(PopupMenu1, "N10", "選択を反転");
  AddSeparator(PopupMenu1, "N11");
  N12 = AddItem(PopupMenu1, "N12", "実行");
  connect(ListViewM, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& position) {
            PopupMenu1->popup(ListViewM->viewport()->mapToGlobal(position));
          });
}

void TForm1::CreateStatusLine() {
  StatusBar1 = new QStatusBar(this);
  StatusBar1->setObjectName("StatusBar1");
  StatusBar1->setSizeGripEnabled(false);
  StatusBar1->setFixedHeight(kStatusLineHeight);
  status_text_ = new QLabel(StatusBar1);
  status_text_->setObjectName("StatusBar1Text");
  StatusBar1->addWidget(status_text_, 1);
  status_line_ = std::make_unique<StatusLine>(status_text_);
  move_mode_sign_ = new QLabel(Text(kMoveModeText), StatusBar1);
  move_mode_sign_->setObjectName("MoveModeSign");
  move_mode_sign_->setToolTip(Text(kMoveModeHint));
  move_mode_sign_->setStyleSheet(
      "QLabel { color: white; background: #b00000; padding: 0 4px; }");
  move_mode_sign_->hide();
  StatusBar1->addPermanentWidget(move_mode_sign_);
  setStatusBar(StatusBar1);
}

void TForm1::SetStatusText(const QString& text) { status_line_->Show(text); }

QString TForm1::StatusText() const { return status_line_->Text(); }

void TForm1::StartStatusTimer() {
  if (!TimerSB->isActive()) TimerSB->start();
}

void TForm1::TimerSBTimer() {
  TimerSB->stop();
  if (running_commands_ > 0) {
    status_clear_due_ = true;
    return;
  }
  SetStatusText(QString());
}

Settings TForm1::CurrentSettings() const {
  Settings settings = settings_;
  settings.DestinationFolder = destination_;
  settings.MoveToDateFolder = MoveFMainM->isChecked();
  settings.RenameToDateFile = ChangeFMainM->isChecked();
  settings.MakeReadOnly = NoWriteFMainM->isChecked();
  settings.KeepOriginal = NokosuFMainM->isChecked();
  settings.SaveResultText = SaveTMainM->isChecked();
  return settings;
}

void TForm1::SetDestinationFolder(const std::string& folder) {
  destination_ = folder;
  ShowDestination();
  ShareSettings();
}

// A long destination is elided in the middle, keeping its start and its
// last folder; the hint names the whole of it. A folder name that is not
// UTF-8 (Shift_JIS from an old card) shows decoded.
void TForm1::ShowDestination() {
  const QString folder = QString::fromStdString(DisplayPath(destination_));
  const int room = SpeedButtonIdousaki->width() - kCaptionMargins;
  SpeedButtonIdousaki->setText(
      ButtonCaption(SpeedButtonIdousaki->fontMetrics().elidedText(
          folder, Qt::ElideMiddle, room)));
  QString hint = Text(kDestinationHint);
  if (destination_ != kNoDestination) hint += '\n' + folder;
  SpeedButtonIdousaki->setToolTip(hint);
}

void TForm1::ApplyLoadedSettings(const Settings& loaded) {
  settings_ = loaded;
  RestoreWindowSize(*this, loaded.MainWindowSize);
  SetDestinationFolder(loaded.DestinationFolder);
  MoveFMainM->setChecked(loaded.MoveToDateFolder);
  ChangeFMainM->setChecked(loaded.RenameToDateFile);
  NoWriteFMainM->setChecked(loaded.MakeReadOnly);
  NokosuFMainM->setChecked(loaded.KeepOriginal);
  ShareSettings();
}

void TForm1::closeEvent(QCloseEvent* event) {
  FormClose();
  event->accept();
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  if (watched == CoolBar1 && event->type() == QEvent::Resize) {
    // The destination button reaches the right edge, its caption elided
    // anew for its width.
    SpeedButtonIdousaki->resize(
        std::max(0, CoolBar1->width() - kDestinationLeft + 1),
        SpeedButtonIdousaki->height());
    ShowDestination();
  }
  if (watched == ListViewM && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Space &&
        (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
      ToggleCurrentRowCheck();
      return true;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

void TForm1::FormClose() {
  Settings settings = CurrentSettings();
  settings.MainWindowSize = WindowSizeToKeep(
      *this, designed_size_, settings_.MainWindowSize.has_value());
  settings.ProcessingWindowSize =
      WindowSizeToKeep(*Form2, processing_designed_size_,
                       settings_.ProcessingWindowSize.has_value());
  Status status = SaveSettings(startup_folder_, settings, Form3->WindowCopy(),
                               session_.Calls());
  if (!status.ok()) ShowErrorReport(QString::fromStdString(status.message()));
}

void TForm1::OptionCheckClick(QAction* item) {
  (void)item;  // the item's check mark is already inverted
  OptionRuleOutcome outcome =
      ApplyOptionRule(MoveFMainM->isChecked(), ChangeFMainM->isChecked(),
                      NoWriteFMainM->isChecked());
  if (!outcome.message.empty())
    SetStatusText(QString::fromStdString(outcome.message));
  ActionMainM->setEnabled(outcome.execute_enabled);
  SpeedButton2->setEnabled(outcome.execute_enabled);
  if (outcome.keep_original_enabled)
    NokosuFMainM->setEnabled(*outcome.keep_original_enabled);
  if (outcome.start_status_timer) StartStatusTimer();
}

}  // namespace kuronel
