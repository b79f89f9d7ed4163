#include "processing/run_outcome.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace kuronel {
namespace {

PlanRow Row(RowState state, bool with_reason = false) {
  PlanRow row;
  row.State = state;
  if (with_reason)
    row.failure = FileResult(FileOperation::kDelete, "/card/a.JPG", ECANCELED);
  return row;
}

TEST(RunOutcomeTest, EachStateCountsOnce) {
  const struct {
    RowState state;
    bool with_reason;
    RowOutcome outcome;
  } cases[] = {
      {RowState::kUnprocessed, false, RowOutcome::kNotBegun},
      {RowState::kDuplicate, false, RowOutcome::kNotBegun},
      {RowState::kCopied, false, RowOutcome::kDone},
      {RowState::kMoved, false, RowOutcome::kDone},
      {RowState::kReadOnly, false, RowOutcome::kDone},
      // "OK" with a reason: a move that kept its source.
      {RowState::kCopied, true, RowOutcome::kSourceKept},
      // Not copied, its equal copy there already; in a move, its source kept.
      {RowState::kImported, false, RowOutcome::kDone},
      {RowState::kImported, true, RowOutcome::kSourceKept},
      {RowState::kCopyError, true, RowOutcome::kFailed},
      {RowState::kAttrError, true, RowOutcome::kFailed},
      {RowState::kDirError, true, RowOutcome::kFailed},
      {RowState::kDelError, false, RowOutcome::kFailed},
      {RowState::kNotFound, true, RowOutcome::kFailed},
  };
  for (const auto& c : cases) {
    const PlanRow row = Row(c.state, c.with_reason);
    EXPECT_EQ(OutcomeOf(row), c.outcome) << StateText(c.state);
    EXPECT_EQ(NeedsAttention(row), c.outcome == RowOutcome::kFailed ||
                                       c.outcome == RowOutcome::kSourceKept)
        << StateText(c.state);
  }
}

TEST(RunOutcomeTest, SummaryLineNamesWhatHappened) {
  const struct {
    ProcessingPlan plan;
    const char* line;
  } cases[] = {
      {{Row(RowState::kCopied), Row(RowState::kCopied)}, "完了 2 件"},
      {{}, "完了 0 件"},
      {{Row(RowState::kMoved), Row(RowState::kCopyError, true),
        Row(RowState::kCopied, true), Row(RowState::kNotFound, true)},
       "完了 1 件、失敗 2 件、元のファイルを残した移動 1 件"},
      {{Row(RowState::kCopied), Row(RowState::kUnprocessed),
        Row(RowState::kDuplicate)},
       "完了 1 件、中止で未処理 2 件"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(RunSummaryLine(CountOutcomes(c.plan)), c.line);
}

TEST(RunOutcomeTest, NextRowNeedingAttentionGoesRound) {
  const ProcessingPlan plan = {
      Row(RowState::kCopied), Row(RowState::kCopyError, true),
      Row(RowState::kMoved), Row(RowState::kCopied, true),
      Row(RowState::kUnprocessed)};
  const struct {
    std::size_t current;
    std::optional<std::size_t> next;
  } cases[] = {
      {0, 1}, {1, 3}, {3, 1}, {4, 1}, {99, 1},
  };
  for (const auto& c : cases)
    EXPECT_EQ(NextRowNeedingAttention(plan, c.current), c.next) << c.current;
  // Alone, the row needing attention is its own next.
  EXPECT_EQ(NextRowNeedingAttention({Row(RowState::kDirError, true)}, 0), 0u);
  EXPECT_EQ(NextRowNeedingAttention({Row(RowState::kCopied)}, 0), std::nullopt);
  EXPECT_EQ(NextRowNeedingAttention({}, 0), std::nullopt);
}

TEST(RunOutcomeTest, ModeLineSaysWhetherOriginalsAreDeleted) {
  Settings copy;  // the design values keep the originals
  Settings move;
  move.KeepOriginal = false;
  // Read-only in place deletes nothing, whatever KeepOriginal says.
  Settings in_place = move;
  in_place.MoveToDateFolder = in_place.RenameToDateFile = false;
  EXPECT_FALSE(RunDeletesOriginals(copy));
  EXPECT_TRUE(RunDeletesOriginals(move));
  EXPECT_FALSE(RunDeletesOriginals(in_place));
  EXPECT_EQ(RunModeLine(copy), "コピーします: 元のファイルはそのまま残します");
  EXPECT_EQ(RunModeLine(move),
            "移動します: コピーを確かめた後、元のファイルを削除します");
  EXPECT_EQ(RunModeLine(in_place),
            "元のファイルをその場で読み出し専用にします（コピーはしません）");
}

TEST(RunOutcomeTest, ProgressLineTellsFilesBytesAndTimeLeft) {
  EXPECT_EQ(RunProgressLine(0, 114, 0, SecondsLeft(3, 0, 114)),
            "0 / 114 ファイル、0.0 MB");
  EXPECT_EQ(RunProgressLine(12, 114, 85'340'000, SecondsLeft(10, 12, 114)),
            "12 / 114 ファイル、85.3 MB、残り約 1 分 25 秒");
  EXPECT_EQ(RunProgressLine(1, 2, 2'345'000'000, 59.2),
            "1 / 2 ファイル、2.35 GB、残り約 1 分 0 秒");
  EXPECT_EQ(RunProgressLine(1, 900, 0, SecondsLeft(30, 1, 900)),
            "1 / 900 ファイル、0.0 MB、残り約 7 時間 29 分");
  EXPECT_EQ(RunProgressLine(5, 5, 0, SecondsLeft(30, 5, 5)),
            "5 / 5 ファイル、0.0 MB、残り約 0 秒");
}

}  // namespace
}  // namespace kuronel
