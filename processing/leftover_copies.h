#ifndef KURONEL_PROCESSING_LEFTOVER_COPIES_H_
#define KURONEL_PROCESSING_LEFTOVER_COPIES_H_

#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>

#include "platform/file_system.h"

namespace kuronel {

// A move writes the copy, flushes it and then deletes the source. A move
// stopped in between (the program killed, the machine switched off) leaves
// both; moving the same files again must not write a second copy of each.
// This finds the copy left behind: a file that stood in the target folder
// before this run first looked there, with the source's size, modification
// time (copies keep it to the nanosecond) and bytes, or the source itself
// under a second name. Files written by this run are never found, so two
// equal sources still get a copy each.
class LeftoverCopies {
 public:
  explicit LeftoverCopies(FileSystem& file_system)
      : file_system_(file_system) {}

  // The path of such a file in `folder`, or empty when there is none.
  std::string Find(const std::string& source_path, const std::string& folder);

 private:
  struct KnownFile {
    std::string path;
    FileInfo info;
  };
  // By size: a copy, and a second name of the source, have the source's.
  using FilesBySize = std::unordered_multimap<std::uint64_t, KnownFile>;
  // The files of `folder` as they stood when it was first asked for.
  const FilesBySize& FilesOf(const std::string& folder);

  FileSystem& file_system_;
  std::map<std::string, FilesBySize> folders_;
};

}  // namespace kuronel

#endif  // KURONEL_PROCESSING_LEFTOVER_COPIES_H_
