// The execute command: check the destination and the selection, sort the
// catalogue by date so that each day's files stand together, and show the
// processing window.
#include <QToolButton>

#include "catalogue/catalogue_checks.h"
#include "catalogue/catalogue_order.h"
#include "platform/system.h"
#include "ui/catalogue_model.h"
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
  const Settings settings = CurrentSettings();
  if (settings.MoveToDateFolder && !NamesADrive(settings.DestinationFolder)) {
    SetStatusText(QString::fromUtf8("移動先フォルダが不正です。"));
    return;
  }
  const FileCatalogue& rows = catalogue_model_->Rows();
  const std::string nothing = NothingToProcessMessage(rows);
  if (!nothing.empty()) {
    SetStatusText(QString::fromStdString(nothing));
    // Only the text of an empty list goes again by itself.
    if (rows.empty()) StartStatusTimer();
    return;
  }
  {
    // The processing window takes input again: the command ends before it.
    CommandScope command(*this);
    SetStatusText(QString::fromUtf8("ファイル一覧を日付順でソートしました。"));
    StartStatusTimer();
    // Unlike a column click, the direction is left as it is afterwards.
    SortForExecute(sort_state_);
    catalogue_model_->Sort(sort_state_);
  }
  sort_state_ = Form2->Execute({&rows, settings, opened_folders_, sort_state_});
}

}  // namespace kuronel
