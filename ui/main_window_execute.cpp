// The execute command: check the destination and the selection, sort the
// catalogue by date so that each day's files stand together, and show the
// processing window.
#include <QToolButton>

#include "ui/main_window.h"
#include "ui/processing_window.h"

namespace kuronel {

void TForm1::ConnectExecuteCommand() {
  connect(ActionMainM, &QAction::triggered, this, &TForm1::ExecuteCommand);
  connect(N12, &QAction::triggered, this, &TForm1::ExecuteCommand);
  connect(SpeedButton2, &QToolButton::clicked, this, &TForm1::ExecuteCommand);
}

void TForm1::ExecuteCommand() {
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
  Form2->Execute();
}

}  // namespace kuronel
