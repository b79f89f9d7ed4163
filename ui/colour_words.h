#ifndef KURONEL_UI_COLOUR_WORDS_H_
#define KURONEL_UI_COLOUR_WORDS_H_

#include <string_view>

namespace kuronel {

// The colour table's name in words a user reads ("clInactiveCaption" is
// "非作業中のタイトルバー"); the settings file keeps the name. A name without
// words comes back as it is.
std::string_view ColourWords(std::string_view name);

}  // namespace kuronel

#endif  // KURONEL_UI_COLOUR_WORDS_H_
