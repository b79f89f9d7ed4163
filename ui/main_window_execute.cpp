// The execute command: the session checks the destination and the selection,
// sorts the catalogue by date so that each day's files stand together and
// plans the checked rows; the processing window then shows the plan.
#include <QToolButton>
#include <optional>
#include <utility>

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
  ProcessingPlan plan;
  RunPreparation prepared;
  {
    // The sort and the plan are the command's long part: from the text that
    // announces them, input is discarded. It ends before the processing
    // window, which takes input again.
    std::optional<CommandScope> command;
    prepared = session_.PrepareRun(plan, [&](const std::string& text) {
      command.emplace(*this);
      SetStatusText(QString::fromStdString(text));
      StartStatusTimer();
    });
  }
  if (!prepared.ready()) {
    SetStatusText(QString::fromStdString(prepared.message));
    // Only the text of an empty list goes again by itself.
    if (prepared.outcome == RunPreparation::Outcome::kNoRows)
      StartStatusTimer();
    return;
  }
  processing_window_->Execute(std::move(plan));
}

}  // namespace kuronel
