#include "settings/colour_table.h"

#include <cstdio>

#include "platform/text.h"
#include "settings/settings_file.h"

namespace kuronel {
namespace {

constexpr Colour kSystemColour = 0xFF000000;

constexpr Colour System(Colour index) { return kSystemColour + index; }

// The painted RGB of each desktop scheme role, by role index: the light
// scheme of the classic desktop. Index 25 names no role.
constexpr std::array<std::uint32_t, 31> kSystemRgb = {
    0xC8C8C8,  //  0 clScrollBar
    0x000000,  //  1 clBackground
    0x99B4D1,  //  2 clActiveCaption
    0xBFCDDB,  //  3 clInactiveCaption
    0xF0F0F0,  //  4 clMenu
    0xFFFFFF,  //  5 clWindow
    0x646464,  //  6 clWindowFrame
    0x000000,  //  7 clMenuText
    0x000000,  //  8 clWindowText
    0x000000,  //  9 clCaptionText
    0xB4B4B4,  // 10 clActiveBorder
    0xF4F7FC,  // 11 clInactiveBorder
    0xABABAB,  // 12 clAppWorkSpace
    0x3399FF,  // 13 clHighlight
    0xFFFFFF,  // 14 clHighlightText
    0xF0F0F0,  // 15 clBtnFace
    0xA0A0A0,  // 16 clBtnShadow
    0x6D6D6D,  // 17 clGrayText
    0x000000,  // 18 clBtnText
    0x434E54,  // 19 clInactiveCaptionText
    0xFFFFFF,  // 20 clBtnHighlight
    0x696969,  // 21 cl3DDkShadow
    0xE3E3E3,  // 22 cl3DLight
    0x000000,  // 23 clInfoText
    0xFFFFE1,  // 24 clInfoBk
    0xFFFFFF,  // 25 (no role)
    0x0066CC,  // 26 clHotLight
    0xB9D1EA,  // 27 clGradientActiveCaption
    0xD7E4F2,  // 28 clGradientInactiveCaption
    0x3399FF,  // 29 clMenuHighlight
    0xF0F0F0,  // 30 clMenuBar
};

}  // namespace

const std::array<ColourTableEntry, 52> ColourTable = {{
    {"clBlack", 0x000000},
    {"clMaroon", 0x000080},
    {"clGreen", 0x008000},
    {"clOlive", 0x008080},
    {"clNavy", 0x800000},
    {"clPurple", 0x800080},
    {"clTeal", 0x808000},
    {"clGray", 0x808080},
    {"clSilver", 0xC0C0C0},
    {"clRed", 0x0000FF},
    {"clLime", 0x00FF00},
    {"clYellow", 0x00FFFF},
    {"clBlue", 0xFF0000},
    {"clFuchsia", 0xFF00FF},
    {"clAqua", 0xFFFF00},
    {"clWhite", 0xFFFFFF},
    {"clMoneyGreen", 0xC0DCC0},
    {"clSkyBlue", 0xF0CAA6},
    {"clCream", 0xF0FBFF},
    {"clMedGray", 0xA4A0A0},
    {"clActiveBorder", System(10)},
    {"clActiveCaption", System(2)},
    {"clAppWorkSpace", System(12)},
    {"clBackground", System(1)},
    {"clBtnFace", System(15)},
    {"clBtnHighlight", System(20)},
    {"clBtnShadow", System(16)},
    {"clBtnText", System(18)},
    {"clCaptionText", System(9)},
    {"clDefault", kClDefault},
    {"clGradientActiveCaption", System(27)},
    {"clGradientInactiveCaption", System(28)},
    {"clGrayText", System(17)},
    {"clHighlight", System(13)},
    {"clHighlightText", System(14)},
    {"clHotLight", System(26)},
    {"clInactiveBorder", System(11)},
    {"clInactiveCaption", System(3)},
    {"clInactiveCaptionText", System(19)},
    {"clInfoBk", System(24)},
    {"clInfoText", System(23)},
    {"clMenu", System(4)},
    {"clMenuBar", System(30)},
    {"clMenuHighlight", System(29)},
    {"clMenuText", System(7)},
    {"clNone", kClNone},
    {"clScrollBar", System(0)},
    {"cl3DDkShadow", System(21)},
    {"cl3DLight", System(22)},
    {"clWindow", System(5)},
    {"clWindowFrame", System(6)},
    {"clWindowText", System(8)},
}};

std::optional<Colour> ColourFromText(std::string_view text) {
  for (const ColourTableEntry& entry : ColourTable)
    if (SameIgnoringAsciiCase(entry.Name, text)) return entry.Value;
  return ReadIntegerText(text);
}

std::string ColourToText(Colour colour) {
  for (const ColourTableEntry& entry : ColourTable)
    if (entry.Value == colour) return std::string(entry.Name);
  char text[10];
  std::snprintf(text, sizeof text, "$%08X", static_cast<unsigned>(colour));
  return text;
}

std::uint32_t ColourToRgb(Colour colour) {
  if (colour == kClNone || colour == kClDefault) return 0xFFFFFF;
  if (colour >= kSystemColour && colour - kSystemColour < kSystemRgb.size())
    return kSystemRgb[colour - kSystemColour];
  std::uint32_t red = colour & 0xFF;
  std::uint32_t green = (colour >> 8) & 0xFF;
  std::uint32_t blue = (colour >> 16) & 0xFF;
  return red << 16 | green << 8 | blue;
}

}  // namespace kuronel
