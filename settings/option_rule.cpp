#include "settings/option_rule.h"

namespace kuronel {

OptionRuleOutcome ApplyOptionRule(bool move_to_date_folder,
                                  bool rename_to_date_file,
                                  bool make_read_only) {
  OptionRuleOutcome outcome;
  if (!move_to_date_folder && !rename_to_date_file && !make_read_only) {
    outcome.message = "全てOFF";
    outcome.start_status_timer = true;
    outcome.execute_enabled = false;
    return outcome;
  }
  if (!move_to_date_folder && !rename_to_date_file) {
    outcome.message = "書込み禁止のみ";
    outcome.start_status_timer = true;
    outcome.keep_original_enabled = false;
  } else {
    outcome.keep_original_enabled = true;
  }
  outcome.execute_enabled = true;
  return outcome;
}

bool RunDeletesOriginals(bool move_to_date_folder, bool rename_to_date_file,
                         bool make_read_only, bool keep_original) {
  const bool marks_in_place =
      !move_to_date_folder && !rename_to_date_file && make_read_only;
  return !keep_original && !marks_in_place;
}

}  // namespace kuronel
