#ifndef KURONEL_PROCESSING_NEW_NAME_PLAN_H_
#define KURONEL_PROCESSING_NEW_NAME_PLAN_H_

#include <string>
#include <vector>

#include "catalogue/catalogue_row.h"
#include "catalogue/timestamp_text.h"
#include "platform/file_system.h"
#include "platform/status.h"
#include "settings/settings.h"

namespace kuronel {

// The texts of a plan row's state column.
inline constexpr char kStateUnprocessed[] = "未処理";
inline constexpr char kStateDuplicate[] = "重複";
inline constexpr char kStateCopied[] = "OK";
inline constexpr char kStateMoved[] = "Ok";
inline constexpr char kStateReadOnly[] = "ReadOnly";
inline constexpr char kStateCopyError[] = "CopyError!";
inline constexpr char kStateAttrError[] = "AttrError!";
inline constexpr char kStateDirError[] = "DirError!";
inline constexpr char kStateDelError[] = "DelError!";
inline constexpr char kStateNotFound[] = "file not found";

// One checked file of the catalogue with the path it is to go to. NewPath is
// the planned name, which the window shows; TargetPath is where a run put the
// file (NewPath, or the numbered free name used when NewPath was taken), and
// stays empty until a copy or move has put it there.
struct PlanRow {
  std::string SourcePath;
  std::string NewPath;
  std::string State;
  std::string TargetPath = {};
};

using ProcessingPlan = std::vector<PlanRow>;

// The most files of one day that get a two-character suffix; later ones add
// a number after the extension.
inline constexpr int kSuffixesPerDay = 936;

// The running suffix of the nth file of a day, n from 1 to 936: a0 … a9,
// aa … az, b0 … zz.
std::string NameSuffix(int n);

// The name of a day's folder and the start of its file names: 2004_05_06.
std::string DateName(const DateKey& day);

// The folder part of a path, up to and including its last "/"; empty when
// there is no "/".
std::string FolderOf(const std::string& path);

// The file name of a path: the text after its last "/".
std::string FileNameOf(const std::string& path);

// The extension of a path's file name: from its last "." to the end, letter
// case kept; empty when the file name holds no ".".
std::string ExtensionOf(const std::string& path);

// The planned path of the nth file of `day`: the date folder under the
// destination or the source's own folder, then the date name with its suffix
// or the source's own name, then the source's extension.
std::string BuildNewPath(const std::string& source_path, const DateKey& day,
                         int n, const Settings& options);

// One row per checked catalogue row, in catalogue order. Each row starts as
// "重複" when a file already stands at its new path, else "未処理". A
// timestamp that does not read as a date ends the build with the reader's
// message and an empty plan.
Status BuildPlan(const FileCatalogue& catalogue, const Settings& options,
                 FileSystem& file_system, ProcessingPlan& plan);

}  // namespace kuronel

#endif  // KURONEL_PROCESSING_NEW_NAME_PLAN_H_
