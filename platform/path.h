#ifndef KURONEL_PLATFORM_PATH_H_
#define KURONEL_PLATFORM_PATH_H_

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/system_calls.h"

namespace kuronel {

// An open file descriptor that is closed when it goes.
class UniqueFd {
 public:
  UniqueFd() = default;
  UniqueFd(int fd, SystemCalls& calls) : fd_(fd), calls_(&calls) {}
  ~UniqueFd() { Reset(); }
  UniqueFd(UniqueFd&& other) noexcept;
  UniqueFd& operator=(UniqueFd&& other) noexcept;
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  // Closes now; false, with errno, when the close failed: a delayed write
  // error can surface there, and a FUSE driver may write or change the
  // file then. A written file that is to count is closed this way.
  [[nodiscard]] bool Close();
  // Closes and drops the close's result, as the destructor does: for
  // descriptors that were only read, or whose file is given up anyway.
  void Reset() { (void)Close(); }

 private:
  int fd_ = -1;
  SystemCalls* calls_ = nullptr;
};

// Paths are byte strings with "/" as separator. A folder is named without a
// trailing "/" (except the root "/"); where a text wants one, as the folder
// of a row or a typed destination does, WithTrailingSeparator adds it.

// The folder part of a path: everything before its last "/" ("/" for a file
// in the root, "." for a path without "/").
std::string ParentFolder(const std::string& path);

// The last name of a path: everything after its last "/".
std::string BaseName(const std::string& path);

// The extension of a path's file name: from its last "." to the end, letter
// case kept; empty when the file name holds no "." (a "." in a folder name
// does not count).
std::string ExtensionOf(std::string_view path);

// folder + "/" + name, without a second "/" when the folder already ends in
// one (the root "/").
std::string JoinPath(std::string_view folder, std::string_view name);

// `folder` with a "/" appended unless it already ends in one.
std::string WithTrailingSeparator(std::string folder);

// `folder` without one trailing "/"; the root "/" keeps its slash.
std::string WithoutTrailingSeparator(std::string folder);

// A typed folder names a drive when it is an absolute path.
bool NamesADrive(std::string_view text);

// The folder a typed destination names, ending in "/"; empty when the text
// is no absolute path. Blanks at the end are dropped first: no folder name
// ends in one on the drives cards come from, so they were typed by mistake
// and would make a new folder beside the meant one.
std::string TypedDestination(std::string_view text);

// `path` with every link, "." and ".." resolved. Names that do not exist yet
// (a destination before it is made) are resolved through the nearest folder
// above them that does; a path that cannot be resolved comes back as it is.
std::string ResolvedPath(const std::string& path, SystemCalls& calls);

// `path` or, failing it, the nearest folder above it for which `found` is
// true, asked nearest first; nullopt when none is, up to "/" (or "." for a
// relative path). Finds where a folder not made yet will be made.
std::optional<std::string> NearestPathWhere(
    std::string path, const std::function<bool(const std::string&)>& found);

// True when the resolved path `path` is the resolved folder `folder` or lies
// below it (by whole names: /a/bc does not lie in /a/b).
bool PathHolds(std::string_view folder, std::string_view path);

// What stands at a path.
enum class PathKind { kNothing, kFile, kFolder, kOther };

// Links followed, unless `follow_links` is off (then a link is kOther, a
// dangling one too); kNothing also when the path cannot be reached.
PathKind KindAt(const std::string& path, bool follow_links, SystemCalls& calls);

// Writes all of `data`, resuming after partial writes; false with errno,
// which is 0 where a write took none of the bytes and gave no reason
// (FailureCause::kNothingWritten).
bool WriteAll(SystemCalls& calls, int fd, std::string_view data);

// fsync of a folder, which makes the names made in it durable: 0 or errno.
int SyncFolder(SystemCalls& calls, const std::string& folder);

// How many letters or digits CreateUniqueFile puts after its prefix.
inline constexpr std::size_t kUniqueLetters = 6;

// Creates a new file in `folder` named `prefix` and kUniqueLetters letters or
// digits chosen at random, never one that exists (O_EXCL), with `mode`
// narrowed by the umask. The open file, with its path in `path`; invalid
// with errno, and `path` empty, when no such file can be made.
UniqueFd CreateUniqueFile(SystemCalls& calls, const std::string& folder,
                          std::string_view prefix, mode_t mode,
                          std::string& path);

// Creates a new file in `folder` under the first name `next_name` gives that
// does not exist (O_EXCL), trying up to 100 names; otherwise as
// CreateUniqueFile.
UniqueFd CreateNewFile(SystemCalls& calls, const std::string& folder,
                       const std::function<std::string()>& next_name,
                       mode_t mode, std::string& path);

}  // namespace kuronel

#endif  // KURONEL_PLATFORM_PATH_H_
