#ifndef KURONEL_SETTINGS_COLOUR_TABLE_H_
#define KURONEL_SETTINGS_COLOUR_TABLE_H_

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "settings/settings.h"

namespace kuronel {

struct ColourTableEntry {
  std::string_view Name;
  Colour Value;
};

// The named colours, in the order the detail settings window lists them: 16
// standard and 4 extended fixed colours (00BBGGRR), then the colours of the
// desktop scheme (FF000000 plus the role index) with the two special values
// clDefault and clNone among them in name order.
extern const std::array<ColourTableEntry, 52> ColourTable;

inline constexpr Colour kClNone = 0x1FFFFFFF;
inline constexpr Colour kClDefault = 0x20000000;

// A colour name (any letter case) or an integer (decimal, or hexadecimal
// after "$" or "0x"); nullopt for anything else.
std::optional<Colour> ColourFromText(std::string_view text);

// The colour's name from the table, else "$" and eight upper-case
// hexadecimal digits.
std::string ColourToText(Colour colour);

// The colour to paint with, as 0xRRGGBB. Desktop scheme roles take a fixed
// light scheme; clNone and clDefault paint white; any other value is read as
// 00BBGGRR from its low three bytes.
std::uint32_t ColourToRgb(Colour colour);

}  // namespace kuronel

#endif  // KURONEL_SETTINGS_COLOUR_TABLE_H_
