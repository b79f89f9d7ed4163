#ifndef KURONEL_CATALOGUE_CATALOGUE_CHECKS_H_
#define KURONEL_CATALOGUE_CATALOGUE_CHECKS_H_

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "catalogue/catalogue_row.h"
#include "platform/progress.h"

namespace kuronel {

// True for the files checked by default: the extension (from the last "." of
// the file name) .jpg or .jpeg, with `check_movies` also .avi, .mov or .mpg,
// in any letter case.
bool IsDefaultTarget(const std::string& file_name, bool check_movies);

// Checks every row that IsDefaultTarget accepts and unchecks every other one,
// sending the full path of each checked row to `status` and at the end the
// count text ("N個のファイルが対象です。" with movies, else
// "N個のjpegファイルが対象です。"). Returns the count.
size_t ApplyDefaultChecks(FileCatalogue& catalogue, bool check_movies,
                          const StatusSink& status);

// The execute command's check of the catalogue: the status text when there
// is nothing to process ("対象ファイルがありません" without rows,
// "選択されたファイルがありません" without a checked one), else empty.
std::string NothingToProcessMessage(const FileCatalogue& catalogue);

// The selection of the list's rows, kept by the window's view.
using RowSelection = std::function<bool(size_t row)>;

struct CheckCommandResult {
  size_t count = 0;        // selected rows, already checked ones included
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
