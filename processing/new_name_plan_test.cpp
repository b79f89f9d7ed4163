#include "processing/new_name_plan.h"

#include <string>
#include <string_view>
#include <vector>

#include "gtest/gtest.h"
#include "platform/path.h"
#include "testing/temp_dir.h"

namespace kuronel {
namespace {

using testing::TempDir;

DateKey Day(int year, int month, int day) { return DateKey{year, month, day}; }

Settings Options(bool move, bool rename, std::string destination = "/photos/") {
  Settings options;
  options.MoveToDateFolder = move;
  options.RenameToDateFile = rename;
  options.DestinationFolder = std::move(destination);
  return options;
}

CatalogueRow Row(std::string folder, std::string name,
                 std::string_view timestamp, bool checked = true) {
  DateKey date;
  EXPECT_TRUE(ReadTimestampText(timestamp, date).ok()) << timestamp;
  return DatedRow(std::move(folder), std::move(name), date, checked);
}

std::vector<std::string> NewPaths(const ProcessingPlan& plan) {
  std::vector<std::string> paths;
  for (const PlanRow& row : plan) paths.push_back(row.NewPath);
  return paths;
}

TEST(NewNamePlanTest, NameSuffixRunsThroughTheTable) {
  const std::pair<int, const char*> cases[] = {
      {1, "a0"},  {2, "a1"},  {10, "a9"},  {11, "aa"},  {36, "az"},  {37, "b0"},
      {72, "bz"}, {73, "c0"}, {900, "yz"}, {901, "z0"}, {936, "zz"},
  };
  for (const auto& [n, suffix] : cases) EXPECT_EQ(NameSuffix(n), suffix) << n;
}

TEST(NewNamePlanTest, DateNameAndExtension) {
  EXPECT_EQ(DateName(Day(2004, 5, 6)), "2004_05_06");
  EXPECT_EQ(DateName(DateKey{2004, 5, 6, 23, 59, 59}), "2004_05_06");
  EXPECT_EQ(ExtensionOf("/a/IMG_0001.jpg"), ".jpg");
  EXPECT_EQ(ExtensionOf("/a/b.tar.GZ"), ".GZ");
  EXPECT_EQ(ExtensionOf("/a.d/README"),
            "");  // a dot in a folder is no extension
  EXPECT_EQ(BaseName("/a/b/c.JPG"), "c.JPG");
}

TEST(NewNamePlanTest, FourOptionCombinations) {
  const std::string source = "/camera/IMG_0001.JPG";
  struct Case {
    bool move, rename;
    const char* new_path;
  };
  const Case cases[] = {
      {true, true, "/photos/2004_05_06/2004_05_06a0.JPG"},
      {true, false, "/photos/2004_05_06/IMG_0001.JPG"},
      {false, true, "/camera/2004_05_06a0.JPG"},
      {false, false, "/camera/IMG_0001.JPG"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(
        BuildNewPath(source, Day(2004, 5, 6), 1, Options(c.move, c.rename)),
        c.new_path)
        << c.move << c.rename;
  }
  // Extensions keep their case; a file without one gets a name without one.
  EXPECT_EQ(
      BuildNewPath("/c/IMG_0001.jpg", Day(2004, 5, 6), 1, Options(true, true)),
      "/photos/2004_05_06/2004_05_06a0.jpg");
  EXPECT_EQ(BuildNewPath("/c/NOEXT", Day(2004, 5, 6), 2, Options(true, true)),
            "/photos/2004_05_06/2004_05_06a1");
  EXPECT_EQ(
      BuildNewPath("/c.d/NOEXT", Day(2004, 5, 6), 2, Options(false, false)),
      "/c.d/NOEXT");
}

TEST(NewNamePlanTest, WorkedExampleOfOneDay) {
  TempDir dir;
  RealFileSystem fs{RealSystemCalls()};
  FileCatalogue catalogue = {
      Row("/camera/", "IMG_0001.JPG", "2004/05/06 10:11:12"),
      Row("/camera/", "IMG_0002.JPG", "2004/05/06 10:12:40"),
      Row("/camera/", "MVI_0003.AVI", "2004/05/06 11:00:05"),
      Row("/camera/", "IMG_0004.JPG", "2004/05/07 10:00:00"),
  };
  ProcessingPlan plan;
  BuildPlan(catalogue, Options(true, true, dir.path() + "/"), fs, plan);
  const std::string d = dir.path() + "/";
  EXPECT_EQ(NewPaths(plan), (std::vector<std::string>{
                                d + "2004_05_06/2004_05_06a0.JPG",
                                d + "2004_05_06/2004_05_06a1.JPG",
                                d + "2004_05_06/2004_05_06a2.AVI",
                                d + "2004_05_07/2004_05_07a0.JPG",
                            }));
  EXPECT_EQ(plan[2].SourcePath, "/camera/MVI_0003.AVI");
  for (const PlanRow& row : plan) EXPECT_EQ(row.State, RowState::kUnprocessed);
}

TEST(NewNamePlanTest, DayBoundariesAndUncheckedRows) {
  RealFileSystem fs{RealSystemCalls()};
  FileCatalogue catalogue = {
      Row("/c/", "1.JPG", "2004/05/06"),  // 00:00:00
      Row("/c/", "2.JPG", "2004/05/06 12:00:00",
          false),  // unchecked: not counted
      Row("/c/", "3.JPG", "2004/05/06 23:59:59"),
      Row("/c/", "4.JPG", "2004/05/07"),           // the next day
      Row("/c/", "5.JPG", "2004/05/06 23:59:59"),  // back to the 6th
      Row("/c/", "6.JPG", "2004/05/06 23:59:59"),
  };
  ProcessingPlan plan;
  BuildPlan(catalogue, Options(false, true, "/no/"), fs, plan);
  EXPECT_EQ(NewPaths(plan), (std::vector<std::string>{
                                "/c/2004_05_06a0.JPG",
                                "/c/2004_05_06a1.JPG",
                                "/c/2004_05_07a0.JPG",
                                "/c/2004_05_06a0.JPG",  // not adjacent: 1 again
                                "/c/2004_05_06a1.JPG",
                            }));
  // Same paths twice, yet nothing stands there: both start unprocessed.
  for (const PlanRow& row : plan) EXPECT_EQ(row.State, RowState::kUnprocessed);
}

TEST(NewNamePlanTest, PastTheLastSuffixANumberFollowsTheExtension) {
  RealFileSystem fs{RealSystemCalls()};
  FileCatalogue catalogue;
  for (int i = 0; i < 938; ++i)
    catalogue.push_back(Row("/c/", "IMG.JPG", "2004/05/06 10:00:00"));
  ProcessingPlan plan;
  BuildPlan(catalogue, Options(true, true), fs, plan);
  ASSERT_EQ(plan.size(), 938u);
  EXPECT_EQ(plan[935].NewPath, "/photos/2004_05_06/2004_05_06zz.JPG");
  EXPECT_EQ(plan[936].NewPath, "/photos/2004_05_06/2004_05_06zz.JPG1");
  EXPECT_EQ(plan[937].NewPath, "/photos/2004_05_06/2004_05_06zz.JPG2");
}

TEST(NewNamePlanTest, DuplicateStartStates) {
  TempDir dir;
  RealFileSystem fs{RealSystemCalls()};
  dir.WriteFile("c/IMG_0001.JPG", "x");
  dir.WriteFile("c/IMG_0002.JPG", "x");
  dir.WriteFile("d/2004_05_06/2004_05_06a0.JPG", "x");  // in the way
  dir.MakeDir("d/2004_05_06/2004_05_06a1.JPG");         // a folder is not
  const std::string c = dir.path() + "/c/";
  FileCatalogue catalogue = {
      Row(c, "IMG_0001.JPG", "2004/05/06 10:00:00"),
      Row(c, "IMG_0002.JPG", "2004/05/06 10:00:01"),
  };
  ProcessingPlan plan;
  BuildPlan(catalogue, Options(true, true, dir.Path("d/")), fs, plan);
  ASSERT_EQ(plan.size(), 2u);
  EXPECT_EQ(plan[0].State, RowState::kDuplicate);
  EXPECT_EQ(plan[1].State, RowState::kUnprocessed);

  // Both options off: every new path is its source, so every row is "重複".
  BuildPlan(catalogue, Options(false, false), fs, plan);
  ASSERT_EQ(plan.size(), 2u);
  for (const PlanRow& row : plan) {
    EXPECT_EQ(row.NewPath, row.SourcePath);
    EXPECT_EQ(row.State, RowState::kDuplicate);
  }
}

// With the option on, the files of one shot (folder, name before the
// extension and time alike) take one suffix; with it off, every file counts.
TEST(NewNamePlanTest, FilesOfOneShotShareTheirSuffixOnlyWithTheOption) {
  RealFileSystem fs{RealSystemCalls()};
  const FileCatalogue catalogue = {
      Row("/c/", "IMG_0001.JPG", "2024/05/06 10:00:00"),
      Row("/c/", "IMG_0002.JPG", "2024/05/06 10:00:00"),
      Row("/c/", "IMG_0001.CR3", "2024/05/06 10:00:00"),  // pair, not adjacent
      Row("/c/", "IMG_0002.cr3", "2024/05/06 10:00:00"),
      Row("/c/", "IMG_0001.jpg", "2024/05/06 10:00:00"),  // JPG again: no pair
      Row("/c/", "IMG_0003.JPG", "2024/05/06 10:00:01"),
      Row("/c/", "IMG_0003.CR3", "2024/05/06 10:00:12"),   // another time
      Row("/d/", "IMG_0003.HEIC", "2024/05/06 10:00:01"),  // another folder
      Row("/c/", "IMG_0004.JPG", "2024/05/06 10:00:03"),
      Row("/c/", "IMG_0004.ARW", "2024/05/06 10:00:03", false),  // unchecked
      Row("/c/", "IMG_0005.JPG", "2024/05/07 09:00:00"),         // next day
      Row("/c/", "IMG_0005.MP4", "2024/05/07 09:00:00"),
  };
  struct Case {
    bool option;
    std::vector<std::string> suffixes;
  };
  for (const Case& c : {Case{false,
                             {"a0", "a1", "a2", "a3", "a4", "a5", "a6", "a7",
                              "a8", "a0", "a1"}},
                        Case{true,
                             {"a0", "a1", "a0", "a1", "a2", "a3", "a4", "a5",
                              "a6", "a0", "a0"}}}) {
    Settings options = Options(false, true);
    options.IncludeRawHeifMp4 = c.option;
    ProcessingPlan plan;
    BuildPlan(catalogue, options, fs, plan);
    std::vector<std::string> suffixes;
    for (const PlanRow& row : plan)
      suffixes.push_back(BaseName(row.NewPath).substr(10, 2));
    EXPECT_EQ(suffixes, c.suffixes) << c.option;
  }
}

// A camera writes a RAW some seconds after its JPEG, and FAT keeps times in
// two-second steps: such files are one shot, up to the bound.
TEST(NewNamePlanTest, AShotsFilesMayBeSomeSecondsApart) {
  RealFileSystem fs{RealSystemCalls()};
  struct Case {
    const char* raw_time;
    bool one_shot;
  };
  const Case cases[] = {
      {"2024/05/06 10:00:00", true},  {"2024/05/06 10:00:02", true},
      {"2024/05/06 10:00:10", true},   // the bound
      {"2024/05/06 10:00:11", false},  // the bound and one second
      {"2024/05/06 09:59:58", true},   // RAW listed first, JPEG later
  };
  for (const Case& c : cases) {
    const FileCatalogue catalogue = {
        Row("/c/", "IMG_0001.JPG", "2024/05/06 10:00:00"),
        Row("/c/", "IMG_0001.NEF", c.raw_time),
    };
    Settings options = Options(true, true);
    options.IncludeRawHeifMp4 = true;
    ProcessingPlan plan;
    BuildPlan(catalogue, options, fs, plan);
    ASSERT_EQ(plan.size(), 2u);
    EXPECT_EQ(BaseName(plan[1].NewPath),
              c.one_shot ? "2024_05_06a0.NEF" : "2024_05_06a1.NEF")
        << c.raw_time;
    EXPECT_EQ(plan[0].Shot == plan[1].Shot, c.one_shot) << c.raw_time;
  }
}

// A row's texts are for the list; its new name comes from its date.
TEST(NewNamePlanTest, NamesComeFromTheRowsDateNotItsText) {
  RealFileSystem fs{RealSystemCalls()};
  CatalogueRow row = DatedRow("/c/", "1.JPG", {2004, 5, 6, 10, 0, 0}, true);
  row.Timestamp = "2004/13/06 10:00:00";
  ProcessingPlan plan;
  BuildPlan({row}, Options(true, true), fs, plan);
  EXPECT_EQ(NewPaths(plan),
            std::vector<std::string>{"/photos/2004_05_06/2004_05_06a0.JPG"});
}

}  // namespace
}  // namespace kuronel
