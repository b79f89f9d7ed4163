// ReadFileOnce against the catalogue's three calls (HasExif, then a write of
// ImageFileName when it answered true): the same answer, the same decoded
// values, the same Status, over every sample file and odd structures.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "exif/byte_source.h"
#include "exif/exif_info.h"
#include "testing/camera_file_builder.h"
#include "testing/faulty_system_calls.h"
#include "testing/jpeg_builder.h"
#include "testing/temp_dir.h"

namespace kuronel {
namespace {

namespace fs = std::filesystem;
using testing::ByteOrder;
using testing::ExifJpeg;
using testing::JpegBuilder;
using testing::TempDir;
using testing::TiffBuilder;

template <typename T>
bool SameValue(const T& a, const T& b) {
  if constexpr (std::is_floating_point_v<T>) {
    if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
  }
  return a == b;
}

// Every field that differs between the two readers, by name.
std::vector<std::string> Differences(const TExifInfo& a, const TExifInfo& b) {
  std::vector<std::string> names;
#define KURONEL_COMPARE_FIELD(type, name) \
  if (!SameValue(a.fields().name, b.fields().name)) names.push_back(#name);
  KURONEL_EXIF_FIELDS(KURONEL_COMPARE_FIELD)
#undef KURONEL_COMPARE_FIELD
  if (a.UserComments() != b.UserComments()) names.push_back("UserComments");
  if (a.MotorolaOrder() != b.MotorolaOrder()) names.push_back("MotorolaOrder");
  if (a.IsThumbnailFile() != b.IsThumbnailFile())
    names.push_back("IsThumbnailFile");
  if (a.ImageFileName() != b.ImageFileName()) names.push_back("ImageFileName");
  return names;
}

// A big-endian photo with comments and a thumbnail mark: what it leaves in a
// reader must survive a later file without a block in both ways alike.
std::string PrimerPhoto() {
  TiffBuilder tiff(ByteOrder::kMotorola);
  const int ifd0 = tiff.AddDirectory(), exif = tiff.AddDirectory();
  const int interop = tiff.AddDirectory();
  tiff.Ascii(ifd0, 0x010F, "Primer").Pointer(ifd0, 0x8769, exif);
  tiff.Ascii(exif, 0x9003, "1999:12:31 23:59:58")
      .Undefined(exif, 0x9286, std::string("ASCII\0\0\0old comment", 19))
      .Pointer(exif, 0xA005, interop);
  tiff.Ascii(interop, 0x0001, "THM");
  return ExifJpeg(tiff);
}

class ReadOnceTest : public ::testing::Test {
 protected:
  // Runs both ways on `path` after `primer` (empty: none) and compares.
  void ExpectSameRead(const std::string& path, const std::string& primer,
                      int32_t search_range) {
    SCOPED_TRACE(path + " search range " + std::to_string(search_range));
    TExifInfo three_calls(RealSystemCalls()), once(RealSystemCalls());
    int errors_three = 0, errors_once = 0;
    three_calls.SetOnReadError([&](TExifInfo&) { ++errors_three; });
    once.SetOnReadError([&](TExifInfo&) { ++errors_once; });
    three_calls.SetSearchRange(search_range);
    once.SetSearchRange(search_range);
    if (!primer.empty()) {
      ASSERT_TRUE(three_calls.SetImageFileName(primer).ok());
      const ExifRead read = once.ReadFileOnce(primer);
      ASSERT_TRUE(read.ok());
      ASSERT_TRUE(read.has_exif());
    }

    const bool expected_has_exif = three_calls.HasExif(path);
    Status expected = Status::Ok();
    if (expected_has_exif) expected = three_calls.SetImageFileName(path);
    const ExifRead read = once.ReadFileOnce(path);
    const bool has_exif = read.has_exif();

    EXPECT_EQ(has_exif, expected_has_exif);
    EXPECT_EQ(read.ok(), expected.ok());
    EXPECT_EQ(read.message, expected.message());
    EXPECT_EQ(Differences(three_calls, once), std::vector<std::string>{});
    EXPECT_EQ(errors_three, 0);
    EXPECT_EQ(errors_once, 0);
    compared_ += 1;
    with_block_ += has_exif;
  }

  void ExpectSameReadOfAll(const std::vector<std::string>& paths) {
    const std::string primer = dir_.WriteFile("primer.jpg", PrimerPhoto());
    for (const std::string& path : paths) {
      for (const std::string& before : {std::string(), primer}) {
        for (int32_t range : {32, 0, 5000}) ExpectSameRead(path, before, range);
      }
    }
  }

  TempDir dir_;
  int compared_ = 0;
  int with_block_ = 0;
};

std::vector<std::string> FilesUnder(const std::string& folder) {
  std::vector<std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    if (entry.is_regular_file()) files.push_back(entry.path().string());
  }
  return files;
}

TEST_F(ReadOnceTest, EveryCameraSampleAndFuzzingInput) {
  std::vector<std::string> paths =
      FilesUnder(testing::TestDataDir() + "/camera-jpegs");
  const size_t samples = paths.size();
  for (const std::string& path : FilesUnder(KURONEL_FUZZ_CORPUS_DIR))
    paths.push_back(path);
  ASSERT_GT(samples, 50u);
  ASSERT_GT(paths.size() - samples, 10u);
  ExpectSameReadOfAll(paths);
  EXPECT_GT(with_block_, 3 * 2 * 40);  // three ranges, with and without primer
}

// The Exif directory `gap` bytes behind IFD0, inside or past the segment.
std::string FarExifDirectory(uint32_t gap, bool inside_segment) {
  constexpr std::string_view kDate = "2010:10:10 10:10:10";
  const std::string body =
      testing::TiffWithFarExif(ByteOrder::kIntel, kDate, gap);
  // Past 64 KiB the segment's length field wraps; the reader ignores it.
  std::string file =
      JpegBuilder().App1(std::string("Exif\0\0", 6), body).Build();
  if (inside_segment) return file;
  // A segment length that ends right after IFD0: the rest is image data.
  const size_t directory = 2 + 12 + 4 + kDate.size() + 1;
  const size_t length = 2 + 6 + body.size() - directory - gap;
  file[4] = static_cast<char>(length >> 8);
  file[5] = static_cast<char>(length & 0xFF);
  return file;
}

TEST_F(ReadOnceTest, SyntheticEdgeCases) {
  TiffBuilder dated;
  dated.Ascii(dated.AddDirectory(), 0x9003, "2004:05:12 14:23:01");
  TiffBuilder past_end;
  past_end.RawFirstOffset(0x7FFFFFF0);
  TiffBuilder exif_past_end;
  const int ifd0 = exif_past_end.AddDirectory();
  exif_past_end.Ascii(ifd0, 0x9003, "2004:05:12 14:23:01")
      .EntryWithField(ifd0, 0x8769, 4, 1, 0x00FFFFFF);
  TiffBuilder motorola(ByteOrder::kMotorola);
  motorola.Ascii(motorola.AddDirectory(), 0x9003, "2004:05:12 14:23:02");
  const std::string whole = ExifJpeg(dated);

  const struct {
    const char* name;
    std::string contents;
  } cases[] = {
      {"at31.jpg", JpegBuilder().PadTo(31).Exif(dated).Build()},
      {"at32.jpg", JpegBuilder().PadTo(32).Exif(dated).Build()},
      {"app0.jpg", JpegBuilder().App0().Exif(dated).Build()},
      {"foreign_first.jpg",
       JpegBuilder().App1("http:/", "/ns.adobe.com/").Exif(dated).Build()},
      {"motorola.jpg", ExifJpeg(motorola)},
      // Cut inside the identifier, right after it, inside the TIFF header.
      {"cut_id.jpg", JpegBuilder()
                         .Bytes("\xFF\xE1\x00\x10"
                                "Exi")
                         .Build()},
      {"cut_after_id.jpg", whole.substr(0, 12)},
      {"cut_header.jpg", whole.substr(0, 13)},
      {"cut_first_offset.jpg", whole.substr(0, 17)},
      {"cut_directory.jpg", whole.substr(0, 30)},
      {"first_ifd_past_end.jpg", ExifJpeg(past_end)},
      {"exif_ifd_past_end.jpg", ExifJpeg(exif_past_end)},
      {"far_inside_segment.jpg", FarExifDirectory(9000, true)},
      {"far_past_segment.jpg", FarExifDirectory(9000, false)},
      {"far_past_64k.jpg", FarExifDirectory(70000, true)},
      {"not_jpeg.txt", "plain text, long enough to be read"},
      {"empty.jpg", ""},
      {"one_byte.jpg", "\xFF"},
      {"soi_only.jpg", "\xFF\xD8"},
  };
  std::vector<std::string> paths;
  for (const auto& c : cases)
    paths.push_back(dir_.WriteFile(c.name, c.contents));
  paths.push_back(dir_.MakeDir("folder.jpg"));
  paths.push_back(dir_.Path("missing.jpg"));
  paths.push_back("");
  const std::string fifo = dir_.Path("fifo.jpg");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  paths.push_back(fifo);
  ExpectSameReadOfAll(paths);

  // The far directories are really read: the date behind the gap is found.
  for (const char* name :
       {"far_inside_segment.jpg", "far_past_segment.jpg", "far_past_64k.jpg"}) {
    TExifInfo exif(RealSystemCalls());
    const ExifRead read = exif.ReadFileOnce(dir_.Path(name));
    ASSERT_TRUE(read.ok()) << name;
    EXPECT_TRUE(read.has_exif()) << name;
    EXPECT_EQ(exif.DateTimeOriginal(), "2010:10:10 10:10:10") << name;
  }
}

TEST_F(ReadOnceTest, FileWithoutBlockLeavesTheReaderAsItWas) {
  TExifInfo exif(RealSystemCalls());
  int read_errors = 0;
  exif.SetOnReadError([&](TExifInfo&) { ++read_errors; });
  const std::string primer = dir_.WriteFile("primer.jpg", PrimerPhoto());
  ExifRead read = exif.ReadFileOnce(primer);
  ASSERT_TRUE(read.ok());
  ASSERT_EQ(read.outcome, ExifReadOutcome::kRead);
  EXPECT_EQ(exif.DateTimeOriginal(), "1999:12:31 23:59:58");
  EXPECT_EQ(exif.UserComments(), std::vector<std::string>{"old comment"});
  EXPECT_TRUE(exif.MotorolaOrder());
  EXPECT_TRUE(exif.IsThumbnailFile());

  const std::string movie = dir_.WriteFile("MVI_0001.MOV", "not a photo");
  read = exif.ReadFileOnce(movie);
  ASSERT_TRUE(read.ok());
  EXPECT_EQ(read.outcome, ExifReadOutcome::kNoBlock);
  EXPECT_EQ(exif.ImageFileName(), primer);
  EXPECT_EQ(exif.DateTimeOriginal(), "1999:12:31 23:59:58");
  EXPECT_EQ(read_errors, 0);

  // A file with a block but without a date clears the old one.
  TiffBuilder undated;
  undated.Ascii(undated.AddDirectory(), 0x010F, "Maker");
  const std::string plain = dir_.WriteFile("plain.jpg", ExifJpeg(undated));
  read = exif.ReadFileOnce(plain);
  ASSERT_TRUE(read.ok());
  EXPECT_EQ(read.outcome, ExifReadOutcome::kRead);
  EXPECT_EQ(exif.ImageFileName(), plain);
  EXPECT_EQ(exif.DateTimeOriginal(), "");
  EXPECT_TRUE(exif.UserComments().empty());
  EXPECT_FALSE(exif.MotorolaOrder());
  EXPECT_FALSE(exif.IsThumbnailFile());
}

// A read that fails after the file's start is kept as the source's error,
// so that a photo whose block a failing card cuts off is not taken for one
// without a date in silence: at a plain read and at the one that extends the
// buffered start.
TEST(FileByteSourceTest, AReadFailingAfterTheStartIsAnError) {
  TempDir dir;
  const std::string path = dir.WriteFile("a.jpg", std::string(4096, 'x'));
  for (const bool extend : {false, true}) {
    testing::FaultySystemCalls calls;
    calls.FailCall(testing::FaultySystemCalls::Call::kRead, 2, EIO);
    FileByteSource source(calls);
    ASSERT_TRUE(source.Open(path, 16));
    EXPECT_EQ(source.error(), 0);
    if (extend) source.ExtendHeadOnMiss(1024);
    uint8_t bytes[4];
    source.ReadAt(100, bytes, sizeof bytes);
    EXPECT_EQ(source.error(), EIO) << (extend ? "extending" : "plain read");
  }
}

}  // namespace
}  // namespace kuronel
