#include "catalogue/catalogue_checks.h"

#include <algorithm>
#include <initializer_list>
#include <iterator>
#include <string_view>

#include "platform/cp932.h"
#include "platform/path.h"
#include "platform/text.h"

namespace kuronel {
namespace {

bool ExtensionIsOneOf(std::string_view file_name,
                      std::initializer_list<std::string_view> lower_case) {
  const std::string extension = ExtensionOf(file_name);
  return std::any_of(lower_case.begin(), lower_case.end(),
                     [&extension](std::string_view candidate) {
                       return SameIgnoringAsciiCase(extension, candidate);
                     });
}

bool IsMovie(std::string_view file_name, bool mp4_family) {
  return ExtensionIsOneOf(file_name, {".avi", ".mov", ".mpg"}) ||
         (mp4_family && ExtensionIsOneOf(file_name, {".mp4", ".m4v", ".mts",
                                                     ".m2ts", ".3gp"}));
}

CheckCommandResult SetSelectedRows(FileCatalogue& catalogue,
                                   const RowSelection& selected, bool checked,
                                   const char* text) {
  CheckCommandResult result;
  for (size_t row = catalogue.size(); row-- > 0;) {
    if (!selected(row)) continue;
    catalogue[row].Checked = checked;
    ++result.count;
  }
  result.status_text = std::to_string(result.count) + text;
  return result;
}

RowSelection FromFlags(const std::vector<bool>& selected) {
  return [&selected](size_t row) {
    return row < selected.size() && selected[row];
  };
}

constexpr char kCheckedText[] = "個のファイルを追加しました。";
constexpr char kUncheckedText[] = "個のファイルを対象外にしました。";

}  // namespace

DefaultTargets DefaultTargetsFor(const Settings& settings) {
  return {settings.CheckMoviesByDefault, settings.IncludeRawHeifMp4};
}

// The extension of `file_name` is one of `extensions` (any letter case).
bool ExtensionIsAmong(std::string_view file_name, const std::string_view* first,
                      const std::string_view* last) {
  const std::string extension = ExtensionOf(file_name);
  return std::any_of(first, last, [&extension](std::string_view candidate) {
    return SameIgnoringAsciiCase(extension, candidate);
  });
}

bool IsRawOrHeifPhoto(std::string_view file_name) {
  return ExtensionIsAmong(file_name,
                          std::begin(kPhotoExtensions) + kJpegExtensionCount,
                          std::end(kPhotoExtensions));
}

bool IsPhoto(std::string_view file_name) {
  return ExtensionIsAmong(file_name, std::begin(kPhotoExtensions),
                          std::end(kPhotoExtensions));
}

bool IsDefaultTarget(const std::string& file_name,
                     const DefaultTargets& targets) {
  if (ExtensionIsOneOf(file_name, {".jpeg", ".jpg"})) return true;
  if (targets.raw_heif_mp4 && IsRawOrHeifPhoto(file_name)) return true;
  return targets.movies && IsMovie(file_name, targets.raw_heif_mp4);
}

size_t ApplyDefaultChecks(FileCatalogue& catalogue,
                          const DefaultTargets& targets,
                          const StatusSink& status) {
  size_t count = 0;
  std::string path;
  for (CatalogueRow& row : catalogue) {
    row.Checked = IsDefaultTarget(row.FileName, targets);
    if (!row.Checked) continue;
    ++count;
    if (!status) continue;
    path.assign(row.Folder).append(row.FileName);
    // The status line shows texts; a Shift_JIS name is shown decoded.
    status(IsValidUtf8(path) ? path : DisplayPath(path));
  }
  if (status) status(DefaultChecksCountText(count, targets));
  return count;
}

std::string DefaultChecksCountText(size_t count,
                                   const DefaultTargets& targets) {
  // The words name what was checked: RAW and HEIF photos are no jpeg files.
  const char* words = "個のjpegファイルが対象です。";
  if (targets.movies)
    words = "個のファイルが対象です。";
  else if (targets.raw_heif_mp4)
    words = "個の写真が対象です。";
  return std::to_string(count) + words;
}

std::string CheckedCountText(const FileCatalogue& catalogue) {
  size_t checked = 0;
  for (const CatalogueRow& row : catalogue) checked += row.Checked ? 1 : 0;
  return std::to_string(checked) + "個のファイルが対象です。";
}

CheckCommandResult CheckSelectedRows(FileCatalogue& catalogue,
                                     const RowSelection& selected) {
  return SetSelectedRows(catalogue, selected, true, kCheckedText);
}

CheckCommandResult CheckSelectedRows(FileCatalogue& catalogue,
                                     const std::vector<bool>& selected) {
  return CheckSelectedRows(catalogue, FromFlags(selected));
}

CheckCommandResult UncheckSelectedRows(FileCatalogue& catalogue,
                                       const RowSelection& selected) {
  return SetSelectedRows(catalogue, selected, false, kUncheckedText);
}

CheckCommandResult UncheckSelectedRows(FileCatalogue& catalogue,
                                       const std::vector<bool>& selected) {
  return UncheckSelectedRows(catalogue, FromFlags(selected));
}

std::string NothingToProcessMessage(const FileCatalogue& catalogue) {
  if (catalogue.empty()) return "対象ファイルがありません";
  if (std::none_of(catalogue.begin(), catalogue.end(),
                   [](const CatalogueRow& row) { return row.Checked; }))
    return "選択されたファイルがありません";
  return std::string();
}

}  // namespace kuronel
