// The real-sized card: its files must stay photos and movies that readers
// take as such, at the sizes asked for, or the copy benchmarks time
// something no camera writes.

#include "bench/card_maker.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QImage>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>

#include "exif/exif_info.h"
#include "platform/system_calls.h"
#include "testing/temp_dir.h"

namespace kuronel::bench {
namespace {

constexpr std::uint64_t kKiB = 1024;

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

std::uint64_t BigEndian(const std::string& bytes, size_t at, int width) {
  std::uint64_t value = 0;
  for (int i = 0; i < width; ++i)
    value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

// The top-level box types of an ISO media file, in order; "?" where a box's
// size runs past the end.
std::string TopLevelBoxes(const std::string& file) {
  std::string types;
  for (std::uint64_t at = 0; at < file.size();) {
    std::uint64_t size = BigEndian(file, at, 4);
    if (size == 1) size = BigEndian(file, at + 8, 8);
    if (size < 8 || at + size > file.size()) return types + "?";
    types += file.substr(at + 4, 4) + " ";
    at += size;
  }
  return types;
}

// A small real-sized card (sizes scaled down so that the test stays quick):
// one turn of every RAW kind, a lone HEIF photo and a movie.
CardOptions SmallRealSizedCard(const std::string& root) {
  CardOptions options;
  options.root = root;
  options.file_count = 19;
  options.raw_pairs = true;
  options.real_sized = true;
  options.jpeg_bytes = {200 * kKiB, 300 * kKiB};
  options.raw_bytes = {400 * kKiB, 500 * kKiB};
  options.movie_bytes = 3 * kKiB * kKiB;
  return options;
}

// "0001" for the first file: the number in its name.
std::string NumberOf(size_t index) {
  char number[24];
  std::snprintf(number, sizeof number, "%04zu", index + 1);
  return number;
}

std::string DateOf(TExifInfo& reader, const std::string& path) {
  return reader.ReadFileOnce(path).has_exif() ? reader.DateTimeOriginal()
                                              : "(no Exif)";
}

TEST(RealSizedCardTest, EveryFileIsAPhotoOrMovieOfItsSize) {
  testing::TempDir temp;
  const CardOptions options = SmallRealSizedCard(temp.Path("card"));
  CardSummary summary;
  ASSERT_TRUE(MakeCard(options, summary).ok());
  EXPECT_EQ(summary.movies, 1u);
  EXPECT_GE(summary.raws, 9u);  // every RAW kind once
  EXPECT_GE(summary.heifs, 2u);

  TExifInfo reader(RealSystemCalls());
  reader.SetReadsRawAndHeif(true);
  const std::string folder = options.root + "/DCIM/100CANON/";
  std::map<std::string, std::string> jpeg_dates;  // by the shot's name
  for (size_t index = 0; index < options.file_count; ++index) {
    const std::string stem = NumberOf(index);
    const std::string jpeg = folder + "IMG_" + stem + ".JPG";
    struct stat info {};
    if (stat(jpeg.c_str(), &info) != 0) continue;  // a movie or a HEIF
    SCOPED_TRACE(jpeg);
    EXPECT_GE(static_cast<std::uint64_t>(info.st_size), options.jpeg_bytes.min);
    EXPECT_LE(static_cast<std::uint64_t>(info.st_size),
              options.jpeg_bytes.max + 3);
    // The padding changes no pixel of the sample it was grown from.
    const QImage padded(QString::fromStdString(jpeg));
    const QImage sample(QString::fromStdString(
        summary.samples[index % summary.samples.size()]));
    ASSERT_FALSE(padded.isNull());
    EXPECT_EQ(padded, sample);
    jpeg_dates[stem] = DateOf(reader, jpeg);
    EXPECT_NE(jpeg_dates[stem], "(no Exif)");
  }

  size_t raws = 0, heifs = 0, movies = 0;
  for (size_t index = 0; index < options.file_count; ++index) {
    const std::string stem = NumberOf(index);
    for (const char* extension : {".CR3", ".NEF", ".ARW", ".DNG", ".RAF",
                                  ".ORF", ".RW2", ".CR2", ".PEF", ".HEIC"}) {
      const std::string path = folder + "IMG_" + stem + extension;
      const std::string bytes = ReadAll(path);
      if (bytes.empty()) continue;
      SCOPED_TRACE(path);
      if (std::string(extension) == ".HEIC") {
        ++heifs;
        EXPECT_GE(bytes.size(), options.jpeg_bytes.min / 2);
        EXPECT_LE(bytes.size(), options.jpeg_bytes.max / 2);
        EXPECT_EQ(TopLevelBoxes(bytes), "ftyp meta mdat free ");
        EXPECT_NE(DateOf(reader, path), "(no Exif)");
        continue;
      }
      ++raws;
      EXPECT_GE(bytes.size(), options.raw_bytes.min);
      // Headers, and the RAF's small preview JPEG, come on top.
      EXPECT_LE(bytes.size(), options.raw_bytes.max + 64 * kKiB);
      EXPECT_EQ(DateOf(reader, path), jpeg_dates[stem]);
    }
    const std::string movie = ReadAll(folder + "MVI_" + stem + ".MP4");
    if (movie.empty()) continue;
    ++movies;
    EXPECT_EQ(movie.size(), options.movie_bytes);
    EXPECT_EQ(TopLevelBoxes(movie), "ftyp mdat moov ");
  }
  EXPECT_EQ(raws, summary.raws);
  EXPECT_EQ(heifs, summary.heifs);
  EXPECT_EQ(movies, 1u);
}

TEST(RealSizedCardTest, CardSizeEndsTheCardOnceReached) {
  testing::TempDir temp;
  for (const bool pairs : {false, true}) {
    CardOptions options = SmallRealSizedCard(temp.Path(pairs ? "p" : "j"));
    options.raw_pairs = pairs;
    options.file_count = 1000;
    options.card_bytes = 12 * kKiB * kKiB;
    CardSummary summary;
    ASSERT_TRUE(MakeCard(options, summary).ok());
    SCOPED_TRACE(pairs ? "RAW+JPEG pairs" : "JPEGs");
    EXPECT_GE(summary.bytes, options.card_bytes);
    // Less than one more shot (a JPEG with its RAW) over.
    EXPECT_LT(summary.bytes, options.card_bytes + options.jpeg_bytes.max +
                                 options.raw_bytes.max + 64 * kKiB);
    EXPECT_EQ(summary.movies, 1u);
  }
}

TEST(RealSizedCardTest, MoviesLieSpreadOverTheCard) {
  struct Case {
    size_t count, movies;
    std::vector<size_t> movie_at;  // the files that are movies
  };
  for (const Case& c : std::vector<Case>{
           {10, 1, {5}}, {10, 2, {2, 7}}, {3, 5, {0, 1, 2}}, {4, 0, {}}}) {
    std::vector<size_t> found;
    for (size_t index = 0; index < c.count; ++index) {
      if (IsMovieSlot(index, c.count, c.movies)) found.push_back(index);
    }
    EXPECT_EQ(found, c.movie_at)
        << c.count << " files, " << c.movies << " movies";
  }
}

}  // namespace
}  // namespace kuronel::bench
