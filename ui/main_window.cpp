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
#include "platform/cp932.h"
#include "platform/system.h"
#include "settings/colour_table.h"
#include "settings/option_rule.h"
#include "settings/settings_io.h"
#include "ui/application.h"
#include "ui/catalogue_model.h"
#include "ui/detail_settings_window.h"
#include "ui/keyboard_buttons.h"
#include "ui/processing_window.h"
#include "ui/report_list.h"
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

MainWindow::MainWindow(const StartupValues& start, Session& session,
                       QWidget* parent)
    : QMainWindow(parent),
      session_(session),
      startup_folder_(start.startup_folder) {
  setObjectName("Form1");
  setWindowTitle(Text(kApplicationTitle));
  catalogue_model_ = new CatalogueModel(session_, this);
  catalogue_model_->SetCheckedBackground([this] {
    return QColor::fromRgb(ColourToRgb(CurrentSettings().TargetBackColour));
  });

  auto* client = new QWidget(this);
  auto* layout = new QVBoxLayout(client);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  setCentralWidget(client);
  CreateToolStrip();
  CreateList();
  layout->addWidget(tool_strip_);
  layout->addWidget(catalogue_list_);
  CreateMainMenu();
  CreateListMenu();
  CreateStatusLine();

  status_timer_ = new QTimer(this);
  status_timer_->setObjectName("TimerSB");
  status_timer_->setInterval(kStatusTimerMs);
  status_timer_->setSingleShot(true);
  connect(status_timer_, &QTimer::timeout, this, &MainWindow::OnStatusTimer);

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

void MainWindow::ReturnFocusToList() {
  catalogue_list_->setFocus(Qt::OtherFocusReason);
}

MainWindow::ListFocusReturn::~ListFocusReturn() { window_.ReturnFocusToList(); }

// After the main window, as the program starts: the processing window, then
// the detail settings window, both owned by this window.
void MainWindow::CreateProcessingAndDetailWindows(const Settings& loaded) {
  processing_window_ = new ProcessingWindow(session_, this);
  processing_designed_size_ = processing_window_->size();
  RestoreWindowSize(*processing_window_, loaded.ProcessingWindowSize);
  detail_settings_window_ = new kuronel::DetailSettingsWindow(
      startup_folder_, DetailOf(loaded), this);
  connect(detail_settings_window_,
          &kuronel::DetailSettingsWindow::DetailSettingsInUse, this,
          &MainWindow::UseDetailSettings);
}

void MainWindow::UseDetailSettings(const DetailSettings& values) {
  ChangeSettings(
      [&values](Settings& settings) { UseDetail(settings, values); });
  // Checked rows take a new colour at their next repaint.
  catalogue_list_->viewport()->update();
}

void MainWindow::ChangeSettings(const std::function<void(Settings&)>& change) {
  Settings settings = CurrentSettings();
  change(settings);
  session_.SetSettings(settings);
  ShowMoveMode();
}

// A run that deletes the originals from the card is never a surprise: the
// sign stays while the options say so, also after a start that loaded them.
void MainWindow::ShowMoveMode() {
  move_mode_sign_->setVisible(RunDeletesOriginals(
      move_to_date_folder_item_->isChecked(),
      rename_to_date_file_item_->isChecked(), make_read_only_item_->isChecked(),
      keep_original_item_->isChecked()));
}

MainWindow::~MainWindow() = default;

void MainWindow::CreateToolStrip() {
  tool_strip_ = new QWidget(this);
  tool_strip_->setObjectName("CoolBar1");
  tool_strip_->setFixedHeight(kToolStripHeight);
  tool_strip_->installEventFilter(this);
  open_folder_button_ =
      AddToolButton("SpeedButton1", 0, 23, OpenFolderIcon(), "フォルダを開く");
  add_folder_button_ =
      AddToolButton("SpeedButton3", 24, 23, AddFolderIcon(), "フォルダを追加");
  execute_button_ =
      AddToolButton("SpeedButton2", 56, 23, ExecuteIcon(), "処理の実行");
  help_button_ = AddToolButton("HelpSpeedButton", 88, 23, HelpIcon(), "Help");
  detail_settings_button_ =
      AddToolButton("OptionSpeedButton", 120, 23, ToolsIcon(), "Option");
  detail_settings_button_->setVisible(false);
  choose_destination_button_ = AddToolButton(
      "SpeedButton4", 152, 25, ChooseFolderIcon(), "既存フォルダの選択");

  destination_button_ = new QPushButton(tool_strip_);
  destination_button_->setObjectName("SpeedButtonIdousaki");
  destination_button_->setFlat(true);
  destination_button_->setGeometry(kDestinationLeft, 2, 417, 22);
  destination_button_->setStyleSheet(
      "QPushButton { text-align: left; padding-left: 1px; }");
  PressOnReturn(destination_button_);
  ShowDestination();
}

QToolButton* MainWindow::AddToolButton(const char* name, int left, int width,
                                       const QIcon& icon, const char* hint) {
  auto* button = new QToolButton(tool_strip_);
  button->setObjectName(name);
  button->setAutoRaise(true);
  button->setIcon(icon);
  button->setIconSize(QSize(16, 16));
  button->setToolTip(Text(hint));
  button->setGeometry(left, 2, width, 22);
  PressOnReturn(button);
  return button;
}

void MainWindow::CreateList() {
  const QFont font = ListFont();
  catalogue_list_ = NewReportList(this, "ListViewM", catalogue_model_,
                                  QAbstractItemView::ExtendedSelection,
                                  {100, 125, 245, 118}, &font);
  // A whole time stamp fits its column, inside the cell's text margins;
  // the folder column, which takes the rest, gives up what this one needs.
  const int margin =
      catalogue_list_->style()->pixelMetric(QStyle::PM_FocusFrameHMargin,
                                            nullptr, catalogue_list_) +
      1;
  catalogue_list_->setColumnWidth(
      3, std::max(118, catalogue_list_->fontMetrics().horizontalAdvance(
                           kWidestTimestamp) +
                           2 * margin + 2));
  catalogue_list_->setContextMenuPolicy(Qt::CustomContextMenu);
  catalogue_list_->installEventFilter(this);
  // After a sort (the execute command's among them) the row with the focus
  // may stand anywhere; Space must not change a row the user cannot see.
  connect(catalogue_model_, &QAbstractItemModel::layoutChanged, this,
          &MainWindow::ScrollCurrentRowIntoView);
  connect(catalogue_model_, &CatalogueModel::CheckToggled, this, [this] {
    SetStatusText(
        QString::fromStdString(CheckedCountText(session_.Catalogue())));
  });
}

void MainWindow::ScrollCurrentRowIntoView() {
  const QModelIndex current = catalogue_list_->currentIndex();
  if (!current.isValid()) return;
  // Only up or down: the check boxes stay where the user left them.
  QScrollBar* sideways = catalogue_list_->horizontalScrollBar();
  const int across = sideways->value();
  catalogue_list_->scrollTo(current);
  sideways->setValue(across);
}

QAction* MainWindow::AddItem(QMenu* menu, const char* name,
                             const char* caption) {
  QAction* item = menu->addAction(Text(caption));
  item->setObjectName(name);
  return item;
}

QAction* MainWindow::AddSeparator(QMenu* menu, const char* name) {
  QAction* separator = menu->addSeparator();
  separator->setObjectName(name);
  return separator;
}

void MainWindow::CreateMainMenu() {
  QMenuBar* menu_bar = menuBar();
  menu_bar->setObjectName("MainMenu1");

  QMenu* file_menu = menu_bar->addMenu(Text("ファイル"));
  file_menu->setObjectName("File1");
  file_menu->menuAction()->setObjectName("File1Item");
  file_menu->menuAction()->setToolTip(Text("フォルダを開く"));
  open_folder_item_ = AddItem(file_menu, "OpenFMainM", "フォルダを開く");
  add_folder_item_ = AddItem(file_menu, "AddFMainM", "フォルダを追加");
  AddSeparator(file_menu, "N2");
  choose_destination_item_ = AddItem(file_menu, "N16", "既存フォルダの選択");
  type_destination_item_ = AddItem(file_menu, "N17", "新規フォルダの入力");
  AddSeparator(file_menu, "N15");
  exit_item_ = AddItem(file_menu, "Exit1", "終了");
  // The close control and 終了 end the program the same way.
  connect(exit_item_, &QAction::triggered, this, &QWidget::close);

  QMenu* edit_menu = menu_bar->addMenu(Text("編集"));
  edit_menu->setObjectName("MainM0");
  edit_menu->menuAction()->setToolTip(Text("日付ファイルに変更"));
  default_checks_item_ = AddItem(edit_menu, "jpeg1", "jpegのみCheck");
  check_selected_item_ = AddItem(edit_menu, "N5", "Check On");
  uncheck_selected_item_ = AddItem(edit_menu, "Off1", "Check Off");
  AddSeparator(edit_menu, "N14");
  select_all_item_ = AddItem(edit_menu, "N4", "全て選択");
  invert_selection_item_ = AddItem(edit_menu, "N9", "選択を反転");
  AddSeparator(edit_menu, "N3");
  execute_item_ = AddItem(edit_menu, "ActionMainM", "実行");

  QMenu* options_menu = menu_bar->addMenu(Text("オプション"));
  options_menu->setObjectName("MainM1");
  struct Option {
    QAction** item;
    const char* name;
    const char* caption;
    int tag;
    bool Settings::*option;
  } options[] = {
      {&move_to_date_folder_item_, "MoveFMainM", "日付フォルダに移動",
       kTagMoveToDateFolder, &Settings::MoveToDateFolder},
      {&rename_to_date_file_item_, "ChangeFMainM", "日付ファイルに変更",
       kTagRenameToDateFile, &Settings::RenameToDateFile},
      {&make_read_only_item_, "NoWriteFMainM", "読み出し専用に変更",
       kTagMakeReadOnly, &Settings::MakeReadOnly},
      {&keep_original_item_, "NokosuFMainM", "オリジナルは保存",
       kTagKeepOriginal, &Settings::KeepOriginal},
      {&save_result_text_item_, "SaveTMainM", "処理結果のテキスト保存",
       kTagSaveResultText, &Settings::SaveResultText},
  };
  for (const Option& option : options) {
    QAction* item = AddItem(options_menu, option.name, option.caption);
    item->setCheckable(true);
    item->setChecked(CurrentSettings().*option.option);
    item->setProperty("Tag", option.tag);
    // The item's own toggle inverts its check mark; the handler applies the
    // rule that ties the options together.
    connect(item, &QAction::triggered, this, &MainWindow::OnOptionTriggered);
    // The item shows the session's option and changes it, however its mark
    // changes (a click, the rule, loaded settings).
    connect(item, &QAction::toggled, this,
            [this, field = option.option](bool on) {
              ChangeSettings([&](Settings& settings) { settings.*field = on; });
            });
    *option.item = item;
  }
  save_result_text_item_->setVisible(false);
  AddSeparator(options_menu, "N1");
  detail_settings_item_ = AddItem(options_menu, "OptionMainM", "詳細設定");

  QMenu* help_menu = menu_bar->addMenu(Text("ヘルプ"));
  help_menu->setObjectName("Help1");
  help_item_ = AddItem(help_menu, "HelpM", "Help");
  version_item_ = AddItem(help_menu, "VerMainM", "Ver情報");
}

void MainWindow::CreateListMenu() {
  list_menu_ = new QMenu(this);
  list_menu_->setObjectName("PopupMenu1");
  // The default checks go by other words here, and this menu's 実行 stays
  // enabled whatever the options say: both items are the menu's own. The
  // check and selection commands are the edit menu's very items.
  list_default_checks_item_ = AddItem(list_menu_, "jpeg2", "jpegのみ対象");
  list_menu_->addAction(check_selected_item_);
  list_menu_->addAction(uncheck_selected_item_);
  AddSeparator(list_menu_, "N13");
  list_menu_->addAction(select_all_item_);
  list_menu_->addAction(invert_selection_item_);
  AddSeparator(list_menu_, "N11");
  list_execute_item_ = AddItem(list_menu_, "N12", "実行");
  connect(
      catalogue_list_, &QWidget::customContextMenuRequested, this,
      [this](const QPoint& position) {
        list_menu_->popup(catalogue_list_->viewport()->mapToGlobal(position));
      });
}

void MainWindow::CreateStatusLine() {
  status_bar_ = new QStatusBar(this);
  status_bar_->setObjectName("StatusBar1");
  status_bar_->setSizeGripEnabled(false);
  status_bar_->setFixedHeight(kStatusLineHeight);
  status_text_ = new QLabel(status_bar_);
  status_text_->setObjectName("StatusBar1Text");
  status_bar_->addWidget(status_text_, 1);
  status_line_ = std::make_unique<StatusLine>(status_text_);
  move_mode_sign_ = new QLabel(Text(kMoveModeText), status_bar_);
  move_mode_sign_->setObjectName("MoveModeSign");
  move_mode_sign_->setToolTip(Text(kMoveModeHint));
  move_mode_sign_->setStyleSheet(
      "QLabel { color: white; background: #b00000; padding: 0 4px; }");
  move_mode_sign_->hide();
  status_bar_->addPermanentWidget(move_mode_sign_);
  setStatusBar(status_bar_);
}

void MainWindow::SetStatusText(const QString& text) {
  status_line_->Show(text);
}

QString MainWindow::StatusText() const { return status_line_->Text(); }

void MainWindow::StartStatusTimer() {
  if (!status_timer_->isActive()) status_timer_->start();
}

void MainWindow::OnStatusTimer() {
  status_timer_->stop();
  if (running_commands_ > 0) {
    status_clear_due_ = true;
    return;
  }
  SetStatusText(QString());
}

void MainWindow::SetDestinationFolder(const std::string& folder) {
  ChangeSettings(
      [&folder](Settings& settings) { settings.DestinationFolder = folder; });
  ShowDestination();
}

// A long destination is elided in the middle, keeping its start and its
// last folder; the hint names the whole of it. A folder name that is not
// UTF-8 (Shift_JIS from an old card) shows decoded.
void MainWindow::ShowDestination() {
  const std::string& destination = DestinationFolder();
  const QString folder = QString::fromStdString(DisplayPath(destination));
  const int room = destination_button_->width() - kCaptionMargins;
  destination_button_->setText(
      ButtonCaption(destination_button_->fontMetrics().elidedText(
          folder, Qt::ElideMiddle, room)));
  QString hint = Text(kDestinationHint);
  if (destination != kNoDestination) hint += '\n' + folder;
  destination_button_->setToolTip(hint);
}

void MainWindow::ApplyLoadedSettings(const Settings& loaded) {
  session_.SetSettings(loaded);
  RestoreWindowSize(*this, loaded.MainWindowSize);
  ShowDestination();
  // The marks show the loaded options; their toggles write back the same.
  move_to_date_folder_item_->setChecked(loaded.MoveToDateFolder);
  rename_to_date_file_item_->setChecked(loaded.RenameToDateFile);
  make_read_only_item_->setChecked(loaded.MakeReadOnly);
  keep_original_item_->setChecked(loaded.KeepOriginal);
  save_result_text_item_->setChecked(loaded.SaveResultText);
  ShowMoveMode();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  SaveSettingsOnClose();
  event->accept();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == tool_strip_ && event->type() == QEvent::Resize) {
    // The destination button reaches the right edge, its caption elided
    // anew for its width.
    destination_button_->resize(
        std::max(0, tool_strip_->width() - kDestinationLeft + 1),
        destination_button_->height());
    ShowDestination();
  }
  if (watched == catalogue_list_ && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Space &&
        (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
      ToggleCurrentRowCheck();
      return true;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

void MainWindow::SaveSettingsOnClose() {
  Settings settings = CurrentSettings();
  settings.MainWindowSize = WindowSizeToKeep(
      *this, designed_size_, settings.MainWindowSize.has_value());
  settings.ProcessingWindowSize =
      WindowSizeToKeep(*processing_window_, processing_designed_size_,
                       settings.ProcessingWindowSize.has_value());
  Status status =
      SaveSettings(startup_folder_, settings,
                   detail_settings_window_->WindowCopy(), session_.Calls());
  if (!status.ok()) ShowErrorReport(QString::fromStdString(status.message()));
}

// The item's check mark is already inverted.
void MainWindow::OnOptionTriggered() {
  OptionRuleOutcome outcome =
      ApplyOptionRule(move_to_date_folder_item_->isChecked(),
                      rename_to_date_file_item_->isChecked(),
                      make_read_only_item_->isChecked());
  if (!outcome.message.empty())
    SetStatusText(QString::fromStdString(outcome.message));
  execute_item_->setEnabled(outcome.execute_enabled);
  execute_button_->setEnabled(outcome.execute_enabled);
  if (outcome.keep_original_enabled)
    keep_original_item_->setEnabled(*outcome.keep_original_enabled);
  if (outcome.start_status_timer) StartStatusTimer();
}

}  // namespace kuronel
