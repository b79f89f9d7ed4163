#ifndef KURONEL_UI_MAIN_WINDOW_H_
#define KURONEL_UI_MAIN_WINDOW_H_

#include <QMainWindow>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "catalogue/catalogue_order.h"
#include "catalogue/catalogue_row.h"
#include "catalogue/folder_walk.h"
#include "platform/progress.h"
#include "processing/session.h"
#include "settings/settings.h"
#include "ui/input_discard.h"
#include "ui/startup_values.h"

class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QStatusBar;
class QTableView;
class QTimer;
class QToolButton;
class QUrl;

namespace kuronel {

class CatalogueModel;
class StatusLine;
class ProcessingWindow;
class DetailSettingsWindow;
class TSelectFolderDialog;

// Hands a document to the desktop's default viewer: the file and the working
// directory of the viewer. Replaceable so that tests need no desktop.
using DocumentOpener =
    std::function<void(const QString& file, const QString& working_directory)>;
// Shows the user's guide in the desktop's web browser, and calls `failed`
// (perhaps later) when no browser took it. Replaceable so that tests need
// no desktop.
using GuideOpener =
    std::function<void(const QUrl& guide, const std::function<void()>& failed)>;

// The Help item's words when the guide cannot be shown; the guide's path
// follows them.
inline constexpr char kGuideMissingText[] =
    "使い方ガイドが見つかりません。インストールを確かめてください。\n";
inline constexpr char kGuideNotOpenedText[] =
    "使い方ガイドを開けませんでした。Web "
    "ブラウザで次のファイルを開いてください。\n";
// The question before the opened folder, or one inside it, becomes the
// destination; the opened folder follows the words.
inline constexpr char kDestinationInOpenedFolderText[] =
    "選んだフォルダは、一覧に開いているフォルダ（またはその中）です。"
    "コピーはその開いているフォルダの中に作られます。\n"
    "このフォルダを移動先にしますか？\n";
inline constexpr char kTakeDestinationText[] = "移動先にする";

// The main window: the tool strip, the catalogue list, the menus and the
// status line. It only wires its elements to the steps of the session, which
// holds what the commands work on; the processing window works on the same
// session.
class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  // Shows what the program started with; creates the processing and detail
  // settings windows, which it owns, after itself. `session` outlives the
  // window.
  MainWindow(const StartupValues& start, Session& session,
             QWidget* parent = nullptr);
  ~MainWindow() override;

  // The status line's one text; an empty text clears it. The text is
  // painted at once, also in the middle of a long command.
  void SetStatusText(const QString& text);
  QString StatusText() const;
  // Starts the status line's clearing timer unless it is already running: a
  // running interval is not restarted, so the text then present is cleared
  // when it ends.
  void StartStatusTimer();

  // The settings as the rest of the program reads them: the option menu's
  // check marks, the destination button's caption and the detail values in
  // use.
  // The session's, which the window shows and changes.
  const Settings& CurrentSettings() const { return session_.CurrentSettings(); }
  CatalogueModel* Catalogue() const { return catalogue_model_; }
  // The sort state of both lists.
  const SortState& Sort() const { return session_.Sort(); }
  TSelectFolderDialog* FolderPicker() const { return folder_picker_; }
  // Its controls are the copy of the detail settings saved at shut-down.
  // (The class is named in full: inside this class the plain name is this
  // accessor.)
  kuronel::DetailSettingsWindow* DetailSettingsWindow() const {
    return detail_settings_window_;
  }

  void SetDocumentOpener(DocumentOpener opener) {
    open_document_ = std::move(opener);
  }
  void SetGuideOpener(GuideOpener opener) { open_guide_ = std::move(opener); }

  // The destination folder: the destination button's caption.
  const std::string& DestinationFolder() const {
    return CurrentSettings().DestinationFolder;
  }
  void SetDestinationFolder(const std::string& folder);

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void CreateProcessingAndDetailWindows(const Settings& loaded);
  void UseDetailSettings(const DetailSettings& values);
  // Gives the session the settings as they now stand, and shows whether a
  // run would delete the originals.
  // Changes the session's settings by `change`, and shows the move mode.
  void ChangeSettings(const std::function<void(Settings&)>& change);
  void ShowMoveMode();
  void SaveSettingsOnClose();
  // After the user toggles an option item: the rule that ties the options
  // together.
  void OnOptionTriggered();
  void OnStatusTimer();

  // Destination commands.
  void ChooseExistingDestination();
  void TypeNewDestination();
  // True unless `folder` is an opened folder or lies in one and the user
  // does not take it when asked.
  bool DestinationConfirmed(const std::string& folder);
  // Help and version commands.
  void OpenDetailSettings();
  void ShowHelp();
  void ShowHelpNotice();
  void ShowVersion();
  void ConnectDialogCommands();

  // Catalogue commands.
  void OpenFolder();
  void AddFolder();
  void ReportUnreadable(const UnreadablePaths& unreadable);
  void DefaultChecksCommand();
  void CheckSelectedCommand();
  void UncheckSelectedCommand();
  void SelectAllRows();
  void InvertSelection();
  void SortByClickedColumn(int column);
  // Space checks or unchecks the current row, whichever cell has the focus.
  void ToggleCurrentRowCheck();
  void ScrollCurrentRowIntoView();
  void ConnectCatalogueCommands();

  // The execute command.
  void ExecuteCommand();
  void ConnectExecuteCommand();
  std::vector<bool> SelectedRows() const;
  // Runs a check command over the selected rows and shows its count text.
  void RunCheckCommand(
      const std::function<CheckCommandResult(const std::vector<bool>&)>&
          command);

  // Marks a command running from start to end: the user's input meanwhile
  // is discarded, the status line's last text is shown when it ends, and
  // the status timer, which cannot clear the line in the middle of a
  // command, clears it then if it fell due meanwhile.
  class CommandScope {
   public:
    explicit CommandScope(MainWindow& window);
    ~CommandScope();

   private:
    MainWindow& window_;
    InputDiscardScope discard_input_;
  };

  // Puts the keyboard's focus in the list, where it starts and where it
  // returns after every dialog, whichever button or menu opened it.
  void ReturnFocusToList();
  // Held by each command that may open a dialog: ReturnFocusToList when the
  // command ends, on every path.
  class ListFocusReturn {
   public:
    explicit ListFocusReturn(MainWindow& window) : window_(window) {}
    ~ListFocusReturn();
    ListFocusReturn(const ListFocusReturn&) = delete;
    ListFocusReturn& operator=(const ListFocusReturn&) = delete;

   private:
    MainWindow& window_;
  };

  void CreateToolStrip();
  void CreateList();
  void CreateMainMenu();
  void CreateListMenu();
  void CreateStatusLine();
  void ApplyLoadedSettings(const Settings& loaded);
  void ShowDestination();
  QAction* AddItem(QMenu* menu, const char* name, const char* caption);
  QAction* AddSeparator(QMenu* menu, const char* name);
  QToolButton* AddToolButton(const char* name, int left, int width,
                             const QIcon& icon, const char* hint);

  // Elements, named by what they do; each keeps its name in the window's
  // design as its object name, which the tests find it by.
  QWidget* tool_strip_ = nullptr;
  QToolButton* open_folder_button_ = nullptr;
  QToolButton* add_folder_button_ = nullptr;
  QToolButton* execute_button_ = nullptr;
  QToolButton* help_button_ = nullptr;
  QToolButton* detail_settings_button_ = nullptr;
  QToolButton* choose_destination_button_ = nullptr;
  QPushButton* destination_button_ = nullptr;
  QTableView* catalogue_list_ = nullptr;
  QStatusBar* status_bar_ = nullptr;
  QLabel* status_text_ = nullptr;
  // Shown while a run would delete the originals it copies.
  QLabel* move_mode_sign_ = nullptr;
  std::unique_ptr<StatusLine> status_line_;
  QTimer* status_timer_ = nullptr;
  QMenu* list_menu_ = nullptr;
  TSelectFolderDialog* folder_picker_ = nullptr;
  ProcessingWindow* processing_window_ = nullptr;
  kuronel::DetailSettingsWindow* detail_settings_window_ = nullptr;

  // The menu bar's items.
  QAction* open_folder_item_ = nullptr;
  QAction* add_folder_item_ = nullptr;
  QAction* choose_destination_item_ = nullptr;
  QAction* type_destination_item_ = nullptr;
  QAction* exit_item_ = nullptr;
  QAction* default_checks_item_ = nullptr;
  QAction* execute_item_ = nullptr;
  QAction* move_to_date_folder_item_ = nullptr;
  QAction* rename_to_date_file_item_ = nullptr;
  QAction* make_read_only_item_ = nullptr;
  QAction* keep_original_item_ = nullptr;
  QAction* save_result_text_item_ = nullptr;
  QAction* detail_settings_item_ = nullptr;
  QAction* help_item_ = nullptr;
  QAction* version_item_ = nullptr;
  // One item each in the edit menu and in the list's menu.
  QAction* check_selected_item_ = nullptr;
  QAction* uncheck_selected_item_ = nullptr;
  QAction* select_all_item_ = nullptr;
  QAction* invert_selection_item_ = nullptr;
  // The list's menu's own items: the default checks under other words, and
  // an execute item that the options never disable.
  QAction* list_default_checks_item_ = nullptr;
  QAction* list_execute_item_ = nullptr;

  Session& session_;
  CatalogueModel* catalogue_model_ = nullptr;
  std::string startup_folder_;
  DocumentOpener open_document_;
  GuideOpener open_guide_;
  // The windows' sizes as designed, which are not stored until changed.
  QSize designed_size_;
  QSize processing_designed_size_;
  int running_commands_ = 0;
  bool status_clear_due_ = false;
};

}  // namespace kuronel

#endif  // KURONEL_UI_MAIN_WINDOW_H_
