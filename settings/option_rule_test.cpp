#include "settings/option_rule.h"

#include <gtest/gtest.h>

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

  ASSERT_TRUE(InvertOptionByTag(settings, kTagMakeReadOnly));
  OptionRuleOutcome all_off = apply();
  EXPECT_EQ(all_off.message, "全てOFF");
  EXPECT_TRUE(all_off.start_status_timer);
  EXPECT_FALSE(all_off.execute_enabled);
  EXPECT_EQ(all_off.keep_original_enabled, std::nullopt);

  ASSERT_TRUE(InvertOptionByTag(settings, kTagMakeReadOnly));
  OptionRuleOutcome read_only = apply();
  EXPECT_EQ(read_only.message, "書込み禁止のみ");
  EXPECT_TRUE(read_only.start_status_timer);
  EXPECT_TRUE(read_only.execute_enabled);
  EXPECT_EQ(read_only.keep_original_enabled, false);

  ASSERT_TRUE(InvertOptionByTag(settings, kTagRenameToDateFile));
  OptionRuleOutcome rename = apply();
  EXPECT_EQ(rename.message, "");
  EXPECT_FALSE(rename.start_status_timer);
  EXPECT_TRUE(rename.execute_enabled);
  EXPECT_EQ(rename.keep_original_enabled, true);

  // Moving alone, without read-only, is a real operation too.
  EXPECT_EQ(ApplyOptionRule(true, false, false).keep_original_enabled, true);
}

TEST(OptionRuleTest, TagsSelectTheOptionToInvert) {
  struct Case {
    int tag;
    bool Settings::*option;
  } cases[] = {
      {51, &Settings::MoveToDateFolder}, {52, &Settings::RenameToDateFile},
      {53, &Settings::MakeReadOnly},     {54, &Settings::KeepOriginal},
      {55, &Settings::SaveResultText},
  };
  for (const Case& c : cases) {
    Settings settings;
    bool before = settings.*c.option;
    ASSERT_TRUE(InvertOptionByTag(settings, c.tag));
    EXPECT_EQ(settings.*c.option, !before) << c.tag;
    Settings untouched;
    settings.*c.option = before;
    EXPECT_EQ(std::tie(settings.MoveToDateFolder, settings.RenameToDateFile,
                       settings.MakeReadOnly, settings.KeepOriginal,
                       settings.SaveResultText),
              std::tie(untouched.MoveToDateFolder, untouched.RenameToDateFile,
                       untouched.MakeReadOnly, untouched.KeepOriginal,
                       untouched.SaveResultText))
        << c.tag;
  }
  Settings settings;
  EXPECT_FALSE(InvertOptionByTag(settings, 50));
  EXPECT_FALSE(InvertOptionByTag(settings, 56));
}

}  // namespace
}  // namespace kuronel
