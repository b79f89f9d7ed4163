// How each known tag fills the decoded fields of TExifInfo.

#include <cmath>
#include <cstdio>

#include "exif/exif_info.h"
#include "exif/exif_labels.h"
#include "exif/user_comment.h"

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
    case 0x0001:  // InteroperabilityIndex
      is_thumbnail_file_ = EqualsIgnoringAsciiCase(value->Text, "THM");
      break;
    case 0x0100:
      f.ThumbnailWidth = value->UnsignedValue;
      break;
    case 0x0101:
      f.ThumbnailHeight = value->UnsignedValue;
      break;
    case 0x0103:
      SetCode(f.Compression, f.CompressionText, LabelTable::kCompression,
              *value);
      break;
    case 0x0106:
      SetCode(f.PhotometricInterpretation, f.PhotometricInterpretationText,
              LabelTable::kPhotometricInterpretation, *value);
      break;
    case 0x010E:
      f.ImageDescription = value->Text;
      break;
    case 0x010F:
      f.Make = value->Text;
      break;
    case 0x0110:
      f.Model = value->Text;
      break;
    case 0x0112:
      SetOrientation(first_directory ? f.Orientation : f.ThumbnailOrientation,
                     *value);
      break;
    case 0x0115:
      f.SamplesPerPixel = Low16(value->UnsignedValue);
      break;
    case 0x011A:
      if (first_directory)
        SetTextAndNumber(f.XResolution, f.XResolutionText, *value);
      else
        SetTextAndNumber(f.ThumbnailXResolution, f.ThumbnailXResolutionText,
                         *value);
      break;
    case 0x011B:
      if (first_directory)
        SetTextAndNumber(f.YResolution, f.YResolutionText, *value);
      else
        SetTextAndNumber(f.ThumbnailYResolution, f.ThumbnailYResolutionText,
                         *value);
      break;
    case 0x011C:
      f.PlanarConfiguration = Low16(value->UnsignedValue);
      break;
    case 0x0128:
      if (first_directory)
        SetResolutionUnit(f.ResolutionUnit, f.ResolutionUnitText, *value);
      else
        SetResolutionUnit(f.ThumbnailResolutionUnit,
                          f.ThumbnailResolutionUnitText, *value);
      break;
    case 0x0131:
      f.Software = value->Text;
      break;
    case 0x0132:
      f.DateTime = value->Text;
      break;
    case 0x0201:
      f.JPEGInterchangeFormat = value->UnsignedValue;
      break;
    case 0x0202:
      f.JPEGInterchangeFormatLength = value->UnsignedValue;
      break;
    case 0x1001:  // RelatedImageWidth
      ApplyRelatedImageSize(value->UnsignedValue, f.ThumbnailWidth,
                            f.ImageWidth);
      break;
    case 0x1002:  // RelatedImageLength
      ApplyRelatedImageSize(value->UnsignedValue, f.ThumbnailHeight,
                            f.ImageHeight);
      break;
    case 0x8298:
      f.Copyright = value->Text;
      break;
    case 0x829A:
      SetTextAndNumber(f.ExposureTime, f.ExposureTimeText, *value);
      break;
    case 0x829D:
      SetTextAndNumber(f.FNumber, f.FNumberText, *value);
      break;
    case 0x8822:
      SetCode(f.ExposureProgram, f.ExposureProgramText,
              LabelTable::kExposureProgram, *value);
      break;
    case 0x8827:
      f.ISOSpeedRatings = Low16(value->UnsignedValue);
      break;
    case 0x9000:
      f.ExifVersion = HexToText(value->Text);
      break;
    case 0x9003:
      f.DateTimeOriginal = value->Text;
      break;
    case 0x9004:
      f.DateTimeDigitized = value->Text;
      break;
    case 0x9102:
      SetTextAndNumber(f.CompressedBitsPerPixel, f.CompressedBitsPerPixelText,
                       *value);
      break;
    case 0x9201:
      SetTextAndNumber(f.ShutterSpeedValue, f.ShutterSpeedValueText, *value);
      break;
    case 0x9202:
      SetTextAndNumber(f.ApertureValue, f.ApertureValueText, *value);
      break;
    case 0x9203:
      SetTextAndNumber(f.BrightnessValue, f.BrightnessValueText, *value);
      break;
    case 0x9204:
      SetTextAndNumber(f.ExposureBiasValue, f.ExposureBiasValueText, *value);
      break;
    case 0x9205:
      SetTextAndNumber(f.MaxApertureValue, f.MaxApertureValueText, *value);
      break;
    case 0x9206:
      SetTextAndNumber(f.SubjectDistance, f.SubjectDistanceText, *value);
      break;
    case 0x9207:
      SetCode(f.MeteringMode, f.MeteringModeText, LabelTable::kMeteringMode,
              *value);
      break;
    case 0x9208:
      SetCode(f.LightSource, f.LightSourceText, LabelTable::kLightSource,
              *value);
      break;
    case 0x9209:
      SetCode(f.Flash, f.FlashText, LabelTable::kFlash, *value);
      break;
    case 0x920A:
      SetTextAndNumber(f.FocalLength, f.FocalLengthText, *value);
      break;
    case 0x927C:  // MakerNote: where its data lies, also for a short one.
      f.MakerNoteLength = entry.count;
      f.MakerNotePosition = static_cast<uint32_t>(tiff_start + entry.field);
      break;
    case 0x9286:
      ApplyUserComment(entry, *value);
      break;
    case 0x9290:
      f.SubSecTime = value->Text;
      break;
    case 0x9291:
      f.SubSecTimeOriginal = value->Text;
      break;
    case 0x9292:
      f.SubSecTimeDigitized = value->Text;
      break;
    case 0xA000:
      f.FlashpixVersion = HexToText(value->Text);
      break;
    case 0xA001:
      SetCode(f.ColorSpace, f.ColorSpaceText, LabelTable::kColorSpace, *value);
      break;
    case 0xA002:
      f.ImageWidth = value->UnsignedValue;
      break;
    case 0xA003:
      f.ImageHeight = value->UnsignedValue;
      break;
    case 0xA004:
      f.RelatedSoundFile = value->Text;
      break;
    case 0xA20E:
      SetTextAndNumber(f.FocalPlaneXResolution, f.FocalPlaneXResolutionText,
                       *value);
      break;
    case 0xA20F:
      SetTextAndNumber(f.FocalPlaneYResolution, f.FocalPlaneYResolutionText,
                       *value);
      break;
    case 0xA210:
      SetCode(f.FocalPlaneResolutionUnit, f.FocalPlaneResolutionUnitText,
              LabelTable::kResolutionUnit, *value);
      break;
    case 0xA215:  // ExposureIndex stands after ISOSpeedRatings and wins.
      f.ISOSpeedRatings = RoundToLow16(value->Number);
      break;
    case 0xA217:
      SetCode(f.SensingMethod, f.SensingMethodText, LabelTable::kSensingMethod,
              *value);
      break;
    default:
      break;  // Read, and of no use to this program.
  }
}

}  // namespace kuronel
