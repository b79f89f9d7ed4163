#include "settings/settings_io.h"

#include <optional>

#include "platform/path.h"
#include "settings/colour_table.h"
#include "settings/settings_file.h"

namespace kuronel {
namespace {

constexpr char kDefaultBackColourText[] = "clInactiveCaption";

Status ReadBackColour(const SettingsFile& file, Colour& colour) {
  std::string text =
      file.ReadString(kSubSection, kBackColourKey, kDefaultBackColourText);
  std::optional<Colour> value = ColourFromText(text);
  if (!value)
    return Status::Error("背景色の「" + text +
                         "」は色の名前でも数値でもありません");
  colour = *value;
  return Status::Ok();
}

// The destination is stored as its bytes, UTF-8 or not (the file keeps a
// UTF-8 key's value as it stands). A folder whose name holds a line break,
// or begins or ends in a blank that reading trims, would not read back the
// same, so such a destination is treated like one that does not exist.
bool IsStorableDestination(const std::string& folder, SystemCalls& calls) {
  const auto blank = [](char c) {
    return static_cast<unsigned char>(c) <= ' ';
  };
  return KindAt(folder, true, calls) == PathKind::kFolder && !folder.empty() &&
         !blank(folder.front()) && !blank(folder.back()) &&
         folder.find_first_of("\r\n") == std::string::npos;
}

void WriteDetailSettings(SettingsFile& file, const DetailSettings& detail) {
  file.WriteFlag(kSubSection, kCheckMoviesKey, detail.CheckMoviesByDefault);
  file.WriteFlag(kSubSection, kUseExifDateKey, detail.UseExifDate);
  file.WriteString(kSubSection, kBackColourKey,
                   ColourToText(detail.TargetBackColour));
  // Absent reads as off, so the key is only added once it is turned on.
  if (detail.IncludeRawHeifMp4 || file.HasEntry(kSubSection, kRawHeifMp4Key))
    file.WriteFlag(kSubSection, kRawHeifMp4Key, detail.IncludeRawHeifMp4);
  if (detail.SkipImported || file.HasEntry(kSubSection, kSkipImportedKey))
    file.WriteFlag(kSubSection, kSkipImportedKey, detail.SkipImported);
}

void ReadWindowSizes(const SettingsFile& file, Settings& settings) {
  settings.MainWindowSize = WindowSizeFromText(
      file.ReadString(kWindowSection, kMainWindowSizeKey, ""));
  settings.ProcessingWindowSize = WindowSizeFromText(
      file.ReadString(kWindowSection, kProcessingWindowSizeKey, ""));
}

void WriteWindowSizes(SettingsFile& file, const Settings& settings) {
  if (settings.MainWindowSize)
    file.WriteString(kWindowSection, kMainWindowSizeKey,
                     WindowSizeText(*settings.MainWindowSize));
  if (settings.ProcessingWindowSize)
    file.WriteString(kWindowSection, kProcessingWindowSizeKey,
                     WindowSizeText(*settings.ProcessingWindowSize));
}

// One side of a size: decimal digits only, 1 to 100000.
std::optional<int> SizeSide(std::string_view text) {
  constexpr int kLargest = 100000;
  if (text.empty() || text.size() > 6) return std::nullopt;
  int value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value < 1 || value > kLargest) return std::nullopt;
  return value;
}

// With the current folder unknown (it was deleted) there is no place for the
// file: nothing is read, and a save is refused rather than made elsewhere.
SettingsFile OpenSettingsFile(const std::string& startup_folder,
                              SystemCalls& calls) {
  constexpr char kNoFolder[] =
      "起動時のフォルダが分からない (削除されたなど) ので、"
      "設定を保存できません";
  if (startup_folder.empty()) return SettingsFile::Refusing(kNoFolder);
  return SettingsFile::Open(SettingsFilePath(startup_folder), calls);
}

}  // namespace

std::optional<WindowSize> WindowSizeFromText(std::string_view text) {
  const size_t x = text.find('x');
  if (x == std::string_view::npos) return std::nullopt;
  const std::optional<int> width = SizeSide(text.substr(0, x));
  const std::optional<int> height = SizeSide(text.substr(x + 1));
  if (!width || !height) return std::nullopt;
  return WindowSize{*width, *height};
}

std::string WindowSizeText(const WindowSize& size) {
  return std::to_string(size.width) + "x" + std::to_string(size.height);
}

std::string SettingsFilePath(const std::string& startup_folder) {
  return startup_folder + "/Kuronel.ini";
}

Status LoadSettings(const std::string& startup_folder, Settings& settings,
                    SystemCalls& calls) {
  SettingsFile file = OpenSettingsFile(startup_folder, calls);
  std::string stored_destination =
      file.ReadString(kMainSection, kDestinationKey, "");
  settings.MoveToDateFolder =
      file.ReadFlag(kMainSection, kMoveToDateFolderKey, true);
  settings.RenameToDateFile =
      file.ReadFlag(kMainSection, kRenameToDateFileKey, true);
  settings.MakeReadOnly = file.ReadFlag(kMainSection, kMakeReadOnlyKey, true);
  settings.KeepOriginal = file.ReadFlag(kMainSection, kKeepOriginalKey, true);
  settings.CheckMoviesByDefault =
      file.ReadFlag(kSubSection, kCheckMoviesKey, false);
  settings.UseExifDate = file.ReadFlag(kSubSection, kUseExifDateKey, false);
  settings.IncludeRawHeifMp4 =
      file.ReadFlag(kSubSection, kRawHeifMp4Key, false);
  ReadWindowSizes(file, settings);
  settings.SkipImported = file.ReadFlag(kSubSection, kSkipImportedKey, false);
  Status colour = ReadBackColour(file, settings.TargetBackColour);
  if (!colour.ok()) return colour;
  if (KindAt(stored_destination, true, calls) == PathKind::kFolder)
    settings.DestinationFolder = stored_destination;
  // A file that is there but was not read: the user learns at once why the
  // settings are the defaults (an unknown folder is reported when saving).
  if (!startup_folder.empty() && !file.Refusal().empty())
    return Status::Error(file.Refusal());
  return Status::Ok();
}

Status LoadDetailSettings(const std::string& startup_folder, Settings& in_use,
                          DetailSettings& window_copy, SystemCalls& calls) {
  SettingsFile file = OpenSettingsFile(startup_folder, calls);
  in_use.CheckMoviesByDefault = window_copy.CheckMoviesByDefault =
      file.ReadFlag(kSubSection, kCheckMoviesKey, false);
  in_use.UseExifDate = window_copy.UseExifDate =
      file.ReadFlag(kSubSection, kUseExifDateKey, false);
  in_use.IncludeRawHeifMp4 = window_copy.IncludeRawHeifMp4 =
      file.ReadFlag(kSubSection, kRawHeifMp4Key, false);
  in_use.SkipImported = window_copy.SkipImported =
      file.ReadFlag(kSubSection, kSkipImportedKey, false);
  Colour colour = 0;
  Status status = ReadBackColour(file, colour);
  if (!status.ok()) return status;
  in_use.TargetBackColour = window_copy.TargetBackColour = colour;
  return Status::Ok();
}

Status SaveDetailSettings(const std::string& startup_folder,
                          const DetailSettings& window_copy, Settings& in_use,
                          SystemCalls& calls) {
  SettingsFile file = OpenSettingsFile(startup_folder, calls);
  WriteDetailSettings(file, window_copy);
  UseDetail(in_use, window_copy);
  return file.Update(calls);
}

Status SaveSettings(const std::string& startup_folder, const Settings& settings,
                    const DetailSettings& window_copy, SystemCalls& calls) {
  SettingsFile file = OpenSettingsFile(startup_folder, calls);
  if (IsStorableDestination(settings.DestinationFolder, calls))
    file.WriteString(kMainSection, kDestinationKey, settings.DestinationFolder);
  file.WriteFlag(kMainSection, kMoveToDateFolderKey, settings.MoveToDateFolder);
  file.WriteFlag(kMainSection, kRenameToDateFileKey, settings.RenameToDateFile);
  file.WriteFlag(kMainSection, kMakeReadOnlyKey, settings.MakeReadOnly);
  file.WriteFlag(kMainSection, kKeepOriginalKey, settings.KeepOriginal);
  WriteDetailSettings(file, window_copy);
  WriteWindowSizes(file, settings);
  return file.Update(calls);
}

}  // namespace kuronel
