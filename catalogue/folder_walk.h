#ifndef KURONEL_CATALOGUE_FOLDER_WALK_H_
#define KURONEL_CATALOGUE_FOLDER_WALK_H_

#include <cstdint>
#include <string>
#include <vector>

#include "platform/file_identity.h"
#include "platform/progress.h"
#include "platform/system_calls.h"

namespace kuronel {

// The folders of one walk, root first, then level by level. The main window
// owns it; each walk replaces its contents.
using FolderWorkList = std::vector<std::string>;

// True for an entry that the file listing takes: a file (any of the bits
// 0x01, 0x02, 0x04, 0x08, 0x20) that is no directory.
bool IsListedFile(std::uint32_t attributes);

// A folder or file that a build could not read, and why (errno).
struct UnreadablePath {
  std::string path;
  int error = 0;
  friend bool operator==(const UnreadablePath&,
                         const UnreadablePath&) = default;
};
using UnreadablePaths = std::vector<UnreadablePath>;

// The walk's progress text for folder `index` of a level of `level_size`
// folders: ten squares, the black one marking the folder's place (none for a
// level of one), then "フォルダチェック中". Empty for the last folder of a
// longer level, whose text would need an eleventh square.
std::string WalkProgressText(size_t index, size_t level_size);

// Collects `root` (one trailing "/" removed) and every folder below it into
// `work_list`, breadth-first: the root, then the folders of depth 1, then of
// depth 2, each level in the order of the file system's listing. Hidden
// folders and links to folders are walked; each directory only once, so a
// link back up the tree cannot make the walk endless. Never entered: folders
// on file systems the kernel makes up (/proc, /sys, /dev, ...), and the
// folders `left_out` (by identity, however they are spelled) with everything
// below them, unless one is the root itself. A folder that cannot be listed
// adds nothing below it; a missing root leaves the root alone in the list.
// Progress texts go to `status` (may be empty).
void WalkFolderTree(const std::string& root, FolderWorkList& work_list,
                    const StatusSink& status, SystemCalls& calls,
                    const FileIdentitySet& left_out = {});

}  // namespace kuronel

#endif  // KURONEL_CATALOGUE_FOLDER_WALK_H_
