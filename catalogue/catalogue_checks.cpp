#include "catalogue/catalogue_checks.h"

#include <algorithm>
#include <string_view>

#include "platform/cp932.h"

namespace kuronel {
namespace {

bool EqualsIgnoringAsciiCase(std::string_view text, std::string_view lower) {
  if (text.size() != lower.size()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != lower[i]) return false;
  }
  return true;
}

std::string_view ExtensionOf(std::string_view file_name) {
  const size_t dot = file_name.rfind('.');
  return dot == std::string_view::npos ? std::string_view()
                                       : file_name.substr(dot);
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

bool IsDefaultTarget(const std::string& file_name, bool check_movies) {
  const std::string_view extension = ExtensionOf(file_name);
  if (EqualsIgnoringAsciiCase(extension, ".jpeg") ||
      EqualsIgnoringAsciiCase(extension, ".jpg"))
    return true;
  return check_movies && (EqualsIgnoringAsciiCase(extension, ".avi") ||
                          EqualsIgnoringAsciiCase(extension, ".mov") ||
                          EqualsIgnoringAsciiCase(extension, ".mpg"));
}

size_t ApplyDefaultChecks(FileCatalogue& catalogue, bool check_movies,
                          const StatusSink& status) {
  size_t count = 0;
  std::string path;
  for (CatalogueRow& row : catalogue) {
    row.Checked = IsDefaultTarget(row.FileName, check_movies);
    if (!row.Checked) continue;
    ++count;
    if (!status) continue;
    path.assign(row.Folder).append(row.FileName);
    // The status line shows texts; a Shift_JIS name is shown decoded.
    status(IsValidUtf8(path) ? path : DisplayPath(path));
  }
  if (status) {
    status(std::to_string(count) + (check_movies
                                        ? "個のファイルが対象です。"
                                        : "個のjpegファイルが対象です。"));
  }
  return count;
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
