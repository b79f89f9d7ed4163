#include "catalogue/folder_walk.h"

#include <cstdint>
#include <optional>
#include <utility>

#include "platform/dir_listing.h"
#include "platform/path.h"
#include "platform/text.h"

namespace kuronel {
namespace {

constexpr char kWalkLabel[] = "フォルダチェック中";
constexpr size_t kWalkBarCells = 10;

// A folder of the walk and the device it is on, so that the walk notices
// when a subfolder is the top of another file system.
struct Folder {
  std::string path;
  std::uint64_t device = 0;
};

// True for a directory entry that the walk goes into: one it has not seen,
// not the folder left out, not the top of a made-up file system.
bool Enters(const Folder& parent, const DirEntry& entry,
            const std::string& path, const FileIdentitySet& left_out,
            FileIdentitySet& walked, SystemCalls& calls) {
  if (left_out.count(entry.identity) != 0) return false;
  if (entry.identity.device != parent.device && IsPseudoFileSystem(path, calls))
    return false;
  return walked.insert(entry.identity).second;
}

}  // namespace

bool IsListedFile(std::uint32_t attributes) {
  constexpr std::uint32_t kFileBits = kAttrReadOnly | kAttrHidden |
                                      kAttrSystem | kAttrVolumeLabel |
                                      kAttrArchive;
  return (attributes & kFileBits) != 0 && (attributes & kAttrDirectory) == 0;
}

std::string WalkProgressText(size_t index, size_t level_size) {
  // A level of one folder shows no place: ten white squares.
  if (level_size == 1) return ProgressBar(0, kWalkBarCells) + kWalkLabel;
  const size_t black_at = index * kWalkBarCells / (level_size - 1);
  // The last folder of the level would need an eleventh square: no text.
  if (black_at >= kWalkBarCells) return std::string();
  return MarkerBar(black_at, kWalkBarCells) + kWalkLabel;
}

void WalkFolderTree(const std::string& root, FolderWorkList& work_list,
                    const StatusSink& status, SystemCalls& calls,
                    const FileIdentitySet& left_out) {
  work_list.clear();
  FileIdentitySet walked;
  const std::string start = WithoutTrailingSeparator(root);
  const std::optional<FileIdentity> root_identity =
      DirectoryIdentity(start, calls);
  if (root_identity) walked.insert(*root_identity);

  std::vector<Folder> next_level{
      {start, root_identity ? root_identity->device : 0}};
  std::vector<Folder> level;
  while (!next_level.empty()) {
    level.swap(next_level);
    next_level.clear();
    for (size_t i = 0; i < level.size(); ++i) {
      const Folder& folder = level[i];
      work_list.push_back(folder.path);
      ListSubfolders(
          folder.path,
          [&](const DirEntry& entry) {
            if ((entry.attributes & kAttrDirectory) == 0) return;
            std::string path = JoinPath(folder.path, entry.name);
            if (Enters(folder, entry, path, left_out, walked, calls))
              next_level.push_back({std::move(path), entry.identity.device});
          },
          calls);
      std::string text = WalkProgressText(i, level.size());
      if (!text.empty() && status) status(text);
    }
  }
}

}  // namespace kuronel
