#ifndef KURONEL_PLATFORM_CP932_H_
#define KURONEL_PLATFORM_CP932_H_

#include <optional>
#include <string>
#include <string_view>

namespace kuronel {

// Texts are UTF-8 inside the program; CP932 (Shift_JIS as Windows writes it)
// is used where its bytes matter: old settings files, Exif user comments and
// the sort order of the lists.

// Converts CP932 bytes to UTF-8. A byte sequence without a CP932 meaning
// becomes U+FFFD, so the result is always valid UTF-8.
std::string Cp932ToUtf8(std::string_view cp932);

// Converts UTF-8 to CP932; nullopt when the text is not valid UTF-8 or holds a
// character that CP932 cannot represent.
std::optional<std::string> Utf8ToCp932(std::string_view utf8);

// Converts one Unicode code point to its CP932 bytes (one or two); nullopt
// when CP932 has no form for it.
std::optional<std::string> CodePointToCp932(char32_t code_point);

// Appends the UTF-8 form of one Unicode code point.
void AppendUtf8(char32_t code_point, std::string& out);

// The length of the well-formed UTF-8 sequence at `text[i]` and its code
// point; 0 when none starts there (overlong forms and surrogates included).
std::size_t DecodeUtf8(std::string_view text, std::size_t i,
                       char32_t& code_point);

// True when the bytes are well-formed UTF-8.
bool IsValidUtf8(std::string_view bytes);

// Shows a file name that need not be UTF-8: the bytes as they are when they
// are valid UTF-8, else decoded as CP932 (Shift_JIS names of old cards).
std::string DisplayName(std::string_view bytes);

// Shows a path whose names need not be UTF-8: each name between the "/"
// separators as DisplayName shows it, so a Shift_JIS folder below UTF-8 ones
// leaves their names readable. A "/" byte is never part of a Shift_JIS
// character, so the path can be split first.
std::string DisplayPath(std::string_view path);

}  // namespace kuronel

#endif  // KURONEL_PLATFORM_CP932_H_
