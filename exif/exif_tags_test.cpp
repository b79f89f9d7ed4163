// How each known tag fills the decoded fields.

#include <gtest/gtest.h>

#include <string>

#include "exif/exif_labels.h"
#include "testing/exif_test_support.h"

namespace kuronel {
namespace {

using std::string_literals::operator""s;
using testing::TiffBuilder;

struct CodeCase {
  uint16_t tag;
  uint32_t code;
  uint32_t ExifFields::*code_field;
  std::string ExifFields::*label_field;
  const char* label;
};

using F = ExifFields;

class CodeLabelTest : public ExifFileTest,
                      public ::testing::WithParamInterface<CodeCase> {};

TEST_P(CodeLabelTest, StoresTheCodeAndItsLabel) {
  const CodeCase& c = GetParam();
  TiffBuilder t;
  t.Long(t.AddDirectory(), c.tag, c.code);
  const ExifFields& fields = Read(t).fields();
  EXPECT_EQ(fields.*c.code_field, c.code);
  EXPECT_EQ(fields.*c.label_field, c.label);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Tables, CodeLabelTest,
    ::testing::Values(
        CodeCase{0x0103, 1, &F::Compression, &F::CompressionText, "非圧縮"},
        CodeCase{0x0103, 6, &F::Compression, &F::CompressionText, "JPEG"},
        CodeCase{0x0103, 7, &F::Compression, &F::CompressionText, ""},
        CodeCase{0x0106, 2, &F::PhotometricInterpretation, &F::PhotometricInterpretationText, "RGB"},
        CodeCase{0x0106, 6, &F::PhotometricInterpretation, &F::PhotometricInterpretationText, "YCbCr"},
        CodeCase{0x0106, 1, &F::PhotometricInterpretation, &F::PhotometricInterpretationText, ""},
        CodeCase{0x0128, 2, &F::ResolutionUnit, &F::ResolutionUnitText, "inch"},
        CodeCase{0x0128, 3, &F::ResolutionUnit, &F::ResolutionUnitText, "cm"},
        CodeCase{0x0128, 1, &F::ResolutionUnit, &F::ResolutionUnitText, ""},
        CodeCase{0xA210, 2, &F::FocalPlaneResolutionUnit, &F::FocalPlaneResolutionUnitText, "inch"},
        CodeCase{0xA210, 3, &F::FocalPlaneResolutionUnit, &F::FocalPlaneResolutionUnitText, "cm"},
        CodeCase{0xA210, 4, &F::FocalPlaneResolutionUnit, &F::FocalPlaneResolutionUnitText, ""},
        CodeCase{0x8822, 0, &F::ExposureProgram, &F::ExposureProgramText, ""},
        CodeCase{0x8822, 1, &F::ExposureProgram, &F::ExposureProgramText, "マニュアル設定"},
        CodeCase{0x8822, 2, &F::ExposureProgram, &F::ExposureProgramText, "プログラムAE"},
        CodeCase{0x8822, 3, &F::ExposureProgram, &F::ExposureProgramText, "絞り優先"},
        CodeCase{0x8822, 4, &F::ExposureProgram, &F::ExposureProgramText, "シャッター速度優先"},
        CodeCase{0x8822, 5, &F::ExposureProgram, &F::ExposureProgramText, "低速プログラム"},
        CodeCase{0x8822, 6, &F::ExposureProgram, &F::ExposureProgramText, "高速プログラム"},
        CodeCase{0x8822, 7, &F::ExposureProgram, &F::ExposureProgramText, "ポートレートモード"},
        CodeCase{0x8822, 8, &F::ExposureProgram, &F::ExposureProgramText, "風景モード"},
        CodeCase{0x8822, 9, &F::ExposureProgram, &F::ExposureProgramText, ""},
        CodeCase{0x9207, 0, &F::MeteringMode, &F::MeteringModeText, "不明"},
        CodeCase{0x9207, 1, &F::MeteringMode, &F::MeteringModeText, "平均測光"},
        CodeCase{0x9207, 2, &F::MeteringMode, &F::MeteringModeText, "中央重点"},
        CodeCase{0x9207, 3, &F::MeteringMode, &F::MeteringModeText, "スポット"},
        CodeCase{0x9207, 4, &F::MeteringMode, &F::MeteringModeText, "多点スポット"},
        CodeCase{0x9207, 5, &F::MeteringMode, &F::MeteringModeText, "マルチセグメント"},
        CodeCase{0x9207, 6, &F::MeteringMode, &F::MeteringModeText, "部分測光"},
        CodeCase{0x9207, 7, &F::MeteringMode, &F::MeteringModeText, ""},
        CodeCase{0x9207, 255, &F::MeteringMode, &F::MeteringModeText, "その他"},
        CodeCase{0x9208, 0, &F::LightSource, &F::LightSourceText, "不明"},
        CodeCase{0x9208, 1, &F::LightSource, &F::LightSourceText, "昼光"},
        CodeCase{0x9208, 2, &F::LightSource, &F::LightSourceText, "蛍光灯"},
        CodeCase{0x9208, 3, &F::LightSource, &F::LightSourceText, "白熱電球"},
        CodeCase{0x9208, 4, &F::LightSource, &F::LightSourceText, ""},
        CodeCase{0x9208, 10, &F::LightSource, &F::LightSourceText, "フラッシュ"},
        CodeCase{0x9208, 17, &F::LightSource, &F::LightSourceText, "標準ライトA"},
        CodeCase{0x9208, 18, &F::LightSource, &F::LightSourceText, "標準ライトB"},
        CodeCase{0x9208, 19, &F::LightSource, &F::LightSourceText, "標準ライトC"},
        CodeCase{0x9208, 20, &F::LightSource, &F::LightSourceText, "D55"},
        CodeCase{0x9208, 21, &F::LightSource, &F::LightSourceText, "D65"},
        CodeCase{0x9208, 22, &F::LightSource, &F::LightSourceText, "D75"},
        CodeCase{0x9208, 255, &F::LightSource, &F::LightSourceText, "その他"},
        CodeCase{0x9209, 0, &F::Flash, &F::FlashText, "非発光"},
        CodeCase{0x9209, 1, &F::Flash, &F::FlashText, "発光(反射検出機構なし)"},
        CodeCase{0x9209, 5, &F::Flash, &F::FlashText, "発光(反射光未検出)"},
        CodeCase{0x9209, 7, &F::Flash, &F::FlashText, "発光(反射光検出)"},
        CodeCase{0x9209, 9, &F::Flash, &F::FlashText, ""},
        CodeCase{0x9209, 16, &F::Flash, &F::FlashText, ""},
        CodeCase{0xA001, 1, &F::ColorSpace, &F::ColorSpaceText, "sRGB"},
        CodeCase{0xA001, 2, &F::ColorSpace, &F::ColorSpaceText, ""},
        CodeCase{0xA001, 65535, &F::ColorSpace, &F::ColorSpaceText, "Uncalibrated"},
        CodeCase{0xA217, 1, &F::SensingMethod, &F::SensingMethodText, ""},
        CodeCase{0xA217, 2, &F::SensingMethod, &F::SensingMethodText, "1チップカラーエリアセンサ"},
        CodeCase{0xA217, 3, &F::SensingMethod, &F::SensingMethodText, "2チップカラーエリアセンサ"},
        CodeCase{0xA217, 4, &F::SensingMethod, &F::SensingMethodText, "3チップカラーエリアセンサ"},
        CodeCase{0xA217, 5, &F::SensingMethod, &F::SensingMethodText, "カラーシークエンシャルエリアセンサ"},
        CodeCase{0xA217, 6, &F::SensingMethod, &F::SensingMethodText, ""},
        CodeCase{0xA217, 7, &F::SensingMethod, &F::SensingMethodText, "トリリニアセンサ"},
        CodeCase{0xA217, 8, &F::SensingMethod, &F::SensingMethodText, "カラーシークエンシャルリニアセンサ"}));
// clang-format on

TEST_F(ExifFileTest, TextTagsFillTheirFields) {
  const std::pair<uint16_t, std::string F::*> cases[] = {
      {0x8298, &F::Copyright},
      {0x0132, &F::DateTime},
      {0x9004, &F::DateTimeDigitized},
      {0x9003, &F::DateTimeOriginal},
      {0x010E, &F::ImageDescription},
      {0x010F, &F::Make},
      {0x0110, &F::Model},
      {0x0131, &F::Software},
      {0xA004, &F::RelatedSoundFile},
      {0x9290, &F::SubSecTime},
      {0x9291, &F::SubSecTimeOriginal},
      {0x9292, &F::SubSecTimeDigitized},
  };
  for (const auto& [tag, field] : cases) {
    TiffBuilder t;
    t.Ascii(t.AddDirectory(), tag, "value " + std::to_string(tag));
    EXPECT_EQ(Read(t).fields().*field, "value " + std::to_string(tag)) << tag;
  }
}

TEST_F(ExifFileTest, RationalTagsFillNumberAndText) {
  const std::tuple<uint16_t, double F::*, std::string F::*> cases[] = {
      {0x9202, &F::ApertureValue, &F::ApertureValueText},
      {0x9203, &F::BrightnessValue, &F::BrightnessValueText},
      {0x9102, &F::CompressedBitsPerPixel, &F::CompressedBitsPerPixelText},
      {0x9204, &F::ExposureBiasValue, &F::ExposureBiasValueText},
      {0x829A, &F::ExposureTime, &F::ExposureTimeText},
      {0x829D, &F::FNumber, &F::FNumberText},
      {0x920A, &F::FocalLength, &F::FocalLengthText},
      {0xA20E, &F::FocalPlaneXResolution, &F::FocalPlaneXResolutionText},
      {0xA20F, &F::FocalPlaneYResolution, &F::FocalPlaneYResolutionText},
      {0x9205, &F::MaxApertureValue, &F::MaxApertureValueText},
      {0x9201, &F::ShutterSpeedValue, &F::ShutterSpeedValueText},
      {0x9206, &F::SubjectDistance, &F::SubjectDistanceText},
      {0x011A, &F::XResolution, &F::XResolutionText},
      {0x011B, &F::YResolution, &F::YResolutionText},
  };
  for (const auto& [tag, number, text] : cases) {
    TiffBuilder t;
    t.Rational(t.AddDirectory(), tag, tag, 4);
    const ExifFields& fields = Read(t).fields();
    EXPECT_EQ(fields.*number, tag / 4.0) << tag;
    EXPECT_EQ(fields.*text, std::to_string(tag) + "/4") << tag;
  }
}

TEST_F(ExifFileTest, IntegerTagsFillTheirFields) {
  TiffBuilder t;
  const int ifd0 = t.AddDirectory();
  t.Long(ifd0, 0xA002, 4000).Long(ifd0, 0xA003, 3000);
  t.Long(ifd0, 0x0100, 160).Long(ifd0, 0x0101, 120);
  t.Long(ifd0, 0x0201, 5000).Long(ifd0, 0x0202, 6000);
  t.Long(ifd0, 0x0115, 0x10003).Short(ifd0, 0x011C, 2);
  const TExifInfo& info = Read(t);
  EXPECT_EQ(info.ImageWidth(), 4000u);
  EXPECT_EQ(info.ImageHeight(), 3000u);
  EXPECT_EQ(info.ThumbnailWidth(), 160u);
  EXPECT_EQ(info.ThumbnailHeight(), 120u);
  EXPECT_EQ(info.JPEGInterchangeFormat(), 5000u);
  EXPECT_EQ(info.JPEGInterchangeFormatLength(), 6000u);
  EXPECT_EQ(info.SamplesPerPixel(), 3);  // Low 16 bits.
  EXPECT_EQ(info.PlanarConfiguration(), 2);
}

TEST_F(ExifFileTest, UnexpectedTypesGiveWhatTheEntryValueHolds) {
  TiffBuilder t;
  const int ifd0 = t.AddDirectory();
  t.Short(ifd0, 0x829A, 5);                  // Rational as SHORT.
  t.Entry(ifd0, 0x9207, 8, 1, t.U16(3));     // Code as SSHORT.
  t.Entry(ifd0, 0x9003, 3, 1, t.U16(2004));  // Date as SHORT.
  const TExifInfo& info = Read(t);
  EXPECT_EQ(info.ExposureTimeText(), "");
  EXPECT_EQ(info.ExposureTime(), 0);
  EXPECT_EQ(info.MeteringMode(), 0u);
  EXPECT_EQ(info.MeteringModeText(), "不明");
  EXPECT_EQ(info.DateTimeOriginal(), "");
}

TEST_F(ExifFileTest, UnlistedResolutionUnitKeepsTheLabel) {
  TiffBuilder t;
  const int ifd0 = t.AddDirectory(), ifd1 = t.AddDirectory(),
            ifd2 = t.AddDirectory();
  t.Short(ifd0, 0x0128, 2).Short(ifd0, 0x0128, 9).Next(ifd0, ifd1);
  t.Short(ifd1, 0x0128, 3).Next(ifd1, ifd2);
  t.Short(ifd2, 0x0128, 5);
  t.Short(ifd2, 0xA210, 2).Short(ifd2, 0xA210, 5);  // This one empties.
  const TExifInfo& info = Read(t);
  EXPECT_EQ(info.ResolutionUnit(), 9u);
  EXPECT_EQ(info.ResolutionUnitText(), "inch");
  EXPECT_EQ(info.ThumbnailResolutionUnit(), 5u);
  EXPECT_EQ(info.ThumbnailResolutionUnitText(), "cm");
  EXPECT_EQ(info.FocalPlaneResolutionUnitText(), "");
}

TEST_F(ExifFileTest, OrientationSwapsThreeAndFourAndIgnoresCodesAboveEight) {
  const uint8_t stored[] = {0, 1, 2, 4, 3, 5, 6, 7, 8};
  for (uint16_t code = 0; code <= 8; ++code) {
    TiffBuilder t;
    const int ifd0 = t.AddDirectory(), ifd1 = t.AddDirectory();
    t.Short(ifd0, 0x0112, code).Next(ifd0, ifd1);
    t.Short(ifd1, 0x0112, code);
    const TExifInfo& info = Read(t);
    EXPECT_EQ(info.Orientation(), stored[code]) << code;
    EXPECT_EQ(info.ThumbnailOrientation(), stored[code]) << code;
  }
  TiffBuilder t;
  const int ifd0 = t.AddDirectory();
  t.Short(ifd0, 0x0112, 6).Short(ifd0, 0x0112, 9);
  EXPECT_EQ(Read(t).Orientation(), 6);
  EXPECT_EQ(OrientationNumber(9), std::nullopt);
}

TEST_F(ExifFileTest, ExposureIndexReplacesIsoRoundedHalfToEven) {
  struct {
    uint32_t numerator, denominator;
    uint16_t iso;
  } cases[] = {{200, 1, 200}, {5, 2, 2},  {7, 2, 4},
               {3, 2, 2},     {11, 4, 3}, {70000, 1, 70000 - 65536},
               {1, 0, 0}};
  for (const auto& c : cases) {
    TiffBuilder t;
    const int ifd0 = t.AddDirectory();
    t.Short(ifd0, 0x8827, 100)
        .Rational(ifd0, 0xA215, c.numerator, c.denominator);
    EXPECT_EQ(Read(t).ISOSpeedRatings(), c.iso)
        << c.numerator << "/" << c.denominator;
  }
  TiffBuilder negative;
  negative.SRational(negative.AddDirectory(), 0xA215, -1, 1);
  EXPECT_EQ(Read(negative).ISOSpeedRatings(), 65535);
  TiffBuilder huge;
  huge.Entry(huge.AddDirectory(), 0xA215, 12, 1,
             huge.U32(0) + huge.U32(0x7FF00000));
  EXPECT_EQ(Read(huge).ISOSpeedRatings(), 0);  // Infinity.
}

TEST_F(ExifFileTest, ThumbnailFileRuleForRelatedImageSize) {
  struct {
    const char* index;
    bool own_thumbnail_width;  // IFD1 has ImageWidth 160.
    bool own_pixel_dimension;  // Exif IFD has PixelXDimension 2048.
    uint32_t thumbnail_width, image_width;
    bool thumbnail_file;
  } cases[] = {
      {"THM", false, false, 640, 0, true},
      {"thm", true, false, 160, 0, true},
      {"R98", false, true, 0, 2048, false},
      {"R98", false, false, 0, 640, false},
      {"THM1", false, false, 0, 640, false},
  };
  for (const auto& c : cases) {
    TiffBuilder t;
    const int ifd0 = t.AddDirectory(), exif = t.AddDirectory(),
              ifd1 = t.AddDirectory(), interop = t.AddDirectory();
    t.Pointer(ifd0, 0x8769, exif).Next(ifd0, ifd1);
    t.Pointer(exif, 0xA005, interop);
    if (c.own_pixel_dimension) t.Long(exif, 0xA002, 2048);
    if (c.own_thumbnail_width) t.Long(ifd1, 0x0100, 160);
    t.Ascii(interop, 0x0001, c.index).Short(interop, 0x1001, 640);
    t.Short(interop, 0x1002, 480);
    const TExifInfo& info = Read(t);
    EXPECT_EQ(info.ThumbnailWidth(), c.thumbnail_width) << c.index;
    EXPECT_EQ(info.ImageWidth(), c.image_width) << c.index;
    EXPECT_EQ(info.IsThumbnailFile(), c.thumbnail_file) << c.index;
    EXPECT_EQ(c.thumbnail_file ? info.ThumbnailHeight() : info.ImageHeight(),
              480u);
  }
  // Nothing of a thumbnail file survives into the next read.
  EXPECT_FALSE(Read("not a photo").IsThumbnailFile());
}

TEST_F(ExifFileTest, VersionTagsAreDecodedFromHex) {
  TiffBuilder t;
  const int ifd0 = t.AddDirectory();
  t.Undefined(ifd0, 0x9000, "0220").Undefined(ifd0, 0xA000, "01\0\x30"s);
  const TExifInfo& info = Read(t);
  EXPECT_EQ(info.ExifVersion(), "0220");
  EXPECT_EQ(info.FlashpixVersion(), "010");
}

}  // namespace
}  // namespace kuronel
