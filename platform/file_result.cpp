#include "platform/file_result.h"

#include <cerrno>
#include <cstring>

namespace kuronel {

const char* OperationText(FileOperation operation) {
  switch (operation) {
    case FileOperation::kCreateFolder:
      return "create folder";
    case FileOperation::kOpen:
      return "open";
    case FileOperation::kRead:
      return "read";
    case FileOperation::kWrite:
      return "write";
    case FileOperation::kFlush:
      return "flush";
    case FileOperation::kName:
      return "name";
    case FileOperation::kVerify:
      return "verify";
    case FileOperation::kMakeReadOnly:
      return "make read-only";
    case FileOperation::kDelete:
      return "delete";
  }
  return "";
}

std::string FileResult::Reason() const {
  if (!reason_.empty()) return reason_;
  if (operation_ == FileOperation::kVerify && error_ == EIO)
    return "the copy read back differs from its source";
  return std::strerror(error_);
}

std::string FileResult::Describe() const {
  if (ok()) return std::string();
  return path_ + ": " + OperationText(operation_) + ": " + Reason();
}

}  // namespace kuronel
