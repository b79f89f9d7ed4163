#include "ui/report_list.h"

#include <QHeaderView>
#include <QTableView>

namespace kuronel {

QTableView* NewReportList(QWidget* parent, const char* name,
                          QAbstractItemModel* model,
                          QAbstractItemView::SelectionMode selection,
                          std::initializer_list<int> widths,
                          const QFont* font) {
  auto* list = new QTableView(parent);
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
  for (const int width : widths) list->setColumnWidth(column++, width);
  return list;
}

}  // namespace kuronel
