#ifndef KURONEL_CATALOGUE_CATALOGUE_BUILDER_H_
#define KURONEL_CATALOGUE_CATALOGUE_BUILDER_H_

#include <cstddef>
#include <string>

#include "catalogue/catalogue_order.h"
#include "catalogue/catalogue_row.h"
#include "catalogue/folder_walk.h"
#include "platform/progress.h"

namespace kuronel {

class TExifInfo;

// The build's progress text for folder `index` of `folder_count` (more than
// one): n "■" with n = index * 10 / (folder_count - 1), white squares up to
// ten, then "検索中".
std::string BuildProgressText(size_t index, size_t folder_count);

// Walks `root` (one trailing "/" removed; see WalkFolderTree, which fills
// `work_list`) and appends a row for every file listed in its folders, then
// sets sort_state.SortColumn to the Timestamp column and sorts the whole
// catalogue in the direction of sort_state.SortAscending (left as it is).
//
// A row is dated by the photo's Exif DateTimeOriginal when `use_exif_date` is
// on and `exif` finds an Exif block in the file (whatever its name), else by
// the file's modification time (see FileTimeDateKey). A photo whose Exif date
// is missing, unreadable or not a real date is dated by its file time too; a
// file that is gone by the time the listing reads its status is left out. No
// single file stops the build.
// Progress: the walk's texts, then, when there is more than one folder, one
// BuildProgressText per folder. Returns the number of rows appended.
size_t BuildCatalogue(const std::string& root, FileCatalogue& catalogue,
                      FolderWorkList& work_list, TExifInfo& exif,
                      bool use_exif_date, SortState& sort_state,
                      const StatusSink& status);

// After a folder was added: of several rows with the same full path (compared
// exactly: Linux names are case-sensitive) only the lowest row stays. The
// order of the remaining rows is kept. Returns the number of rows removed.
size_t RemoveDuplicateRows(FileCatalogue& catalogue);

}  // namespace kuronel

#endif  // KURONEL_CATALOGUE_CATALOGUE_BUILDER_H_
