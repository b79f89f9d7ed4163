#ifndef KURONEL_PLATFORM_SYSTEM_H_
#define KURONEL_PLATFORM_SYSTEM_H_

#include <string>
#include <string_view>

#include "platform/system_calls.h"

namespace kuronel {

// The process's current directory, without a trailing separator except for
// the root "/"; empty when it cannot be had (it was deleted, or lies out of
// reach): never a relative path.
std::string CurrentDirectory(SystemCalls& calls = RealSystemCalls());

// The folder of the running program file, ending in "/".
std::string ProgramFolder(SystemCalls& calls = RealSystemCalls());

// A typed folder names a drive when it is an absolute path.
bool NamesADrive(std::string_view text);

// `folder` with a "/" appended unless it already ends in one.
std::string WithTrailingSeparator(std::string folder);

// The folder a typed destination names, ending in "/"; empty when the text
// is no absolute path. Blanks at the end are dropped first: no folder name
// ends in one on the drives cards come from, so they were typed by mistake
// and would make a new folder beside the meant one.
std::string TypedDestination(std::string_view text);

}  // namespace kuronel

#endif  // KURONEL_PLATFORM_SYSTEM_H_
