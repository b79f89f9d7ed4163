#ifndef KURONEL_UI_SELECT_FOLDER_DIALOG_H_
#define KURONEL_UI_SELECT_FOLDER_DIALOG_H_

#include <QObject>
#include <QPointer>
#include <functional>
#include <string>
#include <vector>

#include "ui/desktop_places.h"
#include "ui/dialog_placement.h"

namespace kuronel {

class TFolderDialogForm;

enum class TDefaultButton { btNone, btCancel, btOk };
enum class TDialogSize { dsCustom, dsDefault };
enum class TFocusedControl { fcDefaultButton, fcTreeView };
enum class TRootFolder {
  rfDesktop,
  rfStartMenu,
  rfMyComputer,
  rfMyDocuments,
  rfNetwork,
  rfAppData,
  rfFavorites,
  rfPrograms,
  rfRecent,
  rfSendTo,
  rfStartup,
  rfCommonDesktop,
  rfCommonPrograms,
  rfCommonStartMenu,
  rfCommonStartup,
  rfCustom
};

// The folder picker: settings kept between showings, and Execute, which shows
// a TFolderDialogForm modally over the owner window. One instance serves the
// open-folder, add-folder and destination commands, so it opens at the
// folder last chosen by any of them.
class TSelectFolderDialog : public QObject {
  Q_OBJECT

 public:
  explicit TSelectFolderDialog(QObject* owner = nullptr);
  ~TSelectFolderDialog() override;

  // Shows the picker; true when the user confirmed a selected folder, which
  // is then in Path() with a trailing "/".
  bool Execute();

  std::string Caption;
  std::string CustomRootFolder;
  int DialogWidth = 307;
  int DialogHeight = 352;
  int DialogLeft = 0;
  int DialogTop = 0;
  TDialogSize DialogSize = TDialogSize::dsDefault;
  TDialogPosition Position = TDialogPosition::dpScreenCenter;
  TRootFolder Root = TRootFolder::rfDesktop;
  bool Sizeable = true;

  // DefaultButton and FocusedControl keep each other consistent: no default
  // button means the tree takes the focus.
  TDefaultButton DefaultButton() const { return default_button_; }
  void SetDefaultButton(TDefaultButton button);
  TFocusedControl FocusedControl() const { return focused_control_; }
  void SetFocusedControl(TFocusedControl control);

  const std::string& Path() const { return path_; }
  void SetPath(const std::string& path) { path_ = path; }

  // The message above the tree; shown at once when the picker is open.
  const std::string& Text() const { return text_; }
  void SetText(const std::string& text);

  // Notifications (the folder ones pass the folder's path with a trailing
  // "/"); the program assigns none.
  std::function<void(TSelectFolderDialog&)> OnShow;
  std::function<void(TSelectFolderDialog&)> OnClose;
  std::function<void(TSelectFolderDialog&, bool& can_close)> OnCanClose;
  std::function<void(TSelectFolderDialog&, const std::string&)> OnSelect;
  std::function<void(TSelectFolderDialog&, const std::string&)> OnExpanded;
  std::function<void(TSelectFolderDialog&, const std::string&)> OnCollapsed;

 private:
  // The folders at the top of the tree for the root choice: for the desktop
  // and the computer what a Linux desktop shows (the home folder, the
  // mounted drives, "/"); for the others one well-known folder.
  std::vector<FolderPlace> Places() const;

  // The one folder at the top of the tree for the other root choices.
  std::string RootPath() const;
  QWidget* OwnerWindow() const;
  void PlaceWindow(TFolderDialogForm& form, QWidget* owner) const;
  void ConnectNotifications(TFolderDialogForm& form);

  TDefaultButton default_button_ = TDefaultButton::btNone;
  TFocusedControl focused_control_ = TFocusedControl::fcTreeView;
  std::string path_;
  std::string text_;
  QPointer<TFolderDialogForm> open_form_;
};

}  // namespace kuronel

#endif  // KURONEL_UI_SELECT_FOLDER_DIALOG_H_
