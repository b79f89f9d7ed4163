// Where a photo file keeps its Exif data: a JPEG's APP1 segment, a RAW's
// TIFF header, the boxes of a CR3 or HEIF file, the JPEG inside a RAF.

#include "exif/exif_locate.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "platform/text.h"

namespace kuronel {
namespace {

constexpr uint64_t kIdentifierOffset = 4;
constexpr size_t kIdentifierSize = 6;
constexpr uint64_t kTiffOffset = kIdentifierOffset + kIdentifierSize;
constexpr uint64_t kTiffHeaderSize = 8;

// Offset of the first FF E1 pair that starts at jpeg_start + 2 ..
// jpeg_start + last pair (at + 2 in any case). The scan reads raw bytes; it
// does not step over segments.
std::optional<uint64_t> FindApp1Marker(ByteSource& source, uint64_t jpeg_start,
                                       int32_t search_range) {
  const uint64_t last_pair =
      jpeg_start +
      static_cast<uint64_t>(std::max<int64_t>(2, int64_t{search_range} - 1));
  uint8_t block[4096];
  uint64_t offset = jpeg_start + 2;
  while (offset <= last_pair) {
    const size_t wanted = static_cast<size_t>(
        std::min<uint64_t>(sizeof block, last_pair - offset + 2));
    const size_t got = source.ReadAt(offset, block, wanted);
    for (size_t i = 0; i + 1 < got; ++i) {
      if (block[i] == 0xFF && block[i + 1] == 0xE1) return offset + i;
    }
    if (got < wanted) return std::nullopt;  // The file ends within the range.
    offset += got - 1;  // The last byte starts the next pair.
  }
  return std::nullopt;
}

// "Exif" in any letter case up to the first NUL byte.
bool IsExifIdentifier(const uint8_t (&identifier)[kIdentifierSize]) {
  const auto* begin = reinterpret_cast<const char*>(identifier);
  const auto* end = std::find(begin, begin + kIdentifierSize, '\0');
  return SameIgnoringAsciiCase(
      std::string_view(begin, static_cast<std::size_t>(end - begin)), "exif");
}

constexpr uint32_t FourCc(const char (&code)[5]) {
  return uint32_t{static_cast<uint8_t>(code[0])} << 24 |
         uint32_t{static_cast<uint8_t>(code[1])} << 16 |
         uint32_t{static_cast<uint8_t>(code[2])} << 8 |
         uint32_t{static_cast<uint8_t>(code[3])};
}

// Reads big-endian numbers from `position` on, never past `end`: once one
// does not fit, it and every later read fail.
class BoxReader {
 public:
  BoxReader(ByteSource& source, uint64_t position, uint64_t end)
      : source_(source), position_(position), end_(std::max(position, end)) {}

  // A number of `size` bytes (0 to 8; 0 gives 0).
  uint64_t Number(size_t size) {
    uint8_t bytes[8];
    if (!ok_ || size > sizeof bytes || end_ - position_ < size ||
        source_.ReadAt(position_, bytes, size) != size) {
      ok_ = false;
      return 0;
    }
    position_ += size;
    uint64_t value = 0;
    for (size_t i = 0; i < size; ++i) value = value << 8 | bytes[i];
    return value;
  }
  void Skip(uint64_t count) {
    if (end_ - position_ < count) ok_ = false;
    if (ok_) position_ += count;
  }

  bool ok() const { return ok_; }
  uint64_t position() const { return position_; }
  uint64_t end() const { return end_; }

 private:
  ByteSource& source_;
  uint64_t position_;
  uint64_t end_;
  bool ok_ = true;
};

// One ISO media box: its type and where its payload lies.
struct Box {
  uint32_t type = 0;
  uint64_t data = 0;  // the first byte after the header (and the uuid)
  uint64_t end = 0;   // one past the box's last byte
};

// The box at `position` of a container whose payload ends at `end`; nothing
// when its header is cut or its size does not fit in the container. Every
// box takes at least its 8-byte header, so a walk over boxes cannot loop.
std::optional<Box> BoxAt(ByteSource& source, uint64_t position, uint64_t end) {
  BoxReader reader(source, position, end);
  uint64_t size = reader.Number(4);
  Box box{static_cast<uint32_t>(reader.Number(4)), 0, 0};
  if (size == 1) size = reader.Number(8);  // a 64-bit size follows
  if (!reader.ok()) return std::nullopt;
  if (size == 0) size = end - position;  // up to the container's end
  box.data = reader.position();
  if (size < box.data - position || size > end - position) return std::nullopt;
  box.end = position + size;
  return box;
}

// Containers hold a few boxes; a crafted file of thousands costs no more.
constexpr int kMaxBoxesPerContainer = 4096;

// The first box of `type` among those from `begin` to `end` (of type
// "uuid", the first with `uuid`, its payload then starting after it).
std::optional<Box> FindBox(ByteSource& source, uint64_t begin, uint64_t end,
                           uint32_t type, const uint8_t* uuid = nullptr) {
  uint64_t position = begin;
  for (int i = 0; i < kMaxBoxesPerContainer && position < end; ++i) {
    std::optional<Box> box = BoxAt(source, position, end);
    if (!box) return std::nullopt;
    position = box->end;
    if (box->type != type) continue;
    if (uuid == nullptr) return box;
    uint8_t user_type[16];
    if (box->end - box->data >= sizeof user_type &&
        source.ReadAt(box->data, user_type, sizeof user_type) ==
            sizeof user_type &&
        std::memcmp(user_type, uuid, sizeof user_type) == 0) {
      box->data += sizeof user_type;
      return box;
    }
  }
  return std::nullopt;
}

// The payload of a full box (version and flags) starts 4 bytes in.
std::optional<Box> FullBoxChildren(std::optional<Box> box) {
  if (!box || box->end - box->data < 4) return std::nullopt;
  box->data += 4;
  return box;
}

// What an ISO media file is, by the brands of its ftyp box.
enum class IsoKind { kOther, kCr3, kHeifPhoto };

IsoKind KindOfIsoFile(ByteSource& source, const Box& ftyp) {
  BoxReader reader(source, ftyp.data, ftyp.end);
  const uint32_t major = static_cast<uint32_t>(reader.Number(4));
  if (!reader.ok()) return IsoKind::kOther;
  if (major == FourCc("crx ")) return IsoKind::kCr3;
  // Still-image brands only: image sequences (msf1, hevc, avis) and movies
  // (isom, mp41, qt) keep their file time.
  auto is_photo_brand = [](uint32_t brand) {
    for (const uint32_t photo :
         {FourCc("heic"), FourCc("heix"), FourCc("heim"), FourCc("heis"),
          FourCc("mif1"), FourCc("mif2"), FourCc("avif")}) {
      if (brand == photo) return true;
    }
    return false;
  };
  if (is_photo_brand(major)) return IsoKind::kHeifPhoto;
  reader.Skip(4);  // minor version
  for (int i = 0; i < 64; ++i) {
    const uint32_t brand = static_cast<uint32_t>(reader.Number(4));
    if (!reader.ok()) break;
    if (is_photo_brand(brand)) return IsoKind::kHeifPhoto;
  }
  return IsoKind::kOther;
}

// The ID of the first item of type "Exif" listed in the iinf box.
std::optional<uint64_t> ExifItemId(ByteSource& source, const Box& iinf) {
  BoxReader reader(source, iinf.data, iinf.end);
  const uint64_t version = reader.Number(1);
  reader.Skip(3);
  const uint64_t count = reader.Number(version == 0 ? 2 : 4);
  if (!reader.ok()) return std::nullopt;
  uint64_t position = reader.position();
  for (uint64_t i = 0; i < count && i < kMaxBoxesPerContainer; ++i) {
    const std::optional<Box> infe = BoxAt(source, position, iinf.end);
    if (!infe) return std::nullopt;
    position = infe->end;
    if (infe->type != FourCc("infe")) continue;
    // Only versions 2 and 3 name the item's type.
    BoxReader entry(source, infe->data, infe->end);
    const uint64_t entry_version = entry.Number(1);
    if (entry_version < 2) continue;
    entry.Skip(3);
    const uint64_t item_id = entry.Number(entry_version == 2 ? 2 : 4);
    entry.Skip(2);  // protection index
    const uint64_t item_type = entry.Number(4);
    if (entry.ok() && item_type == FourCc("Exif")) return item_id;
  }
  return std::nullopt;
}

// Where an item's data lies in the file: its first extent.
struct Extent {
  uint64_t offset = 0;
  uint64_t length = 0;  // 0: up to the end of the file
};

bool AddWithoutOverflow(uint64_t a, uint64_t b, uint64_t& sum) {
  return !__builtin_add_overflow(a, b, &sum);
}

// The first extent of item `item_id` in the iloc box: in the file, or in
// the idat box for items built that way. Items in other files or made of
// other items are not read.
std::optional<Extent> ItemExtent(ByteSource& source, const Box& iloc,
                                 uint64_t item_id,
                                 const std::optional<Box>& idat) {
  BoxReader reader(source, iloc.data, iloc.end);
  const uint64_t version = reader.Number(1);
  reader.Skip(3);
  const uint64_t sizes = reader.Number(2);
  const size_t offset_size = sizes >> 12 & 0xF;
  const size_t length_size = sizes >> 8 & 0xF;
  const size_t base_offset_size = sizes >> 4 & 0xF;
  const bool has_index = version == 1 || version == 2;
  const size_t index_size = has_index ? (sizes & 0xF) : 0;
  for (size_t size : {offset_size, length_size, base_offset_size, index_size}) {
    if (size != 0 && size != 4 && size != 8) return std::nullopt;
  }
  const size_t id_size = version < 2 ? 2 : 4;
  const uint64_t item_count = reader.Number(id_size);
  for (uint64_t i = 0; i < item_count && reader.ok(); ++i) {
    const uint64_t id = reader.Number(id_size);
    const uint64_t construction = has_index ? reader.Number(2) & 0xF : 0;
    const uint64_t data_reference = reader.Number(2);
    const uint64_t base_offset = reader.Number(base_offset_size);
    const uint64_t extent_count = reader.Number(2);
    if (!reader.ok()) return std::nullopt;
    if (id != item_id) {
      reader.Skip(extent_count * (index_size + offset_size + length_size));
      continue;
    }
    if (data_reference != 0 || extent_count == 0 || construction > 1)
      return std::nullopt;
    reader.Skip(index_size);
    Extent extent;
    const uint64_t offset = reader.Number(offset_size);
    extent.length = reader.Number(length_size);
    if (!reader.ok() || !AddWithoutOverflow(base_offset, offset, extent.offset))
      return std::nullopt;
    if (construction == 0) return extent;
    // Within the idat box's payload.
    if (!idat || extent.offset > idat->end - idat->data) return std::nullopt;
    extent.offset += idat->data;
    const uint64_t room = idat->end - extent.offset;
    if (extent.length == 0 || extent.length > room) extent.length = room;
    return extent;
  }
  return std::nullopt;
}

bool HasTiffByteOrder(ByteSource& source, uint64_t position) {
  uint8_t order[2];
  return source.ReadAt(position, order, 2) == 2 && order[0] == order[1] &&
         (order[0] == 'I' || order[0] == 'M');
}

// The Exif item's data starts with the offset of the TIFF header from the
// end of that 4-byte number.
std::optional<uint64_t> TiffInExifItem(ByteSource& source, const Extent& item) {
  uint64_t end = source.Size();
  uint64_t item_end = 0;
  if (item.length != 0 &&
      AddWithoutOverflow(item.offset, item.length, item_end))
    end = std::min(end, item_end);
  BoxReader reader(source, item.offset, end);
  reader.Skip(reader.Number(4));
  if (!reader.ok()) return std::nullopt;
  uint64_t tiff_start = reader.position();
  // Some writers point at the "Exif\0\0" identifier before the header.
  uint8_t identifier[kIdentifierSize];
  if (!HasTiffByteOrder(source, tiff_start) &&
      source.ReadAt(tiff_start, identifier, sizeof identifier) ==
          sizeof identifier &&
      IsExifIdentifier(identifier))
    tiff_start += kIdentifierSize;
  if (end < kTiffHeaderSize || tiff_start > end - kTiffHeaderSize)
    return std::nullopt;
  return tiff_start;
}

// HEIF: meta → iinf names the Exif item, iloc says where its data lies.
std::optional<TiffStarts> LocateHeifExif(ByteSource& source, const Box& ftyp) {
  const std::optional<Box> meta =
      FullBoxChildren(FindBox(source, ftyp.end, source.Size(), FourCc("meta")));
  if (!meta) return std::nullopt;
  const std::optional<Box> iinf =
      FindBox(source, meta->data, meta->end, FourCc("iinf"));
  const std::optional<Box> iloc =
      FindBox(source, meta->data, meta->end, FourCc("iloc"));
  if (!iinf || !iloc) return std::nullopt;
  const std::optional<uint64_t> item_id = ExifItemId(source, *iinf);
  if (!item_id) return std::nullopt;
  const std::optional<Extent> extent =
      ItemExtent(source, *iloc, *item_id,
                 FindBox(source, meta->data, meta->end, FourCc("idat")));
  if (!extent) return std::nullopt;
  const std::optional<uint64_t> tiff_start = TiffInExifItem(source, *extent);
  if (!tiff_start) return std::nullopt;
  return TiffStarts{*tiff_start, std::nullopt, false};
}

// Canon's box in moov that holds the CMT boxes.
constexpr uint8_t kCanonUuid[16] = {0x85, 0xc0, 0xb6, 0x87, 0x82, 0x0f,
                                    0x11, 0xe0, 0x81, 0x11, 0xf4, 0xce,
                                    0x46, 0x2b, 0x6a, 0x48};

// CR3: CMT1 holds IFD0 as a TIFF structure, CMT2 the Exif directory as one
// of its own.
std::optional<TiffStarts> LocateCr3Exif(ByteSource& source, const Box& ftyp) {
  const std::optional<Box> moov =
      FindBox(source, ftyp.end, source.Size(), FourCc("moov"));
  if (!moov) return std::nullopt;
  const std::optional<Box> canon =
      FindBox(source, moov->data, moov->end, FourCc("uuid"), kCanonUuid);
  if (!canon) return std::nullopt;
  auto tiff_box = [&](const char(&type)[5]) -> std::optional<uint64_t> {
    const std::optional<Box> box =
        FindBox(source, canon->data, canon->end, FourCc(type));
    if (!box || box->end - box->data < kTiffHeaderSize) return std::nullopt;
    return box->data;
  };
  const std::optional<uint64_t> ifd0 = tiff_box("CMT1");
  if (!ifd0) return std::nullopt;
  return TiffStarts{*ifd0, tiff_box("CMT2"), false};
}

// A TIFF header at the file's start, with the variants of Olympus ("IIRO",
// "IIRS", "MMOR") and Panasonic ("IIU\0") RAW files.
bool IsTiffHeader(std::string_view start) {
  static constexpr std::string_view kHeaders[] = {{"II*\0", 4}, {"MM\0*", 4},
                                                  {"IIRO", 4},  {"IIRS", 4},
                                                  {"MMOR", 4},  {"IIU\0", 4}};
  return std::find(std::begin(kHeaders), std::end(kHeaders),
                   start.substr(0, 4)) != std::end(kHeaders);
}

constexpr std::string_view kRafMagic = "FUJIFILMCCD-RAW ";
// Where a RAF header keeps the offset of its embedded JPEG (big-endian).
constexpr uint64_t kRafJpegOffsetPosition = 84;

}  // namespace

std::optional<uint64_t> LocateJpegExif(ByteSource& source, uint64_t jpeg_start,
                                       int32_t search_range) {
  uint8_t start[2];
  if (source.ReadAt(jpeg_start, start, 2) != 2 || start[0] != 0xFF ||
      start[1] != 0xD8)
    return std::nullopt;
  const std::optional<uint64_t> marker =
      FindApp1Marker(source, jpeg_start, search_range);
  if (!marker) return std::nullopt;
  uint8_t identifier[kIdentifierSize];
  if (source.ReadAt(*marker + kIdentifierOffset, identifier, kIdentifierSize) !=
          kIdentifierSize ||
      !IsExifIdentifier(identifier))
    return std::nullopt;
  return *marker + kTiffOffset;
}

std::optional<TiffStarts> LocateCameraFileExif(ByteSource& source,
                                               int32_t search_range) {
  char first[16];
  const size_t got =
      source.ReadAt(0, reinterpret_cast<uint8_t*>(first), sizeof first);
  const std::string_view start(first, got);
  if (start.size() >= kTiffHeaderSize && IsTiffHeader(start))
    return TiffStarts{0, std::nullopt, false};
  if (start == kRafMagic) {
    BoxReader reader(source, kRafJpegOffsetPosition, source.Size());
    const uint64_t jpeg_start = reader.Number(4);
    if (!reader.ok()) return std::nullopt;
    const std::optional<uint64_t> tiff_start =
        LocateJpegExif(source, jpeg_start, search_range);
    if (!tiff_start) return std::nullopt;
    return TiffStarts{*tiff_start, std::nullopt, true};
  }
  const std::optional<Box> ftyp = BoxAt(source, 0, source.Size());
  if (!ftyp || ftyp->type != FourCc("ftyp")) return std::nullopt;
  switch (KindOfIsoFile(source, *ftyp)) {
    case IsoKind::kCr3:
      return LocateCr3Exif(source, *ftyp);
    case IsoKind::kHeifPhoto:
      return LocateHeifExif(source, *ftyp);
    case IsoKind::kOther:
      break;
  }
  return std::nullopt;
}

}  // namespace kuronel
