// With the option to skip what was imported before, a card copied again
// adds only its new files.
#include <map>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "processing/new_name_plan.h"
#include "processing/plan_execution.h"
#include "testing/memory_card.h"
#include "testing/memory_file_system.h"

namespace kuronel {
namespace {

using testing::MemoryFileSystem;

constexpr char kDayFolder[] = "/d/2024_04_01/";

Settings SkipOptions(bool keep = true) {
  Settings options = testing::MemoryCardRunOptions(keep);
  options.SkipImported = true;
  return options;
}

ProcessingPlan Execute(const FileCatalogue& catalogue, FileSystem& fs,
                       const Settings& options) {
  ProcessingPlan plan;
  BuildPlan(catalogue, options, fs, plan);
  RunPlan(plan, options, fs, {});
  return plan;
}

std::vector<RowState> States(const ProcessingPlan& plan) {
  std::vector<RowState> states;
  for (const PlanRow& row : plan) states.push_back(row.State);
  return states;
}

std::size_t FilesIn(MemoryFileSystem& fs) {
  return fs.FilesIn(kDayFolder).size();
}

// Copied twice, a card adds nothing the second time; three new photos are
// all that the third run adds.
TEST(SkipImportedTest, ACardCopiedAgainAddsOnlyItsNewPhotos) {
  MemoryFileSystem fs;
  const std::vector<std::string> first = {"IMG_0001.JPG", "IMG_0002.JPG"};
  Execute(testing::MemoryCard(fs, first), fs, SkipOptions());
  ASSERT_EQ(FilesIn(fs), 2u);

  const ProcessingPlan again =
      Execute(testing::MemoryCard(fs, first), fs, SkipOptions());
  EXPECT_EQ(States(again), std::vector<RowState>(2, RowState::kImported));
  EXPECT_EQ(again[1].TargetPath, std::string(kDayFolder) + "2024_04_01a1.JPG");
  EXPECT_EQ(FilesIn(fs), 2u);

  std::vector<std::string> third = first;
  for (const char* name : {"IMG_0003.JPG", "IMG_0004.JPG", "IMG_0005.JPG"})
    third.push_back(name);
  const ProcessingPlan more =
      Execute(testing::MemoryCard(fs, third), fs, SkipOptions());
  EXPECT_EQ(States(more),
            (std::vector<RowState>{RowState::kImported, RowState::kImported,
                                   RowState::kCopied, RowState::kCopied,
                                   RowState::kCopied}));
  EXPECT_EQ(FilesIn(fs), 5u);
  // Without the option, everything is copied again.
  Settings copy_all = SkipOptions();
  copy_all.SkipImported = false;
  Execute(testing::MemoryCard(fs, first), fs, copy_all);
  EXPECT_EQ(FilesIn(fs), 7u);
}

// Only equal bytes make a row imported, whatever the names; files of the run
// are never taken for each other's copies, nor a source for its own.
TEST(SkipImportedTest, OnlyAnEqualFileThereBeforeTheRunCounts) {
  struct Case {
    const char* what;
    std::map<std::string, std::string> there;  // in the day folder
    std::vector<std::string> card;
    std::string prefix;  // of the card's contents
    std::vector<RowState> states;
  };
  const Case cases[] = {
      {"equal under another name",
       {{"holiday.JPG", "photo IMG_0001.JPG"}},
       {"IMG_0001.JPG"},
       "photo ",
       {RowState::kImported}},
      {"same length, other bytes",
       {{"2024_04_01a0.JPG", "photo IMG_0009.JPG"}},
       {"IMG_0001.JPG"},
       "photo ",
       {RowState::kCopied}},
      {"two equal files of one card are both copied",
       {},
       {"IMG_0001.JPG", "COPY_001.JPG"},
       "same bytes ",
       {RowState::kCopied, RowState::kCopied}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MemoryFileSystem fs;
    for (const auto& [name, contents] : c.there)
      fs.WriteFile(kDayFolder + name, contents);
    FileCatalogue card = testing::MemoryCard(fs, c.card, c.prefix);
    if (c.card.size() == 2)
      fs.WriteFile("/c/" + c.card[1], c.prefix + c.card[0]);
    EXPECT_EQ(States(Execute(card, fs, SkipOptions())), c.states);
  }
  // Both name options off: the copy goes beside its source, which is no
  // copy of itself.
  MemoryFileSystem fs;
  Settings in_place = SkipOptions();
  in_place.MoveToDateFolder = in_place.RenameToDateFile = false;
  const ProcessingPlan plan =
      Execute(testing::MemoryCard(fs, {"IMG_0001.JPG"}), fs, in_place);
  EXPECT_EQ(States(plan), std::vector<RowState>{RowState::kCopied});
  EXPECT_EQ(fs.Contents("/c/IMG_00011.JPG"), "photo IMG_0001.JPG");
}

// Counts the reads of each file's whole contents, and the files asked after.
class CountingFileSystem : public MemoryFileSystem {
 public:
  bool Stat(const std::string& path, FileInfo& info) override {
    ++stats;
    return MemoryFileSystem::Stat(path, info);
  }
  bool HashFile(const std::string& path, ContentHash::Digest& digest) override {
    ++reads[path];
    return MemoryFileSystem::HashFile(path, digest);
  }
  bool SameContent(const std::string& first,
                   const std::string& second) override {
    ++reads[first];
    ++reads[second];
    return MemoryFileSystem::SameContent(first, second);
  }
  std::map<std::string, int> reads;
  int stats = 0;
};

// Uncompressed RAW files all have one length: each file there is still read
// once, not once for every row of its length, and a row asks after its
// equal alone, not after every file of its length (the square of the card).
TEST(SkipImportedTest, EachFileThereIsReadOnce) {
  CountingFileSystem fs;
  std::vector<std::string> names;
  for (const char* name : {"IMG_0001.JPG", "IMG_0002.JPG", "IMG_0003.JPG",
                           "IMG_0004.JPG", "IMG_0005.JPG"})
    names.push_back(name);
  const FileCatalogue card =
      testing::MemoryCard(fs, names);  // all of one length
  Execute(card, fs, SkipOptions());
  fs.reads.clear();
  fs.stats = 0;
  EXPECT_EQ(States(Execute(card, fs, SkipOptions())),
            std::vector<RowState>(5, RowState::kImported));
  for (const auto& [path, count] : fs.reads) EXPECT_EQ(count, 1) << path;
  EXPECT_LE(fs.stats, 2 * 5) << "each source and its equal there";
}

// A disk whose drive gives back something else than it holds in memory.
class ReadsBackWrong : public MemoryFileSystem {
 public:
  bool ReadsBackEqual(const std::string&, std::uint64_t,
                      const ContentHash::Digest&) override {
    return false;
  }
};

// A move deletes the source of an imported row only once the file already
// there read back from its drive equal to it, as a copy of its own would
// have to; otherwise the source stays and the row says why.
TEST(SkipImportedTest, AMoveDeletesAnImportedSourceOnlyOnItsCopysProof) {
  for (const bool reads_back_equal : {true, false}) {
    SCOPED_TRACE(reads_back_equal ? "read back equal" : "read back wrong");
    MemoryFileSystem equal_disk;
    ReadsBackWrong wrong_disk;
    MemoryFileSystem& fs = reads_back_equal
                               ? equal_disk
                               : static_cast<MemoryFileSystem&>(wrong_disk);
    fs.WriteFile(std::string(kDayFolder) + "2024_04_01a0.JPG",
                 "photo IMG_0001.JPG");
    const ProcessingPlan plan =
        Execute(testing::MemoryCard(fs, {"IMG_0001.JPG", "IMG_0002.JPG"}), fs,
                SkipOptions(false));
    EXPECT_EQ(States(plan),
              (std::vector<RowState>{RowState::kImported, RowState::kMoved}));
    EXPECT_EQ(plan[0].failure.outcome(),
              reads_back_equal ? FailureOutcome::kNone
                               : FailureOutcome::kSourceKeptImported);
    EXPECT_EQ(fs.Contents("/c/IMG_0001.JPG").has_value(), !reads_back_equal);
    EXPECT_FALSE(fs.Contents("/c/IMG_0002.JPG"));
    EXPECT_EQ(FilesIn(fs), 2u);  // nothing copied again
  }
}

}  // namespace
}  // namespace kuronel
