#ifndef KURONEL_EXIF_EXIF_LOCATE_H_
#define KURONEL_EXIF_EXIF_LOCATE_H_

#include <cstdint>
#include <optional>

#include "exif/byte_source.h"

namespace kuronel {

// Where the TIFF structures of a photo's Exif data start, as file offsets.
struct TiffStarts {
  // The structure whose first directory is the main image's (IFD0).
  uint64_t first = 0;
  // A structure of its own whose first directory is the Exif directory: a
  // CR3 file keeps the two apart.
  std::optional<uint64_t> exif_directory;
  // The first lies in a JPEG's APP1 segment, whose length then tells how
  // much of the file's start the walk may take in with one read.
  bool in_app1 = true;
};

// The TIFF header of the Exif APP1 segment of a JPEG that starts at
// `jpeg_start`: FF D8 there, the first FF E1 pair at jpeg_start + 2 ..
// jpeg_start + search_range - 1 (+ 2 in any case), an identifier reading
// "Exif" in any case up to its first NUL byte.
std::optional<uint64_t> LocateJpegExif(ByteSource& source, uint64_t jpeg_start,
                                       int32_t search_range);

// The Exif data of a camera file other than a JPEG, recognised by its first
// bytes: a TIFF-form RAW (a TIFF header, also ORF's "IIRO"/"IIRS"/"MMOR" and
// RW2's "IIU\0"), a CR3 (ftyp "crx ": the CMT1 and CMT2 boxes of Canon's
// uuid box in moov), a HEIF or AVIF photo (the Exif item of meta, found
// through iinf and iloc) or a RAF (the JPEG it embeds). Nothing for any
// other file, movies included. Every box, count and offset is checked
// against its container and the file in 64 bits; nothing is read past the
// file's end.
std::optional<TiffStarts> LocateCameraFileExif(ByteSource& source,
                                               int32_t search_range);

}  // namespace kuronel

#endif  // KURONEL_EXIF_EXIF_LOCATE_H_
