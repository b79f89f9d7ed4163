// Real camera files checked against values read with `exiftool -n`, and
// every sample and fuzzing find read without trouble.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "exif/exif_info.h"
#include "testing/temp_dir.h"

namespace kuronel {
namespace {

namespace fs = std::filesystem;

std::string CameraDir() { return testing::TestDataDir() + "/camera-jpegs"; }

// Expected values come from exiftool, with this reader's meaning: Orientation
// has codes 3 and 4 exchanged; ImageWidth/Height are ExifImageWidth/Height
// (0xA002/0xA003); ISOSpeedRatings is the Exif IFD's ISO, replaced by its
// ExposureIndex rounded (Samsung); Make and Model are the stored bytes
// without NULs, trailing blanks kept (exiftool -v3 shows them).
struct CameraCase {
  const char* file;
  bool motorola;
  const char* date_time_original;
  const char* make;
  const char* model;
  uint8_t orientation;
  double exposure_time;
  double f_number;
  uint16_t iso;
  uint32_t width, height;
};

// clang-format off
const CameraCase kCameras[] = {
    {"Canon_40D.jpg", false, "2008:05:30 15:56:01", "Canon", "Canon EOS 40D", 1, 0.00625, 7.1, 100, 100, 68},
    {"Canon_40D_photoshop_import.jpg", true, "", "", "", 1, 0, 0, 0, 100, 77},
    {"Canon_DIGITAL_IXUS_400.jpg", false, "2004:08:27 13:52:55", "Canon", "Canon DIGITAL IXUS 400", 0, 0.005, 10, 0, 100, 75},
    {"Canon_PowerShot_S40.jpg", false, "2003:12:14 12:01:44", "Canon", "Canon PowerShot S40", 1, 0.002, 4.9, 0, 2272, 1704},
    {"Fujifilm_FinePix6900ZOOM.jpg", true, "2001:02:19 06:40:05", "FUJIFILM", "FinePix6900ZOOM", 1, 0, 4, 100, 100, 75},
    {"Fujifilm_FinePix_E500.jpg", true, "2006:08:17 09:24:48", "FUJIFILM", "FinePix E500   ", 1, 0.0125, 2.9, 100, 59, 100},
    {"Kodak_CX7530.jpg", false, "2005:08:13 09:47:23", "EASTMAN KODAK COMPANY", "KODAK CX7530 ZOOM DIGITAL CAMERA", 1, 0.004, 4.6, 80, 100, 78},
    {"Konica_Minolta_DiMAGE_Z3.jpg", true, "2005:03:10 15:10:48", "KONICA MINOLTA ", "DiMAGE Z3", 1, 0.025, 2.8, 200, 70, 100},
    {"Nikon_COOLPIX_P1.jpg", false, "2008:03:07 09:55:46", "NIKON", "COOLPIX P1", 1, 0.004572473708, 6, 50, 100, 75},
    {"Nikon_D70.jpg", false, "2008:03:15 09:52:01", "NIKON CORPORATION", "NIKON D70", 1, 0.005, 9, 200, 100, 66},
    {"Olympus_C8080WZ.jpg", false, "2006:10:22 15:44:29", "OLYMPUS CORPORATION", "C8080WZ", 1, 0.00625, 2.8, 50, 100, 72},
    {"PaintTool_sample.jpg", false, "", "", "", 1, 0, 0, 0, 88, 100},
    {"Panasonic_DMC-FZ30.jpg", false, "2008:07:16 11:33:20", "Panasonic", "DMC-FZ30", 1, 0.03333333333, 3.2, 100, 100, 75},
    {"Pentax_K10D.jpg", false, "2008:05:04 16:47:24", "PENTAX Corporation ", "PENTAX K10D        ", 1, 0.005555555556, 11, 200, 100, 72},
    // Its DateTimeOriginal lives only in the maker note.
    {"Reconyx_HC500_Hyperfire.jpg", false, "", "", "", 0, 0.0181372549, 0, 100, 2048, 1536},
    {"Ricoh_Caplio_RR330.jpg", false, "2004:08:31 19:52:58", "Caplio ", "RR330      ", 0, 0.0303030303, 2.88, 100, 100, 75},
    // ISO 150, then ExposureIndex 1.
    {"Samsung_Digimax_i50_MP3.jpg", false, "2006:08:15 17:50:57", "Samsung Techwin", "<Digimax i50 MP3, Samsung #1 MP3>", 1, 0.1666666667, 3.5, 1, 100, 75},
    {"Sony_HDR-HC3.jpg", false, "2007:06:15 04:42:32", "SONY", "HDR-HC3", 1, 0.01666666667, 4, 0, 100, 64},
    // The model is stored as "ION230", NUL, "F".
    {"WWL_(Polaroid)_ION230.jpg", false, "2026:11:24 14:41:16", "WWL     ", "ION230F", 1, 0.03003003003, 2.8, 100, 75, 100},
    {"corrupted.jpg", false, "2015:09:08 11:02:17", "OLYMPUS IMAGING CORP.  ", "u1020,S1020     ", 1, 0.004, 3.5, 80, 3648, 2736},
    {"long_description.jpg", true, "", "", "", 1, 0, 0, 0, 100, 73},
    {"gps/DSCN0010.jpg", false, "2008:10:22 16:28:39", "NIKON", "COOLPIX P6000", 1, 0.01333333333, 5.9, 64, 640, 480},
    {"gps/DSCN0021.jpg", false, "2008:10:22 16:38:20", "NIKON", "COOLPIX P6000", 1, 0.01044932, 4.7, 64, 640, 480},
    {"mobile/HMD_Nokia_8.3_5G.jpg", true, "2022:08:14 14:12:31", "HMD Global", "Nokia 8.3 5G", 1, 0.000541, 2.2, 100, 0, 0},
    {"mobile/jolla.jpg", false, "2014:09:21 16:00:56", "Jolla", "Jolla", 1, 0.04, 2.4, 320, 0, 0},
    {"hdr/canon_hdr_NO.jpg", false, "2015:02:09 22:47:44", "Canon", "Canon PowerShot SX60 HS", 6, 0.01666666667, 5.6, 800, 2048, 1536},
    {"hdr/iphone_hdr_YES.jpg", true, "2015:04:10 20:12:23", "Apple", "iPhone 6", 1, 0.025, 2.2, 32, 3264, 2448},
    {"xmp/BlueSquare.jpg", true, "", "", "", 1, 0, 0, 0, 360, 216},
};
// clang-format on

// exiftool prints ten significant digits.
void ExpectClose(double actual, double expected, const char* what) {
  EXPECT_NEAR(actual, expected, std::abs(expected) * 1e-9) << what;
}

class CameraFileTest : public ::testing::TestWithParam<CameraCase> {};

TEST_P(CameraFileTest, MatchesExiftool) {
  const CameraCase& c = GetParam();
  const std::string path = CameraDir() + "/" + c.file;
  TExifInfo exif(RealSystemCalls());
  ASSERT_TRUE(exif.HasExif(path));
  ASSERT_TRUE(exif.SetImageFileName(path).ok());
  EXPECT_EQ(exif.MotorolaOrder(), c.motorola);
  EXPECT_EQ(exif.DateTimeOriginal(), c.date_time_original);
  EXPECT_EQ(exif.Make(), c.make);
  EXPECT_EQ(exif.Model(), c.model);
  EXPECT_EQ(exif.Orientation(), c.orientation);
  ExpectClose(exif.ExposureTime(), c.exposure_time, "ExposureTime");
  ExpectClose(exif.FNumber(), c.f_number, "FNumber");
  EXPECT_EQ(exif.ISOSpeedRatings(), c.iso);
  EXPECT_EQ(exif.ImageWidth(), c.width);
  EXPECT_EQ(exif.ImageHeight(), c.height);
}

INSTANTIATE_TEST_SUITE_P(Samples, CameraFileTest, ::testing::ValuesIn(kCameras),
                         [](const auto& test_info) {
                           std::string name = test_info.param.file;
                           for (char& ch : name)
                             if (!std::isalnum(static_cast<unsigned char>(ch)))
                               ch = '_';
                           return name;
                         });

// These photos carry an ICC profile segment before the Exif one, so the
// marker lies beyond the default range; a wider range finds it.
TEST(CameraOrientationTest, WiderSearchRangeReachesTheExifBlock) {
  const uint8_t stored[] = {0, 1, 2, 4, 3, 5, 6, 7, 8};
  for (const char* shape : {"landscape", "portrait"}) {
    for (int code = 2; code <= 8; ++code) {  // exiftool: Orientation = code.
      const std::string path = CameraDir() + "/orientation/" + shape + "_" +
                               std::to_string(code) + ".jpg";
      TExifInfo exif(RealSystemCalls());
      EXPECT_FALSE(exif.HasExif(path)) << path;
      exif.SetSearchRange(4096);
      ASSERT_TRUE(exif.HasExif(path)) << path;
      ASSERT_TRUE(exif.SetImageFileName(path).ok());
      EXPECT_EQ(exif.Orientation(), stored[code]) << path;
      EXPECT_TRUE(exif.MotorolaOrder()) << path;
    }
  }
}

// Broken and unusual files: no error, and the date exiftool finds.
TEST(CameraBrokenFileTest, ReadWithoutErrorAndAgreeOnTheDate) {
  const std::pair<const char*, const char*> cases[] = {
      {"tests/11-tests.jpg", "2007:09:03 16:03:45"},
      {"tests/22-canon_tags.jpg", "2007:11:29 16:16:21"},
      {"tests/28-hex_value.jpg", "2008:08:21 14:53:03"},
      {"tests/30-type_error.jpg", ""},
      {"tests/32-lens_data.jpeg", "2012:07:14 16:30:12"},
      {"tests/33-type_error.jpg", "2008:05:25 19:31:26"},
      {"tests/35-empty.jpg", "2005:07:19 18:25:29"},
      {"tests/36-memory_error.jpg", "2002:04:21 00:30:33"},
      {"tests/42_IndexError.jpg", "2014:08:23 13:05:43"},
      {"tests/45-gps_ifd.jpg", "2012:06:23 06:55:49"},
      {"tests/67-0_length_string.jpg", ""},
      {"tests/87_OSError.jpg", "2005:12:14 14:39:47"},
  };
  for (const auto& [file, date] : cases) {
    TExifInfo exif(RealSystemCalls());
    const std::string path = CameraDir() + "/" + file;
    EXPECT_TRUE(exif.HasExif(path)) << file;
    ASSERT_TRUE(exif.SetImageFileName(path).ok()) << file;
    EXPECT_EQ(exif.DateTimeOriginal(), date) << file;
  }
}

std::vector<std::string> FilesUnder(const std::string& folder) {
  std::vector<std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    if (entry.is_regular_file()) files.push_back(entry.path().string());
  }
  return files;
}

// Every camera sample (the invalid/ ones included) and every kept fuzzing
// input goes through the whole read; sanitizer builds catch what a plain
// build would not.
TEST(ExifReplayTest, EverySampleAndCorpusFileReads) {
  const std::vector<std::string> samples = FilesUnder(CameraDir());
  const std::vector<std::string> corpus = FilesUnder(KURONEL_FUZZ_CORPUS_DIR);
  ASSERT_GT(samples.size(), 50u);
  ASSERT_GT(corpus.size(), 10u);
  int with_block = 0;
  TExifInfo exif(RealSystemCalls());
  for (const std::string& path : samples) {
    const bool has_exif = exif.HasExif(path);
    with_block += has_exif;
    EXPECT_TRUE(exif.SetImageFileName(path).ok()) << path;
  }
  // 40 of the 61 samples in testdata/ have a block within the default
  // search range (not the orientation photos, nor the invalid ones).
  EXPECT_GE(with_block, 40);
  for (const std::string& path : corpus) {
    exif.HasExif(path);
    // A cut header may be an error; no crash.
    static_cast<void>(exif.SetImageFileName(path));
  }
}

}  // namespace
}  // namespace kuronel
