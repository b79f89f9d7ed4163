#ifndef KURONEL_PLATFORM_TEXT_H_
#define KURONEL_PLATFORM_TEXT_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace kuronel {

// The letters A-Z as a-z, and back; every other byte, including each byte of
// a UTF-8 or CP932 character, stays as it is, whatever the locale.
char AsciiLower(char c);
char AsciiUpper(char c);

// True when the two texts are equal once A-Z and a-z count as one (file
// extensions, settings names, Exif codes).
bool SameIgnoringAsciiCase(std::string_view a, std::string_view b);

// The status line's bar of `cells` squares: `filled` black ones "■", then
// white ones "□" (all black when `filled` is `cells` or more).
std::string ProgressBar(std::size_t filled, std::size_t cells = 10);

// A bar of `cells` white squares "□" with one black square "■" marking
// `position` (none when it lies past the last cell).
std::string MarkerBar(std::size_t position, std::size_t cells = 10);

}  // namespace kuronel

#endif  // KURONEL_PLATFORM_TEXT_H_
