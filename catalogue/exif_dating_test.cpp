// Dating by Exif with RAW and HEIF photos read or not, by one pass and by the
// reader threads alike.

#include "catalogue/exif_dating.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "catalogue/catalogue_dates.h"
#include "testing/camera_file_builder.h"
#include "testing/temp_dir.h"

namespace kuronel {
namespace {

using testing::TiffBuilder;

TiffBuilder Dated(std::string_view date) {
  TiffBuilder tiff;
  const int ifd0 = tiff.AddDirectory(), exif = tiff.AddDirectory();
  tiff.Pointer(ifd0, 0x8769, exif).Ascii(exif, 0x9003, date);
  return tiff;
}

TEST(ExifDatingTest, RawAndHeifPhotosAreDatedByExifOnlyWhenAsked) {
  testing::TempDir dir;
  testing::HeifLayout movie;
  movie.major_brand = "isom";
  movie.compatible = {"isom", "mp41"};
  const struct {
    const char* name;
    std::string bytes;
    DateKey exif_date;
    bool raw_or_heif;  // dated by Exif only with the option
  } files[] = {
      {"a.jpg",
       testing::ExifJpeg(Dated("2004:05:12 10:20:30")),
       {2004, 5, 12, 10, 20, 30},
       false},
      {"b.heic",
       testing::HeifPhoto(Dated("2016:06:16 16:16:16")),
       {2016, 6, 16, 16, 16, 16},
       true},
      {"c.cr2",
       testing::TiffRaw(Dated("2011:01:11 11:11:11")),
       {2011, 1, 11, 11, 11, 11},
       true},
      {"d.mp4",
       testing::HeifPhoto(Dated("2019:09:09 09:09:09"), movie),
       {},
       false},
      // A RAW's layout under a name that is no RAW's: a TIFF scan.
      {"e.tif", testing::TiffRaw(Dated("2012:02:12 12:12:12")), {}, false},
  };
  constexpr std::int64_t kModified = 1000000000;  // 2001, whatever the zone
  const DateKey file_time = FileTimeDateKey(kModified, RealSystemCalls());
  // Few files take one pass; many start the reader threads.
  for (const size_t copies : {1, 20}) {
    FolderListings listings;
    for (size_t copy = 0; copy < copies; ++copy) {
      for (const auto& file : files) {
        const std::string name = std::to_string(copy) + file.name;
        dir.WriteFile(name, file.bytes);
        listings.Add(0, name, kModified, FileIdentity{});
      }
    }
    for (const bool raw_and_heif : {false, true}) {
      SCOPED_TRACE(std::to_string(copies) + " copies, option " +
                   (raw_and_heif ? "on" : "off"));
      const std::vector<FileDate> dates =
          DateFilesByExif(listings, {dir.path() + "/"}, RealSystemCalls(),
                          raw_and_heif, [](size_t) {});
      ASSERT_EQ(dates.size(), listings.FileCount());
      for (size_t i = 0; i < dates.size(); ++i) {
        const auto& file = files[i % std::size(files)];
        const bool by_exif =
            file.exif_date.year != 0 && (raw_and_heif || !file.raw_or_heif);
        EXPECT_EQ(dates[i].key, by_exif ? file.exif_date : file_time)
            << file.name;
        EXPECT_EQ(dates[i].read_error, 0) << file.name;
      }
    }
  }
}

}  // namespace
}  // namespace kuronel
