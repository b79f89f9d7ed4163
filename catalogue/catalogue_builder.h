#ifndef KURONEL_CATALOGUE_CATALOGUE_BUILDER_H_
#define KURONEL_CATALOGUE_CATALOGUE_BUILDER_H_

#include <cstddef>
#include <string>

#include "catalogue/catalogue_order.h"
#include "catalogue/catalogue_row.h"
#include "catalogue/folder_walk.h"
#include "platform/progress.h"
#include "platform/system_calls.h"
#include "settings/settings.h"

namespace kuronel {

// The build's progress text for folder `index` of `folder_count` (more than
// one): n "■" with n = index * 10 / (folder_count - 1), white squares up to
// ten, then "検索中".
std::string BuildProgressText(size_t index, size_t folder_count);

struct BuildOptions {
  // Date photos by their Exif shooting date.
  bool use_exif_date = false;
  // The destination of the copies, left out of the walk with everything
  // below it, so that the copies of earlier runs are not taken for new
  // photos; when it is the opened folder or above it, the day folders
  // directly under it are left out instead. Empty for none.
  std::string left_out_folder = {};
  // With use_exif_date, date RAW and HEIF photos by theirs too.
  bool raw_and_heif = false;
};

// The build options that follow from the processing options: Exif dates as
// chosen (of RAW and HEIF photos too with IncludeRawHeifMp4), and the
// destination left out when the copies go into date folders under it.
BuildOptions BuildOptionsFor(const Settings& settings);

struct BuildOutcome {
  size_t appended = 0;  // rows added
  // Folders and files that could not be listed or read: their files have
  // no rows (or, for a photo that could not be read, its file date).
  UnreadablePaths unreadable;
};

// Walks `root` (one trailing "/" removed; see WalkFolderTree, which fills
// `work_list`) and appends a row for every file listed in its folders, then
// sets sort_state.SortColumn to the Timestamp column and sorts the whole
// catalogue in the direction of sort_state.SortAscending (left as it is).
//
// A row is dated by the photo's Exif DateTimeOriginal when use_exif_date is
// on and the file holds an Exif block (whatever its name), else by
// the file's modification time (see FileTimeDateKey). A photo whose Exif date
// is missing, unreadable or not a real date is dated by its file time too; a
// file that is gone by the time it is listed or read is left out. A file
// reached twice (a link, a second hard link) gets one row, under the name
// found first. No single file stops the build.
// Progress: the walk's texts, then, when there is more than one folder, one
// BuildProgressText per folder. The walk, the listings, the file times and
// the Exif reads reach the system through `calls` alone.
BuildOutcome BuildCatalogue(const std::string& root, FileCatalogue& catalogue,
                            FolderWorkList& work_list, SystemCalls& calls,
                            const BuildOptions& options, SortState& sort_state,
                            const StatusSink& status);

// After a folder was added: of several rows with the same full path (compared
// exactly: Linux names are case-sensitive) or the same file (a link, "..",
// a second hard link) only the lowest row stays. The order of the remaining
// rows is kept. Returns the number of rows removed.
size_t RemoveDuplicateRows(FileCatalogue& catalogue);

// The message for the folders and files a build could not read: how many,
// then the first `shown` of them with the reason, one per line.
std::string UnreadableMessage(const UnreadablePaths& unreadable,
                              size_t shown = 5);

}  // namespace kuronel

#endif  // KURONEL_CATALOGUE_CATALOGUE_BUILDER_H_
