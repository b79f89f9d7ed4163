#ifndef KURONEL_TESTING_MEMORY_FILE_SYSTEM_H_
#define KURONEL_TESTING_MEMORY_FILE_SYSTEM_H_

#include <sys/types.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "platform/file_system.h"

namespace kuronel::testing {

// A disk in memory for the tests of the processing logic that need no real
// one: folders and files with contents, permission bits and times, one
// device, no links. Copies and moves never replace; a file without owner
// write permission is not deleted, as on the real disk. Paths are absolute,
// "/" exists from the start.
class MemoryFileSystem : public FileSystem {
 public:
  MemoryFileSystem();

  // Creates the file (0644) and its folders; replaces a file already there.
  void WriteFile(const std::string& path, const std::string& contents);
  // The contents of a file; nothing for a folder or a free name.
  std::optional<std::string> Contents(const std::string& path) const;

  bool FileExists(const std::string& path) override;
  bool DirectoryExists(const std::string& path) override;
  bool NameTaken(const std::string& path) override;
  FileResult CreateDirectories(const std::string& path) override;
  CopyResult CopyFileNoReplace(const std::string& source,
                               const std::string& target, bool source_goes_next,
                               const CopyProgress& progress) override;
  bool MoveFileNoReplace(const std::string& source,
                         const std::string& target) override;
  FileResult SetReadOnly(const std::string& path) override;
  FileResult DeleteFile(const std::string& path) override;
  FileResult FileError(const std::string& path) override;
  bool Stat(const std::string& path, FileInfo& info) override;
  bool SameContent(const std::string& first,
                   const std::string& second) override;
  std::vector<FolderFile> FilesIn(const std::string& folder) override;
  bool HashFile(const std::string& path, ContentHash::Digest& digest) override;
  int RemoveStaleTemporaries(const std::string&) override { return 0; }
  FileResult FlushFile(const std::string&) override { return {}; }
  FileResult FlushFolder(const std::string&) override { return {}; }

 private:
  struct Node {
    bool folder = false;
    std::string contents;
    mode_t mode = 0755;
    std::uint64_t inode = 0;
  };

  // The path without a trailing "/" (the root stays "/").
  static std::string Normal(const std::string& path);
  const Node* Find(const std::string& path) const;
  FileInfo InfoOf(const Node& node) const;

  std::map<std::string, Node> nodes_;
  std::uint64_t next_inode_ = 2;
};

}  // namespace kuronel::testing

#endif  // KURONEL_TESTING_MEMORY_FILE_SYSTEM_H_
