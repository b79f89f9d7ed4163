#include "ui/desktop_places.h"

#include <algorithm>
#include <set>
#include <sstream>

#include "platform/drive_facts.h"
#include "platform/path.h"

namespace kuronel {
namespace {

constexpr char kHomeLabel[] = "ホーム";

// File systems of the kernel and the system that no user keeps photos on.
const std::set<std::string, std::less<>> kPseudoTypes = {
    "proc",       "sysfs",     "devtmpfs",  "devpts",      "cgroup", "cgroup2",
    "securityfs", "debugfs",   "tracefs",   "configfs",    "pstore", "bpf",
    "mqueue",     "hugetlbfs", "fusectl",   "binfmt_misc", "autofs", "efivarfs",
    "rpc_pipefs", "nsfs",      "selinuxfs",
};

bool IsDirectlyUnder(const std::string& path, const std::string& folder) {
  return path.size() > folder.size() + 1 &&
         path.compare(0, folder.size(), folder) == 0 &&
         path[folder.size()] == '/' &&
         path.find('/', folder.size() + 1) == std::string::npos;
}

struct MountPoint {
  std::string path;
  std::string type;
};

// The mount points listed in a text of the form of /proc/self/mounts, with
// their file system types, octal escapes (\040 for a blank) undone.
std::vector<MountPoint> ParseMounts(std::string_view mounts) {
  std::vector<MountPoint> points;
  std::istringstream lines{std::string(mounts)};
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string device, path, type;
    if (fields >> device >> path >> type)
      points.push_back({UnescapedMountField(path), type});
  }
  return points;
}

}  // namespace

std::vector<FolderPlace> DesktopPlaces(const std::string& home,
                                       const std::string& user,
                                       std::string_view mounts) {
  std::vector<FolderPlace> places;
  if (!home.empty() && home != "/") places.push_back({kHomeLabel, home});
  std::vector<std::string> drive_folders = {"/mnt"};
  if (!user.empty()) {
    drive_folders.push_back("/media/" + user);
    drive_folders.push_back("/run/media/" + user);
  }
  std::vector<std::string> drives;
  for (const MountPoint& point : ParseMounts(mounts)) {
    if (kPseudoTypes.count(point.type) > 0) continue;
    for (const std::string& folder : drive_folders)
      if (IsDirectlyUnder(point.path, folder)) drives.push_back(point.path);
  }
  std::sort(drives.begin(), drives.end());
  drives.erase(std::unique(drives.begin(), drives.end()), drives.end());
  for (const std::string& drive : drives)
    places.push_back({BaseName(drive), drive});
  places.push_back({"/", "/"});
  return places;
}

}  // namespace kuronel
