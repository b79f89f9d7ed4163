// The main window's catalogue commands: opening and adding folders, the
// column-click sort, and the check and selection commands.
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QTableView>
#include <QToolButton>

#include "catalogue/catalogue_builder.h"
#include "catalogue/catalogue_checks.h"
#include "ui/catalogue_model.h"
#include "ui/application.h"
#include "ui/main_window.h"
#include "ui/select_folder_dialog.h"
#include "ui/status_line.h"

namespace kuronel {

TForm1::CommandScope::CommandScope(TForm1& form) : form_(form) {
  ++form_.running_commands_;
}

TForm1::CommandScope::~CommandScope() {
  form_.status_line_->Flush();
  if (--form_.running_commands_ == 0 && form_.status_clear_due_) {
    // TimerSB fell due while the command ran; its turn comes now.
    form_.status_clear_due_ = false;
    form_.SetStatusText(QString());
  }
}

void TForm1::ConnectCatalogueCommands() {
  connect(OpenFMainM, &QAction::triggered, this, &TForm1::OpenFolder);
  connect(SpeedButton1, &QToolButton::clicked, this, &TForm1::OpenFolder);
  connect(AddFMainM, &QAction::triggered, this, &TForm1::AddFolder);
  connect(SpeedButton3, &QToolButton::clicked, this, &TForm1::AddFolder);
  connect(ListViewM->horizontalHeader(), &QHeaderView::sectionClicked, this,
          &TForm1::ListViewMColumnClick);
  for (QAction* item : {jpeg1, jpeg2})
    connect(item, &QAction::triggered, this, &TForm1::DefaultChecksCommand);
  for (QAction* item : {N5, N7})
    connect(item, &QAction::triggered, this, &TForm1::CheckSelectedCommand);
  for (QAction* item : {Off1, N8})
    connect(item, &QAction::triggered, this, &TForm1::UncheckSelectedCommand);
  for (QAction* item : {N4, N6})
    connect(item, &QAction::triggered, this, &TForm1::SelectAllRows);
  for (QAction* item : {N9, N10})
    connect(item, &QAction::triggered, this, &TForm1::InvertSelection);
}

void TForm1::OpenFolder() {
  const ListFocusReturn focus_back(*this);
  if (!SelectFolderDialog1->Execute()) return;
  UnreadablePaths unreadable;
  {
    CommandScope command(*this);
    unreadable = session_
                     .OpenFolder(SelectFolderDialog1->Path(),
                                 status_line_->ProgressSink())
                     .unreadable;
  }
  ReportUnreadable(unreadable);
}

void TForm1::AddFolder() {
  const ListFocusReturn focus_back(*this);
  if (!SelectFolderDialog1->Execute()) return;
  UnreadablePaths unreadable;
  {
    CommandScope command(*this);
    // The list keeps showing the rows it has while the new ones are found.
    unreadable = session_
                     .AddFolder(SelectFolderDialog1->Path(),
                                status_line_->ProgressSink())
                     .unreadable;
  }
  ReportUnreadable(unreadable);
}

// After the command: a folder that could not be read must not pass for an
// empty one, or a user might format the card.
void TForm1::ReportUnreadable(const UnreadablePaths& unreadable) {
  if (unreadable.empty()) return;
  ShowErrorReport(QString::fromStdString(UnreadableMessage(unreadable)));
}

void TForm1::DefaultChecksCommand() {
  CommandScope command(*this);
  session_.ApplyDefaultChecks(status_line_->ProgressSink());
}

std::vector<bool> TForm1::SelectedRows() const {
  std::vector<bool> selected(catalogue_model_->Rows().size(), false);
  for (const QItemSelectionRange& range :
       ListViewM->selectionModel()->selection()) {
    for (int row = range.top(); row <= range.bottom(); ++row)
      selected[static_cast<size_t>(row)] = true;
  }
  return selected;
}

void TForm1::CheckSelectedCommand() {
  RunCheckCommand([this](const std::vector<bool>& selected) {
    return session_.CheckSelectedRows(selected);
  });
}

void TForm1::UncheckSelectedCommand() {
  RunCheckCommand([this](const std::vector<bool>& selected) {
    return session_.UncheckSelectedRows(selected);
  });
}

void TForm1::RunCheckCommand(
    const std::function<CheckCommandResult(const std::vector<bool>&)>&
        command) {
  CommandScope scope(*this);
  const CheckCommandResult result = command(SelectedRows());
  SetStatusText(QString::fromStdString(result.status_text));
  StartStatusTimer();
}

void TForm1::ToggleCurrentRowCheck() {
  const QModelIndex current = ListViewM->currentIndex();
  if (!current.isValid()) return;
  const QModelIndex check_box = catalogue_model_->index(current.row(), 0);
  const bool checked =
      check_box.data(Qt::CheckStateRole).value<Qt::CheckState>() == Qt::Checked;
  catalogue_model_->setData(check_box, checked ? Qt::Unchecked : Qt::Checked,
                            Qt::CheckStateRole);
}

void TForm1::SelectAllRows() { ListViewM->selectAll(); }

void TForm1::InvertSelection() {
  const int rows = catalogue_model_->rowCount();
  if (rows == 0) return;
  QItemSelection all(catalogue_model_->index(0, 0),
                     catalogue_model_->index(rows - 1, 3));
  ListViewM->selectionModel()->select(
      all, QItemSelectionModel::Toggle | QItemSelectionModel::Rows);
}

void TForm1::ListViewMColumnClick(int column) {
  CommandScope command(*this);
  session_.SortByClickedColumn(column);
  SetStatusText(QString::fromUtf8(kSortedText));
  StartStatusTimer();
}

}  // namespace kuronel
