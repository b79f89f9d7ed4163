#ifndef KURONEL_EXIF_EXIF_TAGS_H_
#define KURONEL_EXIF_EXIF_TAGS_H_

#include <cstdint>

// The numbers of the TIFF and Exif tags the reader knows, by their names in
// the standards.
namespace kuronel::exif_tag {

inline constexpr std::uint16_t kInteroperabilityIndex = 0x0001;
inline constexpr std::uint16_t kImageWidth = 0x0100;
inline constexpr std::uint16_t kImageLength = 0x0101;
inline constexpr std::uint16_t kCompression = 0x0103;
inline constexpr std::uint16_t kPhotometricInterpretation = 0x0106;
inline constexpr std::uint16_t kImageDescription = 0x010E;
inline constexpr std::uint16_t kMake = 0x010F;
inline constexpr std::uint16_t kModel = 0x0110;
inline constexpr std::uint16_t kOrientation = 0x0112;
inline constexpr std::uint16_t kSamplesPerPixel = 0x0115;
inline constexpr std::uint16_t kXResolution = 0x011A;
inline constexpr std::uint16_t kYResolution = 0x011B;
inline constexpr std::uint16_t kPlanarConfiguration = 0x011C;
inline constexpr std::uint16_t kResolutionUnit = 0x0128;
inline constexpr std::uint16_t kSoftware = 0x0131;
inline constexpr std::uint16_t kDateTime = 0x0132;
inline constexpr std::uint16_t kJpegInterchangeFormat = 0x0201;
inline constexpr std::uint16_t kJpegInterchangeFormatLength = 0x0202;
inline constexpr std::uint16_t kRelatedImageWidth = 0x1001;
inline constexpr std::uint16_t kRelatedImageLength = 0x1002;
inline constexpr std::uint16_t kCopyright = 0x8298;
inline constexpr std::uint16_t kExposureTime = 0x829A;
inline constexpr std::uint16_t kFNumber = 0x829D;
inline constexpr std::uint16_t kExifIfdPointer = 0x8769;
inline constexpr std::uint16_t kExposureProgram = 0x8822;
inline constexpr std::uint16_t kIsoSpeedRatings = 0x8827;
inline constexpr std::uint16_t kExifVersion = 0x9000;
inline constexpr std::uint16_t kDateTimeOriginal = 0x9003;
inline constexpr std::uint16_t kDateTimeDigitized = 0x9004;
inline constexpr std::uint16_t kCompressedBitsPerPixel = 0x9102;
inline constexpr std::uint16_t kShutterSpeedValue = 0x9201;
inline constexpr std::uint16_t kApertureValue = 0x9202;
inline constexpr std::uint16_t kBrightnessValue = 0x9203;
inline constexpr std::uint16_t kExposureBiasValue = 0x9204;
inline constexpr std::uint16_t kMaxApertureValue = 0x9205;
inline constexpr std::uint16_t kSubjectDistance = 0x9206;
inline constexpr std::uint16_t kMeteringMode = 0x9207;
inline constexpr std::uint16_t kLightSource = 0x9208;
inline constexpr std::uint16_t kFlash = 0x9209;
inline constexpr std::uint16_t kFocalLength = 0x920A;
inline constexpr std::uint16_t kMakerNote = 0x927C;
inline constexpr std::uint16_t kUserComment = 0x9286;
inline constexpr std::uint16_t kSubSecTime = 0x9290;
inline constexpr std::uint16_t kSubSecTimeOriginal = 0x9291;
inline constexpr std::uint16_t kSubSecTimeDigitized = 0x9292;
inline constexpr std::uint16_t kFlashpixVersion = 0xA000;
inline constexpr std::uint16_t kColorSpace = 0xA001;
inline constexpr std::uint16_t kPixelXDimension = 0xA002;
inline constexpr std::uint16_t kPixelYDimension = 0xA003;
inline constexpr std::uint16_t kRelatedSoundFile = 0xA004;
inline constexpr std::uint16_t kInteroperabilityIfdPointer = 0xA005;
inline constexpr std::uint16_t kFocalPlaneXResolution = 0xA20E;
inline constexpr std::uint16_t kFocalPlaneYResolution = 0xA20F;
inline constexpr std::uint16_t kFocalPlaneResolutionUnit = 0xA210;
inline constexpr std::uint16_t kExposureIndex = 0xA215;
inline constexpr std::uint16_t kSensingMethod = 0xA217;

}  // namespace kuronel::exif_tag

#endif  // KURONEL_EXIF_EXIF_TAGS_H_
