#ifndef KURONEL_PLATFORM_FILE_IO_H_
#define KURONEL_PLATFORM_FILE_IO_H_

#include <string>
#include <string_view>

#include "platform/status.h"

namespace kuronel {

// Reads a whole regular file (following symbolic links) into `contents`.
// False, with `contents` empty, when the file is missing, is not a regular
// file, or cannot be read to its end.
bool ReadWholeFile(const std::string& path, std::string& contents);

// True when something exists under `path` (a symbolic link is followed; a
// dangling link counts as missing).
bool PathExists(const std::string& path);

// Replaces the file at `path` with `contents` so that a reader, or a crash,
// sees either the whole old file or the whole new one: the bytes go to a
// temporary file in the same folder, are flushed to disk, and the temporary
// file is renamed over the target; then the folder is flushed. An existing
// file keeps its permission bits (and, where allowed, its owner); a symbolic
// link is written through to its target. On failure the temporary file is
// removed, the old file is untouched, and the message says which step failed
// for which path.
Status WriteFileAtomically(const std::string& path, std::string_view contents);

}  // namespace kuronel

#endif  // KURONEL_PLATFORM_FILE_IO_H_
