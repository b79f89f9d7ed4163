#include "testing/memory_file_system.h"

#include <sys/stat.h>

#include <cerrno>

namespace kuronel::testing {

MemoryFileSystem::MemoryFileSystem() { nodes_["/"] = Node{true, "", 0755, 1}; }

std::string MemoryFileSystem::Normal(const std::string& path) {
  std::string normal = path;
  while (normal.size() > 1 && normal.back() == '/') normal.pop_back();
  return normal;
}

const MemoryFileSystem::Node* MemoryFileSystem::Find(
    const std::string& path) const {
  auto it = nodes_.find(Normal(path));
  return it == nodes_.end() ? nullptr : &it->second;
}

FileInfo MemoryFileSystem::InfoOf(const Node& node) const {
  FileInfo info;
  info.device = 1;
  info.inode = node.inode;
  info.size = node.contents.size();
  return info;
}

void MemoryFileSystem::WriteFile(const std::string& path,
                                 const std::string& contents) {
  // The test's own tree: a file in the way of a folder is its own doing.
  static_cast<void>(CreateDirectories(ParentFolder(Normal(path))));
  nodes_[Normal(path)] = Node{false, contents, 0644, next_inode_++};
}

std::optional<std::string> MemoryFileSystem::Contents(
    const std::string& path) const {
  const Node* node = Find(path);
  if (node == nullptr || node->folder) return std::nullopt;
  return node->contents;
}

bool MemoryFileSystem::FileExists(const std::string& path) {
  const Node* node = Find(path);
  return node != nullptr && !node->folder;
}

bool MemoryFileSystem::DirectoryExists(const std::string& path) {
  const Node* node = Find(path);
  return node != nullptr && node->folder;
}

bool MemoryFileSystem::NameTaken(const std::string& path) {
  return Find(path) != nullptr;
}

FileResult MemoryFileSystem::CreateDirectories(const std::string& path) {
  const std::string normal = Normal(path);
  if (normal.empty() || normal[0] != '/')
    return FileResult(FileOperation::kCreateFolder, path, ENOENT);
  if (normal == "/" || DirectoryExists(normal)) return FileResult();
  if (FileResult parent = CreateDirectories(ParentFolder(normal)); !parent.ok())
    return parent;
  if (NameTaken(normal))
    return FileResult(FileOperation::kCreateFolder, normal,
                      FailureCause::kNotAFolder);
  nodes_[normal] = Node{true, "", 0755, next_inode_++};
  return FileResult();
}

CopyResult MemoryFileSystem::CopyFileNoReplace(const std::string& source,
                                               const std::string& target,
                                               bool /*source_goes_next*/,
                                               const CopyProgress& progress) {
  CopyResult result;
  const Node* from = Find(source);
  if (from == nullptr || from->folder) {
    result.failure = FileResult(FileOperation::kOpen, source, ENOENT);
    return result;
  }
  if (NameTaken(target)) {
    result.failure =
        FileResult(FileOperation::kName, target, FailureCause::kNameTaken);
    return result;
  }
  if (!DirectoryExists(ParentFolder(Normal(target)))) {
    result.failure = FileResult(FileOperation::kWrite, target, ENOENT);
    return result;
  }
  Node copy = *from;
  copy.inode = next_inode_++;
  nodes_[Normal(target)] = copy;
  result.ok = true;
  // Memory keeps what it is given: every copy is as good as flushed and
  // read back.
  result.flushed = true;
  result.verified = true;
  result.source_before = result.source_after = InfoOf(*from);
  result.written = InfoOf(copy);
  result.bytes_copied = copy.contents.size();
  if (progress) progress(result.bytes_copied, result.bytes_copied);
  return result;
}

bool MemoryFileSystem::MoveFileNoReplace(const std::string& source,
                                         const std::string& target) {
  const Node* from = Find(source);
  if (from == nullptr || from->folder || (from->mode & 0200) == 0 ||
      NameTaken(target) || !DirectoryExists(ParentFolder(Normal(target))))
    return false;
  nodes_[Normal(target)] = *from;
  nodes_.erase(Normal(source));
  return true;
}

FileResult MemoryFileSystem::SetReadOnly(const std::string& path) {
  auto it = nodes_.find(Normal(path));
  if (it == nodes_.end())
    return FileResult(FileOperation::kMakeReadOnly, path, ENOENT);
  it->second.mode &= ~static_cast<mode_t>(0222);
  return FileResult();
}

FileResult MemoryFileSystem::DeleteFile(const std::string& path) {
  auto it = nodes_.find(Normal(path));
  if (it == nodes_.end())
    return FileResult(FileOperation::kDelete, path, ENOENT);
  if (it->second.folder)
    return FileResult(FileOperation::kDelete, path, FailureCause::kNotAFile);
  if ((it->second.mode & 0200) == 0)
    return FileResult(FileOperation::kDelete, path,
                      FailureCause::kMarkedReadOnly);
  nodes_.erase(it);
  return FileResult();
}

FileResult MemoryFileSystem::FileError(const std::string& path) {
  if (FileExists(path)) return FileResult();
  if (!NameTaken(path)) return FileResult(FileOperation::kOpen, path, ENOENT);
  return FileResult(FileOperation::kOpen, path, FailureCause::kNotAFile);
}

bool MemoryFileSystem::Stat(const std::string& path, FileInfo& info) {
  const Node* node = Find(path);
  if (node == nullptr) return false;
  info = InfoOf(*node);
  return true;
}

std::vector<FileSystem::FolderFile> MemoryFileSystem::FilesIn(
    const std::string& folder) {
  std::vector<FolderFile> files;
  const std::string inside = Normal(folder) == "/" ? "/" : Normal(folder) + "/";
  for (const auto& [path, node] : nodes_) {
    if (node.folder || path.rfind(inside, 0) != 0 ||
        path.find('/', inside.size()) != std::string::npos)
      continue;
    files.push_back({path.substr(inside.size()), node.contents.size()});
  }
  return files;
}

bool MemoryFileSystem::HashFile(const std::string& path,
                                ContentHash::Digest& digest) {
  const Node* node = Find(path);
  if (node == nullptr || node->folder) return false;
  ContentHash hash;
  hash.Add(node->contents);
  digest = hash.Result();
  return true;
}

bool MemoryFileSystem::SameContent(const std::string& first,
                                   const std::string& second) {
  const Node* a = Find(first);
  const Node* b = Find(second);
  return a != nullptr && b != nullptr && !a->folder && !b->folder &&
         a->contents == b->contents;
}

}  // namespace kuronel::testing
