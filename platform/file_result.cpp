#include "platform/file_result.h"

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
    case FileOperation::kMakeReadOnly:
      return "make read-only";
    case FileOperation::kDelete:
      return "delete";
  }
  return "";
}

std::string FileResult::Describe() const {
  if (ok()) return std::string();
  return path_ + ": " + OperationText(operation_) + ": " +
         std::strerror(error_);
}

}  // namespace kuronel
