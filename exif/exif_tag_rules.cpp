// How each known tag fills the decoded fields of TExifInfo.

#include <cmath>
#include <cstdio>

#include "exif/exif_info.h"
#include "exif/exif_labels.h"
#include "exif/exif_tags.h"
#include "exif/user_comment.h"
#include "platform/text.h"

namespace kuronel {
namespace {

void SetCode(uint32_t& code, std::string& label, LabelTable table,
             const EntryValue& value) {
  code = value.UnsignedValue;
  label = LabelOf(table, code);
}

void SetTextAndNumber(double& number, std::string& text,
                      const EntryValue& value) {
  number = value.Number;
  text = value.Text;
}

// A resolution unit outside the table keeps the label an earlier directory
// of the same kind gave.
void SetResolutionUnit(uint32_t& code, std::string& label,
                       const EntryValue& value) {
  code = value.UnsignedValue;
  if (auto found = FindLabel(LabelTable::kResolutionUnit, code)) label = *found;
}

void SetOrientation(uint8_t& orientation, const EntryValue& value) {
  if (auto number = OrientationNumber(value.UnsignedValue))
    orientation = *number;
}

uint16_t Low16(uint32_t value) { return static_cast<uint16_t>(value); }

// The nearest integer (halves to the even neighbour), low 16 bits. fmod is
// exact, so huge values cannot overflow a conversion; non-finite ones give 0.
uint16_t RoundToLow16(double number) {
  if (!std::isfinite(number)) return 0;
  double low = std::fmod(std::nearbyint(number), 65536.0);
  if (low < 0) low += 65536.0;
  return static_cast<uint16_t>(low);
}

std::string FormatNumber(double number) {
  char text[40];
  std::snprintf(text, sizeof text, "%.15g", number);
  return text;
}

}  // namespace

void TExifInfo::ApplyRelatedImageSize(uint32_t size, uint32_t& thumbnail_size,
                                      uint32_t& image_size) const {
  uint32_t& target = is_thumbnail_file_ ? thumbnail_size : image_size;
  if (target == 0) target = size;
}

void TExifInfo::ApplyUserComment(const DirectoryEntry& entry,
                                 const EntryValue& value) {
  switch (entry.type) {
    case kTypeUndefined:
      if (!value.Text.empty())
        user_comments_.push_back(
            DecodeUserComment(value.Text, motorola_order_));
      break;
    case kTypeByte:
    case kTypeShort:
    case kTypeLong:
      user_comments_.push_back(std::to_string(value.UnsignedValue));
      break;
    case kTypeAscii:
    case kTypeRational:
    case kTypeSRational:
      user_comments_.push_back(value.Text);
      break;
    case kTypeSByte:
    case kTypeSShort:
    case kTypeSLong:
      user_comments_.push_back(std::to_string(value.SignedValue));
      break;
    case kTypeFloat:
    case kTypeDouble:
      user_comments_.push_back(FormatNumber(value.Number));
      break;
    default:
      break;
  }
}

void TExifInfo::ApplyTagRule(const DirectoryEntry& entry, LazyEntryValue& value,
                             size_t directory_index, uint64_t tiff_start) {
  ExifFields& f = fields_;
  const bool first_directory = directory_index == 0;
  switch (entry.tag) {
    case exif_tag::kInteroperabilityIndex:
      is_thumbnail_file_ = SameIgnoringAsciiCase(value->Text, "THM");
      break;
    case exif_tag::kImageWidth:
      f.ThumbnailWidth = value->UnsignedValue;
      break;
    case exif_tag::kImageLength:
      f.ThumbnailHeight = value->UnsignedValue;
      break;
    case exif_tag::kCompression:
      SetCode(f.Compression, f.CompressionText, LabelTable::kCompression,
              *value);
      break;
    case exif_tag::kPhotometricInterpretation:
      SetCode(f.PhotometricInterpretation, f.PhotometricInterpretationText,
              LabelTable::kPhotometricInterpretation, *value);
      break;
    case exif_tag::kImageDescription:
      f.ImageDescription = value->Text;
      break;
    case exif_tag::kMake:
      f.Make = value->Text;
      break;
    case exif_tag::kModel:
      f.Model = value->Text;
      break;
    case exif_tag::kOrientation:
      SetOrientation(first_directory ? f.Orientation : f.ThumbnailOrientation,
                     *value);
      break;
    case exif_tag::kSamplesPerPixel:
      f.SamplesPerPixel = Low16(value->UnsignedValue);
      break;
    case exif_tag::kXResolution:
      if (first_directory)
        SetTextAndNumber(f.XResolution, f.XResolutionText, *value);
      else
        SetTextAndNumber(f.ThumbnailXResolution, f.ThumbnailXResolutionText,
                         *value);
      break;
    case exif_tag::kYResolution:
      if (first_directory)
        SetTextAndNumber(f.YResolution, f.YResolutionText, *value);
      else
        SetTextAndNumber(f.ThumbnailYResolution, f.ThumbnailYResolutionText,
                         *value);
      break;
    case exif_tag::kPlanarConfiguration:
      f.PlanarConfiguration = Low16(value->UnsignedValue);
      break;
    case exif_tag::kResolutionUnit:
      if (first_directory)
        SetResolutionUnit(f.ResolutionUnit, f.ResolutionUnitText, *value);
      else
        SetResolutionUnit(f.ThumbnailResolutionUnit,
                          f.ThumbnailResolutionUnitText, *value);
      break;
    case exif_tag::kSoftware:
      f.Software = value->Text;
      break;
    case exif_tag::kDateTime:
      f.DateTime = value->Text;
      break;
    case exif_tag::kJpegInterchangeFormat:
      f.JPEGInterchangeFormat = value->UnsignedValue;
      break;
    case exif_tag::kJpegInterchangeFormatLength:
      f.JPEGInterchangeFormatLength = value->UnsignedValue;
      break;
    case exif_tag::kRelatedImageWidth:
      ApplyRelatedImageSize(value->UnsignedValue, f.ThumbnailWidth,
                            f.ImageWidth);
      break;
    case exif_tag::kRelatedImageLength:
      ApplyRelatedImageSize(value->UnsignedValue, f.ThumbnailHeight,
                            f.ImageHeight);
      break;
    case exif_tag::kCopyright:
      f.Copyright = value->Text;
      break;
    case exif_tag::kExposureTime:
      SetTextAndNumber(f.ExposureTime, f.ExposureTimeText, *value);
      break;
    case exif_tag::kFNumber:
      SetTextAndNumber(f.FNumber, f.FNumberText, *value);
      break;
    case exif_tag::kExposureProgram:
      SetCode(f.ExposureProgram, f.ExposureProgramText,
              LabelTable::kExposureProgram, *value);
      break;
    case exif_tag::kIsoSpeedRatings:
      f.ISOSpeedRatings = Low16(value->UnsignedValue);
      break;
    case exif_tag::kExifVersion:
      f.ExifVersion = HexToText(value->Text);
      break;
    case exif_tag::kDateTimeOriginal:
      f.DateTimeOriginal = value->Text;
      break;
    case exif_tag::kDateTimeDigitized:
      f.DateTimeDigitized = value->Text;
      break;
    case exif_tag::kCompressedBitsPerPixel:
      SetTextAndNumber(f.CompressedBitsPerPixel, f.CompressedBitsPerPixelText,
                       *value);
      break;
    case exif_tag::kShutterSpeedValue:
      SetTextAndNumber(f.ShutterSpeedValue, f.ShutterSpeedValueText, *value);
      break;
    case exif_tag::kApertureValue:
      SetTextAndNumber(f.ApertureValue, f.ApertureValueText, *value);
      break;
    case exif_tag::kBrightnessValue:
      SetTextAndNumber(f.BrightnessValue, f.BrightnessValueText, *value);
      break;
    case exif_tag::kExposureBiasValue:
      SetTextAndNumber(f.ExposureBiasValue, f.ExposureBiasValueText, *value);
      break;
    case exif_tag::kMaxApertureValue:
      SetTextAndNumber(f.MaxApertureValue, f.MaxApertureValueText, *value);
      break;
    case exif_tag::kSubjectDistance:
      SetTextAndNumber(f.SubjectDistance, f.SubjectDistanceText, *value);
      break;
    case exif_tag::kMeteringMode:
      SetCode(f.MeteringMode, f.MeteringModeText, LabelTable::kMeteringMode,
              *value);
      break;
    case exif_tag::kLightSource:
      SetCode(f.LightSource, f.LightSourceText, LabelTable::kLightSource,
              *value);
      break;
    case exif_tag::kFlash:
      SetCode(f.Flash, f.FlashText, LabelTable::kFlash, *value);
      break;
    case exif_tag::kFocalLength:
      SetTextAndNumber(f.FocalLength, f.FocalLengthText, *value);
      break;
    case exif_tag::kMakerNote:  // MakerNote: where its data lies, also for a
                                // short one.
      f.MakerNoteLength = entry.count;
      f.MakerNotePosition = static_cast<uint32_t>(tiff_start + entry.field);
      break;
    case exif_tag::kUserComment:
      ApplyUserComment(entry, *value);
      break;
    case exif_tag::kSubSecTime:
      f.SubSecTime = value->Text;
      break;
    case exif_tag::kSubSecTimeOriginal:
      f.SubSecTimeOriginal = value->Text;
      break;
    case exif_tag::kSubSecTimeDigitized:
      f.SubSecTimeDigitized = value->Text;
      break;
    case exif_tag::kFlashpixVersion:
      f.FlashpixVersion = HexToText(value->Text);
      break;
    case exif_tag::kColorSpace:
      SetCode(f.ColorSpace, f.ColorSpaceText, LabelTable::kColorSpace, *value);
      break;
    case exif_tag::kPixelXDimension:
      f.ImageWidth = value->UnsignedValue;
      break;
    case exif_tag::kPixelYDimension:
      f.ImageHeight = value->UnsignedValue;
      break;
    case exif_tag::kRelatedSoundFile:
      f.RelatedSoundFile = value->Text;
      break;
    case exif_tag::kFocalPlaneXResolution:
      SetTextAndNumber(f.FocalPlaneXResolution, f.FocalPlaneXResolutionText,
                       *value);
      break;
    case exif_tag::kFocalPlaneYResolution:
      SetTextAndNumber(f.FocalPlaneYResolution, f.FocalPlaneYResolutionText,
                       *value);
      break;
    case exif_tag::kFocalPlaneResolutionUnit:
      SetCode(f.FocalPlaneResolutionUnit, f.FocalPlaneResolutionUnitText,
              LabelTable::kResolutionUnit, *value);
      break;
    case exif_tag::kExposureIndex:  // ExposureIndex stands after
                                    // ISOSpeedRatings and wins.
      f.ISOSpeedRatings = RoundToLow16(value->Number);
      break;
    case exif_tag::kSensingMethod:
      SetCode(f.SensingMethod, f.SensingMethodText, LabelTable::kSensingMethod,
              *value);
      break;
    default:
      break;  // Read, and of no use to this program.
  }
}

}  // namespace kuronel
