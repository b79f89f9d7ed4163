// The main window's commands that open dialogs: the destination folder, the
// detail settings, help and version.
#include <QDir>
#include <QMessageBox>
#include <QPointer>
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

// The picker opens at the last destination, not where the folder commands
// left it: after opening a card, one Return would otherwise make the card
// its own destination. The folder commands keep their folder for their
// next use.
void TForm1::ChooseExistingDestination() {
  const ListFocusReturn focus_back(*this);
  const std::string folders_at = SelectFolderDialog1->Path();
  SelectFolderDialog1->SetPath(destination_ == kNoDestination ? std::string()
                                                              : destination_);
  const bool chosen = SelectFolderDialog1->Execute();
  const std::string folder = SelectFolderDialog1->Path();
  SelectFolderDialog1->SetPath(folders_at);
  if (chosen && DestinationConfirmed(folder)) SetDestinationFolder(folder);
}

// The opened folder itself, or a folder inside it, is rarely meant as the
// destination (the copies would land on the card they come from): the user
// is asked once; any other folder is taken at once.
bool TForm1::DestinationConfirmed(const std::string& folder) {
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
  if (DestinationConfirmed(folder)) SetDestinationFolder(folder);
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
  // The browser's end may come after this window's.
  QPointer<TForm1> form(this);
  open_guide_(QUrl::fromLocalFile(guide), [form, guide] {
    if (form)
      ShowPlainMessage(form, QString::fromUtf8(kGuideNotOpenedText) + guide);
  });
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
