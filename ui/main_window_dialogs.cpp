// The main window's commands that open dialogs: the destination folder, the
// detail settings, help and version.
#include <QDesktopServices>
#include <QDir>
#include <QMessageBox>
#include <QProcess>
#include <QUrl>
#include <QPushButton>
#include <QToolButton>

#include "platform/cp932.h"
#include "platform/path.h"
#include "platform/system.h"
#include "ui/detail_settings_window.h"
#include "ui/application.h"
#include "ui/destination_input_box.h"
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

void OpenWithDesktopViewer(const QString& file, const QString& working_directory) {
  // Detached and unchecked: a missing file or viewer shows nothing.
  QProcess::startDetached(QStringLiteral("xdg-open"), {file}, working_directory);
}

bool OpenWithDesktopBrowser(const QUrl& guide) {
  return QDesktopServices::openUrl(guide);
}

// The user's guide as installed with the program: the same way up from the
// program's folder in the build as under the installation's prefix.
QString GuideFile(SystemCalls& calls) {
  return QDir::cleanPath(QString::fromStdString(ProgramFolder(calls)) +
                         QStringLiteral(KURONEL_GUIDE_FROM_PROGRAM));
}

}  // namespace

void TForm1::ConnectDialogCommands() {
  SelectFolderDialog1 = new TSelectFolderDialog(this);
  SelectFolderDialog1->setObjectName("SelectFolderDialog1");
  SelectFolderDialog1->Caption = "フォルダ選択";
  SelectFolderDialog1->SetDefaultButton(TDefaultButton::btOk);
  SelectFolderDialog1->DialogSize = TDialogSize::dsCustom;
  SelectFolderDialog1->DialogWidth = 240;
  SelectFolderDialog1->DialogHeight = 360;
  SelectFolderDialog1->SetFocusedControl(TFocusedControl::fcTreeView);
  SelectFolderDialog1->Position = TDialogPosition::dpOwnerCenter;
  SelectFolderDialog1->Root = TRootFolder::rfDesktop;
  open_document_ = OpenWithDesktopViewer;
  open_guide_ = OpenWithDesktopBrowser;

  connect(SpeedButton4, &QToolButton::clicked, this,
          &TForm1::ChooseExistingDestination);
  connect(N16, &QAction::triggered, this, &TForm1::ChooseExistingDestination);
  connect(SpeedButtonIdousaki, &QPushButton::clicked, this,
          &TForm1::TypeNewDestination);
  connect(N17, &QAction::triggered, this, &TForm1::TypeNewDestination);
  connect(OptionMainM, &QAction::triggered, this, &TForm1::OpenDetailSettings);
  connect(OptionSpeedButton, &QToolButton::clicked, this,
          &TForm1::OpenDetailSettings);
  connect(HelpM, &QAction::triggered, this, &TForm1::ShowHelp);
  connect(HelpSpeedButton, &QToolButton::clicked, this, &TForm1::ShowHelpNotice);
  connect(VerMainM, &QAction::triggered, this, &TForm1::ShowVersion);
}

void TForm1::ChooseExistingDestination() {
  const ListFocusReturn focus_back(*this);
  if (SelectFolderDialog1->Execute())
    SetDestinationFolder(SelectFolderDialog1->Path());
}

void TForm1::TypeNewDestination() {
  const ListFocusReturn focus_back(*this);
  const QString shown = QString::fromStdString(DisplayPath(destination_));
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
    folder =
        TypedDestination(text == shown ? destination_ : text.toStdString());
    if (!folder.empty()) break;
    reason = QString::fromUtf8(kNotAnAbsolutePathReason);
  }
  SetDestinationFolder(folder);
}

void TForm1::OpenDetailSettings() {
  const ListFocusReturn focus_back(*this);
  Form3->exec();
}

// A kuronel.chm in the start folder is handed to the desktop as it stands;
// without one the program's own guide opens, and a guide that is missing or
// that no browser takes is named in a box rather than left unsaid.
void TForm1::ShowHelp() {
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
  if (!open_guide_(QUrl::fromLocalFile(guide)))
    ShowPlainMessage(this, QString::fromUtf8(kGuideNotOpenedText) + guide);
}

void TForm1::ShowHelpNotice() {
  const ListFocusReturn focus_back(*this);
  ShowPlainMessage(this, "ダウンロード元からオンラインで参照してください。");
}

void TForm1::ShowVersion() {
  const ListFocusReturn focus_back(*this);
  ShowPlainMessage(this, "Ver,1.1.0");
}

}  // namespace kuronel
