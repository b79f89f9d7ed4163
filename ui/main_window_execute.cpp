// The execute command: check the destination and the selection, sort the
// catalogue by date so that each day's files stand together, and show the
// processing window.
#include <QToolButton>

#include "ui/main_window.h"
#include "ui/processing_window.h"

namespace kuronel {

void MainWindow::ConnectExecuteCommand() {
  connect(execute_item_, &QAction::triggered, this,
          &MainWindow::ExecuteCommand);
  connect(list_execute_item_, &QAction::triggered, this,
          &MainWindow::ExecuteCommand);
  connect(execute_button_, &QToolButton::clicked, this,
          &MainWindow::ExecuteCommand);
}

void MainWindow::ExecuteCommand() {
  const ListFocusReturn focus_back(*this);
  const std::string bad_destination = session_.DestinationMessage();
  if (!bad_destination.empty()) {
    SetStatusText(QString::fromStdString(bad_destination));
    return;
  }
  const std::string nothing = session_.NothingToProcessMessage();
  if (!nothing.empty()) {
    SetStatusText(QString::fromStdString(nothing));
    // Only the text of an empty list goes again by itself.
    if (session_.Catalogue().empty()) StartStatusTimer();
    return;
  }
  {
    // The processing window takes input again: the command ends before it.
    CommandScope command(*this);
    SetStatusText(QString::fromUtf8("ファイル一覧を日付順でソートしました。"));
    StartStatusTimer();
    session_.SortForExecute();
  }
  processing_window_->Execute();
}

}  // namespace kuronel
