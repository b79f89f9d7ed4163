#include "platform/name_folding.h"

#include "gtest/gtest.h"
#include "platform/drive_facts.h"

namespace kuronel {
namespace {

// A stored exFAT table folding a-z, é to É and Cyrillic я to Я; every other
// unit its own upper case, in runs written as 0xFFFF and a count.
std::string StoredTable() {
  std::string stored;
  const auto unit = [&](char16_t u) {
    stored += static_cast<char>(u & 0xFF);
    stored += static_cast<char>(u >> 8);
  };
  const auto same = [&](char16_t count) {
    unit(0xFFFF);
    unit(count);
  };
  same(u'a');
  for (char16_t u = u'a'; u <= u'z'; ++u) unit(u - 32);
  same(0xE9 - (u'z' + 1));
  unit(0xC9);  // é
  same(0x44F - 0xEA);
  unit(0x42F);  // я
  return stored;
}

TEST(NameFoldingTest, NamesFoldAsTheirDriveFoldsThem) {
  UpcaseTable exfat;
  ASSERT_TRUE(UpcaseTable::FromExfat(StoredTable(), exfat));
  const UpcaseTable fat = UpcaseTable::AsciiOnly();
  struct Case {
    const char* name;
    const char* on_fat;
    const char* on_exfat;
  };
  const Case cases[] = {
      {"img_0001.jpg", "IMG_0001.JPG", "IMG_0001.JPG"},
      {"/DCIM/été", "/DCIM/éTé", "/DCIM/ÉTÉ"},
      {"фото_я", "фото_я", "фото_Я"},
      // No UTF-8 (Shift-JIS), and a character beyond the plane: kept.
      {"\x82\xa0x", "\x82\xa0X", "\x82\xa0X"},
      {"a\xF0\x9F\x93\xB7z", "A\xF0\x9F\x93\xB7Z", "A\xF0\x9F\x93\xB7Z"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FoldedName(c.name, fat), c.on_fat) << c.name;
    EXPECT_EQ(FoldedName(c.name, exfat), c.on_exfat) << c.name;
  }
}

TEST(NameFoldingTest, OnlyATableThatFoldsAsciiIsTaken) {
  std::string identity;
  identity += "\xFF\xFF\xFF\xFF";  // 65535 units of their own
  UpcaseTable table = UpcaseTable::AsciiOnly();
  EXPECT_FALSE(UpcaseTable::FromExfat(identity, table));
  EXPECT_FALSE(UpcaseTable::FromExfat("", table));
  EXPECT_EQ(table.Upper(u'a'), u'A');  // left as it was
  EXPECT_EQ(ExfatTableChecksum(std::string("\x01\x02", 2)), 0x80000002u);
}

TEST(NameFoldingTest, PathKeysFoldOnlyWhereTheDriveIsKnown) {
  const UpcaseTable fat = UpcaseTable::AsciiOnly();
  EXPECT_EQ(DrivePathKey("/DCIM/IMG_0001.JPG", &fat),
            DrivePathKey("/dcim/img_0001.jpg", &fat));
  EXPECT_NE(DrivePathKey("/DCIM/IMG_0001.JPG", nullptr),
            DrivePathKey("/DCIM/img_0001.jpg", nullptr));
  EXPECT_NE(DrivePathKey("", nullptr), 0u);
}

}  // namespace
}  // namespace kuronel
