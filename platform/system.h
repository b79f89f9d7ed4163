#ifndef KURONEL_PLATFORM_SYSTEM_H_
#define KURONEL_PLATFORM_SYSTEM_H_

#include <string>

#include "platform/system_calls.h"

namespace kuronel {

// The process's current directory, without a trailing separator except for
// the root "/"; empty when it cannot be had (it was deleted, or lies out of
// reach): never a relative path.
std::string CurrentDirectory(SystemCalls& calls);

// The folder of the running program file, ending in "/".
std::string ProgramFolder(SystemCalls& calls);

}  // namespace kuronel

#endif  // KURONEL_PLATFORM_SYSTEM_H_
