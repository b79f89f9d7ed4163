#include "processing/run_lock.h"

namespace kuronel {

std::vector<FolderLocks::Request> RunLockRequests(
    const Settings& options, const std::vector<std::string>& opened_folders) {
  using Mode = FolderLocks::Mode;
  const bool copies_beside_sources = !options.MoveToDateFolder;
  const Mode sources_mode = !options.KeepOriginal || copies_beside_sources
                                ? Mode::kExclusive
                                : Mode::kShared;
  std::vector<FolderLocks::Request> requests;
  if (!copies_beside_sources)
    requests.push_back({options.DestinationFolder, Mode::kExclusive});
  for (const std::string& folder : opened_folders)
    requests.push_back({folder, sources_mode});
  return requests;
}

}  // namespace kuronel
