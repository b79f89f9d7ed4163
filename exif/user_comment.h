#ifndef KURONEL_EXIF_USER_COMMENT_H_
#define KURONEL_EXIF_USER_COMMENT_H_

#include <string>
#include <string_view>

namespace kuronel {

// Decodes hexadecimal digits two at a time into bytes and keeps the non-zero
// ones (an odd last digit is ignored, and so is a pair that is not two
// hexadecimal digits). "30323230" gives "0220".
std::string HexToText(std::string_view hex);

// Decodes the hexadecimal text of an UNDEFINED UserComment into UTF-8. Its
// first 8 bytes name the character code: "ASCII" (bytes kept as they are,
// zero bytes dropped), "UNICODE" (UTF-16 in the file's byte order),
// "JIS" (ISO-2022-JP, converted through Shift_JIS); any other code gives an
// empty line.
std::string DecodeUserComment(std::string_view hex, bool motorola_order);

// Decodes JIS (ISO-2022-JP style escapes, SO/SI) bytes into Shift_JIS bytes.
// Zero bytes are data like any other.
std::string JisToShiftJis(std::string_view jis);

}  // namespace kuronel

#endif  // KURONEL_EXIF_USER_COMMENT_H_
