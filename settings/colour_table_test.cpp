#include "settings/colour_table.h"

#include <gtest/gtest.h>

namespace kuronel {
namespace {

TEST(ColourTableTest, HoldsTheNamedColoursInListOrder) {
  const ColourTableEntry expected[] = {
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
      {"clActiveBorder", 0xFF000000 + 10},
      {"clActiveCaption", 0xFF000000 + 2},
      {"clAppWorkSpace", 0xFF000000 + 12},
      {"clBackground", 0xFF000000 + 1},
      {"clBtnFace", 0xFF000000 + 15},
      {"clBtnHighlight", 0xFF000000 + 20},
      {"clBtnShadow", 0xFF000000 + 16},
      {"clBtnText", 0xFF000000 + 18},
      {"clCaptionText", 0xFF000000 + 9},
      {"clDefault", 0x20000000},
      {"clGradientActiveCaption", 0xFF000000 + 27},
      {"clGradientInactiveCaption", 0xFF000000 + 28},
      {"clGrayText", 0xFF000000 + 17},
      {"clHighlight", 0xFF000000 + 13},
      {"clHighlightText", 0xFF000000 + 14},
      {"clHotLight", 0xFF000000 + 26},
      {"clInactiveBorder", 0xFF000000 + 11},
      {"clInactiveCaption", 0xFF000000 + 3},
      {"clInactiveCaptionText", 0xFF000000 + 19},
      {"clInfoBk", 0xFF000000 + 24},
      {"clInfoText", 0xFF000000 + 23},
      {"clMenu", 0xFF000000 + 4},
      {"clMenuBar", 0xFF000000 + 30},
      {"clMenuHighlight", 0xFF000000 + 29},
      {"clMenuText", 0xFF000000 + 7},
      {"clNone", 0x1FFFFFFF},
      {"clScrollBar", 0xFF000000 + 0},
      {"cl3DDkShadow", 0xFF000000 + 21},
      {"cl3DLight", 0xFF000000 + 22},
      {"clWindow", 0xFF000000 + 5},
      {"clWindowFrame", 0xFF000000 + 6},
      {"clWindowText", 0xFF000000 + 8},
  };
  ASSERT_EQ(std::size(expected), ColourTable.size());
  for (size_t i = 0; i < ColourTable.size(); ++i) {
    EXPECT_EQ(ColourTable[i].Name, expected[i].Name) << i;
    EXPECT_EQ(ColourTable[i].Value, expected[i].Value) << expected[i].Name;
    // Every entry survives the trip through the file.
    EXPECT_EQ(ColourToText(ColourTable[i].Value), ColourTable[i].Name);
    EXPECT_EQ(ColourFromText(ColourTable[i].Name), ColourTable[i].Value);
  }
  EXPECT_EQ(kClInactiveCaption, 0xFF000003u);
}

TEST(ColourTableTest, ReadsNamesInAnyCaseAndNumbers) {
  struct Case {
    const char* text;
    std::optional<Colour> colour;
  } cases[] = {
      {"clRed", 0x0000FF},       {"clred", 0x0000FF},
      {"CLRED", 0x0000FF},       {"CLINACTIVECAPTION", 0xFF000003},
      {"$00FF0000", 0xFF0000},   {"255", 0x0000FF},
      {"-16777201", 0xFF00000F}, {"clRedd", std::nullopt},
      {"red", std::nullopt},     {"", std::nullopt},
      {"$GG", std::nullopt},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ColourFromText(c.text), c.colour) << c.text;
}

TEST(ColourTableTest, WritesUnnamedColoursAsHexadecimal) {
  EXPECT_EQ(ColourToText(0xFF0000), "clBlue");
  EXPECT_EQ(ColourToText(0x123456), "$00123456");
  EXPECT_EQ(ColourToText(0xFF0000AB), "$FF0000AB");
  EXPECT_EQ(ColourFromText(ColourToText(0xFF0000AB)), 0xFF0000ABu);
}

TEST(ColourTableTest, PaintsEveryColourAsRgb) {
  struct Case {
    Colour colour;
    std::uint32_t rgb;
  } cases[] = {
      {0x0000FF, 0xFF0000},    // clRed
      {0xFF0000, 0x0000FF},    // clBlue
      {0xF0CAA6, 0xA6CAF0},    // clSkyBlue
      {0xFF000003, 0xBFCDDB},  // clInactiveCaption
      {0xFF00000F, 0xF0F0F0},  // clBtnFace
      {0xFF000005, 0xFFFFFF},  // clWindow
      {0xFF00000D, 0x3399FF},  // clHighlight
      {0xFF00001E, 0xF0F0F0},  // clMenuBar, the last role
      {0x1FFFFFFF, 0xFFFFFF},  // clNone
      {0x20000000, 0xFFFFFF},  // clDefault
      {0xFF00001F, 0x1F0000},  // past the last role: its low bytes
      {0x12345678, 0x785634},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ColourToRgb(c.colour), c.rgb) << std::hex << c.colour;
}

}  // namespace
}  // namespace kuronel
