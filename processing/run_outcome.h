#ifndef KURONEL_PROCESSING_RUN_OUTCOME_H_
#define KURONEL_PROCESSING_RUN_OUTCOME_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "processing/new_name_plan.h"
#include "settings/settings.h"

namespace kuronel {

// What became of a row, as the processing window counts it after a run.
enum class RowOutcome {
  kNotBegun,    // still as planned: the run stopped before it
  kDone,        // done as asked
  kSourceKept,  // copied, but a move kept its source (the reason says why)
  kFailed,      // an error state
};

RowOutcome OutcomeOf(const PlanRow& row);

// True for the rows a user should look at after a run: the failed ones and
// the moves that kept their source.
bool NeedsAttention(const PlanRow& row);

struct OutcomeCounts {
  std::size_t done = 0;
  std::size_t source_kept = 0;
  std::size_t failed = 0;
  std::size_t not_begun = 0;
};

OutcomeCounts CountOutcomes(const ProcessingPlan& plan);

// The one line that sums a run up: 完了 110 件、失敗 3 件、… A count of
// zero is left out, except the rows done.
std::string RunSummaryLine(const OutcomeCounts& counts);

// The first row after `current` that needs attention, going round past the
// end; `current` itself comes last. nullopt when no row needs attention.
// A `current` past the end starts at the first row.
std::optional<std::size_t> NextRowNeedingAttention(const ProcessingPlan& plan,
                                                   std::size_t current);

// Before a run: what it will do with the originals (copies them, moves
// them and deletes them from where they are, or makes them read-only).
std::string RunModeLine(const Settings& options);
// True when the run deletes originals: the line deserves the eye.
bool RunDeletesOriginals(const Settings& options);

// During a run: files reported of all, the bytes their copies wrote, and
// the time left when it can be told (negative: not yet).
std::string RunProgressLine(std::size_t rows_done, std::size_t rows,
                            std::uint64_t bytes_copied, double seconds_left);

// The time left of a run that took `elapsed_seconds` for `rows_done` of
// `rows`, if the rest go at the same pace; negative until one row is done.
double SecondsLeft(double elapsed_seconds, std::size_t rows_done,
                   std::size_t rows);

}  // namespace kuronel

#endif  // KURONEL_PROCESSING_RUN_OUTCOME_H_
