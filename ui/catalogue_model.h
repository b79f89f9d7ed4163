#ifndef KURONEL_UI_CATALOGUE_MODEL_H_
#define KURONEL_UI_CATALOGUE_MODEL_H_

#include <QAbstractTableModel>
#include <QColor>
#include <functional>
#include <vector>

#include "catalogue/catalogue_order.h"
#include "catalogue/catalogue_row.h"

namespace kuronel {

// The item model behind the main list: one row per CatalogueRow, four text
// columns, the check box in the first column. It owns the catalogue; the
// window changes rows through it so that views are told in bulk, not row by
// row.
class CatalogueModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit CatalogueModel(QObject* parent = nullptr);

  // The background of checked rows, asked each time a row is drawn so that a
  // change of the colour setting shows at the next repaint.
  void SetCheckedBackground(std::function<QColor()> colour);

  const FileCatalogue& Rows() const { return rows_; }
  // Runs `change` on the rows and then tells the views that everything may
  // have changed: rows added, removed, reordered or re-checked.
  void ChangeRows(const std::function<void(FileCatalogue&)>& change);
  // Runs `change`, which may change check states only, and repaints.
  void ChangeChecks(const std::function<void(FileCatalogue&)>& change);
  // Sorts the rows by the state's column and direction; selected rows stay
  // selected where they go.
  void Sort(const SortState& state);
  // A header click: sorts as ClickedColumnOrder orders, which also records
  // the column and flips the direction in `state`.
  void SortByClickedColumn(int column, SortState& state);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  bool setData(const QModelIndex& index, const QVariant& value,
               int role) override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 private:
  // Puts the rows into `order` (as SortPermutation gives it), selection
  // following its rows.
  void Reorder(std::vector<size_t> order);

  FileCatalogue rows_;
  std::function<QColor()> checked_background_;
};

}  // namespace kuronel

#endif  // KURONEL_UI_CATALOGUE_MODEL_H_
