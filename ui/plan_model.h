#ifndef KURONEL_UI_PLAN_MODEL_H_
#define KURONEL_UI_PLAN_MODEL_H_

#include <QAbstractTableModel>
#include <cstddef>
#include <functional>
#include <string_view>

#include "processing/new_name_plan.h"
#include "processing/plan_columns.h"

namespace kuronel {

// The item model behind the processing window's list: one row per PlanRow,
// three text columns. It owns the plan; the window changes it through the
// model so that the view follows.
class PlanModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit PlanModel(QObject* parent = nullptr);

  const ProcessingPlan& Plan() const { return plan_; }
  // Runs `change` on the plan, then tells the view that every row may have
  // changed: rows rebuilt, reordered or given new states.
  void ChangePlan(const std::function<void(ProcessingPlan&)>& change);
  // Runs `change`, which may rewrite states but keeps the rows and their
  // order, then tells the view that every state may have changed. Selection
  // and scroll position stay.
  void ChangeStates(const std::function<void(ProcessingPlan&)>& change);
  // Puts a row's outcome in place of the row (a row past the end is
  // ignored), and tells the view.
  void SetRow(std::size_t row, PlanRow outcome);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 private:
  ProcessingPlan plan_;
};

}  // namespace kuronel

#endif  // KURONEL_UI_PLAN_MODEL_H_
