#include "catalogue/catalogue_checks.h"

#include <string>
#include <vector>

#include "gmock/gmock.h"
#include "gtest/gtest.h"

namespace kuronel {
namespace {

using ::testing::ElementsAre;

CatalogueRow RowNamed(const std::string& name, bool checked = false) {
  return CatalogueRow{"2004_05_12", name, "/card/", "2004/05/12", checked, {}};
}

TEST(IsDefaultTargetTest, JudgesTheLastExtensionInAnyCase) {
  // Expected with: nothing more, movies, RAW・HEIF・MP4, both.
  struct Case {
    const char* name;
    bool plain, movies, raw_heif_mp4, both;
  };
  for (const Case& c : std::vector<Case>{
           {"IMG_1.JPG", true, true, true, true},
           {"a.Jpeg", true, true, true, true},
           {".jpg", true, true, true, true},
           {"a.jpe", false, false, false, false},
           {"a.mpeg", false, false, false, false},
           {"a.jpg.txt", false, false, false, false},
           {"a.txt.jpg", true, true, true, true},
           {"jpg", false, false, false, false},
           {"a.jpg ", false, false, false, false},
           {"a.AVI", false, true, false, true},
           {"b.mov", false, true, false, true},
           {"c.MpG", false, true, false, true},
           {"d.THM", false, false, false, false},
           {"", false, false, false, false},
           // Photos of the option: checked like a JPEG, movies or not.
           {"IMG_1.CR3", false, false, true, true},
           {"a.cr2", false, false, true, true},
           {"a.Nef", false, false, true, true},
           {"a.ARW", false, false, true, true},
           {"a.dng", false, false, true, true},
           {"a.RAF", false, false, true, true},
           {"a.orf", false, false, true, true},
           {"a.RW2", false, false, true, true},
           {"a.pef", false, false, true, true},
           {"a.HEIC", false, false, true, true},
           {"a.hif", false, false, true, true},
           {"a.heif", false, false, false, false},
           {"a.cr3.xmp", false, false, false, false},
           {"cr3", false, false, false, false},
           // Movies of the option: only with movies on.
           {"a.mp4", false, false, false, true},
           {"a.M4V", false, false, false, true},
           {"a.MTS", false, false, false, true},
           {"a.m2ts", false, false, false, true},
           {"a.3GP", false, false, false, true},
           {"a.mp4a", false, false, false, false}}) {
    EXPECT_EQ(IsDefaultTarget(c.name, {false, false}), c.plain) << c.name;
    EXPECT_EQ(IsDefaultTarget(c.name, {true, false}), c.movies) << c.name;
    EXPECT_EQ(IsDefaultTarget(c.name, {false, true}), c.raw_heif_mp4) << c.name;
    EXPECT_EQ(IsDefaultTarget(c.name, {true, true}), c.both) << c.name;
  }
}

TEST(ApplyDefaultChecksTest, RawAndHeifPhotosCountAsJpegs) {
  FileCatalogue rows = {RowNamed("a.JPG"), RowNamed("a.CR3"),
                        RowNamed("b.HEIC"), RowNamed("c.MP4")};
  std::vector<std::string> texts;
  auto sink = [&](const std::string& text) { texts.push_back(text); };
  EXPECT_EQ(ApplyDefaultChecks(rows, {false, true}, sink), 3u);
  EXPECT_EQ(texts.back(), "3個の写真が対象です。");
  EXPECT_EQ(ApplyDefaultChecks(rows, {true, true}, sink), 4u);
  EXPECT_EQ(texts.back(), "4個のファイルが対象です。");
  EXPECT_EQ(ApplyDefaultChecks(rows, {true, false}, nullptr), 1u);
}

TEST(CheckedCountTextTest, CountsEveryCheckedRowWhateverItsKind) {
  FileCatalogue rows = {RowNamed("a.JPG", true), RowNamed("b.txt", true),
                        RowNamed("c.avi")};
  EXPECT_EQ(CheckedCountText(rows), "2個のファイルが対象です。");
  EXPECT_EQ(CheckedCountText({}), "0個のファイルが対象です。");
}

TEST(DefaultTargetsForTest, FollowsTheDetailSettings) {
  Settings settings;
  settings.IncludeRawHeifMp4 = true;
  const DefaultTargets targets = DefaultTargetsFor(settings);
  EXPECT_FALSE(targets.movies);
  EXPECT_TRUE(targets.raw_heif_mp4);
  settings.CheckMoviesByDefault = true;
  EXPECT_TRUE(DefaultTargetsFor(settings).movies);
}

TEST(ApplyDefaultChecksTest, ReplacesEveryCheckAndReportsPathsAndCount) {
  FileCatalogue rows = {RowNamed("a.JPG"), RowNamed("b.txt", true),
                        RowNamed("c.avi"), RowNamed("d.jpeg")};
  std::vector<std::string> texts;
  auto sink = [&](const std::string& text) { texts.push_back(text); };

  EXPECT_EQ(ApplyDefaultChecks(rows, {false, false}, sink), 2u);
  EXPECT_THAT(texts, ElementsAre("/card/a.JPG", "/card/d.jpeg",
                                 "2個のjpegファイルが対象です。"));
  EXPECT_TRUE(rows[0].Checked);
  EXPECT_FALSE(rows[1].Checked);
  EXPECT_FALSE(rows[2].Checked);

  texts.clear();
  EXPECT_EQ(ApplyDefaultChecks(rows, {true, false}, sink), 3u);
  EXPECT_THAT(texts, ElementsAre("/card/a.JPG", "/card/c.avi", "/card/d.jpeg",
                                 "3個のファイルが対象です。"));
  EXPECT_TRUE(rows[2].Checked);
}

TEST(ApplyDefaultChecksTest, AnEmptyListReportsZero) {
  FileCatalogue rows;
  std::vector<std::string> texts;
  ApplyDefaultChecks(rows, {false, false},
                     [&](const std::string& text) { texts.push_back(text); });
  EXPECT_THAT(texts, ElementsAre("0個のjpegファイルが対象です。"));
  EXPECT_EQ(ApplyDefaultChecks(rows, {true, false}, nullptr), 0u);
}

TEST(ApplyDefaultChecksTest, ShowsAShiftJisPathDecoded) {
  FileCatalogue rows = {RowNamed("\x8e\xca\x90\x5e.jpg")};
  std::vector<std::string> texts;
  ApplyDefaultChecks(rows, {false, false},
                     [&](const std::string& text) { texts.push_back(text); });
  EXPECT_THAT(texts,
              ElementsAre("/card/写真.jpg", "1個のjpegファイルが対象です。"));
  EXPECT_EQ(rows[0].FileName, "\x8e\xca\x90\x5e.jpg");
}

std::vector<bool> Checks(const FileCatalogue& rows) {
  std::vector<bool> checks;
  for (const CatalogueRow& row : rows) checks.push_back(row.Checked);
  return checks;
}

TEST(CheckSelectedRowsTest, CountsEverySelectedRowCheckedOrNot) {
  FileCatalogue rows = {RowNamed("a", true), RowNamed("b"), RowNamed("c"),
                        RowNamed("d", true)};
  const std::vector<bool> selected = {true, true, false, true};

  CheckCommandResult result = CheckSelectedRows(rows, selected);
  EXPECT_EQ(result.count, 3u);
  EXPECT_EQ(result.status_text, "3個のファイルを追加しました。");
  EXPECT_THAT(Checks(rows), ElementsAre(true, true, false, true));

  result = UncheckSelectedRows(rows, [](size_t row) { return row >= 2; });
  EXPECT_EQ(result.status_text, "2個のファイルを対象外にしました。");
  EXPECT_THAT(Checks(rows), ElementsAre(true, true, false, false));
}

TEST(CheckSelectedRowsTest, NothingSelectedOrNoRowsGivesZero) {
  FileCatalogue rows = {RowNamed("a", true), RowNamed("b")};
  EXPECT_EQ(CheckSelectedRows(rows, std::vector<bool>{}).status_text,
            "0個のファイルを追加しました。");
  EXPECT_EQ(
      UncheckSelectedRows(rows, std::vector<bool>{false, false}).status_text,
      "0個のファイルを対象外にしました。");
  EXPECT_THAT(Checks(rows), ElementsAre(true, false));
  FileCatalogue empty;
  EXPECT_EQ(CheckSelectedRows(empty, [](size_t) { return true; }).count, 0u);
}

}  // namespace
}  // namespace kuronel
