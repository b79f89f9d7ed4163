#include "settings/colour_table.h"

#include <gtest/gtest.h>

#include <string>

#include "settings/settings.h"

namespace kuronel {
namespace {

// The settings file stores a colour by its name: every named colour is
// written as its name and read back as the same colour. A name (in any
// letter case) or a value listed twice would break one of the two trips.
TEST(ColourTableTest, EveryNamedColourSurvivesTheSettingsFile) {
  for (const ColourTableEntry& entry : ColourTable) {
    const std::string name(entry.Name);
    EXPECT_EQ(ColourToText(entry.Value), name);
    EXPECT_EQ(ColourFromText(name), entry.Value) << name;
  }
  // The colour of checked rows before the user chooses one has a name.
  for (const Colour fresh :
       {Settings().TargetBackColour, DetailSettings().TargetBackColour})
    EXPECT_EQ(ColourToText(fresh), "clInactiveCaption");
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
