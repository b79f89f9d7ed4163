#ifndef KURONEL_SETTINGS_OPTION_RULE_H_
#define KURONEL_SETTINGS_OPTION_RULE_H_

#include <optional>
#include <string>

namespace kuronel {

// The Tags of the five option menu items.
inline constexpr int kTagMoveToDateFolder = 51;
inline constexpr int kTagRenameToDateFile = 52;
inline constexpr int kTagMakeReadOnly = 53;
inline constexpr int kTagKeepOriginal = 54;
inline constexpr int kTagSaveResultText = 55;

// What the main window shows and enables after an option was toggled.
struct OptionRuleOutcome {
  std::string message;  // "全てOFF", "書込み禁止のみ" or empty
  bool start_status_timer = false;  // true when a message is shown
  bool execute_enabled = true;      // ActionMainM and SpeedButton2
  std::optional<bool>
      keep_original_enabled;  // NokosuFMainM; nullopt = leave as it is
};

// With none of the three file operations on there is nothing to execute;
// with only the read-only step on, the files stay where they are, so
// "keep the original" means nothing.
OptionRuleOutcome ApplyOptionRule(bool move_to_date_folder,
                                  bool rename_to_date_file,
                                  bool make_read_only);

// True when a run with these options deletes the originals it copied: the
// original is not kept and a copy is made (with only the read-only step on
// each file is marked where it stands and stays).
bool RunDeletesOriginals(bool move_to_date_folder, bool rename_to_date_file,
                         bool make_read_only, bool keep_original);

}  // namespace kuronel

#endif  // KURONEL_SETTINGS_OPTION_RULE_H_
