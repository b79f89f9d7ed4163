#ifndef KURONEL_UI_CATALOGUE_MODEL_H_
#define KURONEL_UI_CATALOGUE_MODEL_H_

#include <QAbstractTableModel>
#include <QColor>
#include <functional>
#include <vector>

#include "catalogue/catalogue_order.h"
#include "catalogue/catalogue_row.h"
#include "processing/session.h"

namespace kuronel {

// The item model behind the main list: one row per CatalogueRow of the
// session's catalogue, four text columns, the check box in the first column.
// The session owns the rows and tells the model of each change, so that
// views are told in bulk, not row by row.
class CatalogueModel : public QAbstractTableModel, private CatalogueObserver {
  Q_OBJECT

 public:
  explicit CatalogueModel(Session& session, QObject* parent = nullptr);
  ~CatalogueModel() override;

  // The background of checked rows, asked each time a row is drawn so that a
  // change of the colour setting shows at the next repaint.
  void SetCheckedBackground(std::function<QColor()> colour);

  const FileCatalogue& Rows() const { return session_.Catalogue(); }
  // Runs `change` on the session's rows; the views take them as new.
  void ChangeRows(const std::function<void(FileCatalogue&)>& change);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  bool setData(const QModelIndex& index, const QVariant& value,
               int role) override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 signals:
  // The user checked or unchecked one row (a click on its box, or Space).
  void CheckToggled();

 private:
  void RowsAboutToBeReplaced() override;
  void RowsReplaced() override;
  void RowsAboutToBeReordered() override;
  // Selected rows stay selected where they go.
  void RowsReordered(const std::vector<size_t>& order) override;
  void ChecksChanged(size_t first, size_t last) override;

  Session& session_;
  std::function<QColor()> checked_background_;
};

}  // namespace kuronel

#endif  // KURONEL_UI_CATALOGUE_MODEL_H_
