// Finding the Exif block: marker position, identifier, odd files, and what a
// write of ImageFileName leaves behind.

#include <gtest/gtest.h>

#include <string>

#include "testing/exif_test_support.h"

namespace kuronel {
namespace {

using testing::JpegBuilder;
using testing::TiffBuilder;

TiffBuilder DatedTiff(std::string_view date = "2004:05:12 14:23:01") {
  TiffBuilder tiff;
  tiff.Ascii(tiff.AddDirectory(), 0x9003, date);
  return tiff;
}

struct MarkerCase {
  size_t marker_offset;
  int32_t search_range;
  bool found;
};

class MarkerPositionTest : public ExifFileTest,
                           public ::testing::WithParamInterface<MarkerCase> {};

TEST_P(MarkerPositionTest, FindsApp1OnlyWithinSearchRange) {
  const MarkerCase& c = GetParam();
  JpegBuilder jpeg;
  if (c.marker_offset == 20) jpeg.App0();  // The standard JFIF segment.
  jpeg.PadTo(c.marker_offset).Exif(DatedTiff());
  ASSERT_EQ(jpeg.Build().substr(c.marker_offset, 2), "\xFF\xE1");
  exif_.SetSearchRange(c.search_range);
  const std::string path = dir_.WriteFile("photo.jpg", jpeg.Build());

  EXPECT_EQ(exif_.HasExif(path), c.found);
  ASSERT_TRUE(exif_.SetImageFileName(path).ok());
  EXPECT_EQ(exif_.DateTimeOriginal(), c.found ? "2004:05:12 14:23:01" : "");
  EXPECT_EQ(read_errors_, c.found ? 0 : 1);
}

INSTANTIATE_TEST_SUITE_P(
    Offsets, MarkerPositionTest,
    ::testing::Values(MarkerCase{2, 32, true}, MarkerCase{20, 32, true},
                      MarkerCase{31, 32, true}, MarkerCase{32, 32, false},
                      MarkerCase{32, 33, true}, MarkerCase{33, 33, false},
                      // The pair at offset 2 is examined whatever the range.
                      MarkerCase{2, 0, true}, MarkerCase{2, -7, true},
                      MarkerCase{3, 0, false}, MarkerCase{3, 4, true}));

TEST_F(ExifFileTest, IdentifierIsExifUpToItsFirstNulInAnyCase) {
  const std::string tiff = DatedTiff().Build();
  const struct {
    std::string identifier;
    bool found;
  } cases[] = {
      {std::string("Exif\0\0", 6), true},   {std::string("EXIF\0\0", 6), true},
      {std::string("eXiF\0X", 6), true},    {"Exifab", false},
      {std::string("Exi\0\0\0", 6), false}, {std::string("JFIF\0\0", 6), false},
  };
  for (const auto& c : cases) {
    const std::string path = dir_.WriteFile(
        "photo.jpg", JpegBuilder().App1(c.identifier, tiff).Build());
    EXPECT_EQ(exif_.HasExif(path), c.found) << c.identifier;
  }
}

TEST_F(ExifFileTest, ScanStopsAtTheFirstApp1EvenAForeignOne) {
  const std::string path =
      dir_.WriteFile("photo.jpg", JpegBuilder()
                                      .App1("http:/", "/ns.adobe.com/xap/1.0/")
                                      .Exif(DatedTiff())
                                      .Build());
  EXPECT_FALSE(exif_.HasExif(path));
  ASSERT_TRUE(exif_.SetImageFileName(path).ok());
  EXPECT_EQ(read_errors_, 1);
}

TEST_F(ExifFileTest, JudgesContentNotName) {
  const std::string jpeg = testing::ExifJpeg(DatedTiff());
  EXPECT_TRUE(exif_.HasExif(dir_.WriteFile("MVI_0001.THM", jpeg)));
  EXPECT_TRUE(exif_.HasExif(dir_.WriteFile("data.dat", jpeg)));
  EXPECT_TRUE(exif_.HasExif(dir_.WriteFile("no_extension", jpeg)));

  EXPECT_FALSE(exif_.HasExif(dir_.WriteFile("empty.jpg", "")));
  EXPECT_FALSE(exif_.HasExif(dir_.WriteFile("one_byte.jpg", "\xFF")));
  EXPECT_FALSE(exif_.HasExif(dir_.WriteFile("soi_only.jpg", "\xFF\xD8\xFF")));
  EXPECT_FALSE(exif_.HasExif(dir_.WriteFile("image.png", "\x89PNG\r\n\x1A\n")));
  EXPECT_FALSE(exif_.HasExif(dir_.MakeDir("folder.jpg")));
  EXPECT_FALSE(exif_.HasExif(dir_.Path("missing.jpg")));
  EXPECT_FALSE(exif_.HasExif(""));
}

TEST_F(ExifFileTest, EveryWriteClearsTheValuesOfTheFileBefore) {
  const std::string a = dir_.WriteFile("a.jpg", testing::ExifJpeg(DatedTiff()));
  const std::string b = dir_.WriteFile("b.jpg", "not a photo");
  TiffBuilder without_date;
  without_date.Ascii(without_date.AddDirectory(), 0x010F, "Canon");
  const std::string c =
      dir_.WriteFile("c.jpg", testing::ExifJpeg(without_date));

  ASSERT_TRUE(exif_.SetImageFileName(a).ok());
  EXPECT_EQ(exif_.DateTimeOriginal(), "2004:05:12 14:23:01");
  // HasExif leaves the values alone.
  EXPECT_TRUE(exif_.HasExif(c));
  EXPECT_EQ(exif_.DateTimeOriginal(), "2004:05:12 14:23:01");

  ASSERT_TRUE(exif_.SetImageFileName(b).ok());
  EXPECT_EQ(exif_.ImageFileName(), b);
  EXPECT_EQ(exif_.DateTimeOriginal(), "");
  EXPECT_EQ(read_errors_, 1);

  ASSERT_TRUE(exif_.SetImageFileName(c).ok());
  EXPECT_EQ(exif_.DateTimeOriginal(), "");
  EXPECT_EQ(exif_.Make(), "Canon");
  EXPECT_EQ(read_errors_, 1);

  // The same name again reads the file anew.
  dir_.WriteFile("c.jpg", testing::ExifJpeg(DatedTiff("2010:01:02 03:04:05")));
  ASSERT_TRUE(exif_.SetImageFileName(c).ok());
  EXPECT_EQ(exif_.DateTimeOriginal(), "2010:01:02 03:04:05");
  EXPECT_EQ(exif_.Make(), "");
}

TEST_F(ExifFileTest, CutTiffHeaderIsAnErrorWithoutReadErrorEvent) {
  Read(DatedTiff());
  ASSERT_EQ(exif_.DateTimeOriginal(), "2004:05:12 14:23:01");
  // The block is found but its TIFF header has one byte.
  for (std::string_view tail : {"", "I"}) {
    const std::string path =
        dir_.WriteFile("cut.jpg", std::string("\xFF\xD8\xFF\xE1\x00\x10"
                                              "Exif\0\0",
                                              12) +
                                      std::string(tail));
    EXPECT_TRUE(exif_.HasExif(path));
    EXPECT_FALSE(exif_.SetImageFileName(path).ok());
    EXPECT_EQ(exif_.DateTimeOriginal(), "");
  }
  EXPECT_EQ(read_errors_, 0);
}

TEST_F(ExifFileTest, ReadOfAFileThatVanishedIsAnError) {
  ASSERT_TRUE(exif_.SetImageFileName(dir_.Path("gone.jpg")).ok());
  EXPECT_EQ(read_errors_, 1);
  // As when the file goes between locating the block and reading it.
  EXPECT_FALSE(exif_.ReadDirectories(12).ok());
}

TEST(ExifDefaultsTest, NewReaderIsEmpty) {
  TExifInfo exif(RealSystemCalls());
  EXPECT_EQ(exif.SearchRange(), 32);
  EXPECT_EQ(exif.ImageFileName(), "");
  EXPECT_EQ(exif.DateTimeOriginal(), "");
  EXPECT_TRUE(exif.UserComments().empty());
  // Without a handler a missing block is no error.
  EXPECT_TRUE(exif.SetImageFileName("/nonexistent/photo.jpg").ok());
}

}  // namespace
}  // namespace kuronel
