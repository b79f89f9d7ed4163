#include "settings/option_rule.h"

#include <gtest/gtest.h>

#include "settings/settings.h"

namespace kuronel {
namespace {

// Move and rename off, read-only on: toggle read-only off, on again, then
// rename on.
TEST(OptionRuleTest, FollowsTheToggleSequence) {
  Settings settings;
  settings.MoveToDateFolder = false;
  settings.RenameToDateFile = false;
  auto apply = [&settings] {
    return ApplyOptionRule(settings.MoveToDateFolder, settings.RenameToDateFile,
                           settings.MakeReadOnly);
  };

  settings.MakeReadOnly = false;
  OptionRuleOutcome all_off = apply();
  EXPECT_EQ(all_off.message, "全てOFF");
  EXPECT_TRUE(all_off.start_status_timer);
  EXPECT_FALSE(all_off.execute_enabled);
  EXPECT_EQ(all_off.keep_original_enabled, std::nullopt);

  settings.MakeReadOnly = true;
  OptionRuleOutcome read_only = apply();
  EXPECT_EQ(read_only.message, "書込み禁止のみ");
  EXPECT_TRUE(read_only.start_status_timer);
  EXPECT_TRUE(read_only.execute_enabled);
  EXPECT_EQ(read_only.keep_original_enabled, false);

  settings.RenameToDateFile = true;
  OptionRuleOutcome rename = apply();
  EXPECT_EQ(rename.message, "");
  EXPECT_FALSE(rename.start_status_timer);
  EXPECT_TRUE(rename.execute_enabled);
  EXPECT_EQ(rename.keep_original_enabled, true);

  // Moving alone, without read-only, is a real operation too.
  EXPECT_EQ(ApplyOptionRule(true, false, false).keep_original_enabled, true);
}

// Only a run that copies deletes what it copied; all three steps off still
// copies (to a numbered name beside the original).
TEST(OptionRuleTest, OnlyACopyingRunWithoutKeepDeletesOriginals) {
  const struct {
    bool move, rename, read_only, keep, deletes;
  } cases[] = {
      {true, true, true, true, false},    {true, true, true, false, true},
      {true, false, false, false, true},  {false, true, true, false, true},
      {false, false, true, false, false}, {false, false, false, false, true},
  };
  for (const auto& c : cases)
    EXPECT_EQ(RunDeletesOriginals(c.move, c.rename, c.read_only, c.keep),
              c.deletes)
        << c.move << c.rename << c.read_only << c.keep;
}

}  // namespace
}  // namespace kuronel
