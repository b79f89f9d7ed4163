#ifndef KURONEL_PLATFORM_FILE_IO_H_
#define KURONEL_PLATFORM_FILE_IO_H_

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/status.h"
#include "platform/system_calls.h"

namespace kuronel {

enum class ReadOutcome {
  kRead,
  kMissing,     // nothing under the name (a dangling link included)
  kUnreadable,  // not a regular file, or reading it failed
  kTooLarge,    // more than the bound: nothing of it was read
};

// Reads a whole regular file (following symbolic links) into `contents`,
// but never more than `max_size` bytes: a larger file, a sparse one
// included, is refused before any of it is read. `contents` is empty unless
// the outcome is kRead.
[[nodiscard]] ReadOutcome ReadFileUpTo(const std::string& path,
                                       std::size_t max_size,
                                       std::string& contents,
                                       SystemCalls& calls);
// The same for a file already open for reading, from its current offset.
[[nodiscard]] ReadOutcome ReadOpenFileUpTo(int fd, std::size_t max_size,
                                           std::string& contents,
                                           SystemCalls& calls);

// Replaces the file at `path` with `contents` so that a reader, or a crash,
// sees either the whole old file or the whole new one: the bytes go to a
// temporary file in the target's folder, are flushed to disk, and the
// temporary file is renamed over the target; then the folder is flushed. An
// existing file keeps its permission bits (and, where allowed, its owner).
// A symbolic link under `path` stays a link: the target is the file it
// points to (a chain is followed to its end), created when the link
// dangles; a loop of links is refused. On failure the temporary file is
// removed, the old file is untouched, and the message says which step failed
// for which path.
Status WriteFileAtomically(const std::string& path, std::string_view contents,
                           SystemCalls& calls);

}  // namespace kuronel

#endif  // KURONEL_PLATFORM_FILE_IO_H_
