#include "platform/system.h"

#include "platform/path.h"

namespace kuronel {

std::string CurrentDirectory(SystemCalls& calls) {
  std::string folder = calls.CurrentDirectory();
  // Some systems report a folder out of reach as "(unreachable)/...".
  if (folder.empty() || folder[0] != '/') return std::string();
  return folder;
}

std::string ProgramFolder(SystemCalls& calls) {
  const std::string path = calls.ProgramPath();
  if (path.empty()) return WithTrailingSeparator(CurrentDirectory(calls));
  return WithTrailingSeparator(ParentFolder(path));
}

}  // namespace kuronel
