// The execute command: check the destination and the selection, sort the
// catalogue by date so that each day's files stand together, and show the
// processing window.
#include <QToolButton>
#include <algorithm>

#include "ui/catalogue_model.h"
#include "platform/system.h"
#include "ui/processing_window.h"
#include "ui/main_window.h"

namespace kuronel {

void TForm1::ConnectExecuteCommand() {
  connect(ActionMainM, &QAction::triggered, this, &TForm1::ExecuteCommand);
  connect(N12, &QAction::triggered, this, &TForm1::ExecuteCommand);
  connect(SpeedButton2, &QToolButton::clicked, this, &TForm1::ExecuteCommand);
}

void TForm1::ExecuteCommand() {
  const Settings settings = CurrentSettings();
  if (settings.MoveToDateFolder && !NamesADrive(settings.DestinationFolder)) {
    SetStatusText(QString::fromUtf8("移動先フォルダが不正です。"));
    return;
  }
  const FileCatalogue& rows = catalogue_model_->Rows();
  if (rows.empty()) {
    SetStatusText(QString::fromUtf8("対象ファイルがありません"));
    StartStatusTimer();
    return;
  }
  if (std::none_of(rows.begin(), rows.end(),
                   [](const CatalogueRow& row) { return row.Checked; })) {
    SetStatusText(QString::fromUtf8("選択されたファイルがありません"));
    return;
  }
  {
    // The processing window takes input again: the command ends before it.
    CommandScope command(*this);
    SetStatusText(QString::fromUtf8("ファイル一覧を日付順でソートしました。"));
    StartStatusTimer();
    // Ascending by timestamp text; unlike a column click, the direction is
    // left as it is afterwards.
    sort_state_.SortColumn = kTimestampColumn;
    sort_state_.SortAscending = true;
    catalogue_model_->Sort(sort_state_);
  }
  sort_state_ = Form2->Execute({&rows, settings, opened_folders_, sort_state_});
}

}  // namespace kuronel
