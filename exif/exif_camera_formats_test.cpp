// RAW, CR3, HEIF and RAF photos: the date is read where each format keeps
// it, only when the reader is asked to, and a cut, looping or lying file
// reads without a read past its end and without a hang.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "exif/exif_info.h"
#include "testing/camera_file_builder.h"
#include "testing/temp_dir.h"

namespace kuronel {
namespace {

using testing::ByteOrder;
using testing::HeifLayout;
using testing::TiffBuilder;

// IFD0 with an Exif directory and a thumbnail directory, as RAW files have.
TiffBuilder RawTiff(ByteOrder order, std::string_view date) {
  TiffBuilder tiff(order);
  const int ifd0 = tiff.AddDirectory(), exif = tiff.AddDirectory();
  const int ifd1 = tiff.AddDirectory();
  tiff.Ascii(ifd0, 0x010F, "Maker")
      .Ascii(ifd0, 0x0132, "2001:01:01 01:01:01")
      .Pointer(ifd0, 0x8769, exif)
      .Next(ifd0, ifd1);
  tiff.Ascii(exif, 0x9003, date);
  tiff.Long(ifd1, 0x0201, 0);
  return tiff;
}

HeifLayout Layout(uint8_t iloc_version, uint8_t offset_size, bool in_idat) {
  HeifLayout layout;
  layout.iloc_version = iloc_version;
  layout.offset_size = offset_size;
  layout.in_idat = in_idat;
  return layout;
}

struct Sample {
  std::string name;
  std::string bytes;
  std::string date;  // DateTimeOriginal read with the option on
};

std::vector<Sample> DatedSamples() {
  const auto le = ByteOrder::kIntel, be = ByteOrder::kMotorola;
  const TiffBuilder heif = RawTiff(be, "2016:06:16 16:16:16");
  HeifLayout avif;
  avif.major_brand = "avif";
  avif.compatible = {"avif", "mif1", "miaf"};
  HeifLayout brand_only_compatible;
  brand_only_compatible.major_brand = "abcd";
  HeifLayout identifier_counted;  // offset 0, pointing at "Exif\0\0"
  identifier_counted.tiff_header_offset = 0;
  TiffBuilder cmt1, cmt2;
  cmt1.Ascii(cmt1.AddDirectory(), 0x010F, "Canon");
  cmt2.Ascii(cmt2.AddDirectory(), 0x9003, "2017:07:17 17:17:17");
  const std::string date = "2011:01:11 11:11:11";
  return {
      {"cr2_arw_srw.cr2", testing::TiffRaw(RawTiff(le, date)), date},
      {"nef_pef_dng.nef", testing::TiffRaw(RawTiff(be, date)), date},
      {"orf.orf", testing::TiffRaw(RawTiff(le, date), "RO"), date},
      {"orf_motorola.orf", testing::TiffRaw(RawTiff(be, date), "OR"), date},
      {"orf_rs.orf", testing::TiffRaw(RawTiff(le, date), "RS"), date},
      {"rw2.rw2", testing::TiffRaw(RawTiff(le, date), std::string("U\0", 2)),
       date},
      {"exif_past_64k.dng",
       testing::TiffRawWithFarExif(be, "2015:05:15 15:15:15", 200000),
       "2015:05:15 15:15:15"},
      {"iloc_v0.heic", testing::HeifPhoto(heif), "2016:06:16 16:16:16"},
      {"iloc_v1_idat.heic", testing::HeifPhoto(heif, Layout(1, 4, true)),
       "2016:06:16 16:16:16"},
      {"iloc_v2_wide.heic", testing::HeifPhoto(heif, Layout(2, 8, false)),
       "2016:06:16 16:16:16"},
      {"photo.avif", testing::HeifPhoto(heif, avif), "2016:06:16 16:16:16"},
      {"compatible.heif", testing::HeifPhoto(heif, brand_only_compatible),
       "2016:06:16 16:16:16"},
      {"identifier_counted.heic", testing::HeifPhoto(heif, identifier_counted),
       "2016:06:16 16:16:16"},
      {"photo.cr3", testing::Cr3Photo(cmt1, cmt2), "2017:07:17 17:17:17"},
      {"photo.raf",
       testing::RafPhoto(testing::ExifJpeg(RawTiff(be, "2018:08:18 18:18:18"))),
       "2018:08:18 18:18:18"},
  };
}

class CameraFormatsTest : public ::testing::Test {
 protected:
  // Reads `path` both ways (HasExif and a write of ImageFileName; one
  // ReadFileOnce) with the option as given, checks that they agree and
  // returns the date read ("" without one) and whether a block was found.
  std::pair<bool, std::string> ReadBothWays(const std::string& path,
                                            bool raw_and_heif) {
    TExifInfo three_calls(RealSystemCalls()), once(RealSystemCalls());
    three_calls.SetReadsRawAndHeif(raw_and_heif);
    once.SetReadsRawAndHeif(raw_and_heif);
    const bool has_exif = three_calls.HasExif(path);
    const Status status = three_calls.SetImageFileName(path);
    const ExifRead read = once.ReadFileOnce(path);
    EXPECT_EQ(read.has_exif(), has_exif) << path;
    EXPECT_EQ(read.ok(), status.ok()) << path;
    EXPECT_EQ(once.DateTimeOriginal(), three_calls.DateTimeOriginal()) << path;
    EXPECT_EQ(once.Make(), three_calls.Make()) << path;
    return {has_exif, once.DateTimeOriginal()};
  }

  testing::TempDir dir_;
};

TEST_F(CameraFormatsTest, EachFormatIsDatedOnlyWhenAsked) {
  for (const Sample& sample : DatedSamples()) {
    const std::string path = dir_.WriteFile(sample.name, sample.bytes);
    EXPECT_EQ(ReadBothWays(path, true), std::make_pair(true, sample.date))
        << sample.name;
    EXPECT_EQ(ReadBothWays(path, false), std::make_pair(false, std::string()))
        << sample.name;
  }
}

TEST_F(CameraFormatsTest, Cr3ReadsIfd0AndTheExifDirectoryApart) {
  TiffBuilder cmt1(ByteOrder::kMotorola), cmt2;
  const int ifd0 = cmt1.AddDirectory(), exif = cmt2.AddDirectory();
  cmt1.Ascii(ifd0, 0x010F, "Canon").Short(ifd0, 0x0112, 6);
  // In the Exif directory an orientation would be the thumbnail's.
  cmt2.Ascii(exif, 0x9003, "2017:07:17 17:17:17").Short(exif, 0x0112, 2);
  TExifInfo reader(RealSystemCalls());
  reader.SetReadsRawAndHeif(true);
  ASSERT_EQ(
      reader
          .ReadFileOnce(dir_.WriteFile("a.cr3", testing::Cr3Photo(cmt1, cmt2)))
          .outcome,
      ExifReadOutcome::kRead);
  EXPECT_EQ(reader.Make(), "Canon");
  EXPECT_EQ(reader.Orientation(), 6);
  EXPECT_EQ(reader.ThumbnailOrientation(), 2);
  EXPECT_EQ(reader.DateTimeOriginal(), "2017:07:17 17:17:17");
}

// A CR3 whose moov box gives its size in 64 bits: the right one, or
// `size_field` instead.
std::string Cr3WithLargeMoovSize(std::optional<uint64_t> size_field) {
  TiffBuilder cmt1, cmt2;
  cmt1.AddDirectory();
  cmt2.Ascii(cmt2.AddDirectory(), 0x9003, "2019:09:19 19:19:19");
  std::string file = testing::Cr3Photo(cmt1, cmt2);
  const size_t moov = file.find("moov") - 4;
  uint64_t size = 0;
  for (size_t i = 0; i < 4; ++i)
    size = size << 8 | static_cast<uint8_t>(file[moov + i]);
  // Size 1 says that the 64-bit size follows the type: 8 bytes more.
  file.replace(
      moov, 8,
      testing::Be32(1) + "moov" + testing::Be64(size_field.value_or(size + 8)));
  return file;
}

TEST_F(CameraFormatsTest, OddAndBrokenFilesAreReadOrRefusedSafely) {
  TiffBuilder no_exif_pointer;
  no_exif_pointer.Ascii(no_exif_pointer.AddDirectory(), 0x010F, "Maker");
  TiffBuilder looping(ByteOrder::kMotorola);
  const int ifd0 = looping.AddDirectory();
  looping.Ascii(ifd0, 0x9003, "2020:02:20 20:20:20")
      .Pointer(ifd0, 0x8769, ifd0)
      .Next(ifd0, ifd0);
  const TiffBuilder heif = RawTiff(ByteOrder::kIntel, "2016:06:16 16:16:16");
  HeifLayout no_item;
  no_item.with_exif_item = false;
  HeifLayout movie;  // an MP4 or MOV with the same boxes is no photo
  movie.major_brand = "isom";
  movie.compatible = {"isom", "mp41"};
  HeifLayout sequence;
  sequence.major_brand = "msf1";
  sequence.compatible = {"msf1", "hevc"};
  HeifLayout past_end;
  past_end.exif_extent_offset = 0xFFFFFF00;
  HeifLayout overflowing = Layout(2, 8, false);  // base 16 + this wraps
  overflowing.exif_extent_offset = 0xFFFFFFFFFFFFFFF8;
  HeifLayout long_length = Layout(2, 8, false);  // offset + this wraps
  long_length.exif_extent_length = ~uint64_t{0};
  std::string raf_past_end = testing::RafPhoto(testing::ExifJpeg(heif));
  raf_past_end.replace(84, 4, testing::Be32(0xFFFFFFF0));
  std::string wrong_uuid = testing::Cr3Photo(heif, heif);
  wrong_uuid[wrong_uuid.find("\x85\xc0\xb6\x87")] = 'x';

  const struct {
    const char* name;
    std::string bytes;
    bool has_exif;
    std::string date;
  } cases[] = {
      {"no_exif_pointer.cr2", testing::TiffRaw(no_exif_pointer), true, ""},
      {"looping.nef", testing::TiffRaw(looping), true, "2020:02:20 20:20:20"},
      {"large_size.cr3", Cr3WithLargeMoovSize(std::nullopt), true,
       "2019:09:19 19:19:19"},
      {"huge_size.cr3", Cr3WithLargeMoovSize(~uint64_t{0}), false, ""},
      {"no_item.heic", testing::HeifPhoto(heif, no_item), false, ""},
      {"movie.mp4", testing::HeifPhoto(heif, movie), false, ""},
      {"sequence.heic", testing::HeifPhoto(heif, sequence), false, ""},
      {"past_end.heic", testing::HeifPhoto(heif, past_end), false, ""},
      {"overflowing.heic", testing::HeifPhoto(heif, overflowing), false, ""},
      {"long_length.heic", testing::HeifPhoto(heif, long_length), true,
       "2016:06:16 16:16:16"},
      {"past_end.raf", raf_past_end, false, ""},
      {"wrong_uuid.cr3", wrong_uuid, false, ""},
      {"tiny_box.heic", testing::Be32(4) + "ftypheic", false, ""},
      {"bigtiff.tif", std::string("II+\0\x08\0\0\0", 8), false, ""},
  };
  for (const auto& c : cases) {
    const std::string path = dir_.WriteFile(c.name, c.bytes);
    EXPECT_EQ(ReadBothWays(path, true), std::make_pair(c.has_exif, c.date))
        << c.name;
  }
}

// Every sample cut short anywhere: no read past the end (the sanitizer
// build would see one), no hang, and a date either whole or not at all.
TEST_F(CameraFormatsTest, CutFilesReadBoundedAndAlikeBothWays) {
  for (const Sample& sample : DatedSamples()) {
    const std::string& bytes = sample.bytes;
    // Lengths through the boxes and directories (an odd step, so that every
    // field is cut somewhere in one sample or another), then a hundred more.
    const size_t step = std::max<size_t>(7, bytes.size() / 100);
    for (size_t length = 0; length < bytes.size();
         length += length < 600 ? 7 : step) {
      const std::string path =
          dir_.WriteFile("cut", std::string_view(bytes).substr(0, length));
      const std::string date = ReadBothWays(path, true).second;
      // A new file each time: truncating one makes ext4 write it out.
      std::filesystem::remove(path);
      EXPECT_TRUE(date.empty() || sample.date.starts_with(date))
          << sample.name << " cut at " << length << ": " << date;
    }
  }
}

TEST(CameraPhotoFileTest, RealHeifPhotosAreDated) {
  const struct {
    const char* name;
    const char* date;
  } photos[] = {{"Canon_40D.heic", "2021:07:04 09:30:15"},
                {"Nikon_D70.avif", "2022:11:23 18:45:07"}};
  for (const auto& photo : photos) {
    TExifInfo reader(RealSystemCalls());
    reader.SetReadsRawAndHeif(true);
    const ExifRead read = reader.ReadFileOnce(testing::TestDataDir() +
                                              "/camera-heif/" + photo.name);
    EXPECT_EQ(read.outcome, ExifReadOutcome::kRead) << photo.name;
    EXPECT_EQ(read.read_error, 0) << photo.name;
    EXPECT_EQ(reader.DateTimeOriginal(), photo.date) << photo.name;
  }
}

}  // namespace
}  // namespace kuronel
