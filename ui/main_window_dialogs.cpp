// The main window's commands that open dialogs: the destination folder, the
// detail settings, help and version.
#include <QDir>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QToolButton>
#include <QUrl>

#include "platform/cp932.h"
#include "platform/path.h"
#include "platform/system.h"
#include "ui/application.h"
#include "ui/destination_input_box.h"
#include "ui/detail_settings_window.h"
#include "ui/main_window.h"
#include "ui/select_folder_dialog.h"

namespace kuronel {
namespace {

void ShowPlainMessage(QWidget* parent, const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(kApplicationTitle),
                  text, QMessageBox::Ok, parent);
  KeepTitleVisible(box);
  box.exec();
}

void OpenWithDesktopViewer(const QString& file,
                           const QString& working_directory) {
  // Detached and unchecked: a missing file or viewer shows nothing.
  QProcess::startDetached(QStringLiteral("xdg-open"), {file},
                          working_directory);
}

// xdg-open finds the browser; when it finds none it exits non-zero, so its
// end is watched. It may run as long as the browser does, and is left
// running when the program ends (its output goes where the program's
// does, so no pipe closes under it).
void OpenWithDesktopBrowser(const QUrl& guide,
                            const std::function<void()>& failed) {
  auto* process = new QProcess;
  process->setProcessChannelMode(QProcess::ForwardedChannels);
  QObject::connect(process, &QProcess::finished, process,
                   [process, failed](int code, QProcess::ExitStatus status) {
                     if (status != QProcess::NormalExit || code != 0) failed();
                     process->deleteLater();
                   });
  QObject::connect(process, &QProcess::errorOccurred, process,
                   [process, failed](QProcess::ProcessError error) {
                     if (error != QProcess::FailedToStart) return;
                     failed();
                     process->deleteLater();
                   });
  process->start(QStringLiteral("xdg-open"), {guide.toString()});
}

// The user's guide as installed with the program: the same way up from the
// program's folder in the build as under the installation's prefix.
QString GuideFile(SystemCalls& calls) {
  return QDir::cleanPath(QString::fromStdString(ProgramFolder(calls)) +
                         QStringLiteral(KURONEL_GUIDE_FROM_PROGRAM));
}

}  // namespace

void MainWindow::ConnectDialogCommands() {
  folder_picker_ = new TSelectFolderDialog(this);
  folder_picker_->setObjectName("SelectFolderDialog1");
  folder_picker_->Caption = "フォルダ選択";
  folder_picker_->SetDefaultButton(TDefaultButton::btOk);
  folder_picker_->DialogSize = TDialogSize::dsCustom;
  folder_picker_->DialogWidth = 240;
  folder_picker_->DialogHeight = 360;
  folder_picker_->SetFocusedControl(TFocusedControl::fcTreeView);
  folder_picker_->Position = TDialogPosition::dpOwnerCenter;
  folder_picker_->Root = TRootFolder::rfDesktop;
  open_document_ = OpenWithDesktopViewer;
  open_guide_ = OpenWithDesktopBrowser;

  connect(choose_destination_button_, &QToolButton::clicked, this,
          &MainWindow::ChooseExistingDestination);
  connect(choose_destination_item_, &QAction::triggered, this,
          &MainWindow::ChooseExistingDestination);
  connect(destination_button_, &QPushButton::clicked, this,
          &MainWindow::TypeNewDestination);
  connect(type_destination_item_, &QAction::triggered, this,
          &MainWindow::TypeNewDestination);
  connect(detail_settings_item_, &QAction::triggered, this,
          &MainWindow::OpenDetailSettings);
  connect(detail_settings_button_, &QToolButton::clicked, this,
          &MainWindow::OpenDetailSettings);
  connect(help_item_, &QAction::triggered, this, &MainWindow::ShowHelp);
  connect(help_button_, &QToolButton::clicked, this,
          &MainWindow::ShowHelpNotice);
  connect(version_item_, &QAction::triggered, this, &MainWindow::ShowVersion);
}

// The picker opens at the last destination, not where the folder commands
// left it: after opening a card, one Return would otherwise make the card
// its own destination. The folder commands keep their folder for their
// next use.
void MainWindow::ChooseExistingDestination() {
  const ListFocusReturn focus_back(*this);
  const std::string folders_at = folder_picker_->Path();
  const std::string& destination = DestinationFolder();
  folder_picker_->SetPath(destination == kNoDestination ? std::string()
                                                        : destination);
  const bool chosen = folder_picker_->Execute();
  const std::string folder = folder_picker_->Path();
  folder_picker_->SetPath(folders_at);
  if (chosen && DestinationConfirmed(folder)) SetDestinationFolder(folder);
}

// The opened folder itself, or a folder inside it, is rarely meant as the
// destination (the copies would land on the card they come from): the user
// is asked once; any other folder is taken at once.
bool MainWindow::DestinationConfirmed(const std::string& folder) {
  SystemCalls& calls = session_.Calls();
  const std::string destination = ResolvedPath(folder, calls);
  for (const std::string& opened : session_.OpenedFolders()) {
    if (!PathHolds(ResolvedPath(opened, calls), destination)) continue;
    QMessageBox box(QMessageBox::Warning, QString::fromUtf8(kApplicationTitle),
                    QString::fromUtf8(kDestinationInOpenedFolderText) +
                        QString::fromStdString(DisplayPath(opened)),
                    QMessageBox::NoButton, this);
    QPushButton* take = box.addButton(QString::fromUtf8(kTakeDestinationText),
                                      QMessageBox::AcceptRole);
    box.setDefaultButton(box.addButton(QMessageBox::Cancel));
    KeepTitleVisible(box);
    box.exec();
    return box.clickedButton() == take;
  }
  return true;
}

void MainWindow::TypeNewDestination() {
  const ListFocusReturn focus_back(*this);
  const std::string& destination = DestinationFolder();
  const QString shown = QString::fromStdString(DisplayPath(destination));
  QString text = shown;
  QString reason;
  std::string folder;
  // Ask again, holding what was typed and saying why, until the text is an
  // absolute path.
  for (;;) {
    TDestinationInputBox box(this);
    box.SetText(text);
    box.SetReason(reason);
    if (box.exec() != QDialog::Accepted) return;
    text = box.Text();
    // A text left as shown keeps the destination's own bytes, which the
    // shown text lacks for a folder whose name is not UTF-8.
    folder = TypedDestination(text == shown ? destination : text.toStdString());
    if (!folder.empty()) break;
    reason = QString::fromUtf8(kNotAnAbsolutePathReason);
  }
  if (DestinationConfirmed(folder)) SetDestinationFolder(folder);
}

void MainWindow::OpenDetailSettings() {
  const ListFocusReturn focus_back(*this);
  detail_settings_window_->exec();
}

// A kuronel.chm in the start folder is handed to the desktop as it stands;
// without one the program's own guide opens, and a guide that is missing or
// that no browser takes is named in a box rather than left unsaid.
void MainWindow::ShowHelp() {
  const ListFocusReturn focus_back(*this);
  const std::string help_file = startup_folder_ + "/kuronel.chm";
  SystemCalls& calls = session_.Calls();
  if (!startup_folder_.empty() &&
      KindAt(help_file, true, calls) == PathKind::kFile) {
    open_document_(QString::fromStdString(help_file),
                   QString::fromStdString(ProgramFolder(calls)));
    return;
  }
  const QString guide = GuideFile(calls);
  if (KindAt(guide.toStdString(), true, calls) != PathKind::kFile) {
    ShowPlainMessage(this, QString::fromUtf8(kGuideMissingText) + guide);
    return;
  }
  // The browser's end may come after this window's.
  QPointer<MainWindow> form(this);
  open_guide_(QUrl::fromLocalFile(guide), [form, guide] {
    if (form)
      ShowPlainMessage(form, QString::fromUtf8(kGuideNotOpenedText) + guide);
  });
}

void MainWindow::ShowHelpNotice() {
  const ListFocusReturn focus_back(*this);
  ShowPlainMessage(this, "ダウンロード元からオンラインで参照してください。");
}

void MainWindow::ShowVersion() {
  const ListFocusReturn focus_back(*this);
  ShowPlainMessage(this, "Ver,1.1.0");
}

}  // namespace kuronel
