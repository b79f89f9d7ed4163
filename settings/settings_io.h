#ifndef KURONEL_SETTINGS_SETTINGS_IO_H_
#define KURONEL_SETTINGS_SETTINGS_IO_H_

#include <optional>
#include <string>
#include <string_view>

#include "platform/status.h"
#include "platform/system_calls.h"
#include "settings/settings.h"

namespace kuronel {

// Sections and keys of Kuronel.ini, in the order a new file receives them.
inline constexpr char kMainSection[] = "Main";
inline constexpr char kSubSection[] = "Sub";
inline constexpr char kDestinationKey[] = "移動先フォルダ";
inline constexpr char kMoveToDateFolderKey[] = "日付フォルダに移動";
inline constexpr char kRenameToDateFileKey[] = "日付ファイルに変更";
inline constexpr char kMakeReadOnlyKey[] = "読出し専用に変更";  // sic: no "み"
inline constexpr char kKeepOriginalKey[] = "オリジナルは保存";
inline constexpr char kCheckMoviesKey[] = "動画ファイル";
inline constexpr char kUseExifDateKey[] = "Exif情報";
inline constexpr char kBackColourKey[] = "背景色";
// Written only once the option has been on, so that a file of a user who
// never turned it on stays as it always was.
inline constexpr char kRawHeifMp4Key[] = "RAW・HEIF・MP4";
inline constexpr char kSkipImportedKey[] = "取り込み済みは飛ばす";
// The windows' sizes, "WIDTHxHEIGHT" in pixels, each written only once the
// user has resized its window, so that a file of a user who never did stays
// as it always was.
inline constexpr char kWindowSection[] = "Window";
inline constexpr char kMainWindowSizeKey[] = "メイン";
inline constexpr char kProcessingWindowSizeKey[] = "処理ファイル一覧";

// The size a "WIDTHxHEIGHT" text names; none for any other text, or for a
// width or height outside 1 to 100000.
std::optional<WindowSize> WindowSizeFromText(std::string_view text);
std::string WindowSizeText(const WindowSize& size);

// `startup_folder` + "/Kuronel.ini".
std::string SettingsFilePath(const std::string& startup_folder);

// Each function below takes the folder of the settings file and reaches the
// disk through `calls`. An empty folder (the current folder could not be
// had) reads nothing, so every setting takes its default, and writes
// nothing: the saves report an error.

// Reads the settings at start-up: the four options, the detail settings,
// the windows' sizes and, when the stored text names an existing folder, the
// destination. SaveResultText is never stored. A bad "背景色" text stops the
// load there with an error naming the text: the colour and the destination
// are then left as they were. A file that exists but cannot be read, or is
// over 1 MiB, gives the defaults and an error saying why (the file is never
// written over).
Status LoadSettings(const std::string& startup_folder, Settings& settings,
                    SystemCalls& calls);

// Reads the "Sub" section into the values in use and the detail window's
// copy alike. A bad "背景色" text gives an error after the flags are
// loaded; both colours stay as they were.
Status LoadDetailSettings(const std::string& startup_folder, Settings& in_use,
                          DetailSettings& window_copy, SystemCalls& calls);

// Writes the "Sub" section from the window's copy, which also becomes the
// values in use; the "Main" section stays as the file holds it.
Status SaveDetailSettings(const std::string& startup_folder,
                          const DetailSettings& window_copy, Settings& in_use,
                          SystemCalls& calls);

// Writes everything at shut-down: the destination only when it names an
// existing folder (else the stored one stays), the four options, the
// windows' sizes that are set, and the detail settings from the window's
// copy, not the values in use.
Status SaveSettings(const std::string& startup_folder, const Settings& settings,
                    const DetailSettings& window_copy, SystemCalls& calls);

}  // namespace kuronel

#endif  // KURONEL_SETTINGS_SETTINGS_IO_H_
