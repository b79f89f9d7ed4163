#ifndef KURONEL_PLATFORM_VERSION_LINE_H_
#define KURONEL_PLATFORM_VERSION_LINE_H_

#include <string>
#include <string_view>

namespace kuronel {

// What each program prints for --version, without the line end:
// "kuronel-batch 1.1.0".
std::string VersionLine(std::string_view program);

}  // namespace kuronel

#endif  // KURONEL_PLATFORM_VERSION_LINE_H_
