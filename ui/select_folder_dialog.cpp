#include "ui/select_folder_dialog.h"

#include <pwd.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QTreeView>
#include <QWidget>
#include <cstdlib>

#include "platform/path.h"
#include "platform/system.h"
#include "ui/folder_dialog_form.h"

namespace kuronel {
namespace {

constexpr int kDefaultWidth = 307;
constexpr int kDefaultHeight = 352;

PixelRect ToPixelRect(const QRect& rect) {
  return {rect.left(), rect.top(), rect.width(), rect.height()};
}

// The first existing folder of a standard location, else the whole file
// system.
std::string StandardFolder(QStandardPaths::StandardLocation location,
                           const QString& below = QString()) {
  for (const QString& base : QStandardPaths::standardLocations(location)) {
    const QString folder = below.isEmpty() ? base : base + "/" + below;
    if (QFileInfo(folder).isDir()) return folder.toStdString();
  }
  return "/";
}

// The home folder as the environment names it, byte for byte (Qt's home
// path would lose the bytes of a name that is not UTF-8).
std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  return home != nullptr && *home != '\0' ? home : "/";
}

std::string UserName() {
  const passwd* user = ::getpwuid(::getuid());
  return user != nullptr && user->pw_name != nullptr ? user->pw_name : "";
}

std::string MountsText() {
  QFile mounts(QStringLiteral("/proc/self/mounts"));
  if (!mounts.open(QIODevice::ReadOnly)) return std::string();
  return mounts.readAll().toStdString();
}

std::string ExistingOrRoot(const std::string& folder) {
  return KindAt(folder, true, RealSystemCalls()) == PathKind::kFolder ? folder
                                                                      : "/";
}

}  // namespace

TSelectFolderDialog::TSelectFolderDialog(QObject* owner) : QObject(owner) {}

TSelectFolderDialog::~TSelectFolderDialog() = default;

void TSelectFolderDialog::SetDefaultButton(TDefaultButton button) {
  default_button_ = button;
  if (button == TDefaultButton::btNone &&
      focused_control_ == TFocusedControl::fcDefaultButton)
    focused_control_ = TFocusedControl::fcTreeView;
}

void TSelectFolderDialog::SetFocusedControl(TFocusedControl control) {
  focused_control_ = control;
  if (control == TFocusedControl::fcDefaultButton &&
      default_button_ == TDefaultButton::btNone)
    default_button_ = TDefaultButton::btOk;
}

void TSelectFolderDialog::SetText(const std::string& text) {
  text_ = text;
  if (open_form_) open_form_->SetMessage(QString::fromStdString(text));
}

std::vector<FolderPlace> TSelectFolderDialog::Places() const {
  if (Root == TRootFolder::rfDesktop || Root == TRootFolder::rfMyComputer)
    return DesktopPlaces(HomeFolder(), UserName(), MountsText());
  const std::string root = RootPath();
  const std::string label = root == "/" ? root : BaseName(root);
  return {{label, root}};
}

std::string TSelectFolderDialog::RootPath() const {
  switch (Root) {
    case TRootFolder::rfDesktop:
    case TRootFolder::rfMyComputer:
    case TRootFolder::rfNetwork:
    case TRootFolder::rfFavorites:
    case TRootFolder::rfRecent:
    case TRootFolder::rfSendTo:
      return "/";
    case TRootFolder::rfMyDocuments:
      return HomeFolder();
    case TRootFolder::rfAppData:
      return StandardFolder(QStandardPaths::GenericDataLocation);
    case TRootFolder::rfStartMenu:
    case TRootFolder::rfPrograms:
      return StandardFolder(QStandardPaths::ApplicationsLocation);
    case TRootFolder::rfStartup:
      return StandardFolder(QStandardPaths::GenericConfigLocation, "autostart");
    case TRootFolder::rfCommonDesktop:
      return ExistingOrRoot("/usr/share/desktop-directories");
    case TRootFolder::rfCommonPrograms:
    case TRootFolder::rfCommonStartMenu:
      return ExistingOrRoot("/usr/share/applications");
    case TRootFolder::rfCommonStartup:
      return ExistingOrRoot("/etc/xdg/autostart");
    case TRootFolder::rfCustom:
      return ExistingOrRoot(CustomRootFolder);
  }
  return "/";
}

QWidget* TSelectFolderDialog::OwnerWindow() const {
  for (QObject* owner = parent(); owner != nullptr; owner = owner->parent()) {
    if (auto* widget = qobject_cast<QWidget*>(owner)) return widget->window();
  }
  return nullptr;
}

void TSelectFolderDialog::PlaceWindow(TFolderDialogForm& form,
                                      QWidget* owner) const {
  PlacementInput input;
  input.position = Position;
  input.width =
      DialogSize == TDialogSize::dsDefault ? kDefaultWidth : DialogWidth;
  input.height =
      DialogSize == TDialogSize::dsDefault ? kDefaultHeight : DialogHeight;
  input.custom = {DialogLeft, DialogTop};
  QScreen* screen = owner ? owner->screen() : QGuiApplication::primaryScreen();
  if (owner) input.owner = ToPixelRect(owner->frameGeometry());
  if (screen) {
    input.screen = ToPixelRect(screen->geometry());
    input.work_area = ToPixelRect(screen->availableGeometry());
    input.desktop = ToPixelRect(screen->virtualGeometry());
  }
  form.SetClientSize(input.width, input.height);
  if (!Sizeable) form.setFixedSize(input.width, input.height);
  if (std::optional<PixelPoint> point = DialogPlacement(input))
    form.move(point->left, point->top);
}

void TSelectFolderDialog::ConnectNotifications(TFolderDialogForm& form) {
  auto folder_of = [&form](const QModelIndex& index) {
    return WithTrailingSeparator(form.PathAt(index));
  };
  QObject::connect(form.FolderTree->selectionModel(),
                   &QItemSelectionModel::currentChanged, &form,
                   [this, folder_of](const QModelIndex& index) {
                     if (OnSelect) OnSelect(*this, folder_of(index));
                   });
  QObject::connect(form.FolderTree, &QTreeView::expanded, &form,
                   [this, folder_of](const QModelIndex& index) {
                     if (OnExpanded) OnExpanded(*this, folder_of(index));
                   });
  QObject::connect(form.FolderTree, &QTreeView::collapsed, &form,
                   [this, folder_of](const QModelIndex& index) {
                     if (OnCollapsed) OnCollapsed(*this, folder_of(index));
                   });
}

bool TSelectFolderDialog::Execute() {
  QWidget* owner = OwnerWindow();
  // The window lives for this call only.
  TFolderDialogForm form(owner, Places());
  open_form_ = &form;
  PlaceWindow(form, owner);
  form.setWindowTitle(Caption.empty()
                          ? QFileInfo(QCoreApplication::applicationFilePath())
                                .completeBaseName()
                          : QString::fromStdString(Caption));
  form.SetMessage(QString::fromStdString(text_));

  const std::string start = InitialFolder(path_, [](const std::string& folder) {
    return KindAt(folder, true, RealSystemCalls()) == PathKind::kFolder;
  });
  if (start.empty() || !form.SelectFolder(start)) form.SelectRoot();

  form.OkButton->setDefault(default_button_ == TDefaultButton::btOk);
  form.CancelButton->setDefault(default_button_ == TDefaultButton::btCancel);
  QWidget* focus = form.FolderTree;
  if (focused_control_ == TFocusedControl::fcDefaultButton)
    focus = default_button_ == TDefaultButton::btCancel ? form.CancelButton
                                                        : form.OkButton;
  focus->setFocus();
  ConnectNotifications(form);
  form.CanClose = [this] {
    bool can_close = true;
    if (OnCanClose) OnCanClose(*this, can_close);
    return can_close;
  };
  if (OnShow) OnShow(*this);

  const bool confirmed = form.exec() == QDialog::Accepted;
  open_form_ = nullptr;
  if (OnClose) OnClose(*this);
  if (!confirmed) return false;
  const std::string selected = form.SelectedPath();
  if (selected.empty()) return false;
  path_ = WithTrailingSeparator(selected);
  return true;
}

}  // namespace kuronel
