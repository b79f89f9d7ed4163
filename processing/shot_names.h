#ifndef KURONEL_PROCESSING_SHOT_NAMES_H_
#define KURONEL_PROCESSING_SHOT_NAMES_H_

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"
#include "processing/new_name_plan.h"

namespace kuronel {

// One file of a shot (IMG_0001.CR3 and IMG_0001.JPG): where it is and the
// name planned for it. The files of a shot are planned under one name before
// their extensions.
struct ShotFile {
  std::string source_path;
  std::string new_path;
};

// The files of the shot whose rows of `plan` are `rows`.
std::vector<ShotFile> ShotFilesOf(const ProcessingPlan& plan,
                                  const std::vector<std::size_t>& rows);

// The kth numbered variant of a planned path, with `extension` for the
// planned one: k before the extension (a0.JPG, 1, ".CR3" gives a01.CR3), or
// at the end of a name without one; k == 0 gives the planned name itself.
std::string VariantPath(const std::string& new_path, int k,
                        std::string_view extension);

// True when the file at `there` is shown to be a copy of the file at
// `source`: the same bytes when a run chooses its names, the same length
// alone when the plan only warns.
using OwnCopyTest =
    std::function<bool(const std::string& source, const std::string& there)>;

// True for a name that a run has already given one of its files, which
// may not stand on the disk yet (its copy waits for its batch's flush).
using ClaimedTest = std::function<bool(const std::string& path)>;

// How the kth numbered variant of a shot's name (0: the planned name) suits
// the shot.
enum class NameFit {
  kTaken,      // something stands in the way: a file, a folder, a claim
  kFree,       // nothing stands at the name with any of the shot's kinds
  kCompletes,  // a proven copy of part of the shot stands there, and the
               // names of the files still missing from it are free
};

// The fit of variant k. Besides the shot's own names, a photo shot (JPEG,
// RAW or HEIF) is kept from a name under which a photo of another kind
// stands: a RAW beside an unrelated JPEG of the same name would be taken for
// its pair, and deleting that "pair" would delete an unrelated photo. Files
// of the shot's own kinds that `own_copy` proves to be copies of the shot's
// files do not count as in the way.
NameFit FitOfVariant(const std::vector<ShotFile>& shot, int k,
                     FileSystem& file_system, const OwnCopyTest& own_copy,
                     const ClaimedTest& claimed);

// The first variant (k = 0, 1, 2, ...) that is free for every file of the
// shot, or that completes a shot imported before (when `own_copy` proves
// anything). Nothing is ever replaced: every name is tried without
// replacing, whatever this answers.
int FirstFittingVariant(const std::vector<ShotFile>& shot,
                        FileSystem& file_system, const OwnCopyTest& own_copy,
                        const ClaimedTest& claimed);

}  // namespace kuronel

#endif  // KURONEL_PROCESSING_SHOT_NAMES_H_
