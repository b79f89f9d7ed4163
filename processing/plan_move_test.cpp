// Moves within one file system: the file is renamed instead of copied and
// deleted, and every row ends as copy and delete would have left it.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "gtest/gtest.h"
#include "processing/plan_execution.h"
#include "testing/faulty_file_system.h"
#include "testing/temp_dir.h"

namespace kuronel {
namespace {

using testing::Exists;
using testing::FaultyFileSystem;
using testing::ReadFile;
using testing::TempDir;
using MoveStep = FaultyFileSystem::MoveStep;
using Op = FaultyFileSystem::Operation;

constexpr time_t kShotAt = 1083838272;

Settings MoveOptions(bool read_only) {
  Settings options;
  options.MoveToDateFolder = true;
  options.RenameToDateFile = true;
  options.MakeReadOnly = read_only;
  options.KeepOriginal = false;
  options.DestinationFolder = "/nowhere/";
  return options;
}

struct stat LstatOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(lstat(path.c_str(), &st), 0) << path;
  return st;
}

class PlanMoveTest : public ::testing::Test {
 protected:
  // A photo of 0640 shot at kShotAt; returns its path.
  std::string Source(const std::string& name = "c/IMG_0001.JPG") {
    std::string path = dir_.WriteFile(name, Contents());
    EXPECT_EQ(chmod(path.c_str(), 0640), 0);
    testing::SetTimes(path, kShotAt, 0);
    return path;
  }
  static std::string Contents() { return std::string(5000, 'p') + "photo"; }

  RowState Run(const std::string& source, const std::string& new_path,
               const Settings& options) {
    ProcessingPlan plan = {PlanRow{source, new_path, RowState::kUnprocessed}};
    RunPlan(plan, options, fs_, {});
    return plan[0].State;
  }

  TempDir dir_;
  FaultyFileSystem fs_;
};

TEST_F(PlanMoveTest, MoveWithinOneFileSystemIsARename) {
  for (bool read_only : {false, true}) {
    SCOPED_TRACE(read_only);
    std::string source = Source("c" + std::to_string(read_only) + "/IMG.JPG");
    const ino_t inode = LstatOf(source).st_ino;
    std::string new_path = dir_.Path("d" + std::to_string(read_only) +
                                     "/2004_05_06/2004_05_06a0.JPG");
    const int flushes = fs_.Calls(Op::kFlushFolder);
    const int drive_flushes = fs_.Calls(Op::kFlushDrive);

    EXPECT_EQ(Run(source, new_path, MoveOptions(read_only)), RowState::kMoved);
    EXPECT_FALSE(Exists(source));
    EXPECT_EQ(ReadFile(new_path), Contents());
    const struct stat moved = LstatOf(new_path);
    EXPECT_EQ(moved.st_ino, inode);  // the very file: no copy was made
    EXPECT_EQ(moved.st_mode & 07777, read_only ? 0440u : 0640u);
    EXPECT_EQ(moved.st_mtim.tv_sec, kShotAt);
    EXPECT_EQ(fs_.Calls(Op::kCopy), 0);
    // Both folders are written out before the row is done: by a flush of
    // the whole drive where it proves that, else each by its own.
    const bool by_drive =
        RealFileSystem(RealSystemCalls()).FlushDrive(dir_.path()).has_value();
    EXPECT_EQ(fs_.Calls(Op::kFlushFolder), flushes + (by_drive ? 0 : 2));
    EXPECT_GT(fs_.Calls(Op::kFlushDrive), drive_flushes);
  }
}

// A rename that the drive may not keep is not reported as a move: it is
// undone, and reads as a failed copy; when even that fails, the row says
// where the file now is.
TEST_F(PlanMoveTest, RenameWhoseFoldersAreNotFlushedIsNoMove) {
  struct Case {
    const char* name;
    int failing_flush;  // 1: the target's folder, 2: the source's
    bool undo_fails;
  };
  const Case cases[] = {
      {"target folder", 1, false},
      {"source folder", 2, false},
      {"and the undo fails", 1, true},
  };
  int i = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FaultyFileSystem fs;
    const std::string n = std::to_string(++i);
    std::string source = Source("c" + n + "/IMG.JPG");
    std::string new_path = dir_.Path("d" + n + "/a0.JPG");
    fs.FailCall(Op::kFlushFolder, c.failing_flush);
    if (c.undo_fails) fs.FailCall(Op::kMove, 2);
    ProcessingPlan plan = {PlanRow{source, new_path, RowState::kUnprocessed}};
    RowState state_when_done = RowState::kUnprocessed;
    RunPlan(plan, MoveOptions(true), fs, {},
            {.row_done = [&](std::size_t, std::uint64_t) {
              state_when_done = plan[0].State;
            }});
    EXPECT_EQ(state_when_done, RowState::kCopyError);
    EXPECT_EQ(plan[0].failure.operation(), FileOperation::kFlush);
    EXPECT_EQ(fs.Calls(Op::kCopy), 0);
    const std::string& now_at = c.undo_fails ? new_path : source;
    EXPECT_EQ(ReadFile(now_at), Contents());
    EXPECT_FALSE(Exists(c.undo_fails ? source : new_path));
    EXPECT_EQ(plan[0].TargetPath, c.undo_fails ? new_path : "");
    EXPECT_EQ(plan[0].failure.outcome(), c.undo_fails
                                             ? FailureOutcome::kFileMoved
                                             : FailureOutcome::kNone);
  }
}

TEST_F(PlanMoveTest, KeptOriginalsAreCopied) {
  std::string source = Source();
  Settings options = MoveOptions(false);
  options.KeepOriginal = true;
  EXPECT_EQ(Run(source, dir_.Path("d/a0.JPG"), options), RowState::kCopied);
  EXPECT_EQ(fs_.Calls(Op::kMove), 0);
  EXPECT_NE(LstatOf(source).st_ino, LstatOf(dir_.Path("d/a0.JPG")).st_ino);
}

TEST_F(PlanMoveTest, ReadOnlySourceIsCopiedNotRenamed) {
  std::string source = Source();
  ASSERT_EQ(chmod(source.c_str(), 0444), 0);
  std::string new_path = dir_.Path("d/a0.JPG");
  EXPECT_EQ(Run(source, new_path, MoveOptions(false)), RowState::kDelError);
  EXPECT_EQ(ReadFile(source), Contents());
  EXPECT_EQ(ReadFile(new_path), Contents());
  EXPECT_NE(LstatOf(source).st_ino, LstatOf(new_path).st_ino);
}

TEST_F(PlanMoveTest, TakenTargetGivesTheNextFreeName) {
  std::string source = Source();
  const ino_t inode = LstatOf(source).st_ino;
  std::string new_path = dir_.WriteFile("d/a0.JPG", "in the way");
  EXPECT_EQ(Run(source, new_path, MoveOptions(false)), RowState::kMoved);
  EXPECT_EQ(ReadFile(new_path), "in the way");
  EXPECT_EQ(LstatOf(dir_.Path("d/a01.JPG")).st_ino, inode);
  EXPECT_FALSE(Exists(source));
}

// Whatever keeps the rename from happening, the copy runs and the row ends
// as a move always did: the data at the target, the source gone, nothing
// else left in either folder.
TEST_F(PlanMoveTest, RenameThatFailsFallsBackToCopyAndDelete) {
  struct Case {
    const char* name;
    MoveStep step;
    int error;  // 0: the whole operation fails
    bool renamed;
  };
  const Case cases[] = {
      {"operation fails", MoveStep::kRename, 0, false},
      {"another file system", MoveStep::kRename, EXDEV, false},
      {"target taken meanwhile", MoveStep::kRename, EEXIST, false},
      {"no permission", MoveStep::kRename, EACCES, false},
      // Without a no-replace rename the file is linked, then unlinked.
      {"no rename: link and unlink", MoveStep::kRename, EINVAL, true},
      {"no rename, no links", MoveStep::kLink, EPERM, false},
      {"unlink fails", MoveStep::kUnlink, EIO, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    FaultyFileSystem fs;
    if (c.error == 0) {
      fs.FailCall(Op::kMove);
    } else {
      if (c.step != MoveStep::kRename)
        fs.FailMoveStep(MoveStep::kRename, EINVAL);
      fs.FailMoveStep(c.step, c.error);
    }
    std::string source = dir.WriteFile("c/IMG.JPG", Contents());
    const ino_t inode = LstatOf(source).st_ino;
    std::string new_path = dir.Path("d/a0.JPG");
    ProcessingPlan plan = {PlanRow{source, new_path, RowState::kUnprocessed}};
    RunPlan(plan, MoveOptions(false), fs, {});

    EXPECT_EQ(plan[0].State, RowState::kMoved);
    EXPECT_FALSE(Exists(source));
    EXPECT_EQ(ReadFile(new_path), Contents());
    EXPECT_EQ(LstatOf(new_path).st_ino == inode, c.renamed);
    EXPECT_EQ(LstatOf(new_path).st_nlink, 1u);
    EXPECT_EQ(fs.Calls(Op::kCopy), c.renamed ? 0 : 1);
  }
}

// The file was moved, but is not read-only as asked: the row says so.
TEST_F(PlanMoveTest, FailedReadOnlyStepAfterTheRenameEndsAttrError) {
  fs_.FailCall(Op::kSetReadOnly);
  std::string source = Source();
  std::string new_path = dir_.Path("d/a0.JPG");
  EXPECT_EQ(Run(source, new_path, MoveOptions(true)), RowState::kAttrError);
  EXPECT_FALSE(Exists(source));
  EXPECT_EQ(ReadFile(new_path), Contents());
}

// A file with a second name, or a link, would not end as a copy does: the
// copy is a file of its own, and the delete removes the link only.
TEST_F(PlanMoveTest, LinkedSourcesAreCopied) {
  std::string photo = Source("c/IMG.JPG");
  std::string second = dir_.Path("c/second.JPG");
  ASSERT_EQ(link(photo.c_str(), second.c_str()), 0);
  std::string symlinked = dir_.Path("c/link.JPG");
  ASSERT_EQ(symlink(second.c_str(), symlinked.c_str()), 0);

  EXPECT_EQ(Run(photo, dir_.Path("d/a0.JPG"), MoveOptions(true)),
            RowState::kMoved);
  EXPECT_EQ(LstatOf(second).st_nlink, 1u);
  EXPECT_EQ(LstatOf(second).st_mode & 07777, 0640u);  // not made read-only
  EXPECT_EQ(ReadFile(dir_.Path("d/a0.JPG")), Contents());

  // Another folder: d/a0.JPG holds the same bytes and would count as the
  // copy of an interrupted move.
  EXPECT_EQ(Run(symlinked, dir_.Path("e/a1.JPG"), MoveOptions(false)),
            RowState::kMoved);
  EXPECT_FALSE(Exists(symlinked));
  EXPECT_TRUE(S_ISREG(LstatOf(dir_.Path("e/a1.JPG")).st_mode));
  EXPECT_EQ(ReadFile(second), Contents());
  EXPECT_EQ(fs_.Calls(Op::kCopy), 2);
}

// A move stopped between its copy and its delete, or between the link and
// the unlink, leaves a file at the target that nothing proves to be this
// source's copy: the next run makes a copy of its own before the source goes,
// and leaves the earlier file as it is.
TEST_F(PlanMoveTest, AnInterruptedMoveIsNeverFinishedWithSomeoneElsesFile) {
  for (bool linked : {false, true}) {
    SCOPED_TRACE(linked ? "second name left" : "copy left");
    std::string photo = Source("c" + std::to_string(linked) + "/IMG.JPG");
    std::string left = dir_.MakeDir("d" + std::to_string(linked)) + "/a0.JPG";
    if (linked) {
      ASSERT_EQ(link(photo.c_str(), left.c_str()), 0);
    } else {
      ASSERT_TRUE(fs_.CopyFileNoReplace(photo, left, true, {}).ok);
    }
    EXPECT_EQ(Run(photo, left, MoveOptions(true)), RowState::kMoved);
    EXPECT_FALSE(Exists(photo));
    EXPECT_EQ(ReadFile(left), Contents());
    EXPECT_NE(LstatOf(left).st_mode & 0222, 0u);  // not touched
    EXPECT_EQ(ReadFile(NumberedPath(left, 1)), Contents());
  }
}

}  // namespace
}  // namespace kuronel
