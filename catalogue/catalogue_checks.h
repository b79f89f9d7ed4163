#ifndef KURONEL_CATALOGUE_CATALOGUE_CHECKS_H_
#define KURONEL_CATALOGUE_CATALOGUE_CHECKS_H_

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/catalogue_row.h"
#include "platform/progress.h"
#include "settings/settings.h"

namespace kuronel {

// Which files are checked by default.
struct DefaultTargets {
  bool movies = false;  // movies as well as photos
  // RAW and HEIF photos and MP4-family movies as well.
  bool raw_heif_mp4 = false;
};

// The default targets that the detail settings choose.
DefaultTargets DefaultTargetsFor(const Settings& settings);

// The extensions of photos, in lower case: JPEG first, then RAW (.cr3 ...
// .pef) and HEIF (.heic, .hif).
inline constexpr std::string_view kPhotoExtensions[] = {
    ".jpg", ".jpeg", ".cr3", ".cr2", ".nef",  ".arw", ".dng",
    ".raf", ".orf",  ".rw2", ".pef", ".heic", ".hif"};
// How many of them are JPEG's.
inline constexpr std::size_t kJpegExtensionCount = 2;

// A RAW photo or a HEIF one, by the extension in any letter case.
bool IsRawOrHeifPhoto(std::string_view file_name);

// A photo of any of those kinds, JPEG included.
bool IsPhoto(std::string_view file_name);

// True for the files checked by default, by the extension (from the last "."
// of the file name) in any letter case: photos, .jpg or .jpeg; with
// `targets.movies` also the movies .avi, .mov or .mpg. With
// `targets.raw_heif_mp4` RAW and HEIF files count as photos and .mp4, .m4v,
// .mts, .m2ts and .3gp as movies.
bool IsDefaultTarget(const std::string& file_name,
                     const DefaultTargets& targets);

// Checks every row that IsDefaultTarget accepts and unchecks every other one,
// sending the full path of each checked row to `status` and at the end
// DefaultChecksCountText. Returns the count.
size_t ApplyDefaultChecks(FileCatalogue& catalogue,
                          const DefaultTargets& targets,
                          const StatusSink& status);

// The count after the default checks: "N個のファイルが対象です。" with movies,
// else "N個の写真が対象です。" when RAW and HEIF photos count with the JPEGs,
// else "N個のjpegファイルが対象です。".
std::string DefaultChecksCountText(size_t count, const DefaultTargets& targets);

// The count of checked rows after the user checked or unchecked one:
// "N個のファイルが対象です。".
std::string CheckedCountText(const FileCatalogue& catalogue);

// The execute command's check of the catalogue: the status text when there
// is nothing to process ("対象ファイルがありません" without rows,
// "選択されたファイルがありません" without a checked one), else empty.
std::string NothingToProcessMessage(const FileCatalogue& catalogue);

// The selection of the list's rows, kept by the window's view.
using RowSelection = std::function<bool(size_t row)>;

struct CheckCommandResult {
  size_t count = 0;         // selected rows, already checked ones included
  std::string status_text;  // the count, then the command's text
};

// Checks every selected row: "N個のファイルを追加しました。".
CheckCommandResult CheckSelectedRows(FileCatalogue& catalogue,
                                     const RowSelection& selected);
CheckCommandResult CheckSelectedRows(FileCatalogue& catalogue,
                                     const std::vector<bool>& selected);

// Unchecks every selected row: "N個のファイルを対象外にしました。".
CheckCommandResult UncheckSelectedRows(FileCatalogue& catalogue,
                                       const RowSelection& selected);
CheckCommandResult UncheckSelectedRows(FileCatalogue& catalogue,
                                       const std::vector<bool>& selected);

}  // namespace kuronel

#endif  // KURONEL_CATALOGUE_CATALOGUE_CHECKS_H_
