#include "catalogue/folder_walk.h"

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "gmock/gmock.h"
#include "gtest/gtest.h"
#include "platform/dir_listing.h"
#include "platform/path.h"
#include "testing/temp_dir.h"

namespace kuronel {
namespace {

using ::kuronel::testing::TempDir;
using ::testing::ElementsAre;
using ::testing::UnorderedElementsAre;

std::string Repeat(const std::string& text, int times) {
  std::string result;
  for (int i = 0; i < times; ++i) result += text;
  return result;
}

const std::string kLabel = "フォルダチェック中";

std::string Bar(int white_before, int white_after) {
  return Repeat("□", white_before) + "■" + Repeat("□", white_after) + kLabel;
}

TEST(WalkProgressTextTest, MarksThePlaceOfTheFolderInItsLevel) {
  EXPECT_EQ(WalkProgressText(0, 1), Repeat("□", 10) + kLabel);
  EXPECT_EQ(WalkProgressText(0, 2), Bar(0, 9));
  EXPECT_EQ(WalkProgressText(1, 2), "");  // an eleventh square: not shown
  EXPECT_EQ(WalkProgressText(0, 3), Bar(0, 9));
  EXPECT_EQ(WalkProgressText(1, 3), Bar(5, 4));
  EXPECT_EQ(WalkProgressText(2, 3), "");
  EXPECT_EQ(WalkProgressText(3, 12), Bar(2, 7));
  EXPECT_EQ(WalkProgressText(10, 11), "");
  EXPECT_EQ(WalkProgressText(9, 11), Bar(9, 0));
}

struct Walk {
  FolderWorkList work_list;
  std::vector<std::string> texts;
};

Walk WalkOf(const std::string& root, const FileIdentitySet& left_out = {}) {
  Walk walk;
  walk.work_list = {"left over from an earlier walk"};
  WalkFolderTree(
      root, walk.work_list,
      [&](const std::string& text) { walk.texts.push_back(text); },
      RealSystemCalls(), left_out);
  return walk;
}

TEST(WalkFolderTreeTest, WalksLevelByLevel) {
  TempDir dir;
  dir.MakeDir("A/A1");
  dir.MakeDir("B/B1");
  dir.MakeDir(".hidden");
  dir.WriteFile("A/file.jpg", "x");

  const FolderWorkList list = WalkOf(dir.path()).work_list;
  ASSERT_EQ(list.size(), 6u);
  EXPECT_EQ(list[0], dir.path());
  const std::vector<std::string> depth1(list.begin() + 1, list.begin() + 4);
  EXPECT_THAT(depth1, UnorderedElementsAre(dir.Path("A"), dir.Path("B"),
                                           dir.Path(".hidden")));
  // Within depth 2 the subfolders of the earlier folder come first.
  std::vector<std::string> expected_depth2;
  for (const std::string& folder : depth1) {
    if (folder == dir.Path("A")) expected_depth2.push_back(dir.Path("A/A1"));
    if (folder == dir.Path("B")) expected_depth2.push_back(dir.Path("B/B1"));
  }
  EXPECT_EQ(std::vector<std::string>(list.begin() + 4, list.end()),
            expected_depth2);
}

TEST(WalkFolderTreeTest, ShowsOneTextPerFolderExceptTheLastOfALongerLevel) {
  TempDir one, two, three;
  two.MakeDir("a");
  two.MakeDir("b");
  three.MakeDir("a");
  three.MakeDir("b");
  three.MakeDir("c");
  const std::string root_text = Repeat("□", 10) + kLabel;

  EXPECT_THAT(WalkOf(one.path()).texts, ElementsAre(root_text));
  EXPECT_THAT(WalkOf(two.path()).texts, ElementsAre(root_text, Bar(0, 9)));
  EXPECT_THAT(WalkOf(three.path()).texts,
              ElementsAre(root_text, Bar(0, 9), Bar(5, 4)));
}

TEST(WalkFolderTreeTest, RemovesOneTrailingSlashFromTheRoot) {
  TempDir dir;
  dir.MakeDir("A");
  EXPECT_THAT(WalkOf(dir.path() + "/").work_list,
              ElementsAre(dir.path(), dir.Path("A")));
  EXPECT_EQ(WithoutTrailingSeparator("/media/card/"), "/media/card");
  EXPECT_EQ(WithoutTrailingSeparator("/media/card"), "/media/card");
  EXPECT_EQ(WithoutTrailingSeparator("/"), "/");
}

TEST(WalkFolderTreeTest, TheRootFolderKeepsItsSlash) {
  EXPECT_EQ(JoinPath("/", "bin"), "/bin");
  EXPECT_EQ(JoinPath("/media", "card"), "/media/card");
  EXPECT_EQ(JoinPath("/media/", "card"), "/media/card");
}

TEST(WalkFolderTreeTest, AMissingRootStandsAloneInTheWorkList) {
  TempDir dir;
  const std::string missing = dir.Path("gone");
  EXPECT_THAT(WalkOf(missing).work_list, ElementsAre(missing));
}

TEST(WalkFolderTreeTest, WalksEachDirectoryOnceThroughLinks) {
  TempDir dir;
  dir.MakeDir("A/B");
  ASSERT_EQ(symlink("..", dir.Path("A/B/up").c_str()), 0);
  ASSERT_EQ(symlink(dir.path().c_str(), dir.Path("A/root").c_str()), 0);
  ASSERT_EQ(symlink("../outside", dir.Path("A/out").c_str()), 0);
  TempDir outside;
  outside.MakeDir("C");
  ASSERT_EQ(symlink(outside.Path("C").c_str(), dir.Path("A/B/c").c_str()), 0);

  // A link to a folder outside the tree is walked like any folder.
  EXPECT_THAT(WalkOf(dir.path()).work_list,
              ElementsAre(dir.path(), dir.Path("A"), dir.Path("A/B"),
                          dir.Path("A/B/c")));
}

// The destination of the copies inside the opened folder is left out however
// it is spelled; made-up file systems (a proc mounted inside) are never
// entered. The root itself is always walked.
TEST(WalkFolderTreeTest, LeavesOutTheDestinationAndMadeUpFileSystems) {
  TempDir dir;
  dir.MakeDir("card/DCIM");
  dir.MakeDir("card/sorted/2004_05_06");
  ASSERT_EQ(symlink(dir.Path("card").c_str(), dir.Path("link").c_str()), 0);
  const std::optional<FileIdentity> sorted = DirectoryIdentity(
      dir.Path("link/sorted/2004_05_06/.."), RealSystemCalls());
  ASSERT_TRUE(sorted);
  EXPECT_THAT(WalkOf(dir.Path("card"), {*sorted}).work_list,
              ElementsAre(dir.Path("card"), dir.Path("card/DCIM")));
  EXPECT_THAT(
      WalkOf(dir.Path("card/sorted"), {*sorted}).work_list,
      ElementsAre(dir.Path("card/sorted"), dir.Path("card/sorted/2004_05_06")));

  const std::string proc = dir.MakeDir("card/DCIM/proc");
  if (mount("proc", proc.c_str(), "proc", 0, nullptr) != 0)
    GTEST_SKIP() << "cannot mount proc here (needs root)";
  const FolderWorkList walked = WalkOf(dir.Path("card/DCIM")).work_list;
  umount(proc.c_str());
  EXPECT_THAT(walked, ElementsAre(dir.Path("card/DCIM")));
}

}  // namespace
}  // namespace kuronel
