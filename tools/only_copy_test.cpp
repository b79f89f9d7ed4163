// The only copy of a photo is never deleted. Each case is a real tree on a
// real disk, run through kuronel-batch's own entry as a user would run it:
// after it, every photo that was there is still somewhere in the tree under
// a visible name, and the output tells the truth about it.

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "platform/folder_lock.h"
#include "testing/as_nobody.h"
#include "testing/faulty_file_system.h"
#include "testing/sha256.h"
#include "testing/temp_dir.h"
#include "testing/tree_audit.h"
#include "tools/batch_run.h"
#include "tools/batch_test_support.h"

namespace kuronel {
namespace {

using Args = std::vector<std::string>;
using Result = testing::BatchResult;
using testing::Exists;
using testing::ReadFile;
using testing::ScopedCurrentDirectory;
using testing::SetTimes;
using testing::TempDir;

std::string Photo(int number) {
  return "photo " + std::to_string(number) + std::string(3000, 'x');
}

// How many files under `root` hold each content, hidden temporaries of
// copies left out: a photo there is lost to its user.
std::map<std::string, int> VisibleContents(const std::string& root) {
  std::map<std::string, int> contents;
  for (const auto& [path, digest] : testing::TakeManifest(root)) {
    const std::string name = path.substr(path.rfind('/') + 1);
    if (!IsTemporaryName(name)) ++contents[digest];
  }
  return contents;
}

// Every photo of `before` is still under `root` at least once.
::testing::AssertionResult NoPhotoLost(const std::map<std::string, int>& before,
                                       const std::string& root) {
  const std::map<std::string, int> now = VisibleContents(root);
  for (const auto& [digest, count] : before) {
    if (!now.count(digest))
      return ::testing::AssertionFailure() << "photo lost: " << digest;
  }
  return ::testing::AssertionSuccess();
}

constexpr time_t kShotAt =
    1083844800;  // 2004-05-06 12:00 UTC: that day anywhere

class OnlyCopyTest : public ::testing::Test {
 protected:
  // A photo of the card, shot at kShotAt.
  std::string CardPhoto(const std::string& relative, int number) {
    const std::string path = dir_.WriteFile(relative, Photo(number));
    SetTimes(path, kShotAt, 0);
    return path;
  }
  std::string DateFolder() const { return "2004_05_06"; }

  TempDir dir_{testing::DefaultTempBase()};
};

TEST_F(OnlyCopyTest, AHomeFolderReachedThroughALinkMovedTwice) {
  CardPhoto("data/pics/IMG_0001.JPG", 1);
  CardPhoto("data/pics/IMG_0002.JPG", 2);
  const auto before = VisibleContents(dir_.path());
  dir_.MakeDir("home");
  ASSERT_EQ(symlink(dir_.Path("data/pics").c_str(),
                    dir_.Path("home/Pictures").c_str()),
            0);
  // The working folder is the physical path, the destination the linked one.
  ScopedCurrentDirectory in_pictures(dir_.Path("home/Pictures"));
  const Args move = {"--move", "--no-read-only", "--dest",
                     dir_.Path("home/Pictures/sorted"), "."};
  for (int run = 1; run <= 2; ++run) {
    SCOPED_TRACE(run);
    const Result result = testing::RunBatchArgs(move);
    EXPECT_EQ(result.code, 0) << result.err;
    EXPECT_TRUE(NoPhotoLost(before, dir_.path()));
  }
  EXPECT_EQ(VisibleContents(dir_.Path("data/pics/sorted")).size(), 2u);
}

TEST_F(OnlyCopyTest, ADestinationSpelledBackIntoTheCardsOwnDateFolder) {
  CardPhoto("photos/IMG_0001.JPG", 1);
  const auto before = VisibleContents(dir_.path());
  ASSERT_EQ(testing::RunBatchArgs(
                {"--move", "--dest", dir_.Path("photos"), dir_.Path("photos")})
                .code,
            0);
  for (int run = 1; run <= 2; ++run) {
    SCOPED_TRACE(run);
    const Result result = testing::RunBatchArgs(
        {"--move", "--dest", dir_.Path("photos/" + DateFolder() + "/.."),
         dir_.Path("photos")});
    EXPECT_TRUE(NoPhotoLost(before, dir_.path())) << result.out;
  }
}

TEST_F(OnlyCopyTest, ALinkInTheDateFolderToThePhotoOnTheCard) {
  const std::string photo = CardPhoto("card/IMG_0001.JPG", 1);
  const auto before = VisibleContents(dir_.path());
  const std::string favourite =
      dir_.MakeDir("dest/" + DateFolder()) + "/favourite.JPG";
  ASSERT_EQ(symlink(photo.c_str(), favourite.c_str()), 0);
  const Result result = testing::RunBatchArgs(
      {"--move", "--dest", dir_.Path("dest"), dir_.Path("card")});
  EXPECT_EQ(result.code, 0) << result.out;
  EXPECT_TRUE(NoPhotoLost(before, dir_.Path("dest")));
}

TEST_F(OnlyCopyTest, ALinkBesideItsPhotoWithoutDateFolders) {
  const std::string photo = CardPhoto("card/IMG_0001.JPG", 1);
  const auto before = VisibleContents(dir_.path());
  ASSERT_EQ(symlink("IMG_0001.JPG", dir_.Path("card/zlink.JPG").c_str()), 0);
  const Result result =
      testing::RunBatchArgs({"--no-date-folder", "--move", dir_.Path("card")});
  EXPECT_EQ(result.code, 0) << result.out;
  EXPECT_TRUE(NoPhotoLost(before, dir_.Path("card")));
  // One file, one row: the other name is left as it is.
  EXPECT_TRUE(result.out.ends_with("# 1 files: 1 Ok\n")) << result.out;
}

// A drive without O_TMPFILE and without a no-replace rename (ntfs-3g): a
// killed run left a complete and a half-written hidden temporary, and a copy
// of another program is writing under a third.
TEST_F(OnlyCopyTest, HiddenTemporariesOfKilledRunsAreOnlyGarbage) {
  CardPhoto("card/IMG_0001.JPG", 1);
  const auto before = VisibleContents(dir_.Path("card"));
  const std::string folder = dir_.MakeDir("dest/" + DateFolder());
  const std::string day = "dest/" + DateFolder() + "/";
  const std::string complete =
      dir_.WriteFile(day + NewTemporaryName(), Photo(1));
  SetTimes(complete, kShotAt, 0);
  const std::string half = dir_.WriteFile(day + NewTemporaryName(), "photo 1");
  const std::string live = dir_.WriteFile(day + NewTemporaryName(), "photo");
  const int live_fd = open(live.c_str(), O_RDONLY);
  ASSERT_EQ(flock(live_fd, LOCK_EX), 0);

  RealFileSystem::Options options;
  options.use_unnamed_temporary = false;
  testing::FaultyFileSystem ntfs_like(options);
  ntfs_like.FailSystemCall(testing::FaultyFileSystem::SystemCall::kRename, 0,
                           EINVAL);
  const Result result = testing::RunBatchArgs(
      {"--move", "--dest", dir_.Path("dest"), dir_.Path("card")}, &ntfs_like);
  close(live_fd);

  EXPECT_EQ(result.code, 0) << result.out;
  EXPECT_TRUE(NoPhotoLost(before, dir_.Path("dest")));
  EXPECT_EQ(ReadFile(folder + "/2004_05_06a0.JPG"), Photo(1));
  EXPECT_FALSE(Exists(complete));
  EXPECT_FALSE(Exists(half));
  EXPECT_TRUE(Exists(live));  // in use: not garbage
}

TEST_F(OnlyCopyTest, TheUsersOwnEqualFileInTheDateFolder) {
  const std::string photo = CardPhoto("card/IMG_0001.JPG", 1);
  const auto before = VisibleContents(dir_.path());
  const std::string own =
      dir_.WriteFile("dest/" + DateFolder() + "/2004_05_06a0.JPG", Photo(1));
  SetTimes(own, kShotAt, 0);  // as cp -p leaves it
  const Result result = testing::RunBatchArgs(
      {"--move", "--dest", dir_.Path("dest"), dir_.Path("card")});
  EXPECT_EQ(result.code, 0) << result.out;
  EXPECT_TRUE(NoPhotoLost(before, dir_.Path("dest")));
  EXPECT_EQ(VisibleContents(dir_.Path("dest")).begin()->second, 2);
  struct stat st;
  ASSERT_EQ(stat(own.c_str(), &st), 0);
  EXPECT_NE(st.st_mode & 0200, 0u);  // not made read-only
}

TEST_F(OnlyCopyTest, IdenticalPhotosMovedInPlace) {
  CardPhoto("card/A.JPG", 1);
  CardPhoto("card/B.JPG", 1);
  const Result result =
      testing::RunBatchArgs({"--move", "--no-date-folder", "--no-rename",
                             "--no-read-only", dir_.Path("card")});
  EXPECT_EQ(result.code, 0) << result.out;
  EXPECT_EQ(VisibleContents(dir_.Path("card")).begin()->second, 2);
}

// The old check read both files whole, holes included: hours for this one.
TEST_F(OnlyCopyTest, AHugeSparseMovieBesideAnEqualOne) {
  TempDir fast(testing::FastTempBase());
  constexpr off_t kPebibyte = off_t{1} << 50;
  const std::string movie = fast.WriteFile("card/MVI_0001.MOV", "");
  const std::string own =
      fast.WriteFile("dest/2004_05_06/2004_05_06a0.MOV", "");
  if (truncate(movie.c_str(), kPebibyte) != 0 ||
      truncate(own.c_str(), kPebibyte) != 0)
    GTEST_SKIP() << fast.path() << " takes no sparse file of 1 PiB";
  SetTimes(movie, kShotAt, 0);
  SetTimes(own, kShotAt, 0);
  const Result result = testing::RunBatchArgs(
      {"--move", "--movies", "--dest", fast.Path("dest"), fast.Path("card")});
  EXPECT_EQ(result.code, 0) << result.out;
  struct stat st;
  ASSERT_EQ(stat(fast.Path("dest/2004_05_06/2004_05_06a01.MOV").c_str(), &st),
            0);
  EXPECT_EQ(st.st_size, kPebibyte);
}

TEST_F(OnlyCopyTest, AnUnreadableFolderFailsTheRun) {
  CardPhoto("card/IMG_0001.JPG", 1);
  CardPhoto("card/locked/IMG_0002.JPG", 2);
  const auto before = VisibleContents(dir_.path());
  const std::string card = dir_.Path("card");
  ASSERT_EQ(chmod(dir_.Path("card/locked").c_str(), 0), 0);
  if (geteuid() == 0) {  // the run is made as nobody: give it the rest
    for (const std::string& path :
         {dir_.path(), card, dir_.Path("card/IMG_0001.JPG")})
      ASSERT_EQ(chown(path.c_str(), testing::kNobody, testing::kNobody), 0);
  }
  const std::string report = testing::AsNobody([&] {
    const Result result =
        testing::RunBatchArgs({"--move", "--dest", dir_.Path("dest"), card});
    return std::to_string(result.code) + "\n" + result.out;
  });
  chmod(dir_.Path("card/locked").c_str(), 0755);
  EXPECT_EQ(report.substr(0, 2), "1\n") << report;
  EXPECT_NE(report.find("# cannot read " + card + "/locked: "),
            std::string::npos)
      << report;
  EXPECT_NE(report.find("# 1 files: 1 Ok"), std::string::npos) << report;
  EXPECT_TRUE(NoPhotoLost(before, dir_.path()));
}

TEST_F(OnlyCopyTest, TwoRunsAtOnceOnOneDestination) {
  CardPhoto("card/IMG_0001.JPG", 1);
  const Args move = {"--move", "--dest", dir_.Path("dest"), dir_.Path("card")};
  {
    FolderLocks other_run(RealSystemCalls());
    LockRefusal refusal;
    ASSERT_TRUE(other_run.TryLock(
        {{dir_.Path("dest"), FolderLocks::Mode::kExclusive}}, refusal));
    const Result refused = testing::RunBatchArgs(move);
    EXPECT_EQ(refused.code, kBatchExitUsage);
    EXPECT_NE(refused.err.find("another Kuronel run"), std::string::npos);
    EXPECT_TRUE(Exists(dir_.Path("card/IMG_0001.JPG")));
  }
  EXPECT_EQ(testing::RunBatchArgs(move).code, 0);
}

// One folder given as itself, through a link and as sub/..: one row per
// photo. The destination inside the card is left out, so each run copies
// the card once, not the copies of earlier runs again.
TEST_F(OnlyCopyTest, EachFileIsOneRowAndCopiesAreNotCopiedAgain) {
  CardPhoto("card/IMG_0001.JPG", 1);
  CardPhoto("card/sub/IMG_0002.JPG", 2);
  ASSERT_EQ(link(dir_.Path("card/IMG_0001.JPG").c_str(),
                 dir_.Path("card/hard.JPG").c_str()),
            0);
  ASSERT_EQ(symlink(dir_.Path("card").c_str(), dir_.Path("link").c_str()), 0);
  const Result dry = testing::RunBatchArgs(
      {"--dry-run", "--dest", dir_.Path("out"), dir_.Path("card"),
       dir_.Path("link"), dir_.Path("card/sub/..")});
  EXPECT_TRUE(dry.out.ends_with("# 2 files: 2 未処理\n")) << dry.out;

  for (int run = 1; run <= 3; ++run)
    ASSERT_EQ(testing::RunBatchArgs(
                  {"--dest", dir_.Path("card/sorted"), dir_.Path("card")})
                  .code,
              0);
  EXPECT_EQ(testing::TakeManifest(dir_.Path("card/sorted")).size(), 6u);
}

}  // namespace
}  // namespace kuronel
