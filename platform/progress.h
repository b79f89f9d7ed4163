#ifndef KURONEL_PLATFORM_PROGRESS_H_
#define KURONEL_PLATFORM_PROGRESS_H_

#include <functional>
#include <string>

namespace kuronel {

// Receives the texts that a long operation shows on a status line (the
// square progress bars, the path being checked, the final count). The window
// connects it to its status line; the command-line tools to standard error.
using StatusSink = std::function<void(const std::string& text)>;

}  // namespace kuronel

#endif  // KURONEL_PLATFORM_PROGRESS_H_
