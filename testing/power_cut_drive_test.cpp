// The power-cut drive loses what a disk that lost its power would: data not
// fsynced, names not fsynced in their folder; and its corrupting mode alters
// what it is given.
#include "testing/power_cut_drive.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <iostream>
#include <string>

#include "gtest/gtest.h"
#include "testing/sha256.h"
#include "testing/temp_dir.h"
#include "testing/tree_audit.h"

namespace kuronel::testing {
namespace {

#define MOUNT_OR_SKIP(drive) \
  if (!(drive).mounted()) GTEST_SKIP() << (drive).unavailable()

void SyncPath(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0) << path;
  EXPECT_EQ(fsync(fd), 0) << path;
  close(fd);
}

void WriteThrough(const std::string& path, const std::string& data,
                  bool flush) {
  const int fd =
      open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  ASSERT_GE(fd, 0) << path;
  ASSERT_EQ(write(fd, data.data(), data.size()),
            static_cast<ssize_t>(data.size()));
  if (flush) {
    EXPECT_EQ(fsync(fd), 0);
  }
  close(fd);
}

struct Mover {
  const char* name;
  bool flush_copy, flush_folders;
  bool loses;
};

void PrintTo(const Mover& mover, std::ostream* out) { *out << mover.name; }

// A mover that copies each photo and deletes its source, as careless or as
// careful as the case says, then the power goes.
class MoverTest : public ::testing::TestWithParam<Mover> {};

TEST_P(MoverTest, LosesPhotosUnlessItFlushesCopiesAndFolders) {
  const Mover& mover = GetParam();
  constexpr int kPhotos = 20;
  TempDir backing(FastTempBase());
  for (int i = 0; i < kPhotos; ++i)
    backing.WriteFile("card/IMG_" + std::to_string(i) + ".JPG",
                      Pattern(1000 + 4096 * i));
  backing.MakeDir("photos");
  const Manifest sources = TakeManifest(backing.Path("card"));
  PowerCutDrive drive(backing.path());
  MOUNT_OR_SKIP(drive);
  for (const auto& [name, digest] : sources) {
    WriteThrough(drive.Path("photos/" + name),
                 ReadFile(drive.Path("card/" + name)), mover.flush_copy);
    if (mover.flush_folders) SyncPath(drive.Path("photos"));
    ASSERT_EQ(unlink(drive.Path("card/" + name).c_str()), 0);
    if (mover.flush_folders) SyncPath(drive.Path("card"));
  }
  drive.CutNow();
  drive.Unmount();
  const MoveAudit audit = AuditMove(sources, backing.Path("card"), Manifest(),
                                    backing.Path("photos"));
  std::cout << mover.name << ": " << audit.problems.size() << " of " << kPhotos
            << " photos lost\n";
  EXPECT_EQ(!audit.ok(), mover.loses) << audit.Report();
  if (!mover.loses) {
    EXPECT_EQ(audit.at_target, sources.size());
  }
}

INSTANTIATE_TEST_SUITE_P(
    PowerCutDrive, MoverTest,
    ::testing::Values(Mover{"naive", false, false, true},
                      Mover{"copy_flushed_folders_not", true, false, true},
                      Mover{"careful", true, true, false}),
    [](const auto& test_info) { return std::string(test_info.param.name); });

// A rename between folders stays only when both were flushed; data only
// once its file was.
TEST(PowerCutDriveTest, KeepsWhatWasFlushedAndNothingElse) {
  TempDir backing(FastTempBase());
  for (const char* name : {"a/both", "a/target", "c/source", "kept"})
    backing.WriteFile(name, "old");
  backing.WriteFile("lost", Pattern(10000));
  backing.MakeDir("b");
  backing.MakeDir("d");
  PowerCutDrive drive(backing.path());
  MOUNT_OR_SKIP(drive);
  const auto move = [&](const char* from, const char* to) {
    ASSERT_EQ(rename(drive.Path(from).c_str(), drive.Path(to).c_str()), 0);
  };
  move("a/both", "b/both");
  SyncPath(drive.Path("a"));
  SyncPath(drive.Path("b"));
  move("a/target", "b/target");
  SyncPath(drive.Path("b"));
  move("c/source", "d/source");
  SyncPath(drive.Path("c"));
  int fd = open(drive.Path("kept").c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
  ASSERT_EQ(write(fd, "new!", 4), 4);
  EXPECT_EQ(fsync(fd), 0);
  close(fd);
  // Written over within and past its end, then cut shorter: all taken back.
  fd = open(drive.Path("lost").c_str(), O_WRONLY | O_CLOEXEC);
  ASSERT_EQ(pwrite(fd, "new!", 4, 5000), 4);
  ASSERT_EQ(pwrite(fd, "new!", 4, 12000), 4);
  ASSERT_EQ(ftruncate(fd, 3000), 0);
  close(fd);
  drive.CutNow();
  EXPECT_NE(access(drive.Path("kept").c_str(), F_OK), 0) << "still serving";
  drive.Unmount();
  EXPECT_EQ(FolderEntries(backing.Path("a")),
            std::set<std::string>({"target"}));
  EXPECT_EQ(FolderEntries(backing.Path("b")), std::set<std::string>({"both"}));
  EXPECT_EQ(FolderEntries(backing.Path("c")),
            std::set<std::string>({"source"}));
  EXPECT_EQ(ReadFile(backing.Path("kept")), "new!");
  EXPECT_EQ(ReadFile(backing.Path("lost")), Pattern(10000));
}

// A trigger cuts at the Nth change of a kind on a matching path, before or
// after it; a delete is never taken back.
TEST(PowerCutDriveTest, CutsWhereTheTriggerSays) {
  for (const auto& [trigger, left] : {std::pair{"after:unlink:2:card/*", 1u},
                                      {"before:unlink:2:card/*", 2u},
                                      {"after:unlink:9:card/*", 0u}}) {
    SCOPED_TRACE(trigger);
    TempDir backing(FastTempBase());
    for (const char* name : {"card/1", "card/2", "card/3", "other"})
      backing.WriteFile(name, "x");
    PowerCutDrive drive(backing.path(), {.cut = trigger});
    MOUNT_OR_SKIP(drive);
    unlink(drive.Path("other").c_str());
    for (const char* name : {"card/1", "card/2", "card/3"})
      unlink(drive.Path(name).c_str());
    EXPECT_EQ(drive.WasCut(), left > 0) << drive.Report();
    drive.Unmount();
    EXPECT_EQ(FolderEntries(backing.Path("card")).size(), left);
  }
}

TEST(PowerCutDriveTest, CorruptsEveryNthWriteOrRead) {
  TempDir backing(FastTempBase());
  backing.WriteFile("stored", Pattern(5000));
  {
    PowerCutDrive drive(backing.path(), {.corrupt_writes = "2:*.jpg"});
    MOUNT_OR_SKIP(drive);
    WriteThrough(drive.Path("a.jpg"), Pattern(3000), true);
    WriteThrough(drive.Path("b.jpg"), Pattern(3000), true);
    WriteThrough(drive.Path("c.txt"), Pattern(3000), true);
  }
  EXPECT_EQ(ReadFile(backing.Path("a.jpg")), Pattern(3000));
  const std::string altered = ReadFile(backing.Path("b.jpg"));
  ASSERT_EQ(altered.size(), 3000u);
  EXPECT_EQ(std::mismatch(altered.begin(), altered.end(), Pattern(3000).begin())
                    .first -
                altered.begin(),
            1500);
  EXPECT_EQ(ReadFile(backing.Path("c.txt")), Pattern(3000));

  PowerCutDrive drive(backing.path(), {.corrupt_reads = "1"});
  MOUNT_OR_SKIP(drive);
  EXPECT_NE(ReadFile(drive.Path("stored")), Pattern(5000));
  EXPECT_EQ(ReadFile(backing.Path("stored")), Pattern(5000));
}

}  // namespace
}  // namespace kuronel::testing
