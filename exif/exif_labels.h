#ifndef KURONEL_EXIF_EXIF_LABELS_H_
#define KURONEL_EXIF_EXIF_LABELS_H_

#include <cstdint>
#include <optional>
#include <string_view>

namespace kuronel {

// The Japanese labels of coded Exif values. A code without a row gives an
// empty label ("不明" and "その他" are ordinary rows, not fallbacks).
enum class LabelTable {
  kCompression,
  kPhotometricInterpretation,
  kResolutionUnit,
  kExposureProgram,
  kMeteringMode,
  kLightSource,
  kFlash,
  kColorSpace,
  kSensingMethod,
};

// The label of `code`, or nullopt when the table has no row for it.
std::optional<std::string_view> FindLabel(LabelTable table, uint32_t code);

// The label of `code`, empty when the table has no row for it.
std::string_view LabelOf(LabelTable table, uint32_t code);

// The orientation number kept for an Exif orientation code: the code with 3
// and 4 exchanged; nullopt for codes above 8, which leave the field alone.
std::optional<uint8_t> OrientationNumber(uint32_t code);

}  // namespace kuronel

#endif  // KURONEL_EXIF_EXIF_LABELS_H_
