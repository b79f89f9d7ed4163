#ifndef KURONEL_TESTING_CAMERA_FILE_BUILDER_H_
#define KURONEL_TESTING_CAMERA_FILE_BUILDER_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "testing/jpeg_builder.h"

namespace kuronel::testing {

// Big-endian numbers, as ISO media boxes and RAF headers hold them.
std::string Be16(uint16_t value);
std::string Be32(uint32_t value);
std::string Be64(uint64_t value);

// A TIFF-form RAW file: `tiff` at the file's start, its two header bytes
// after the byte order replaced by `magic` when given ("RO" for ORF,
// "U\0" for RW2), then `image_bytes` of raw data.
std::string TiffRaw(const TiffBuilder& tiff, std::string_view magic = {},
                    size_t image_bytes = 8192);

// A TIFF structure whose Exif directory (holding DateTimeOriginal `date`)
// lies `gap` bytes behind IFD0 and its values.
std::string TiffWithFarExif(ByteOrder order, std::string_view date,
                            uint32_t gap);

// A TIFF-form RAW whose Exif directory lies behind `gap` bytes of image
// data, as many makers place it.
std::string TiffRawWithFarExif(ByteOrder order, std::string_view date,
                               uint32_t gap);

// ISO media boxes.
std::string Box(std::string_view type, std::string_view payload);
std::string FullBox(std::string_view type, uint8_t version, uint32_t flags,
                    std::string_view payload);
std::string Ftyp(std::string_view major,
                 const std::vector<std::string_view>& compatible);

// How a HEIF photo's Exif item is stored.
struct HeifLayout {
  std::string major_brand = "heic";
  std::vector<std::string_view> compatible = {"mif1", "heic"};
  uint8_t iloc_version = 0;  // 0, 1 or 2
  uint8_t offset_size = 4;   // of iloc's offsets and lengths: 4 or 8
  bool in_idat = false;      // the item's data in meta's idat box
  // The item's data: the offset of the TIFF header after the 4-byte
  // offset itself, then "Exif\0\0", then the TIFF structure. Standard is 6;
  // some writers store 0 and point at the identifier.
  uint32_t tiff_header_offset = 6;
  bool with_exif_item = true;
  // The Exif item's extent offset as iloc gives it (after a base offset of
  // 16 where iloc has one), instead of the right one: a broken file's.
  std::optional<uint64_t> exif_extent_offset;
  // The Exif item's extent length, instead of the right one.
  std::optional<uint64_t> exif_extent_length;
};

// A HEIF photo: ftyp, meta (hdlr, an image item and the Exif item in iinf
// and iloc), mdat with the Exif item's data and a little image data.
std::string HeifPhoto(const TiffBuilder& tiff, const HeifLayout& layout = {});

// A CR3 file: ftyp "crx ", moov holding Canon's uuid box with CMT1 (IFD0)
// and CMT2 (the Exif directory as a TIFF structure of its own), then mdat.
std::string Cr3Photo(const TiffBuilder& ifd0, const TiffBuilder& exif);

// A RAF file: its header, then `jpeg` at the offset the header gives.
std::string RafPhoto(std::string_view jpeg);

}  // namespace kuronel::testing

#endif  // KURONEL_TESTING_CAMERA_FILE_BUILDER_H_
