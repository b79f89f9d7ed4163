#ifndef KURONEL_SETTINGS_SETTINGS_H_
#define KURONEL_SETTINGS_SETTINGS_H_

#include <cstdint>
#include <optional>
#include <string>

namespace kuronel {

// A 32-bit colour value: 00BBGGRR for a fixed colour, FF000000 plus a role
// index for a colour of the desktop scheme (see the colour table).
using Colour = std::uint32_t;

// The colour of an inactive window's title bar: the default background of
// checked rows.
inline constexpr Colour kClInactiveCaption = 0xFF000003;

// The caption of the destination button while no destination is set. It
// names no drive, so it never counts as a destination.
inline constexpr char kNoDestination[] = "移動先フォルダ選択";

// A window's size in pixels, as the user last left it.
struct WindowSize {
  int width = 0;
  int height = 0;
  bool operator==(const WindowSize&) const = default;
};

// The user's choices. In the main window the five processing options live in
// the option menu's check marks and the destination in the destination
// button's caption; this record is what the logic reads and writes.
struct Settings {
  std::string DestinationFolder = kNoDestination;
  bool MoveToDateFolder = true;
  bool RenameToDateFile = true;
  bool MakeReadOnly = true;
  bool KeepOriginal = true;
  bool SaveResultText = false;
  bool CheckMoviesByDefault = false;
  bool UseExifDate = false;
  Colour TargetBackColour = kClInactiveCaption;
  // Off by default: RAW and HEIF photos and MP4-family movies are targets
  // too (dated by Exif like a JPEG), and a RAW+JPEG shot shares one name.
  bool IncludeRawHeifMp4 = false;
  // The sizes of the main and the processing window; none until the user
  // has resized the window, which then opens at its designed size.
  std::optional<WindowSize> MainWindowSize;
  std::optional<WindowSize> ProcessingWindowSize;
  // Off by default: a file whose equal copy stands in its target folder
  // before the run is not copied again ("取込済").
  bool SkipImported = false;
};

// The detail settings window's own copy of the detail settings (its three
// check boxes and its colour box). It can differ from the values in use while
// the user edits and after the user cancels.
struct DetailSettings {
  bool CheckMoviesByDefault = false;
  bool UseExifDate = false;
  Colour TargetBackColour = kClInactiveCaption;
  bool IncludeRawHeifMp4 = false;
  bool SkipImported = false;
};

// The detail settings within `settings`.
inline DetailSettings DetailOf(const Settings& settings) {
  return {settings.CheckMoviesByDefault, settings.UseExifDate,
          settings.TargetBackColour, settings.IncludeRawHeifMp4,
          settings.SkipImported};
}

// Makes `detail` the detail settings within `settings`.
inline void UseDetail(Settings& settings, const DetailSettings& detail) {
  settings.CheckMoviesByDefault = detail.CheckMoviesByDefault;
  settings.UseExifDate = detail.UseExifDate;
  settings.TargetBackColour = detail.TargetBackColour;
  settings.IncludeRawHeifMp4 = detail.IncludeRawHeifMp4;
  settings.SkipImported = detail.SkipImported;
}

}  // namespace kuronel

#endif  // KURONEL_SETTINGS_SETTINGS_H_
