// Every kept fuzzing input and every camera sample (broken and invalid ones
// included) read with properties that must hold for any file: no text grows
// beyond what the file's bytes can give, and every way of reading one file
// gives the same values.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <filesystem>
#include <set>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "exif/exif_info.h"
#include "exif/exif_labels.h"
#include "testing/temp_dir.h"

namespace kuronel {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> FilesUnder(const std::string& folder) {
  std::vector<std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder))
    if (entry.is_regular_file()) files.push_back(entry.path().string());
  return files;
}

std::vector<std::string> AllInputs() {
  std::vector<std::string> inputs = FilesUnder(KURONEL_FUZZ_CORPUS_DIR);
  for (const std::string& sample :
       FilesUnder(testing::TestDataDir() + "/camera-jpegs"))
    inputs.push_back(sample);
  return inputs;
}

// Every label any table holds: a coded value's text is one of them or empty.
const std::set<std::string_view>& AllLabels() {
  static const std::set<std::string_view> labels = [] {
    std::set<std::string_view> all{std::string_view()};
    for (LabelTable table :
         {LabelTable::kCompression, LabelTable::kPhotometricInterpretation,
          LabelTable::kResolutionUnit, LabelTable::kExposureProgram,
          LabelTable::kMeteringMode, LabelTable::kLightSource,
          LabelTable::kFlash, LabelTable::kColorSpace,
          LabelTable::kSensingMethod})
      for (uint32_t code = 0; code <= 0xFFFF; ++code)
        if (auto label = FindLabel(table, code)) all.insert(*label);
    return all;
  }();
  return labels;
}

bool IsLabelField(std::string_view name) {
  static const std::set<std::string_view> kLabelFields = {
      "ColorSpaceText",
      "CompressionText",
      "ExposureProgramText",
      "FlashText",
      "FocalPlaneResolutionUnitText",
      "LightSourceText",
      "MeteringModeText",
      "PhotometricInterpretationText",
      "ResolutionUnitText",
      "ThumbnailResolutionUnitText",
      "SensingMethodText"};
  return kLabelFields.count(name) != 0;
}

bool IsUpperHex(std::string_view text) {
  return text.find_first_not_of("0123456789ABCDEF") == std::string_view::npos;
}

// A text from the file's bytes is at most the file long; an UNDEFINED value
// is written as two hexadecimal digits per byte, so at most twice that; a
// coded value's text is a label from its table.
void ExpectTextBounded(std::string_view name, const std::string& text,
                       uint64_t file_size, const std::string& path) {
  if (IsLabelField(name)) {
    EXPECT_TRUE(AllLabels().count(text)) << path << ": " << name;
  } else if (IsUpperHex(text)) {
    EXPECT_LE(text.size(), 2 * file_size) << path << ": " << name;
  } else {
    EXPECT_LE(text.size(), file_size) << path << ": " << name;
  }
}

void ExpectTextsBounded(const TExifInfo& exif, uint64_t file_size,
                        const std::string& path) {
  auto check = [&](std::string_view name, const auto& value) {
    if constexpr (std::is_same_v<std::decay_t<decltype(value)>, std::string>)
      ExpectTextBounded(name, value, file_size, path);
  };
#define KURONEL_CHECK_TEXT(type, name) check(#name, exif.fields().name);
  KURONEL_EXIF_FIELDS(KURONEL_CHECK_TEXT)
#undef KURONEL_CHECK_TEXT
  // A JIS or UTF-16 comment of n bytes is at most 3n/2 bytes of UTF-8.
  for (const std::string& line : exif.UserComments())
    EXPECT_LE(line.size(), 2 * file_size) << path << ": UserComments";
}

template <typename T>
bool SameValue(const T& a, const T& b) {
  if constexpr (std::is_floating_point_v<T>) {
    if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
  }
  return a == b;
}

void ExpectSameValues(const TExifInfo& a, const TExifInfo& b,
                      const std::string& what, bool header_read) {
#define KURONEL_SAME_FIELD(type, name)                     \
  EXPECT_TRUE(SameValue(a.fields().name, b.fields().name)) \
      << what << ": " #name;
  KURONEL_EXIF_FIELDS(KURONEL_SAME_FIELD)
#undef KURONEL_SAME_FIELD
  EXPECT_EQ(a.UserComments(), b.UserComments()) << what;
  EXPECT_EQ(a.IsThumbnailFile(), b.IsThumbnailFile()) << what;
  // The byte order is only set by a header that was read.
  if (header_read) {
    EXPECT_EQ(a.MotorolaOrder(), b.MotorolaOrder()) << what;
  }
}

TEST(ExifCorpusTest, EveryInputReadsBoundedAndAlikeEveryWay) {
  const std::vector<std::string> inputs = AllInputs();
  ASSERT_GT(inputs.size(), 90u);  // 35 fuzzing inputs, 61 camera samples
  // One reader for all files, as the catalogue keeps one.
  TExifInfo reused(RealSystemCalls());
  int with_block = 0;
  for (const std::string& path : inputs) {
    struct stat info;
    ASSERT_EQ(::stat(path.c_str(), &info), 0) << path;
    const uint64_t size = static_cast<uint64_t>(info.st_size);

    TExifInfo first(RealSystemCalls());
    const bool has_exif = first.HasExif(path);
    with_block += has_exif;
    const Status status = first.SetImageFileName(path);
    ExpectTextsBounded(first, size, path);

    TExifInfo second(RealSystemCalls());
    const Status again = second.SetImageFileName(path);
    EXPECT_EQ(again.ok(), status.ok()) << path;
    ExpectSameValues(first, second, path + " read twice", true);

    static_cast<void>(reused.SetImageFileName(path));  // its values compared
    ExpectSameValues(first, reused, path + " after another file",
                     has_exif && status.ok());

    TExifInfo once(RealSystemCalls());
    const ExifRead once_read = once.ReadFileOnce(path);
    EXPECT_EQ(once_read.has_exif(), has_exif) << path;
    if (has_exif) {
      EXPECT_EQ(once_read.ok(), status.ok()) << path;
      ExpectSameValues(first, once, path + " read once", true);
    }
  }
  EXPECT_GT(with_block, 60);
}

}  // namespace
}  // namespace kuronel
