#include "processing/plan_columns.h"

#include <vector>

namespace kuronel {

std::string_view PlanColumnText(const PlanRow& row, int column) {
  switch (column) {
    case kSourcePathColumn:
      return row.SourcePath;
    case kNewPathColumn:
      // Once a row has run, where its file really went: after a name taken
      // meanwhile, the planned name holds another file.
      return row.TargetPath.empty() ? row.NewPath : row.TargetPath;
    case kStateColumn:
      return StateText(row.State);
    default:
      return {};
  }
}

bool IsPlainState(RowState state) {
  return state == RowState::kUnprocessed || state == RowState::kCopied ||
         state == RowState::kReadOnly || state == RowState::kImported;
}

void SortPlanByClickedColumn(ProcessingPlan& plan, int column,
                             SortState& state) {
  ApplyPermutation(
      plan, ClickedColumnOrder(
                plan.size(),
                [&](size_t row) { return PlanColumnText(plan[row], column); },
                column, state));
}

}  // namespace kuronel
