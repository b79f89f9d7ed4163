#ifndef KURONEL_CATALOGUE_FOLDER_LISTINGS_H_
#define KURONEL_CATALOGUE_FOLDER_LISTINGS_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/dir_listing.h"
#include "platform/file_identity.h"

namespace kuronel {

// The regular files of every folder of the work list, in listing order, with
// the modification time the listing already read. Names share one buffer so
// that a card of 100,000 files costs no allocation per file.
class FolderListings {
 public:
  struct File {
    size_t name_offset;
    std::uint32_t name_length;
    std::uint32_t folder;
    std::int64_t modified_seconds;
    FileIdentity identity;
  };

  void Add(std::uint32_t folder, const DirEntry& entry) {
    files_.push_back(File{names_.size(),
                          static_cast<std::uint32_t>(entry.name.size()), folder,
                          entry.modified_seconds,
                          FileIdentity{entry.device, entry.inode}});
    names_ += entry.name;
  }
  void EndFolder() { folder_end_.push_back(files_.size()); }

  size_t FileCount() const { return files_.size(); }
  size_t FirstFile(size_t folder) const {
    return folder == 0 ? 0 : folder_end_[folder - 1];
  }
  size_t EndFile(size_t folder) const { return folder_end_[folder]; }
  const File& file(size_t index) const { return files_[index]; }
  std::string_view NameOf(const File& file) const {
    return std::string_view(names_).substr(file.name_offset, file.name_length);
  }

 private:
  std::string names_;
  std::vector<File> files_;
  std::vector<size_t> folder_end_;
};

}  // namespace kuronel

#endif  // KURONEL_CATALOGUE_FOLDER_LISTINGS_H_
