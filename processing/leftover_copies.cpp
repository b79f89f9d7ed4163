#include "processing/leftover_copies.h"

namespace kuronel {

std::string LeftoverCopies::Find(const std::string& source_path,
                                 const std::string& folder) {
  FileInfo source;
  if (!file_system_.Stat(source_path, source)) return std::string();
  for (const KnownFile& file : FilesOf(folder)) {
    if (file.path == source_path) continue;
    if (file.info.SameFileAs(source)) return file.path;
    if (file.info.size == source.size &&
        file.info.modified_seconds == source.modified_seconds &&
        file.info.modified_nanoseconds == source.modified_nanoseconds &&
        file_system_.SameContents(source_path, file.path))
      return file.path;
  }
  return std::string();
}

const std::vector<LeftoverCopies::KnownFile>& LeftoverCopies::FilesOf(
    const std::string& folder) {
  auto [it, inserted] = folders_.try_emplace(folder);
  if (!inserted) return it->second;
  const std::string prefix = folder.empty() || folder.back() == '/'
                                 ? folder
                                 : folder + "/";
  for (const std::string& name : file_system_.RegularFilesIn(folder)) {
    KnownFile file{prefix + name, FileInfo()};
    if (file_system_.Stat(file.path, file.info))
      it->second.push_back(std::move(file));
  }
  return it->second;
}

}  // namespace kuronel
