#ifndef KURONEL_PROCESSING_PLAN_COLUMNS_H_
#define KURONEL_PROCESSING_PLAN_COLUMNS_H_

#include <string_view>

#include "catalogue/catalogue_order.h"
#include "processing/new_name_plan.h"

namespace kuronel {

// The columns of the processing window's list.
inline constexpr int kSourcePathColumn = 0;
inline constexpr int kNewPathColumn = 1;
inline constexpr int kStateColumn = 2;
inline constexpr int kPlanColumnCount = 3;

// The text a plan column shows and sorts by: the path bytes as they are
// (SourcePath; NewPath, or TargetPath once the row has put its file there)
// or the state.
std::string_view PlanColumnText(const PlanRow& row, int column);

// True for the states drawn in the list's normal text colour ("未処理", "OK",
// "ReadOnly", and "取込済" drawn as a copy is); every other
// state ("重複", "Ok", the errors) is drawn in red.
bool IsPlainState(RowState state);

// A header click in the processing window: sorts the plan as
// ClickedColumnOrder orders (equal texts keep their order), which records the
// column and flips the direction for the next sort, as in either list.
void SortPlanByClickedColumn(ProcessingPlan& plan, int column,
                             SortState& state);

}  // namespace kuronel

#endif  // KURONEL_PROCESSING_PLAN_COLUMNS_H_
