#ifndef KURONEL_TOOLS_TOOL_TEXT_H_
#define KURONEL_TOOLS_TOOL_TEXT_H_

#include <string>
#include <string_view>

// The tools' version line is the one the window program prints too.
#include "platform/version_line.h"  // IWYU pragma: export

namespace kuronel {

// `text` as one field of an output line: its bytes as they are, except that
// a backslash, TAB, line feed and carriage return are written as \\, \t, \n
// and \r. A file name or an Exif text may hold any of them, and must not
// split a line, add a field or forge a line of its own.
std::string LineField(std::string_view text);

// Takes the user's locale for the system's messages (strerror) and the
// character set they are written in, so that a reason reads in the user's
// language; the tools' own words and numbers stay as they are.
void UseTheUsersLanguageForReasons();

}  // namespace kuronel

#endif  // KURONEL_TOOLS_TOOL_TEXT_H_
