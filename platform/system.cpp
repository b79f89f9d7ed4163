#include "platform/system.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <vector>

namespace kuronel {

std::string CurrentDirectory() {
  std::vector<char> buffer(PATH_MAX);
  while (getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) return std::string();
    buffer.resize(buffer.size() * 2);
  }
  // Some systems report a folder out of reach as "(unreachable)/...".
  if (buffer[0] != '/') return std::string();
  return std::string(buffer.data());
}

std::string ProgramFolder() {
  std::vector<char> buffer(PATH_MAX);
  ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
  if (length <= 0) return CurrentDirectory() + "/";
  std::string path(buffer.data(), static_cast<size_t>(length));
  return path.substr(0, path.rfind('/') + 1);
}

bool IsDirectory(const std::string& path) {
  struct stat info;
  return !path.empty() && stat(path.c_str(), &info) == 0 &&
         S_ISDIR(info.st_mode);
}

bool IsRegularFile(const std::string& path) {
  struct stat info;
  return !path.empty() && stat(path.c_str(), &info) == 0 &&
         S_ISREG(info.st_mode);
}

bool NamesADrive(std::string_view text) {
  return !text.empty() && text.front() == '/';
}

std::string WithTrailingSeparator(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

namespace {

// The space and the control characters, as the settings file's reader trims
// them; the bytes of a UTF-8 or Shift_JIS character are never among them.
bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

}  // namespace

std::string TypedDestination(std::string_view text) {
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  if (!NamesADrive(text)) return std::string();
  return WithTrailingSeparator(std::string(text));
}

}  // namespace kuronel
