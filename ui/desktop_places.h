#ifndef KURONEL_UI_DESKTOP_PLACES_H_
#define KURONEL_UI_DESKTOP_PLACES_H_

#include <string>
#include <string_view>
#include <vector>

namespace kuronel {

// A folder at the top of the folder picker's tree.
struct FolderPlace {
  std::string label;
  std::string path;
  bool operator==(const FolderPlace&) const = default;
};

// What a Linux desktop shows at the top of its folder tree: the home folder,
// the drives mounted under /media/USER, /run/media/USER and /mnt (in name
// order), and the file system root "/". `mounts` is the text of
// /proc/self/mounts; pseudo file systems mounted there are not drives.
std::vector<FolderPlace> DesktopPlaces(const std::string& home,
                                       const std::string& user,
                                       std::string_view mounts);

}  // namespace kuronel

#endif  // KURONEL_UI_DESKTOP_PLACES_H_
