#ifndef KURONEL_PROCESSING_PLAN_MODEL_H_
#define KURONEL_PROCESSING_PLAN_MODEL_H_

#include <QAbstractTableModel>
#include <cstddef>
#include <functional>
#include <string_view>

#include "catalogue/catalogue_order.h"
#include "processing/new_name_plan.h"

namespace kuronel {

// The columns of the processing window's list.
inline constexpr int kSourcePathColumn = 0;
inline constexpr int kNewPathColumn = 1;
inline constexpr int kStateColumn = 2;
inline constexpr int kPlanColumnCount = 3;

// The text a plan column sorts by: the path bytes as they are (SourcePath,
// NewPath) or the state.
std::string_view PlanColumnText(const PlanRow& row, int column);

// True for the states drawn in the list's normal text colour; every other
// state ("重複", "Ok", the errors) is drawn in red.
bool IsPlainState(std::string_view state);

// Sorts the plan by `column` in the direction of state.SortAscending (equal
// texts keep their order), records the column, then flips the direction for
// the next sort, as a header click does in either list.
void SortPlanByClickedColumn(ProcessingPlan& plan, int column,
                             SortState& state);

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
  // Tells the view that one row's state changed (a repaint of that row).
  void RowChanged(std::size_t row);

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

#endif  // KURONEL_PROCESSING_PLAN_MODEL_H_
