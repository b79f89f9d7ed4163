// RAW+JPEG shots keep one name in a destination that holds names already.
#include "processing/shot_names.h"

#include <map>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "processing/new_name_plan.h"
#include "processing/plan_execution.h"
#include "testing/memory_card.h"
#include "testing/memory_file_system.h"
#include "testing/temp_dir.h"

namespace kuronel {
namespace {

using testing::MemoryFileSystem;
using testing::TempDir;

constexpr char kDay[] = "/d/2024_04_01/2024_04_01";

Settings PairOptions(bool keep = true) {
  Settings options = testing::MemoryCardRunOptions(keep);
  options.IncludeRawHeifMp4 = true;
  return options;
}

// Where each source went, by its name, after the plan was built and run.
std::map<std::string, std::string> PlanAndRun(
    const FileCatalogue& catalogue, FileSystem& fs,
    std::vector<RowState>* planned = nullptr,
    const Settings& options = PairOptions()) {
  ProcessingPlan plan;
  BuildPlan(catalogue, options, fs, plan);
  if (planned != nullptr)
    for (const PlanRow& row : plan) planned->push_back(row.State);
  RunPlan(plan, options, fs, {});
  std::map<std::string, std::string> targets;
  for (const PlanRow& row : plan)
    targets[BaseName(row.SourcePath)] = BaseName(row.TargetPath);
  return targets;
}

// A pair meeting a name that another shot holds moves on as one, in the
// plan's warning and in the run; a lone RAW does not settle beside another
// shot's JPEG.
TEST(ShotNamesTest, AShotTakesTheFirstNameFreeForAllItsFiles) {
  struct Case {
    const char* what;
    std::vector<std::string> there;  // in the day folder before the run
    std::vector<std::string> card;
    std::vector<RowState> planned;
    std::map<std::string, std::string> targets;
  };
  const RowState kDup = RowState::kDuplicate;
  const RowState kNew = RowState::kUnprocessed;
  const Case cases[] = {
      {"JPEG name taken",
       {"a0.JPG"},
       {"IMG_0001.JPG", "IMG_0001.CR3"},
       {kDup, kDup},
       {{"IMG_0001.JPG", "2024_04_01a01.JPG"},
        {"IMG_0001.CR3", "2024_04_01a01.CR3"}}},
      {"RAW name taken, numbered JPEG name too",
       {"a0.CR3", "a01.JPG"},
       {"IMG_0001.JPG", "IMG_0001.CR3"},
       {kDup, kDup},
       {{"IMG_0001.JPG", "2024_04_01a02.JPG"},
        {"IMG_0001.CR3", "2024_04_01a02.CR3"}}},
      {"lone RAW beside another shot's JPEG and NEF",
       {"a0.JPG", "a0.NEF"},
       {"IMG_0004.ARW"},
       {kDup},
       {{"IMG_0004.ARW", "2024_04_01a01.ARW"}}},
      {"lone JPEG beside another shot's RAW in lower case",
       {"a0.cr3"},
       {"IMG_0001.JPG"},
       {kDup},
       {{"IMG_0001.JPG", "2024_04_01a01.JPG"}}},
      {"a movie is no photo: it keeps its own name",
       {"a0.JPG"},
       {"MVI_0001.MOV"},
       {kNew},
       {{"MVI_0001.MOV", "2024_04_01a0.MOV"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MemoryFileSystem fs;
    for (const std::string& name : c.there)
      fs.WriteFile(kDay + name, "another shot");
    std::vector<RowState> planned;
    EXPECT_EQ(PlanAndRun(testing::MemoryCard(fs, c.card), fs, &planned),
              c.targets);
    EXPECT_EQ(planned, c.planned);
    for (const std::string& name : c.there)
      EXPECT_EQ(fs.Contents(kDay + name), "another shot");
  }
}

// A pair whose JPEG came before (without the RAW option) gets its RAW under
// the JPEG's name, only where the bytes there are the JPEG's own; the JPEG
// copied again goes to a name of its own.
TEST(ShotNamesTest, AHalfImportedPairCompletesUnderItsName) {
  struct Case {
    const char* what;
    std::string there;  // at a0.JPG
    std::vector<RowState> planned;
    std::map<std::string, std::string> targets;
  };
  const Case cases[] = {
      {"the JPEG's own bytes",
       "photo IMG_0001.JPG",
       {RowState::kDuplicate, RowState::kUnprocessed},
       {{"IMG_0001.JPG", "2024_04_01a01.JPG"},
        {"IMG_0001.CR3", "2024_04_01a0.CR3"}}},
      {"another photo of the same length",
       "photo IMG_0009.JPG",
       {RowState::kDuplicate, RowState::kUnprocessed},
       {{"IMG_0001.JPG", "2024_04_01a01.JPG"},
        {"IMG_0001.CR3", "2024_04_01a01.CR3"}}},
      {"another photo of another length",
       "another shot",
       {RowState::kDuplicate, RowState::kDuplicate},
       {{"IMG_0001.JPG", "2024_04_01a01.JPG"},
        {"IMG_0001.CR3", "2024_04_01a01.CR3"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MemoryFileSystem fs;
    fs.WriteFile(std::string(kDay) + "a0.JPG", c.there);
    std::vector<RowState> planned;
    EXPECT_EQ(
        PlanAndRun(testing::MemoryCard(fs, {"IMG_0001.JPG", "IMG_0001.CR3"}),
                   fs, &planned),
        c.targets);
    EXPECT_EQ(planned, c.planned);
    EXPECT_EQ(fs.Contents(std::string(kDay) + "a0.JPG"), c.there);
  }
  // A pair there whole is copied again as a whole, and a move of the card
  // moves it so.
  for (bool keep : {true, false}) {
    MemoryFileSystem fs;
    const FileCatalogue card =
        testing::MemoryCard(fs, {"IMG_0001.JPG", "IMG_0001.CR3"});
    fs.WriteFile(std::string(kDay) + "a0.JPG", "photo IMG_0001.JPG");
    fs.WriteFile(std::string(kDay) + "a0.CR3", "photo IMG_0001.CR3");
    const std::map<std::string, std::string> again = {
        {"IMG_0001.JPG", "2024_04_01a01.JPG"},
        {"IMG_0001.CR3", "2024_04_01a01.CR3"}};
    EXPECT_EQ(PlanAndRun(card, fs, nullptr, PairOptions(keep)), again) << keep;
  }
}

// Copies wait for their batch's flush before their names appear: a pair
// planned under the name of a lone JPEG copied just before it (the same
// camera name in two folders, with date names off) must not put its RAW
// beside that JPEG.
TEST(ShotNamesTest, NamesGivenInTheRunCountAsTakenBeforeTheyStand) {
  TempDir dir;
  RealFileSystem fs{RealSystemCalls()};
  // Batches grow 1, 2, 4 rows: three rows before put the last three in one.
  const std::pair<const char*, const char*> files[] = {
      {"c1/", "IMG_0100.JPG"}, {"c1/", "IMG_0101.JPG"},
      {"c1/", "IMG_0102.JPG"}, {"c1/", "IMG_0001.JPG"},
      {"c2/", "IMG_0001.JPG"}, {"c2/", "IMG_0001.CR3"}};
  FileCatalogue catalogue;
  for (const auto& [folder, name] : files) {
    dir.WriteFile(std::string(folder) + name, std::string(folder) + name);
    catalogue.push_back(
        DatedRow(dir.Path(folder), name, DateKey{2024, 4, 1, 10, 0, 0}, true));
  }
  Settings options = PairOptions();
  options.DestinationFolder = dir.Path("d/");
  options.RenameToDateFile = false;
  ProcessingPlan plan;
  BuildPlan(catalogue, options, fs, plan);
  RunPlan(plan, options, fs, {});
  std::vector<std::string> targets;
  for (std::size_t i = 3; i < plan.size(); ++i)
    targets.push_back(BaseName(plan[i].TargetPath));
  EXPECT_EQ(targets, (std::vector<std::string>{"IMG_0001.JPG", "IMG_00011.JPG",
                                               "IMG_00011.CR3"}));
  EXPECT_EQ(testing::ReadFile(dir.Path("d/2024_04_01/IMG_00011.CR3")),
            "c2/IMG_0001.CR3");
}

}  // namespace
}  // namespace kuronel
