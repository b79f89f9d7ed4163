#ifndef KURONEL_PROCESSING_NEW_NAME_PLAN_H_
#define KURONEL_PROCESSING_NEW_NAME_PLAN_H_

#include <cstddef>
#include <iosfwd>
#include <map>
#include <string>
#include <vector>

#include "catalogue/catalogue_row.h"
#include "catalogue/timestamp_text.h"
#include "platform/file_system.h"
#include "platform/path.h"
#include "platform/status.h"
#include "settings/settings.h"

namespace kuronel {

// What became of a plan row, in the order of the state table.
enum class RowState {
  kUnprocessed,  // not processed; nothing stood at NewPath when planned
  kDuplicate,    // not processed; a file stood at NewPath when planned
  kCopied,       // copied to its target
  kMoved,        // copied, then the source deleted (or renamed there)
  kReadOnly,     // the source itself made read-only; nothing copied
  kImported,     // not copied: its equal copy stood in the target folder
  kCopyError,    // the copy failed
  kAttrError,    // making the copy (or the source) read-only failed
  kDirError,     // the folder of NewPath could not be created
  kDelError,     // deleting the source failed; its copy exists
  kNotFound,     // no file at SourcePath when the row came up
};

// The state's text as the window and the batch tool show it: "未処理",
// "重複", "OK", "Ok", "ReadOnly", "取込済", "CopyError!", "AttrError!",
// "DirError!", "DelError!", "file not found".
const char* StateText(RowState state);

// True for the final states of a row processed as asked: copied, moved,
// made read-only in place, or found imported before.
bool IsSuccessState(RowState state);

// For test output: the state's text.
void PrintTo(RowState state, std::ostream* out);

// One checked file of the catalogue with the path it is to go to. NewPath is
// the planned name, which the window shows; TargetPath is where a run put the
// file (NewPath, or the numbered free name used when NewPath was taken), and
// stays empty until a copy or move has put it there.
struct PlanRow {
  std::string SourcePath;
  std::string NewPath;
  RowState State = RowState::kUnprocessed;
  std::string TargetPath = {};
  // Why the row failed: the operation, the path and the reason; ok for a
  // row that did not.
  FileResult failure = {};
  // The rows of one shot (a RAW+JPEG pair) share a number here, and their
  // files take one name, the first free for all of them. -1: the row names
  // its file alone (without the RAW and HEIF option).
  int Shot = -1;
};

using ProcessingPlan = std::vector<PlanRow>;

// The rows of each shot of `plan` (PlanRow::Shot), by shot, in plan order.
std::map<int, std::vector<std::size_t>> RowsByShot(const ProcessingPlan& plan);

// The most files of one day that get a two-character suffix; later ones add
// a number after the extension.
inline constexpr int kSuffixesPerDay = 936;

// The running suffix of the nth file of a day, n from 1 to 936: a0 … a9,
// aa … az, b0 … zz.
std::string NameSuffix(int n);

// The name of a day's folder and the start of its file names: 2004_05_06.
std::string DateName(const DateKey& day);

// The planned path of the nth file of `day`: the date folder under the
// destination or the source's own folder, then the date name with its suffix
// or the source's own name, then the source's extension.
std::string BuildNewPath(const std::string& source_path, const DateKey& day,
                         int n, const Settings& options);

// Files of one folder with one name before their extensions whose times lie
// this far apart or less are one shot. A camera writes a RAW after its JPEG,
// a large one to a slow card some seconds later, and FAT keeps file times in
// steps of two seconds; a camera never gives two shots one name in one
// folder, so only a file saved beside a photo later (an edit) could be taken
// for a part of its shot, and that takes longer.
inline constexpr int kShotSecondsApart = 10;

// One row per checked catalogue row, in catalogue order. Each row starts as
// "重複" when a file already stands at its new path, else "未処理". Each new
// name is made from the row's date, never read back from its text. The
// checked rows of one day's run are numbered 1, 2, 3, ...; with
// IncludeRawHeifMp4 the files of one shot (one folder, one name before the
// extension, times at most kShotSecondsApart apart, different extensions:
// IMG_0001.CR3 and IMG_0001.JPG) take one number, so they get one date name,
// and share a Shot. A shot's rows then all start as "重複" when its name is
// not free for all of them (see FitOfVariant): only the rows whose own file
// there has their source's length, and so may be a copy of it made before,
// read "重複" while the rest of the shot can complete it.
void BuildPlan(const FileCatalogue& catalogue, const Settings& options,
               FileSystem& file_system, ProcessingPlan& plan);

}  // namespace kuronel

#endif  // KURONEL_PROCESSING_NEW_NAME_PLAN_H_
