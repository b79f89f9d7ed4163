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
  kName,    // giving a copy its name
  kVerify,  // reading a copy back: it differs from its source
  kMakeReadOnly,
  kDelete,
};

// "create folder", "open", "read", "write", "flush", "name", "verify",
// "make read-only", "delete".
const char* OperationText(FileOperation operation);

// The outcome of a file operation: success, or which operation failed on
// which path and why (the errno).
class FileResult {
 public:
  FileResult() = default;  // success
  FileResult(FileOperation operation, std::string path, int error)
      : operation_(operation), path_(std::move(path)), error_(error) {}
  // A failure whose reason is the program's own words, not the errno's.
  FileResult(FileOperation operation, std::string path, int error,
             std::string reason)
      : operation_(operation),
        path_(std::move(path)),
        error_(error),
        reason_(std::move(reason)) {}

  bool ok() const { return error_ == 0; }
  FileOperation operation() const { return operation_; }
  const std::string& path() const { return path_; }
  int error() const { return error_; }
  // Why it failed: the reason given, else the errno's text, except for a
  // copy that was read back different from its source, which says so.
  std::string Reason() const;
  // "PATH: OPERATION: REASON", for example "/x/2004_05_06: create folder:
  // Permission denied"; empty on success.
  std::string Describe() const;

 private:
  FileOperation operation_ = FileOperation::kOpen;
  std::string path_;
  int error_ = 0;
  std::string reason_;
};

}  // namespace kuronel

#endif  // KURONEL_PLATFORM_FILE_RESULT_H_
