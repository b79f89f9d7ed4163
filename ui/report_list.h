#ifndef KURONEL_UI_REPORT_LIST_H_
#define KURONEL_UI_REPORT_LIST_H_

#include <QAbstractItemView>
#include <initializer_list>

class QAbstractItemModel;
class QFont;
class QTableView;
class QWidget;

namespace kuronel {

// A list in the style both windows show their rows in: whole rows selected,
// nothing edited or wrapped, long texts elided in the middle (a path keeps
// its start and its file name), fixed row heights (100,000 rows stay quick
// to lay out), clickable column headers without a row header, and the
// columns `widths` wide, except the widest of them (a path), which takes the
// room the list has beside the others: the columns fill the list's width,
// and a larger window shows more of its paths. Tab
// leaves the list rather than moving between its cells; Home and End go to
// the first and the last row, in the first column, so that the check boxes
// stay in view. `font`, when given, is set before the row height is taken
// from it.
QTableView* NewReportList(QWidget* parent, const char* name,
                          QAbstractItemModel* model,
                          QAbstractItemView::SelectionMode selection,
                          std::initializer_list<int> widths,
                          const QFont* font = nullptr);

}  // namespace kuronel

#endif  // KURONEL_UI_REPORT_LIST_H_
