#ifndef KURONEL_EXIF_EXIF_FIELDS_H_
#define KURONEL_EXIF_EXIF_FIELDS_H_

#include <cstdint>
#include <string>

namespace kuronel {

// Every decoded value of the Exif reader as X(type, name), in the order in
// which the reader documents them (a number before its text twin). The list
// gives the fields, their read-only accessors and the dump of kuronel-exif
// from one place.
#define KURONEL_EXIF_FIELDS(X)                  \
  X(std::string, Copyright)                     \
  X(std::string, DateTime)                      \
  X(std::string, DateTimeDigitized)             \
  X(std::string, DateTimeOriginal)              \
  X(std::string, ImageDescription)              \
  X(std::string, Make)                          \
  X(std::string, Model)                         \
  X(std::string, Software)                      \
  X(std::string, ExifVersion)                   \
  X(std::string, FlashpixVersion)               \
  X(std::string, RelatedSoundFile)              \
  X(std::string, SubSecTime)                    \
  X(std::string, SubSecTimeOriginal)            \
  X(std::string, SubSecTimeDigitized)           \
  X(double, ApertureValue)                      \
  X(std::string, ApertureValueText)             \
  X(double, BrightnessValue)                    \
  X(std::string, BrightnessValueText)           \
  X(double, CompressedBitsPerPixel)             \
  X(std::string, CompressedBitsPerPixelText)    \
  X(double, ExposureBiasValue)                  \
  X(std::string, ExposureBiasValueText)         \
  X(double, ExposureTime)                       \
  X(std::string, ExposureTimeText)              \
  X(double, FNumber)                            \
  X(std::string, FNumberText)                   \
  X(double, FocalLength)                        \
  X(std::string, FocalLengthText)               \
  X(double, FocalPlaneXResolution)              \
  X(std::string, FocalPlaneXResolutionText)     \
  X(double, FocalPlaneYResolution)              \
  X(std::string, FocalPlaneYResolutionText)     \
  X(double, MaxApertureValue)                   \
  X(std::string, MaxApertureValueText)          \
  X(double, ShutterSpeedValue)                  \
  X(std::string, ShutterSpeedValueText)         \
  X(double, SubjectDistance)                    \
  X(std::string, SubjectDistanceText)           \
  X(double, XResolution)                        \
  X(std::string, XResolutionText)               \
  X(double, YResolution)                        \
  X(std::string, YResolutionText)               \
  X(double, ThumbnailXResolution)               \
  X(std::string, ThumbnailXResolutionText)      \
  X(double, ThumbnailYResolution)               \
  X(std::string, ThumbnailYResolutionText)      \
  X(uint32_t, ColorSpace)                       \
  X(std::string, ColorSpaceText)                \
  X(uint32_t, Compression)                      \
  X(std::string, CompressionText)               \
  X(uint32_t, ExposureProgram)                  \
  X(std::string, ExposureProgramText)           \
  X(uint32_t, Flash)                            \
  X(std::string, FlashText)                     \
  X(uint32_t, FocalPlaneResolutionUnit)         \
  X(std::string, FocalPlaneResolutionUnitText)  \
  X(uint32_t, LightSource)                      \
  X(std::string, LightSourceText)               \
  X(uint32_t, MeteringMode)                     \
  X(std::string, MeteringModeText)              \
  X(uint32_t, PhotometricInterpretation)        \
  X(std::string, PhotometricInterpretationText) \
  X(uint32_t, ResolutionUnit)                   \
  X(std::string, ResolutionUnitText)            \
  X(uint32_t, ThumbnailResolutionUnit)          \
  X(std::string, ThumbnailResolutionUnitText)   \
  X(uint32_t, SensingMethod)                    \
  X(std::string, SensingMethodText)             \
  X(uint8_t, Orientation)                       \
  X(uint8_t, ThumbnailOrientation)              \
  X(uint32_t, ImageWidth)                       \
  X(uint32_t, ImageHeight)                      \
  X(uint32_t, ThumbnailWidth)                   \
  X(uint32_t, ThumbnailHeight)                  \
  X(uint16_t, ISOSpeedRatings)                  \
  X(uint32_t, JPEGInterchangeFormat)            \
  X(uint32_t, JPEGInterchangeFormatLength)      \
  X(uint32_t, MakerNotePosition)                \
  X(uint32_t, MakerNoteLength)                  \
  X(uint16_t, SamplesPerPixel)                  \
  X(uint16_t, PlanarConfiguration)

// The decoded values as plain fields; a value-initialised object is the
// cleared state (empty texts, zero numbers).
struct ExifFields {
#define KURONEL_EXIF_DECLARE_FIELD(type, name) type name{};
  KURONEL_EXIF_FIELDS(KURONEL_EXIF_DECLARE_FIELD)
#undef KURONEL_EXIF_DECLARE_FIELD
};

}  // namespace kuronel

#endif  // KURONEL_EXIF_EXIF_FIELDS_H_
