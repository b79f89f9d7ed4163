#include "platform/system.h"

namespace kuronel {

std::string CurrentDirectory(SystemCalls& calls) {
  std::string folder = calls.CurrentDirectory();
  // Some systems report a folder out of reach as "(unreachable)/...".
  if (folder.empty() || folder[0] != '/') return std::string();
  return folder;
}

std::string ProgramFolder(SystemCalls& calls) {
  const std::string path = calls.ProgramPath();
  if (path.empty()) return CurrentDirectory(calls) + "/";
  return path.substr(0, path.rfind('/') + 1);
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
