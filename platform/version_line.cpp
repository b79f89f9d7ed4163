#include "platform/version_line.h"

namespace kuronel {

std::string VersionLine(std::string_view program) {
  // The build passes in the project's version, so that it is written once.
  return std::string(program) + " " + KURONEL_VERSION;
}

}  // namespace kuronel
