#include "ui/report_list.h"

#include <QEvent>
#include <QHeaderView>
#include <QTableView>
#include <algorithm>

namespace kuronel {
namespace {

// A table that moves like a list of rows: Home and End go to the first and
// the last row (a table's own go to the row's first and last cell, which
// scrolls the list sideways).
class ReportListView : public QTableView {
 public:
  using QTableView::QTableView;

 protected:
  QModelIndex moveCursor(CursorAction action,
                         Qt::KeyboardModifiers modifiers) override {
    const int rows = model() != nullptr ? model()->rowCount() : 0;
    if ((action != MoveHome && action != MoveEnd) || rows == 0)
      return QTableView::moveCursor(action, modifiers);
    return model()->index(action == MoveHome ? 0 : rows - 1, 0);
  }
};

// Gives one column the room the list's viewport has beside the other
// columns, each time the viewport changes size (the window is resized, or
// a scroll bar comes or goes) or another column is resized: the columns
// fill the list's width, without a scroll bar sideways while the column
// keeps kNarrowest pixels.
class ColumnFill : public QObject {
 public:
  ColumnFill(QTableView* list, int column)
      : QObject(list), list_(list), column_(column) {
    list->viewport()->installEventFilter(this);
    connect(list->horizontalHeader(), &QHeaderView::sectionResized, this,
            [this](int resized) {
              if (resized != column_) Fill();
            });
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Resize) Fill();
    return QObject::eventFilter(watched, event);
  }

 private:
  void Fill() {
    int others = 0;
    for (int column = 0; column < list_->model()->columnCount(); ++column)
      if (column != column_) others += list_->columnWidth(column);
    const int room = list_->viewport()->width() - others;
    list_->setColumnWidth(column_, std::max(kNarrowest, room));
  }

  static constexpr int kNarrowest = 100;
  QTableView* list_;
  int column_;
};

}  // namespace

QTableView* NewReportList(QWidget* parent, const char* name,
                          QAbstractItemModel* model,
                          QAbstractItemView::SelectionMode selection,
                          std::initializer_list<int> widths,
                          const QFont* font) {
  auto* list = new ReportListView(parent);
  list->setObjectName(name);
  list->setModel(model);
  list->setShowGrid(true);
  list->setSelectionMode(selection);
  list->setSelectionBehavior(QAbstractItemView::SelectRows);
  list->setEditTriggers(QAbstractItemView::NoEditTriggers);
  // Tab leaves the list for the window's buttons instead of walking its
  // cells; the arrow keys move between rows.
  list->setTabKeyNavigation(false);
  list->setWordWrap(false);
  if (font != nullptr) list->setFont(*font);
  list->setTextElideMode(Qt::ElideMiddle);
  QHeaderView* rows = list->verticalHeader();
  rows->hide();
  rows->setSectionResizeMode(QHeaderView::Fixed);
  rows->setDefaultSectionSize(list->fontMetrics().height() + 4);
  QHeaderView* columns = list->horizontalHeader();
  columns->setSectionsClickable(true);
  columns->setHighlightSections(false);
  columns->setStretchLastSection(false);
  int column = 0;
  int widest = 0;
  int widest_width = -1;
  for (const int width : widths) {
    if (width > widest_width) {
      widest = column;
      widest_width = width;
    }
    list->setColumnWidth(column++, width);
  }
  if (widest_width >= 0) new ColumnFill(list, widest);
  return list;
}

}  // namespace kuronel
