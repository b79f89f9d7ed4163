// The directory walk: byte order, which directories are visited and in what
// order, and files whose structure is broken.

#include <gtest/gtest.h>

#include <string>

#include "testing/exif_test_support.h"

namespace kuronel {
namespace {

using std::string_literals::operator""s;
using testing::ByteOrder;
using testing::TiffBuilder;

// IFD0 -> Exif IFD -> Interoperability IFD, and IFD1 by IFD0's next link.
TiffBuilder StandardTiff(ByteOrder order) {
  TiffBuilder t(order);
  const int ifd0 = t.AddDirectory(), exif = t.AddDirectory(),
            ifd1 = t.AddDirectory(), interop = t.AddDirectory();
  t.Ascii(ifd0, 0x010F, "Canon").Ascii(ifd0, 0x0110, "Canon EOS 40D");
  t.Short(ifd0, 0x0112, 6).Rational(ifd0, 0x011A, 72, 1);
  t.Short(ifd0, 0x0128, 2).Pointer(ifd0, 0x8769, exif).Next(ifd0, ifd1);
  t.Rational(exif, 0x829A, 1, 160).Rational(exif, 0x829D, 71, 10);
  t.Short(exif, 0x8827, 400).Undefined(exif, 0x9000, "0221");
  t.Ascii(exif, 0x9003, "2008:05:30 15:56:01");
  t.SRational(exif, 0x9204, -1, 3).Short(exif, 0x9209, 7);
  t.Undefined(exif, 0x927C, "Nikon\0\x02\x10"s);
  t.Undefined(exif, 0x9286, "UNICODE\0\x30\x42"s);  // U+3042 or U+4230.
  t.Short(exif, 0xA001, 1).Long(exif, 0xA002, 3888).Long(exif, 0xA003, 2592);
  t.Pointer(exif, 0xA005, interop);
  t.Short(ifd1, 0x0103, 6).Rational(ifd1, 0x011A, 180, 1);
  t.Short(ifd1, 0x0112, 3).Short(ifd1, 0x0128, 3);
  t.Long(ifd1, 0x0201, 1090).Long(ifd1, 0x0202, 1378);
  t.Ascii(interop, 0x0001, "R98").Short(interop, 0x1001, 640);
  return t;
}

TEST_F(ExifFileTest, BigEndianTwinGivesTheSameValues) {
  TExifInfo little(RealSystemCalls());
  ASSERT_TRUE(
      little
          .SetImageFileName(dir_.WriteFile(
              "ii.jpg", testing::ExifJpeg(StandardTiff(ByteOrder::kIntel))))
          .ok());
  const TExifInfo& big = Read(StandardTiff(ByteOrder::kMotorola));
  EXPECT_FALSE(little.MotorolaOrder());
  EXPECT_TRUE(big.MotorolaOrder());

  EXPECT_EQ(big.Make(), "Canon");
  EXPECT_EQ(big.DateTimeOriginal(), "2008:05:30 15:56:01");
  EXPECT_EQ(big.ExposureBiasValueText(), "-1/3");
  EXPECT_EQ(big.ThumbnailXResolution(), 180);
  EXPECT_EQ(big.ThumbnailOrientation(), 4);
  EXPECT_EQ(big.JPEGInterchangeFormatLength(), 1378u);
  EXPECT_EQ(big.ImageWidth(), 3888u);
#define KURONEL_EXPECT_SAME(type, name) \
  EXPECT_EQ(little.name(), big.name()) << #name;
  KURONEL_EXIF_FIELDS(KURONEL_EXPECT_SAME)
#undef KURONEL_EXPECT_SAME
  // A Unicode comment follows the file's byte order: the same two bytes are
  // two different characters.
  EXPECT_EQ(little.UserComments(), std::vector<std::string>{"\xE4\x88\xB0"});
  EXPECT_EQ(big.UserComments(), std::vector<std::string>{"\xE3\x81\x82"});
}

TEST_F(ExifFileTest, OnlyTheFirstDirectoryFillsMainImageFields) {
  TiffBuilder t;
  const int ifd0 = t.AddDirectory(), exif = t.AddDirectory();
  t.Rational(ifd0, 0x011B, 300, 1).Pointer(ifd0, 0x8769, exif);
  // The Exif IFD counts as a thumbnail directory like IFD1.
  t.Rational(exif, 0x011B, 96, 1).Short(exif, 0x0112, 8);
  const TExifInfo& info = Read(t);
  EXPECT_EQ(info.YResolution(), 300);
  EXPECT_EQ(info.ThumbnailYResolutionText(), "96/1");
  EXPECT_EQ(info.Orientation(), 0);
  EXPECT_EQ(info.ThumbnailOrientation(), 8);
}

TEST_F(ExifFileTest, WalkFollowsExifAndInteropPointersButNotGps) {
  TiffBuilder t;
  const int ifd0 = t.AddDirectory(), gps = t.AddDirectory();
  t.Pointer(ifd0, 0x8825, gps);
  t.Ascii(gps, 0x9003, "2001:01:01 00:00:00");
  EXPECT_EQ(Read(t).DateTimeOriginal(), "");
}

TEST_F(ExifFileTest, EmptyDirectoryStillLinksToTheNext) {
  TiffBuilder t;
  const int ifd0 = t.AddDirectory(), ifd1 = t.AddDirectory();
  t.Next(ifd0, ifd1).Short(ifd1, 0x0103, 6);
  EXPECT_EQ(Read(t).CompressionText(), "JPEG");
}

TEST_F(ExifFileTest, LastOccurrenceWinsAndTypeUsesItsLowByte) {
  TiffBuilder t;
  const int ifd0 = t.AddDirectory();
  t.Ascii(ifd0, 0x010F, "First").Ascii(ifd0, 0x010F, "Second");
  t.Entry(ifd0, 0x0110, 0x0102, 4, "abc\0"s);  // 0x0102: ASCII.
  const TExifInfo& info = Read(t);
  EXPECT_EQ(info.Make(), "Second");
  EXPECT_EQ(info.Model(), "abc");
}

TEST_F(ExifFileTest, UnknownByteOrderMarkMeansLittleEndian) {
  TiffBuilder t(ByteOrder::kIntel);
  t.Short(t.AddDirectory(), 0x8827, 0x0102);
  t.ByteOrderMark("MI");
  const TExifInfo& info = Read(t);
  EXPECT_FALSE(info.MotorolaOrder());
  EXPECT_EQ(info.ISOSpeedRatings(), 0x0102);
}

// Each directory of a chain tells its visit by a numeric user comment.
TiffBuilder Chain(int length, int loop_back_to = -1) {
  TiffBuilder t;
  for (int i = 0; i < length; ++i) {
    const int dir = t.AddDirectory();
    t.Short(dir, 0x9286, static_cast<uint16_t>(dir));
    if (i > 0) t.Next(dir - 1, dir);
  }
  if (loop_back_to >= 0) t.Next(length - 1, loop_back_to);
  return t;
}

std::vector<std::string> Visits(int count) {
  std::vector<std::string> visits;
  for (int i = 0; i < count; ++i) visits.push_back(std::to_string(i));
  return visits;
}

TEST_F(ExifFileTest, WalkVisitsEachDirectoryOnceAndAtMostThirteen) {
  EXPECT_EQ(Read(Chain(13)).UserComments(), Visits(13));
  EXPECT_EQ(Read(Chain(20)).UserComments(), Visits(13));
  EXPECT_EQ(Read(Chain(3, 0)).UserComments(), Visits(3));  // Back to IFD0.
  EXPECT_EQ(Read(Chain(1, 0)).UserComments(), Visits(1));  // To itself.

  TiffBuilder pointers = Chain(2);
  pointers.Pointer(1, 0x8769, 0).Pointer(1, 0xA005, 1);
  EXPECT_EQ(Read(pointers).UserComments(), Visits(2));
}

TEST_F(ExifFileTest, DirectoryPastTheEndEndsTheWalk) {
  TiffBuilder t;
  const int ifd0 = t.AddDirectory(), ifd1 = t.AddDirectory();
  t.Ascii(ifd0, 0x010F, "Canon").Next(ifd0, ifd1);
  // Listed before IFD1, this one ends the walk: IFD1 is never reached.
  t.EntryWithField(ifd0, 0x8769, 4, 1, 0xFFFFFF00);
  t.Short(ifd1, 0x0103, 6);
  const TExifInfo& info = Read(t);
  EXPECT_EQ(info.Make(), "Canon");
  EXPECT_EQ(info.Compression(), 0u);

  TiffBuilder far_first;
  far_first.Ascii(far_first.AddDirectory(), 0x010F, "Canon");
  far_first.RawFirstOffset(0xFFFFFFFF);
  EXPECT_EQ(Read(far_first).Make(), "");
}

TEST_F(ExifFileTest, EntriesPastTheEndAreNotRead) {
  TiffBuilder t;
  const int ifd0 = t.AddDirectory();
  t.Ascii(ifd0, 0x010F, "abc").RawEntryCount(ifd0, 0xFFFF);
  EXPECT_EQ(Read(t).Make(), "abc");

  // The file ends in the middle of the second entry.
  TiffBuilder cut;
  const int dir = cut.AddDirectory();
  cut.Short(dir, 0x8827, 100).Short(dir, 0x0103, 6);
  const std::string jpeg = testing::JpegBuilder().Exif(cut).Build();
  const size_t second_entry = 2 + 10 + 8 + 2 + 12;
  const TExifInfo& info = Read(jpeg.substr(0, second_entry + 6));
  EXPECT_EQ(info.ISOSpeedRatings(), 100);
  EXPECT_EQ(info.Compression(), 0u);
}

TEST_F(ExifFileTest, HugeCountsAndOffsetsStayInsideTheFile) {
  TiffBuilder t;
  const int ifd0 = t.AddDirectory();
  t.EntryWithField(ifd0, 0x010F, 2, 0xFFFFFFFF, 0);  // From the TIFF start on.
  t.EntryWithField(ifd0, 0x9286, 7, 0xFFFFFFFF, 0xFFFFFFF0);
  t.EntryWithField(ifd0, 0x829A, 5, 0xFFFFFFFF, 0x7FFFFFFF);
  t.RawNext(ifd0, 0xFFFFFFFC);
  const std::string jpeg = testing::ExifJpeg(t);
  const TExifInfo& info = Read(jpeg);
  EXPECT_LE(info.Make().size(), jpeg.size());
  EXPECT_EQ(info.Make().substr(0, 2), "II");
  EXPECT_TRUE(info.UserComments().empty());  // Nothing there to decode.
  EXPECT_EQ(info.ExposureTimeText(), "");
}

TEST_F(ExifFileTest, MakerNotePositionIsAbsolute) {
  TiffBuilder t(ByteOrder::kMotorola);
  const int ifd0 = t.AddDirectory();
  t.Undefined(ifd0, 0x927C, "0123456789");
  const TExifInfo& info = Read(t);
  const std::string jpeg = testing::ExifJpeg(t);
  ASSERT_EQ(info.MakerNoteLength(), 10u);
  EXPECT_EQ(jpeg.substr(info.MakerNotePosition(), 10), "0123456789");

  // A short one's field is still taken as an offset, kept to 32 bits.
  TiffBuilder inline_note(ByteOrder::kMotorola);
  inline_note.EntryWithField(inline_note.AddDirectory(), 0x927C, 7, 2,
                             0xFFFFFFFF);
  const TExifInfo& short_note = Read(inline_note);
  EXPECT_EQ(short_note.MakerNoteLength(), 2u);
  EXPECT_EQ(short_note.MakerNotePosition(), 12u - 1);  // 12 + 0xFFFFFFFF.
}

}  // namespace
}  // namespace kuronel
