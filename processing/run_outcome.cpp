#include "processing/run_outcome.h"

#include <cmath>
#include <cstdio>
#include <vector>

#include "settings/option_rule.h"

namespace kuronel {
namespace {

bool CopiesNothing(const Settings& options) {
  return !options.RenameToDateFile && !options.MoveToDateFolder &&
         options.MakeReadOnly;
}

std::string Counted(const char* what, std::size_t count) {
  return std::string(what) + " " + std::to_string(count) + " 件";
}

std::string Joined(const std::vector<std::string>& parts) {
  std::string line;
  for (const std::string& part : parts) {
    if (!line.empty()) line += "、";
    line += part;
  }
  return line;
}

std::string BytesText(std::uint64_t bytes) {
  char text[32];
  const double megabytes = static_cast<double>(bytes) / 1e6;
  if (megabytes < 1000) {
    std::snprintf(text, sizeof text, "%.1f MB", megabytes);
  } else {
    std::snprintf(text, sizeof text, "%.2f GB", megabytes / 1000);
  }
  return text;
}

std::string TimeLeftText(double seconds_left) {
  const long total = std::lround(std::ceil(seconds_left));
  const long hours = total / 3600;
  const long minutes = total % 3600 / 60;
  const long seconds = total % 60;
  std::string text = "残り約 ";
  if (hours > 0)
    return text + std::to_string(hours) + " 時間 " + std::to_string(minutes) +
           " 分";
  if (minutes > 0)
    return text + std::to_string(minutes) + " 分 " + std::to_string(seconds) +
           " 秒";
  return text + std::to_string(seconds) + " 秒";
}

}  // namespace

RowOutcome OutcomeOf(const PlanRow& row) {
  if (row.State == RowState::kUnprocessed || row.State == RowState::kDuplicate)
    return RowOutcome::kNotBegun;
  // A success state with a reason: the move left its source in place.
  if (IsSuccessState(row.State))
    return row.failure.ok() ? RowOutcome::kDone : RowOutcome::kSourceKept;
  return RowOutcome::kFailed;
}

bool NeedsAttention(const PlanRow& row) {
  const RowOutcome outcome = OutcomeOf(row);
  return outcome == RowOutcome::kFailed || outcome == RowOutcome::kSourceKept;
}

OutcomeCounts CountOutcomes(const ProcessingPlan& plan) {
  OutcomeCounts counts;
  for (const PlanRow& row : plan) {
    switch (OutcomeOf(row)) {
      case RowOutcome::kNotBegun:
        ++counts.not_begun;
        break;
      case RowOutcome::kDone:
        ++counts.done;
        break;
      case RowOutcome::kSourceKept:
        ++counts.source_kept;
        break;
      case RowOutcome::kFailed:
        ++counts.failed;
        break;
    }
  }
  return counts;
}

std::string RunSummaryLine(const OutcomeCounts& counts) {
  std::vector<std::string> parts = {Counted("完了", counts.done)};
  if (counts.failed > 0) parts.push_back(Counted("失敗", counts.failed));
  if (counts.source_kept > 0)
    parts.push_back(Counted("元のファイルを残した移動", counts.source_kept));
  // Rows left as planned remain only after a stop.
  if (counts.not_begun > 0)
    parts.push_back(Counted("中止で未処理", counts.not_begun));
  return Joined(parts);
}

std::optional<std::size_t> NextRowNeedingAttention(const ProcessingPlan& plan,
                                                   std::size_t current) {
  const std::size_t count = plan.size();
  const std::size_t start = current < count ? current + 1 : 0;
  for (std::size_t step = 0; step < count; ++step) {
    const std::size_t row = (start + step) % count;
    if (NeedsAttention(plan[row])) return row;
  }
  return std::nullopt;
}

bool RunDeletesOriginals(const Settings& options) {
  return RunDeletesOriginals(options.MoveToDateFolder, options.RenameToDateFile,
                             options.MakeReadOnly, options.KeepOriginal);
}

std::string RunModeLine(const Settings& options) {
  if (CopiesNothing(options))
    return "元のファイルをその場で読み出し専用にします（コピーはしません）";
  if (RunDeletesOriginals(options))
    return "移動します: コピーを確かめた後、元のファイルを削除します";
  return "コピーします: 元のファイルはそのまま残します";
}

std::string RunProgressLine(std::size_t rows_done, std::size_t rows,
                            std::uint64_t bytes_copied, double seconds_left) {
  std::string line = std::to_string(rows_done) + " / " + std::to_string(rows) +
                     " ファイル、" + BytesText(bytes_copied);
  if (seconds_left >= 0) line += "、" + TimeLeftText(seconds_left);
  return line;
}

double SecondsLeft(double elapsed_seconds, std::size_t rows_done,
                   std::size_t rows) {
  if (rows_done == 0 || rows_done > rows) return -1;
  return elapsed_seconds * static_cast<double>(rows - rows_done) /
         static_cast<double>(rows_done);
}

}  // namespace kuronel
