#include "bench/card_maker.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>

#include "testing/camera_file_builder.h"
#include "testing/jpeg_builder.h"

namespace kuronel::bench {
namespace {

constexpr size_t kNotFound = std::string::npos;
constexpr size_t kDateLength = 19;  // "YYYY:MM:DD HH:MM:SS"

class TiffReader {
 public:
  TiffReader(const std::string& bytes, size_t tiff_start)
      : bytes_(bytes), start_(tiff_start) {}

  bool ReadHeader() {
    if (start_ + 8 > bytes_.size()) return false;
    if (bytes_.compare(start_, 2, "II") == 0) {
      motorola_ = false;
    } else if (bytes_.compare(start_, 2, "MM") == 0) {
      motorola_ = true;
    } else {
      return false;
    }
    return U16(2) == 42;
  }
  std::uint32_t FirstDirectory() const { return U32(4); }

  // The offset (from the TIFF start) of the value of `tag` in the directory
  // at `directory`, with its type and count; false when it is not there.
  bool FindEntry(std::uint32_t directory, std::uint16_t tag,
                 std::uint16_t& type, std::uint32_t& count,
                 std::uint32_t& value_offset) const {
    if (!Fits(directory, 2)) return false;
    const std::uint16_t entries = U16(directory);
    for (std::uint32_t i = 0; i < entries; ++i) {
      const std::uint32_t entry = directory + 2 + i * 12;
      if (!Fits(entry, 12)) return false;
      if (U16(entry) != tag) continue;
      type = U16(entry + 2);
      count = U32(entry + 4);
      // Values of four bytes or less stand in the entry itself.
      const bool inline_value =
          (type == 2 && count <= 4) || type == 3 || type == 4;
      value_offset = inline_value ? entry + 8 : U32(entry + 8);
      return true;
    }
    return false;
  }
  bool Fits(std::uint64_t offset, std::uint64_t length) const {
    return start_ + offset + length <= bytes_.size();
  }
  size_t start() const { return start_; }
  std::uint32_t U32At(std::uint32_t offset) const { return U32(offset); }

 private:
  std::uint16_t U16(std::uint32_t offset) const {
    const auto* p =
        reinterpret_cast<const unsigned char*>(bytes_.data() + start_ + offset);
    return motorola_ ? (p[0] << 8 | p[1]) : (p[1] << 8 | p[0]);
  }
  std::uint32_t U32(std::uint32_t offset) const {
    const auto* p =
        reinterpret_cast<const unsigned char*>(bytes_.data() + start_ + offset);
    return motorola_
               ? (std::uint32_t{p[0]} << 24 | p[1] << 16 | p[2] << 8 | p[3])
               : (std::uint32_t{p[3]} << 24 | p[2] << 16 | p[1] << 8 | p[0]);
  }

  const std::string& bytes_;
  size_t start_;
  bool motorola_ = false;
};

// The offset of the TIFF header in the first Exif APP1 segment.
size_t FindTiffStart(const std::string& jpeg) {
  if (jpeg.size() < 4 || jpeg.compare(0, 2, "\xFF\xD8") != 0) return kNotFound;
  size_t pos = 2;
  while (pos + 4 <= jpeg.size() &&
         static_cast<unsigned char>(jpeg[pos]) == 0xFF) {
    const auto marker = static_cast<unsigned char>(jpeg[pos + 1]);
    const size_t length = static_cast<unsigned char>(jpeg[pos + 2]) << 8 |
                          static_cast<unsigned char>(jpeg[pos + 3]);
    if (marker == 0xDA || marker == 0xD9 || length < 2) return kNotFound;
    if (marker == 0xE1 &&
        jpeg.compare(pos + 4, 6, std::string("Exif\0\0", 6)) == 0)
      return pos + 10;
    pos += 2 + length;
  }
  return kNotFound;
}

bool LooksLikeDate(const std::string& bytes, size_t at) {
  static const char kForm[] = "dddd:dd:dd dd:dd:dd";
  if (at + kDateLength > bytes.size()) return false;
  for (size_t i = 0; i < kDateLength; ++i) {
    const char c = bytes[at + i];
    if (kForm[i] == 'd' ? (c < '0' || c > '9') : c != kForm[i]) return false;
  }
  return true;
}

Status ReadWholeFile(const std::string& path, std::string& bytes) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream contents;
  contents << in.rdbuf();
  if (!in) return Status::Error("cannot read " + path);
  bytes = contents.str();
  return Status::Ok();
}

Status MakeFolder(const std::string& path) {
  if (mkdir(path.c_str(), 0755) == 0 || errno == EEXIST) return Status::Ok();
  return Status::Error("cannot make " + path + ": " + std::strerror(errno));
}

Status MakeFolderWithParents(const std::string& path) {
  for (size_t slash = path.find('/', 1); slash != std::string::npos;
       slash = path.find('/', slash + 1)) {
    if (Status status = MakeFolder(path.substr(0, slash)); !status.ok())
      return status;
  }
  return MakeFolder(path);
}

Status WriteNewFile(const std::string& path, const std::string& bytes,
                    std::time_t modified) {
  const int fd =
      open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0)
    return Status::Error("cannot create " + path + ": " + std::strerror(errno));
  bool ok = WriteAll(fd, bytes);
  const struct timespec times[2] = {{modified, 0}, {modified, 0}};
  ok = futimens(fd, times) == 0 && ok;
  ok = close(fd) == 0 && ok;
  if (!ok) return Status::Error("cannot write " + path);
  return Status::Ok();
}

struct Sample {
  std::string path;
  std::string bytes;
  size_t date_offset;
  size_t scan_offset;  // where a real-sized copy's padding goes
};

Status LoadSamples(const CardOptions& options, std::vector<Sample>& samples) {
  const std::string folder = options.samples_folder.empty()
                                 ? DefaultSamplesFolder()
                                 : options.samples_folder;
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return Status::Error("cannot open samples in " + folder);
  std::vector<std::string> names;
  while (const dirent* entry = readdir(dir)) names.emplace_back(entry->d_name);
  closedir(dir);
  std::sort(names.begin(), names.end());  // the same card on every machine
  for (const std::string& name : names) {
    if (name.size() < 4 || (name.substr(name.size() - 4) != ".jpg" &&
                            name.substr(name.size() - 4) != ".JPG"))
      continue;
    Sample sample{folder + "/" + name, {}, kNotFound, kNotFound};
    struct stat info;
    if (stat(sample.path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) ||
        static_cast<size_t>(info.st_size) > options.max_sample_size)
      continue;
    if (!ReadWholeFile(sample.path, sample.bytes).ok()) continue;
    sample.date_offset = FindDateTimeOriginal(sample.bytes);
    sample.scan_offset = FindStartOfScan(sample.bytes);
    // A real-sized copy is padded before the scan, which must be found.
    if (options.real_sized && sample.scan_offset == kNotFound) continue;
    if (sample.date_offset != kNotFound) samples.push_back(std::move(sample));
  }
  if (samples.empty())
    return Status::Error("no JPEG with a DateTimeOriginal in " + folder);
  return Status::Ok();
}

// Shooting times: from 07:00 of each day on, rising with the file number.
class ShootingClock {
 public:
  explicit ShootingClock(const CardOptions& options)
      : count_(std::max<size_t>(options.file_count, 1)),
        days_(options.one_day ? 1 : std::max(options.days, 1)) {
    std::tm first{};
    first.tm_year = options.first_year - 1900;
    first.tm_mon = options.first_month - 1;
    first.tm_mday = options.first_day;
    first.tm_hour = 7;
    first.tm_isdst = -1;
    first_ = first;
  }

  std::time_t TimeOf(size_t index) const {
    const size_t day = index * days_ / count_;
    const size_t first_of_day = (day * count_ + days_ - 1) / days_;
    const size_t per_day = count_ / days_ + 1;
    // Fourteen hours of shooting a day; several files share a second when
    // a day holds more files than that has seconds.
    constexpr size_t kShootingSeconds = 14 * 3600;
    std::tm local = first_;
    local.tm_mday += static_cast<int>(day);
    local.tm_sec +=
        static_cast<int>((index - first_of_day) * kShootingSeconds / per_day);
    return mktime(&local);
  }

 private:
  size_t count_;
  size_t days_;
  std::tm first_;
};

std::string ExifDateText(std::time_t time) {
  std::tm local{};
  localtime_r(&time, &local);
  char text[80];
  std::snprintf(text, sizeof text, "%04d:%02d:%02d %02d:%02d:%02d",
                local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                local.tm_hour, local.tm_min, local.tm_sec);
  return text;
}

std::string FolderName(size_t index) {
  static const char* const kMakers[] = {"CANON", "NIKON", "OLYMP", "PENTX",
                                        "_FUJI"};
  char name[16];
  std::snprintf(name, sizeof name, "%03zu%s", 100 + index, kMakers[index % 5]);
  return name;
}

enum class Kind { kPhoto, kMovieMov, kMovieAvi, kMovieMp4, kThumbnail, kText };

Kind KindOf(size_t index, double other_share) {
  if (other_share <= 0) return Kind::kPhoto;
  const auto period = static_cast<size_t>(std::max(1.0, 1.0 / other_share));
  if (index % period != period - 1) return Kind::kPhoto;
  static const Kind kOthers[] = {Kind::kMovieMov, Kind::kMovieAvi,
                                 Kind::kThumbnail, Kind::kText};
  return kOthers[(index / period) % 4];
}

std::string DummyMovie(const char* header, size_t number) {
  std::string bytes(header, 12);
  bytes.resize(4096, static_cast<char>(number & 0xFF));
  return bytes;
}

// The Exif data of a RAW or HEIF photo: IFD0 with the maker, and the Exif
// directory with the shooting date.
testing::TiffBuilder ExifOf(const std::string& date, const char* maker,
                            testing::ByteOrder order) {
  testing::TiffBuilder tiff(order);
  const int ifd0 = tiff.AddDirectory();
  const int exif = tiff.AddDirectory();
  tiff.Ascii(ifd0, 0x010F, maker).Pointer(ifd0, 0x8769, exif);
  tiff.Ascii(exif, 0x9003, date);
  return tiff;
}

// The RAW file of the `turn`th pair: the kinds take turns, each laid out as
// its maker does (the TIFF-form ones, the DNG with its Exif directory behind
// the image data, the CR3 and the RAF). `jpeg` is the pair's JPEG, which
// the RAF holds. Sets the extension.
std::string RawPhoto(size_t turn, const std::string& date,
                     const std::string& jpeg, size_t image_bytes,
                     std::string& extension) {
  using testing::ByteOrder;
  const std::string padding(image_bytes, '\x5A');
  switch (turn % 9) {
    case 0: {
      extension = ".CR3";
      testing::TiffBuilder ifd0;
      ifd0.Ascii(ifd0.AddDirectory(), 0x010F, "Canon");
      testing::TiffBuilder exif;
      exif.Ascii(exif.AddDirectory(), 0x9003, date);
      return testing::Cr3Photo(ifd0, exif) + testing::Box("free", padding);
    }
    case 1:
      extension = ".NEF";
      return testing::TiffRaw(ExifOf(date, "NIKON", ByteOrder::kMotorola), {},
                              image_bytes);
    case 2:
      extension = ".ARW";
      return testing::TiffRaw(ExifOf(date, "SONY", ByteOrder::kIntel), {},
                              image_bytes);
    case 3:
      extension = ".DNG";
      return testing::TiffRawWithFarExif(
          ByteOrder::kIntel, date, static_cast<std::uint32_t>(image_bytes));
    case 4:
      extension = ".RAF";
      return testing::RafPhoto(jpeg) + padding;
    case 5:
      extension = ".ORF";
      return testing::TiffRaw(ExifOf(date, "OLYMPUS", ByteOrder::kIntel), "RO",
                              image_bytes);
    case 6:
      extension = ".RW2";
      return testing::TiffRaw(ExifOf(date, "Panasonic", ByteOrder::kIntel),
                              std::string_view("U\0", 2), image_bytes);
    case 7:
      extension = ".CR2";
      return testing::TiffRaw(ExifOf(date, "Canon", ByteOrder::kIntel), {},
                              image_bytes);
    default:
      extension = ".PEF";
      return testing::TiffRaw(ExifOf(date, "PENTAX", ByteOrder::kMotorola), {},
                              image_bytes);
  }
}

// One photo in eight of a card of today is a lone HEIF photo.
bool IsLoneHeif(size_t index) { return index % 8 == 7; }

std::uint64_t HeifBytes(const CardOptions& options, size_t index) {
  return SizeFor(options.jpeg_bytes, index) / 2;
}

// The image data of a real-sized RAW: the whole file but its few kilobytes
// of header.
size_t RawImageBytes(const CardOptions& options, size_t index) {
  return static_cast<size_t>(SizeFor(options.raw_bytes, index));
}

// About the bytes of photo `index` of a real-sized card, all its files.
std::uint64_t PhotoBytes(const CardOptions& options, size_t index) {
  if (!options.raw_pairs) return SizeFor(options.jpeg_bytes, index);
  if (IsLoneHeif(index)) return HeifBytes(options, index);
  return SizeFor(options.jpeg_bytes, index) + RawImageBytes(options, index);
}

// The photo `index` of a card of today: a lone HEIF photo (one in eight),
// else a RAW+JPEG pair under one name. Both files of a pair get the same
// Exif date and file time, as a camera writes them.
Status WriteModernPhoto(const CardOptions& options, const std::string& folder,
                        size_t number, std::time_t shot, size_t index,
                        const Sample& sample, const Filler& filler,
                        CardSummary& summary) {
  const std::string date = ExifDateText(shot);
  const std::time_t modified = shot + static_cast<std::time_t>(index % 3);
  char stem[32];
  std::snprintf(stem, sizeof stem, "IMG_%04zu", number);
  const std::string path = folder + stem;
  if (IsLoneHeif(index)) {
    std::string heif = testing::HeifPhoto(
        ExifOf(date, "Apple", testing::ByteOrder::kMotorola));
    if (options.real_sized)
      heif = WithTrailingFreeBox(std::move(heif), HeifBytes(options, index),
                                 filler, index);
    ++summary.heifs;
    summary.bytes += heif.size();
    return WriteNewFile(path + ".HEIC", heif, modified);
  }
  std::string jpeg = sample.bytes;
  jpeg.replace(sample.date_offset, kDateLength, date);
  std::string extension;
  // A RAF holds the small JPEG, as a camera's holds a preview.
  const std::string raw =
      RawPhoto(index, date, jpeg,
               options.real_sized ? RawImageBytes(options, index)
                                  : options.raw_image_bytes,
               extension);
  if (options.real_sized)
    jpeg = PaddedJpeg(jpeg, sample.scan_offset,
                      SizeFor(options.jpeg_bytes, index), filler, index);
  if (Status status = WriteNewFile(path + ".JPG", jpeg, modified); !status.ok())
    return status;
  ++summary.photos;
  ++summary.raws;
  summary.bytes += jpeg.size() + raw.size();
  return WriteNewFile(path + extension, raw, modified);
}

}  // namespace

std::string DefaultSamplesFolder() {
#ifdef KURONEL_TESTDATA_DIR
  return std::string(KURONEL_TESTDATA_DIR) + "/camera-jpegs";
#else
  return "testdata/camera-jpegs";
#endif
}

size_t FindDateTimeOriginal(const std::string& jpeg) {
  constexpr std::uint16_t kExifPointer = 0x8769;
  constexpr std::uint16_t kDateTimeOriginal = 0x9003;
  const size_t tiff_start = FindTiffStart(jpeg);
  if (tiff_start == kNotFound) return kNotFound;
  TiffReader tiff(jpeg, tiff_start);
  if (!tiff.ReadHeader()) return kNotFound;
  std::uint16_t type;
  std::uint32_t count, value;
  std::uint32_t directory = tiff.FirstDirectory();
  if (tiff.FindEntry(directory, kExifPointer, type, count, value) &&
      tiff.Fits(value, 4))
    directory = tiff.U32At(value);
  if (!tiff.FindEntry(directory, kDateTimeOriginal, type, count, value) &&
      !tiff.FindEntry(tiff.FirstDirectory(), kDateTimeOriginal, type, count,
                      value))
    return kNotFound;
  if (type != 2 || count < kDateLength || !tiff.Fits(value, kDateLength))
    return kNotFound;
  const size_t at = tiff.start() + value;
  return LooksLikeDate(jpeg, at) ? at : kNotFound;
}

size_t RealSizedFileCount(const CardOptions& options) {
  if (!options.real_sized || options.card_bytes == 0) return options.file_count;
  // Small enough to add up again for every count: a card of gigabytes has
  // hundreds of files.
  for (size_t count = 1; count < options.file_count; ++count) {
    std::uint64_t total = 0;
    for (size_t i = 0; i < count; ++i) {
      total += IsMovieSlot(i, count, options.movie_count)
                   ? options.movie_bytes
                   : PhotoBytes(options, i);
    }
    if (total >= options.card_bytes) return count;
  }
  return options.file_count;
}

bool IsMovieSlot(size_t index, size_t count, size_t movies) {
  movies = std::min(movies, count);
  for (size_t movie = 0; movie < movies; ++movie) {
    if ((2 * movie + 1) * count / (2 * movies) == index) return true;
  }
  return false;
}

namespace {

// Lays out the files of one card, one after another.
class CardWriter {
 public:
  CardWriter(const CardOptions& options, std::vector<Sample> samples,
             CardSummary& summary)
      : options_(options),
        samples_(std::move(samples)),
        summary_(summary),
        clock_(options) {}

  Status Write(size_t index, const std::string& folder) {
    const std::time_t shot = clock_.TimeOf(index);
    const Sample& sample = samples_[index % samples_.size()];
    const Kind kind = KindAt(index);
    if (options_.raw_pairs && kind == Kind::kPhoto) {
      return WriteModernPhoto(options_, folder, index % 9999 + 1, shot, index,
                              sample, filler_, summary_);
    }
    if (options_.real_sized && IsMovie(kind))
      return WriteBigMovie(index, folder, kind, shot);
    return WriteSmallFile(index, folder, kind, shot, sample);
  }

 private:
  static bool IsMovie(Kind kind) {
    return kind == Kind::kMovieMov || kind == Kind::kMovieAvi ||
           kind == Kind::kMovieMp4;
  }

  Kind KindAt(size_t index) const {
    Kind kind = KindOf(index, options_.other_share);
    if (options_.real_sized) {
      kind = IsMovieSlot(index, options_.file_count, options_.movie_count)
                 ? Kind::kMovieMov
                 : Kind::kPhoto;
    }
    if (options_.raw_pairs &&
        (kind == Kind::kMovieMov || kind == Kind::kMovieAvi))
      kind = Kind::kMovieMp4;
    return kind;
  }

  Status WriteBigMovie(size_t index, const std::string& folder, Kind kind,
                       std::time_t shot) {
    char name[32];
    std::snprintf(name, sizeof name, "MVI_%04zu.%s", index % 9999 + 1,
                  kind == Kind::kMovieMp4 ? "MP4" : "MOV");
    ++summary_.movies;
    summary_.bytes += options_.movie_bytes;
    return WriteMovie(
        folder + name, kind != Kind::kMovieMp4, options_.movie_bytes, shot,
        shot + static_cast<std::time_t>(index % 3), filler_, index);
  }

  Status WriteSmallFile(size_t index, const std::string& folder, Kind kind,
                        std::time_t shot, const Sample& sample) {
    const size_t number = index % 9999 + 1;
    char name[32];
    std::string bytes;
    auto copy_sample = [&] {
      bytes = sample.bytes;
      bytes.replace(sample.date_offset, kDateLength, ExifDateText(shot));
    };
    switch (kind) {
      case Kind::kPhoto:
        std::snprintf(name, sizeof name, "IMG_%04zu.JPG", number);
        copy_sample();
        if (options_.real_sized) {
          bytes =
              PaddedJpeg(bytes, sample.scan_offset,
                         SizeFor(options_.jpeg_bytes, index), filler_, index);
        }
        ++summary_.photos;
        break;
      case Kind::kMovieMp4:
        std::snprintf(name, sizeof name, "MVI_%04zu.MP4", number);
        bytes = DummyMovie(
            "\0\0\0\x14"
            "ftypisom",
            number);
        ++summary_.movies;
        break;
      case Kind::kMovieMov:
        std::snprintf(name, sizeof name, "MVI_%04zu.MOV", number);
        bytes = DummyMovie(
            "\0\0\0\x14"
            "ftypqt  ",
            number);
        ++summary_.movies;
        break;
      case Kind::kMovieAvi:
        std::snprintf(name, sizeof name, "MVI_%04zu.AVI", number);
        bytes = DummyMovie("RIFF\0\0\0\0AVI ", number);
        ++summary_.movies;
        break;
      case Kind::kThumbnail:
        std::snprintf(name, sizeof name, "MVI_%04zu.THM", number);
        copy_sample();
        ++summary_.thumbnails;
        break;
      case Kind::kText:
        std::snprintf(name, sizeof name, "INFO_%04zu.txt", number);
        bytes = "shot " + ExifDateText(shot) + "\n";
        ++summary_.texts;
        break;
    }
    summary_.bytes += bytes.size();
    return WriteNewFile(folder + name, bytes,
                        shot + static_cast<std::time_t>(index % 3));
  }

  const CardOptions& options_;
  const std::vector<Sample> samples_;
  CardSummary& summary_;
  const ShootingClock clock_;
  const Filler filler_;
};

}  // namespace

Status MakeCard(const CardOptions& options, CardSummary& summary) {
  summary = CardSummary();
  if (options.files_per_folder == 0)
    return Status::Error("no files per folder");
  CardOptions card = options;
  card.file_count = RealSizedFileCount(options);
  const size_t folders =
      (card.file_count + card.files_per_folder - 1) / card.files_per_folder;
  if (folders > 900) return Status::Error("more than 900 DCIM folders");
  std::vector<Sample> samples;
  if (Status status = LoadSamples(card, samples); !status.ok()) return status;
  for (const Sample& sample : samples) summary.samples.push_back(sample.path);

  const std::string dcim = card.root + "/DCIM";
  if (Status status = MakeFolderWithParents(card.root); !status.ok())
    return status;
  if (mkdir(dcim.c_str(), 0755) != 0)
    return Status::Error("cannot make " + dcim + ": " + std::strerror(errno));

  CardWriter writer(card, std::move(samples), summary);
  std::string folder;
  for (size_t i = 0; i < card.file_count; ++i) {
    if (i % card.files_per_folder == 0) {
      folder = dcim + "/" + FolderName(i / card.files_per_folder) + "/";
      if (Status status = MakeFolder(folder); !status.ok()) return status;
      ++summary.folders;
    }
    if (Status status = writer.Write(i, folder); !status.ok()) return status;
  }
  return Status::Ok();
}

}  // namespace kuronel::bench
