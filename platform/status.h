#ifndef KURONEL_PLATFORM_STATUS_H_
#define KURONEL_PLATFORM_STATUS_H_

#include <string>
#include <utility>

namespace kuronel {

// The outcome of a core operation that can fail: success, or failure with a
// message the user may read. The core reports file-system trouble this way
// instead of throwing.
class [[nodiscard]] Status {
 public:
  static Status Ok() { return Status(); }
  static Status Error(std::string message) {
    Status status;
    status.ok_ = false;
    status.message_ = std::move(message);
    return status;
  }

  bool ok() const { return ok_; }
  const std::string& message() const { return message_; }

 private:
  Status() = default;
  bool ok_ = true;
  std::string message_;
};

}  // namespace kuronel

#endif  // KURONEL_PLATFORM_STATUS_H_
