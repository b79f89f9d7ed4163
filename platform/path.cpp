#include "platform/path.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <random>
#include <utility>

namespace kuronel {

UniqueFd::UniqueFd(UniqueFd&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), calls_(other.calls_) {}

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
  if (this != &other) {
    Reset();
    fd_ = std::exchange(other.fd_, -1);
    calls_ = other.calls_;
  }
  return *this;
}

bool UniqueFd::Close() {
  if (fd_ < 0) return true;
  const int fd = std::exchange(fd_, -1);
  return calls_->Close(fd) == 0;
}

std::string ParentFolder(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string ResolvedPath(const std::string& path, SystemCalls& calls) {
  std::string real;
  if (calls.RealPath(path, real) == 0) return real;
  const std::string parent = ParentFolder(path);
  if (errno != ENOENT || parent == path || parent == ".") return path;
  return JoinPath(ResolvedPath(parent, calls), BaseName(path));
}

std::optional<std::string> NearestPathWhere(
    std::string path, const std::function<bool(const std::string&)>& found) {
  while (!found(path)) {
    std::string parent = ParentFolder(path);
    if (parent == path) return std::nullopt;
    path = std::move(parent);
  }
  return path;
}

bool PathHolds(std::string_view folder, std::string_view path) {
  if (folder == "/") return !path.empty() && path.front() == '/';
  return path.substr(0, folder.size()) == folder &&
         (path.size() == folder.size() || path[folder.size()] == '/');
}

std::string BaseName(const std::string& path) {
  return path.substr(path.rfind('/') + 1);
}

std::string ExtensionOf(std::string_view path) {
  const std::string_view name = path.substr(path.rfind('/') + 1);
  const std::size_t dot = name.rfind('.');
  return dot == std::string_view::npos ? std::string()
                                       : std::string(name.substr(dot));
}

std::string JoinPath(std::string_view folder, std::string_view name) {
  std::string path;
  path.reserve(folder.size() + 1 + name.size());
  path += folder;
  path = WithTrailingSeparator(std::move(path));
  path += name;
  return path;
}

std::string WithTrailingSeparator(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

std::string WithoutTrailingSeparator(std::string folder) {
  if (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

bool NamesADrive(std::string_view text) {
  return !text.empty() && text.front() == '/';
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

PathKind KindAt(const std::string& path, bool follow_links,
                SystemCalls& calls) {
  struct stat info;
  if (path.empty() || calls.Stat(path, info, follow_links) != 0)
    return PathKind::kNothing;
  if (S_ISREG(info.st_mode)) return PathKind::kFile;
  if (S_ISDIR(info.st_mode)) return PathKind::kFolder;
  return PathKind::kOther;
}

bool WriteAll(SystemCalls& calls, int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t written = calls.Write(fd, data.data(), data.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      // A write that took nothing gave no reason: none is made up for it.
      if (written == 0) errno = 0;
      return false;
    }
    data.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

int SyncFolder(SystemCalls& calls, const std::string& folder) {
  UniqueFd dir(calls.Open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC), calls);
  if (!dir.valid()) return errno;
  return calls.Sync(dir.get()) == 0 ? 0 : errno;
}

UniqueFd CreateUniqueFile(SystemCalls& calls, const std::string& folder,
                          std::string_view prefix, mode_t mode,
                          std::string& path) {
  static constexpr char kLetters[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  thread_local std::mt19937 random{std::random_device()()};
  std::uniform_int_distribution<std::size_t> letter(0, sizeof kLetters - 2);
  const auto next_name = [&] {
    std::string name(prefix);
    for (std::size_t i = 0; i < kUniqueLetters; ++i)
      name += kLetters[letter(random)];
    return name;
  };
  return CreateNewFile(calls, folder, next_name, mode, path);
}

UniqueFd CreateNewFile(SystemCalls& calls, const std::string& folder,
                       const std::function<std::string()>& next_name,
                       mode_t mode, std::string& path) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    path = JoinPath(folder, next_name());
    UniqueFd file(calls.Open(path, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode),
                  calls);
    if (file.valid()) return file;
    if (errno != EEXIST) break;
  }
  // Never the name of a file that another program may own.
  const int error = errno;
  path.clear();
  errno = error;
  return UniqueFd();
}

}  // namespace kuronel
