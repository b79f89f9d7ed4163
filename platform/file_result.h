#ifndef KURONEL_PLATFORM_FILE_RESULT_H_
#define KURONEL_PLATFORM_FILE_RESULT_H_

#include <string>

namespace kuronel {

// The file operations whose failure a user may need to read about.
enum class FileOperation {
  kCreateFolder,
  kOpen,
  kRead,
  kWrite,
  kFlush,
  kName,  // giving a copy its name
  kMakeReadOnly,
  kDelete,
};

// "create folder", "open", "read", "write", "flush", "name", "make
// read-only", "delete".
const char* OperationText(FileOperation operation);

// The outcome of a file operation: success, or which operation failed on
// which path and why (the errno).
class FileResult {
 public:
  FileResult() = default;  // success
  FileResult(FileOperation operation, std::string path, int error)
      : operation_(operation), path_(std::move(path)), error_(error) {}

  bool ok() const { return error_ == 0; }
  FileOperation operation() const { return operation_; }
  const std::string& path() const { return path_; }
  int error() const { return error_; }
  // "PATH: OPERATION: REASON", for example "/x/2004_05_06: create folder:
  // Permission denied"; empty on success.
  std::string Describe() const;

 private:
  FileOperation operation_ = FileOperation::kOpen;
  std::string path_;
  int error_ = 0;
};

}  // namespace kuronel

#endif  // KURONEL_PLATFORM_FILE_RESULT_H_
