#ifndef KURONEL_CATALOGUE_FOLDER_LISTINGS_H_
#define KURONEL_CATALOGUE_FOLDER_LISTINGS_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_identity.h"
#include "platform/system_calls.h"

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

  void Add(std::uint32_t folder, std::string_view name,
           std::int64_t modified_seconds, FileIdentity identity) {
    files_.push_back(File{names_.size(),
                          static_cast<std::uint32_t>(name.size()), folder,
                          modified_seconds, identity});
    names_ += name;
  }

  size_t FileCount() const { return files_.size(); }
  const File& file(size_t index) const { return files_[index]; }
  std::string_view NameOf(const File& file) const {
    return std::string_view(names_).substr(file.name_offset, file.name_length);
  }

 private:
  std::string names_;
  std::vector<File> files_;
};

// What the listing of one folder gave: its files (the entries that
// IsListedFile takes) and the entries nobody may read, in listing order, and
// how the listing ended.
struct FolderFiles {
  struct Entry {
    size_t name_offset;
    std::uint32_t name_length;
    int status_error;  // nonzero: an entry that cannot be read, and why
    std::int64_t modified_seconds;
    FileIdentity identity;
  };

  std::string_view NameOf(const Entry& entry) const {
    return std::string_view(names).substr(entry.name_offset, entry.name_length);
  }

  std::string names;  // the names of all entries, one after another
  std::vector<Entry> entries;
  bool listed = true;  // false: the folder could not be listed (to the end)
  int error = 0;       // why not
};

// Lists the folders of the work list and hands each listing to
// `take(k, files)` on the calling thread, in folder order, after calling
// `before(k)`. The listings are made ahead, several folders at once on
// threads of their own (all through `calls`): on a cold card the status of
// each entry is a read of the drive. Every thread has ended when this
// returns or throws.
void ListFoldersAhead(
    const std::vector<std::string>& work_list,
    const std::function<void(size_t)>& before,
    const std::function<void(size_t, const FolderFiles&)>& take,
    SystemCalls& calls);

}  // namespace kuronel

#endif  // KURONEL_CATALOGUE_FOLDER_LISTINGS_H_
