#include "catalogue/folder_walk.h"

#include <cstdint>
#include <set>
#include <string_view>
#include <utility>

#include "platform/dir_listing.h"
#include "platform/path.h"

namespace kuronel {
namespace {

constexpr char kBlackSquare[] = "■";
constexpr char kWhiteSquare[] = "□";
constexpr char kWalkLabel[] = "フォルダチェック中";
// Ten squares and the nine characters of the label.
constexpr size_t kWalkTextCharacters = 19;

size_t CountCharacters(std::string_view utf8) {
  size_t count = 0;
  for (char c : utf8) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return count;
}

using Identity = std::pair<std::uint64_t, std::uint64_t>;

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
            std::set<Identity>& walked) {
  if (left_out.count(FileIdentity{entry.device, entry.inode}) != 0)
    return false;
  if (entry.device != parent.device && IsPseudoFileSystem(path)) return false;
  return walked.insert({entry.device, entry.inode}).second;
}

}  // namespace

bool IsListedFile(std::uint32_t attributes) {
  constexpr std::uint32_t kFileBits = kAttrReadOnly | kAttrHidden |
                                      kAttrSystem | kAttrVolumeLabel |
                                      kAttrArchive;
  return (attributes & kFileBits) != 0 && (attributes & kAttrDirectory) == 0;
}

std::string WithoutTrailingSlash(std::string folder) {
  if (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

std::string WalkProgressText(size_t index, size_t level_size) {
  std::string text;
  if (level_size == 1) {
    for (int i = 0; i < 10; ++i) text += kWhiteSquare;
  } else {
    const size_t black_at = index * 10 / (level_size - 1);
    for (size_t i = 0; i < black_at; ++i) text += kWhiteSquare;
    text += kBlackSquare;
    for (size_t i = black_at + 1; i < 10; ++i) text += kWhiteSquare;
  }
  text += kWalkLabel;
  // Only a bar of exactly ten squares is shown.
  if (CountCharacters(text) != kWalkTextCharacters) return std::string();
  return text;
}

void WalkFolderTree(const std::string& root, FolderWorkList& work_list,
                    const StatusSink& status,
                    const FileIdentitySet& left_out) {
  work_list.clear();
  std::set<Identity> walked;
  Identity root_identity;
  const std::string start = WithoutTrailingSlash(root);
  if (DirectoryIdentity(start, root_identity.first, root_identity.second))
    walked.insert(root_identity);

  std::vector<Folder> next_level{{start, root_identity.first}};
  std::vector<Folder> level;
  while (!next_level.empty()) {
    level.swap(next_level);
    next_level.clear();
    for (size_t i = 0; i < level.size(); ++i) {
      const Folder& folder = level[i];
      work_list.push_back(folder.path);
      ListSubfolders(folder.path, [&](const DirEntry& entry) {
        if ((entry.attributes & kAttrDirectory) == 0) return;
        std::string path = JoinPath(folder.path, entry.name);
        if (Enters(folder, entry, path, left_out, walked))
          next_level.push_back({std::move(path), entry.device});
      });
      std::string text = WalkProgressText(i, level.size());
      if (!text.empty() && status) status(text);
    }
  }
}

}  // namespace kuronel
