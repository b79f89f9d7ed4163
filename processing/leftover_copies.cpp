#include "processing/leftover_copies.h"

namespace kuronel {

std::string LeftoverCopies::Find(const std::string& source_path,
                                 const std::string& folder) {
  FileInfo source;
  if (!file_system_.Stat(source_path, source)) return std::string();
  auto [first, last] = FilesOf(folder).equal_range(source.size);
  for (auto it = first; it != last; ++it) {
    const KnownFile& file = it->second;
    if (file.path == source_path) continue;
    if (file.info.SameFileAs(source)) return file.path;
    if (file.info.modified_seconds == source.modified_seconds &&
        file.info.modified_nanoseconds == source.modified_nanoseconds &&
        file_system_.SameContents(source_path, file.path))
      return file.path;
  }
  return std::string();
}

const LeftoverCopies::FilesBySize& LeftoverCopies::FilesOf(
    const std::string& folder) {
  auto [it, inserted] = folders_.try_emplace(folder);
  if (!inserted) return it->second;
  const std::string prefix = folder.empty() || folder.back() == '/'
                                 ? folder
                                 : folder + "/";
  for (NamedFile& file : file_system_.RegularFilesIn(folder)) {
    const std::uint64_t size = file.info.size;
    it->second.emplace(size, KnownFile{prefix + file.name, file.info});
  }
  return it->second;
}

}  // namespace kuronel
