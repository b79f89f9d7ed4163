#include "tools/tool_text.h"

#include <clocale>

namespace kuronel {

std::string LineField(std::string_view text) {
  std::string field;
  field.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '\\':
        field += "\\\\";
        break;
      case '\t':
        field += "\\t";
        break;
      case '\n':
        field += "\\n";
        break;
      case '\r':
        field += "\\r";
        break;
      default:
        field += c;
    }
  }
  return field;
}

void UseTheUsersLanguageForReasons() {
  std::setlocale(LC_CTYPE, "");
  std::setlocale(LC_MESSAGES, "");
}

}  // namespace kuronel
