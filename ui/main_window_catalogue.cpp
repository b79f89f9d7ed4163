// The main window's catalogue commands: opening and adding folders, the
// column-click sort, and the check and selection commands.
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QTableView>
#include <QToolButton>

#include "catalogue/catalogue_builder.h"
#include "catalogue/catalogue_checks.h"
#include "ui/application.h"
#include "ui/catalogue_model.h"
#include "ui/main_window.h"
#include "ui/select_folder_dialog.h"
#include "ui/status_line.h"

namespace kuronel {

MainWindow::CommandScope::CommandScope(MainWindow& window) : window_(window) {
  ++window_.running_commands_;
}

MainWindow::CommandScope::~CommandScope() {
  window_.status_line_->Flush();
  if (--window_.running_commands_ == 0 && window_.status_clear_due_) {
    // The status timer fell due while the command ran; its turn comes now.
    window_.status_clear_due_ = false;
    window_.SetStatusText(QString());
  }
}

void MainWindow::ConnectCatalogueCommands() {
  connect(open_folder_item_, &QAction::triggered, this,
          &MainWindow::OpenFolder);
  connect(open_folder_button_, &QToolButton::clicked, this,
          &MainWindow::OpenFolder);
  connect(add_folder_item_, &QAction::triggered, this, &MainWindow::AddFolder);
  connect(add_folder_button_, &QToolButton::clicked, this,
          &MainWindow::AddFolder);
  connect(catalogue_list_->horizontalHeader(), &QHeaderView::sectionClicked,
          this, &MainWindow::SortByClickedColumn);
  for (QAction* item : {default_checks_item_, list_default_checks_item_})
    connect(item, &QAction::triggered, this, &MainWindow::DefaultChecksCommand);
  connect(check_selected_item_, &QAction::triggered, this,
          &MainWindow::CheckSelectedCommand);
  connect(uncheck_selected_item_, &QAction::triggered, this,
          &MainWindow::UncheckSelectedCommand);
  connect(select_all_item_, &QAction::triggered, this,
          &MainWindow::SelectAllRows);
  connect(invert_selection_item_, &QAction::triggered, this,
          &MainWindow::InvertSelection);
}

void MainWindow::OpenFolder() {
  const ListFocusReturn focus_back(*this);
  if (!folder_picker_->Execute()) return;
  UnreadablePaths unreadable;
  {
    CommandScope command(*this);
    unreadable =
        session_
            .OpenFolder(folder_picker_->Path(), status_line_->ProgressSink())
            .unreadable;
  }
  ReportUnreadable(unreadable);
}

void MainWindow::AddFolder() {
  const ListFocusReturn focus_back(*this);
  if (!folder_picker_->Execute()) return;
  UnreadablePaths unreadable;
  {
    CommandScope command(*this);
    // The list keeps showing the rows it has while the new ones are found.
    unreadable =
        session_.AddFolder(folder_picker_->Path(), status_line_->ProgressSink())
            .unreadable;
  }
  ReportUnreadable(unreadable);
}

// After the command: a folder that could not be read must not pass for an
// empty one, or a user might format the card.
void MainWindow::ReportUnreadable(const UnreadablePaths& unreadable) {
  if (unreadable.empty()) return;
  ShowErrorReport(QString::fromStdString(UnreadableMessage(unreadable)));
}

void MainWindow::DefaultChecksCommand() {
  CommandScope command(*this);
  session_.ApplyDefaultChecks(status_line_->ProgressSink());
}

std::vector<bool> MainWindow::SelectedRows() const {
  std::vector<bool> selected(catalogue_model_->Rows().size(), false);
  for (const QItemSelectionRange& range :
       catalogue_list_->selectionModel()->selection()) {
    for (int row = range.top(); row <= range.bottom(); ++row)
      selected[static_cast<size_t>(row)] = true;
  }
  return selected;
}

void MainWindow::CheckSelectedCommand() {
  RunCheckCommand([this](const std::vector<bool>& selected) {
    return session_.CheckSelectedRows(selected);
  });
}

void MainWindow::UncheckSelectedCommand() {
  RunCheckCommand([this](const std::vector<bool>& selected) {
    return session_.UncheckSelectedRows(selected);
  });
}

void MainWindow::RunCheckCommand(
    const std::function<CheckCommandResult(const std::vector<bool>&)>&
        command) {
  CommandScope scope(*this);
  const CheckCommandResult result = command(SelectedRows());
  SetStatusText(QString::fromStdString(result.status_text));
  StartStatusTimer();
}

void MainWindow::ToggleCurrentRowCheck() {
  const QModelIndex current = catalogue_list_->currentIndex();
  if (!current.isValid()) return;
  const QModelIndex check_box = catalogue_model_->index(current.row(), 0);
  const bool checked =
      check_box.data(Qt::CheckStateRole).value<Qt::CheckState>() == Qt::Checked;
  catalogue_model_->setData(check_box, checked ? Qt::Unchecked : Qt::Checked,
                            Qt::CheckStateRole);
}

void MainWindow::SelectAllRows() { catalogue_list_->selectAll(); }

void MainWindow::InvertSelection() {
  const int rows = catalogue_model_->rowCount();
  if (rows == 0) return;
  QItemSelection all(catalogue_model_->index(0, 0),
                     catalogue_model_->index(rows - 1, 3));
  catalogue_list_->selectionModel()->select(
      all, QItemSelectionModel::Toggle | QItemSelectionModel::Rows);
}

void MainWindow::SortByClickedColumn(int column) {
  CommandScope command(*this);
  session_.SortByClickedColumn(column);
  SetStatusText(QString::fromUtf8(kSortedText));
  StartStatusTimer();
}

}  // namespace kuronel
