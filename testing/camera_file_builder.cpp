#include "testing/camera_file_builder.h"

#include <stdexcept>

namespace kuronel::testing {
namespace {

// A number of `size` bytes (0, 4 or 8), big-endian.
std::string Sized(uint64_t value, uint8_t size) {
  if (size == 0) return {};
  if (size == 4) return Be32(static_cast<uint32_t>(value));
  if (size == 8) return Be64(value);
  throw std::invalid_argument("field sizes are 0, 4 or 8");
}

constexpr char kExifIdentifier[] = {'E', 'x', 'i', 'f', '\0', '\0'};

}  // namespace

std::string Be16(uint16_t value) {
  return {static_cast<char>(value >> 8), static_cast<char>(value & 0xFF)};
}

std::string Be32(uint32_t value) {
  return Be16(static_cast<uint16_t>(value >> 16)) +
         Be16(static_cast<uint16_t>(value & 0xFFFF));
}

std::string Be64(uint64_t value) {
  return Be32(static_cast<uint32_t>(value >> 32)) +
         Be32(static_cast<uint32_t>(value & 0xFFFFFFFF));
}

std::string TiffRaw(const TiffBuilder& tiff, std::string_view magic,
                    size_t image_bytes) {
  std::string file = tiff.Build();
  if (!magic.empty()) file.replace(2, 2, magic.substr(0, 2));
  return file + std::string(image_bytes, '\x5A');
}

std::string TiffWithFarExif(ByteOrder order, std::string_view date,
                            uint32_t gap) {
  TiffBuilder tiff(order);
  const int ifd0 = tiff.AddDirectory();
  tiff.Ascii(ifd0, 0x010F, "Maker");
  const size_t near = tiff.Build().size() + 12;  // one more entry follows
  const auto position = static_cast<uint32_t>(near + gap);
  tiff.EntryWithField(ifd0, 0x8769, 4, 1, position);
  std::string file = tiff.Build();
  file.resize(position, '\x5A');
  const uint32_t text_position = position + 2 + 12 + 4;
  file += tiff.U16(1) + tiff.U16(0x9003) + tiff.U16(2) +
          tiff.U32(static_cast<uint32_t>(date.size() + 1)) +
          tiff.U32(text_position) + tiff.U32(0) + std::string(date) + '\0';
  return file;
}

std::string TiffRawWithFarExif(ByteOrder order, std::string_view date,
                               uint32_t gap) {
  return TiffWithFarExif(order, date, gap) + std::string(4096, '\x5A');
}

std::string Box(std::string_view type, std::string_view payload) {
  if (type.size() != 4) throw std::invalid_argument("box types have 4 bytes");
  return Be32(static_cast<uint32_t>(8 + payload.size())) + std::string(type) +
         std::string(payload);
}

std::string FullBox(std::string_view type, uint8_t version, uint32_t flags,
                    std::string_view payload) {
  return Box(type, static_cast<char>(version) + Be32(flags).substr(1) +
                       std::string(payload));
}

std::string Ftyp(std::string_view major,
                 const std::vector<std::string_view>& compatible) {
  std::string payload = std::string(major) + Be32(0);
  for (std::string_view brand : compatible) payload += brand;
  return Box("ftyp", payload);
}

std::string HeifPhoto(const TiffBuilder& tiff, const HeifLayout& layout) {
  if (layout.in_idat && layout.iloc_version == 0)
    throw std::invalid_argument("iloc version 0 has no construction method");
  const std::string exif_data = Be32(layout.tiff_header_offset) +
                                std::string(kExifIdentifier, 6) + tiff.Build();
  const std::string image_data(64, '\x42');
  const bool wide_ids = layout.iloc_version == 2;
  const bool has_method = layout.iloc_version >= 1;
  const uint8_t base_size = has_method ? 4 : 0;
  auto id = [&](uint16_t item) { return wide_ids ? Be32(item) : Be16(item); };
  // One iloc entry: base offset + extent offset = `offset`, or the extent
  // offset as given.
  auto location = [&](uint16_t item, uint16_t method, uint64_t offset,
                      uint64_t length, std::optional<uint64_t> extent_offset,
                      std::optional<uint64_t> extent_length) {
    const uint64_t base = base_size != 0 && offset >= 16 ? 16 : 0;
    std::string entry = id(item);
    if (has_method) entry += Be16(method);
    entry += Be16(0) + Sized(base, base_size) + Be16(1);
    return entry +
           Sized(extent_offset.value_or(offset - base), layout.offset_size) +
           Sized(extent_length.value_or(length), layout.offset_size);
  };
  auto meta = [&](uint64_t mdat_data) {
    std::string infos =
        FullBox("infe", 2, 0, Be16(1) + Be16(0) + "hvc1" + '\0');
    uint16_t items = 1;
    if (layout.with_exif_item) {
      infos += FullBox("infe", 2, 0, Be16(2) + Be16(0) + "Exif" + '\0');
      ++items;
    }
    std::string locations =
        location(1, 0, mdat_data + (layout.in_idat ? 0 : exif_data.size()),
                 image_data.size(), std::nullopt, std::nullopt);
    if (layout.with_exif_item)
      locations +=
          location(2, layout.in_idat ? 1 : 0, layout.in_idat ? 0 : mdat_data,
                   exif_data.size(), layout.exif_extent_offset,
                   layout.exif_extent_length);
    const uint8_t sizes[2] = {
        static_cast<uint8_t>(layout.offset_size << 4 | layout.offset_size),
        static_cast<uint8_t>(base_size << 4)};
    std::string children =
        FullBox("hdlr", 0, 0, Be32(0) + "pict" + std::string(13, '\0')) +
        FullBox("pitm", 0, 0, Be16(1)) +
        FullBox("iinf", 0, 0, Be16(items) + infos) +
        FullBox("iloc", layout.iloc_version, 0,
                std::string(reinterpret_cast<const char*>(sizes), 2) +
                    (wide_ids ? Be32(items) : Be16(items)) + locations);
    if (layout.in_idat) children += Box("idat", exif_data);
    return FullBox("meta", 0, 0, children);
  };
  const std::string ftyp = Ftyp(layout.major_brand, layout.compatible);
  // The offsets do not change the boxes' sizes: measure, then write.
  const uint64_t mdat_data = ftyp.size() + meta(0).size() + 8;
  const std::string mdat =
      Box("mdat", (layout.in_idat ? "" : exif_data) + image_data);
  return ftyp + meta(mdat_data) + mdat;
}

std::string Cr3Photo(const TiffBuilder& ifd0, const TiffBuilder& exif) {
  static constexpr char kCanonUuid[] =
      "\x85\xc0\xb6\x87\x82\x0f\x11\xe0\x81\x11\xf4\xce\x46\x2b\x6a\x48";
  const std::string canon =
      Box("uuid", std::string(kCanonUuid, 16) +
                      Box("CNCV", "CanonCR3_001/00.10.00/00.00.00") +
                      Box("CCTP", std::string(12, '\0')) +
                      Box("CMT1", ifd0.Build()) + Box("CMT2", exif.Build()) +
                      Box("CMT3", std::string("II*\0\x08\0\0\0\0\0\0\0", 12)));
  return Ftyp("crx ", {"crx ", "isom"}) +
         Box("moov", canon + FullBox("mvhd", 0, 0, std::string(96, '\0'))) +
         Box("mdat", std::string(4096, '\x5A'));
}

std::string RafPhoto(std::string_view jpeg) {
  constexpr uint32_t kJpegOffset = 160;
  std::string header = "FUJIFILMCCD-RAW 0201FF393101";
  header += "X-T99";
  header.resize(84, '\0');
  header += Be32(kJpegOffset) + Be32(static_cast<uint32_t>(jpeg.size()));
  header.resize(kJpegOffset, '\0');
  return header + std::string(jpeg) + std::string(4096, '\x5A');
}

}  // namespace kuronel::testing
