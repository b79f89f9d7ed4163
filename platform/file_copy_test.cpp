// Copies and their publication under the target name.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "platform/file_system.h"
#include "testing/faulty_file_system.h"
#include "testing/temp_dir.h"
#include "testing/test_drive.h"

namespace kuronel {
namespace {

using testing::Exists;
using testing::FaultyFileSystem;
using testing::FaultySystemCalls;
using testing::FolderEntries;
using testing::Pattern;
using testing::ReadFile;
using testing::SetTimes;
using testing::StatOf;
using testing::TempDir;
using Step = testing::FaultyFileSystem::CopyStep;

TEST(FileCopyTest, CopyKeepsContentsPermissionsAndTime) {
  TempDir dir;
  for (bool unnamed : {true, false}) {
    for (std::size_t size :
         {std::size_t{0}, std::size_t{1}, std::size_t{70001}}) {
      SCOPED_TRACE(::testing::Message()
                   << "unnamed " << unnamed << " size " << size);
      // The kernel's range copy with unnamed files, read and write with named.
      RealFileSystem fs({.use_unnamed_temporary = unnamed,
                         .use_copy_range = unnamed,
                         .chunk_bytes = 4096},
                        RealSystemCalls());
      std::string name = std::to_string(unnamed) + "_" + std::to_string(size);
      std::string source = dir.WriteFile("src/" + name, Pattern(size));
      // As a card's drive gives every file.
      ASSERT_EQ(chmod(source.c_str(), 0777), 0);
      SetTimes(source, 1083838272, 123456789);
      std::string target = dir.MakeDir("dst") + "/" + name;

      std::uint64_t last_done = 0, calls = 0;
      CopyResult result =
          fs.CopyFileNoReplace(source, target, /*flush=*/unnamed,
                               [&](std::uint64_t done, std::uint64_t total) {
                                 EXPECT_GE(done, last_done);
                                 EXPECT_EQ(total, size);
                                 last_done = done;
                                 ++calls;
                               });
      ASSERT_TRUE(result.ok) << result.failure.Describe();
      EXPECT_EQ(ReadFile(target), Pattern(size));
      struct stat st = StatOf(target);
      const mode_t umask_now = umask(0);
      umask(umask_now);
      EXPECT_EQ(st.st_mode & 07777, 0666u & ~umask_now);  // a new file's
      EXPECT_EQ(st.st_mtim.tv_sec, 1083838272);
      EXPECT_EQ(st.st_mtim.tv_nsec, 123456789);
      EXPECT_EQ(result.bytes_copied, size);
      EXPECT_EQ(result.source_before.size, size);
      EXPECT_TRUE(result.source_before.Unchanged(result.source_after));
      EXPECT_EQ(last_done, size);
      // Once per chunk copied, and once per chunk read back.
      EXPECT_EQ(calls, 2 * ((size + 4095) / 4096));
    }
  }
  // Only the copies are in the target folder: no temporary file stayed.
  EXPECT_EQ(FolderEntries(dir.Path("dst")).size(), 6u);
}

TEST(FileCopyTest, CopyNeverReplacesAnything) {
  TempDir dir;
  std::string source = dir.WriteFile("a.jpg", "new");
  std::string taken = dir.WriteFile("dst/taken.jpg", "old");
  dir.MakeDir("dst/folder.jpg");
  ASSERT_EQ(symlink("nowhere", dir.Path("dst/dangling.jpg").c_str()), 0);
  for (bool unnamed : {true, false}) {
    RealFileSystem fs({.use_unnamed_temporary = unnamed}, RealSystemCalls());
    for (const char* name : {"taken.jpg", "folder.jpg", "dangling.jpg"}) {
      SCOPED_TRACE(name);
      CopyResult result =
          fs.CopyFileNoReplace(source, dir.Path("dst/") + name, false, {});
      EXPECT_FALSE(result.ok);
      EXPECT_EQ(result.failure.cause(), FailureCause::kNameTaken);
    }
  }
  EXPECT_EQ(ReadFile(taken), "old");
  EXPECT_EQ(FolderEntries(dir.Path("dst")),
            (std::set<std::string>{"taken.jpg", "folder.jpg", "dangling.jpg"}));
}

// Neither the copy nor the read-ahead before it waits for a FIFO's writer.
TEST(FileCopyTest, CopyRefusesWhatIsNotARegularFile) {
  TempDir dir;
  RealFileSystem fs{RealSystemCalls()};
  dir.MakeDir("dst");
  ASSERT_EQ(mkfifo(dir.Path("fifo").c_str(), 0644), 0);
  fs.ReadAheadFile(dir.Path("fifo"));
  EXPECT_FALSE(
      fs.CopyFileNoReplace(dir.Path("fifo"), dir.Path("dst/f"), false, {}).ok);
  EXPECT_FALSE(
      fs.CopyFileNoReplace(dir.Path("dst"), dir.Path("dst/d"), false, {}).ok);
  EXPECT_FALSE(
      fs.CopyFileNoReplace(dir.Path("none"), dir.Path("dst/n"), false, {}).ok);
  EXPECT_TRUE(FolderEntries(dir.Path("dst")).empty());
}

// Each failure a disk can give in the middle of a copy: nothing appears under
// the target name, no temporary file stays, the source is untouched.
TEST(FileCopyTest, FailedCopyLeavesNothingBehind) {
  struct Case {
    const char* name;
    Step step;
    std::uint64_t after_bytes;
    int error;
    FailureCause cause = FailureCause::kSystem;
  };
  const Case cases[] = {
      {"no space midway", Step::kWrite, 10000, ENOSPC},
      {"no space at once", Step::kWrite, 0, ENOSPC},
      {"file fsync", Step::kSyncFile, 0, EIO},
      {"final link", Step::kPublish, 0, EIO},
      {"close of the written copy", Step::kClose, 0, EIO},
      {"folder fsync", Step::kSyncFolder, 0, EIO},
      {"read back with a byte changed", Step::kReadBack, 0, EIO,
       FailureCause::kCopyDiffers},
  };
  const std::string data = Pattern(50000);
  for (bool unnamed : {true, false}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(::testing::Message() << c.name << " unnamed " << unnamed);
      TempDir dir;
      std::string source = dir.WriteFile("src/a.jpg", data);
      std::string target = dir.MakeDir("dst") + "/a.jpg";
      FaultyFileSystem fs(
          {.use_unnamed_temporary = unnamed, .chunk_bytes = 4096});
      fs.FailCopyStep(c.step, 0, c.after_bytes, c.error);

      bool saw_target_midway = false;
      CopyResult result = fs.CopyFileNoReplace(
          source, target, /*source_goes_next=*/true,
          [&](std::uint64_t done, std::uint64_t total) {
            // Once all is written the copy is published, then read back.
            if (done < total)
              saw_target_midway |= access(target.c_str(), F_OK) == 0;
          });
      EXPECT_FALSE(result.ok);
      EXPECT_EQ(result.failure.cause(), c.cause);
      EXPECT_EQ(result.failure.error(),
                c.cause == FailureCause::kSystem ? c.error : 0);
      EXPECT_FALSE(saw_target_midway);
      EXPECT_TRUE(FolderEntries(dir.Path("dst")).empty());
      EXPECT_EQ(ReadFile(source), data);
    }
  }
}

// File systems without a no-replace rename or without links: publication
// falls back to what there is and still never replaces a file; with neither
// the copy fails and leaves nothing.
TEST(FileCopyTest, PublishingWithoutRenameOrLinkNeverReplaces) {
  using Call = FaultyFileSystem::SystemCall;
  struct Case {
    const char* name;
    bool unnamed_temporary;
    bool no_rename;  // every no-replace rename fails with EINVAL
    bool no_link;    // every link fails with EPERM
    bool publishes;
  };
  const Case cases[] = {
      {"hidden name, no rename: linked", false, true, false, true},
      {"unnamed, no link", true, false, true, false},
      {"hidden name, neither", false, true, true, false},
  };
  for (const Case& c : cases) {
    for (bool taken : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (taken ? ", name taken" : ""));
      TempDir dir;
      FaultyFileSystem fs({.use_unnamed_temporary = c.unnamed_temporary});
      if (c.no_rename) fs.FailSystemCall(Call::kRename, 0, EINVAL);
      if (c.no_link) fs.FailSystemCall(Call::kLink, 0, EPERM);
      std::string source = dir.WriteFile("c/a.jpg", Pattern(5000));
      std::string target = dir.Path("d/a0.jpg");
      if (taken) dir.WriteFile("d/a0.jpg", "someone's");
      dir.MakeDir("d");
      CopyResult copy = fs.CopyFileNoReplace(source, target, true, {});
      EXPECT_EQ(copy.ok, c.publishes && !taken);
      EXPECT_EQ(ReadFile(target), taken     ? "someone's"
                                  : copy.ok ? Pattern(5000)
                                            : "");
      EXPECT_EQ(FolderEntries(dir.Path("d")),
                (taken || copy.ok) ? std::set<std::string>{"a0.jpg"}
                                   : std::set<std::string>{});
      // A move falls back to a link and an unlink, or leaves the file.
      bool moved = fs.MoveFileNoReplace(source, target);
      EXPECT_EQ(moved, !(c.no_rename && c.no_link) && !taken && !copy.ok);
      EXPECT_EQ(ReadFile(moved ? target : source), Pattern(5000));
    }
  }
}

// A write that takes none of the bytes and gives no reason fails the copy
// with that cause, whichever of its writes it is: the copy's data, or, on a
// drive with neither a no-replace rename nor links, the proof or the
// reservation of its name. Nothing stays.
TEST(FileCopyTest, AWriteThatTakesNothingFailsTheCopy) {
  using Call = FaultyFileSystem::SystemCall;
  const struct {
    const char* what;
    int nth_write;
    FileOperation operation;
  } cases[] = {
      {"the copy's data", 1, FileOperation::kWrite},
      {"the proof of the reservation", 2, FileOperation::kName},
      {"the reservation", 3, FileOperation::kName},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    FaultyFileSystem fs({.use_unnamed_temporary = false});
    fs.FailSystemCall(Call::kRename, 1, EINVAL);  // the no-replace rename
    fs.FailSystemCall(Call::kLink, 1, EPERM);
    fs.FailSystemCall(Call::kWrite, c.nth_write, FaultySystemCalls::kIgnored);
    const std::string source = dir.WriteFile("c/a.jpg", Pattern(5000));
    const std::string target = dir.MakeDir("d") + "/a0.jpg";
    const CopyResult copy = fs.CopyFileNoReplace(source, target, true, {});
    EXPECT_FALSE(copy.ok);
    EXPECT_EQ(copy.failure.operation(), c.operation);
    EXPECT_EQ(copy.failure.cause(), FailureCause::kNothingWritten);
    EXPECT_TRUE(FolderEntries(dir.Path("d")).empty());
  }
}

// A copy counts once it is read back from the drive equal to its source; a
// file system told not to read back copies still reads back those whose
// source goes next. A byte the drive gives back changed fails the copy,
// removes it and says why.
TEST(FileCopyTest, CopiesAreReadBackUnlessToldOtherwise) {
  struct Case {
    bool verify_copies;
    bool source_goes_next;
    bool read_back;
  };
  const Case cases[] = {
      {true, false, true},
      {true, true, true},
      {false, true, true},
      {false, false, false},
  };
  for (const Case& c : cases) {
    for (bool corrupt : {false, true}) {
      SCOPED_TRACE(::testing::Message()
                   << "verify " << c.verify_copies << " source goes "
                   << c.source_goes_next << " corrupt " << corrupt);
      TempDir dir;
      FaultyFileSystem fs(
          {.chunk_bytes = 4096, .verify_copies = c.verify_copies});
      if (corrupt) fs.FailCopyStep(Step::kReadBack);
      std::string source = dir.WriteFile("c/a.jpg", Pattern(9000));
      std::string target = dir.MakeDir("d") + "/a0.jpg";
      const CopyResult copy =
          fs.CopyFileNoReplace(source, target, c.source_goes_next, {});
      const bool caught = corrupt && c.read_back;
      EXPECT_EQ(copy.ok, !caught);
      EXPECT_TRUE(copy.flushed);
      EXPECT_EQ(copy.verified, c.read_back && !corrupt);
      EXPECT_EQ(ReadFile(target), caught ? "" : Pattern(9000));
      if (caught) {
        EXPECT_EQ(copy.failure.operation(), FileOperation::kVerify);
        EXPECT_EQ(
            copy.failure.Describe(),
            target + ": verify: the copy read back differs from its source");
        EXPECT_TRUE(FolderEntries(dir.Path("d")).empty());
      }
      EXPECT_EQ(ReadFile(source), Pattern(9000));
    }
  }
}

// Holes stay holes: a sparse file costs no more disk as a copy than it did.
TEST(FileCopyTest, CopyKeepsHoles) {
  struct Case {
    const char* name;
    std::vector<off_t> data_at;  // 4 KiB of data at each offset
  };
  const Case cases[] = {
      {"only a hole", {}},
      {"data in the middle", {10 << 20}},
      {"data at both ends", {0, (64 << 20) - 4096}},
      {"ends in a hole", {0, 20 << 20}},
  };
  for (const Case& c : cases) {
    // Unverified copies let the kernel move the data; verified ones hash
    // the holes' zeros as the read-back reads them.
    for (bool copy_range : {true, false}) {
      SCOPED_TRACE(std::string(c.name) + (copy_range ? "" : ", read back"));
      TempDir dir;
      std::string source = dir.Path("movie.mov");
      int fd = open(source.c_str(), O_WRONLY | O_CREAT, 0644);
      ASSERT_EQ(ftruncate(fd, 64 << 20), 0);
      for (off_t at : c.data_at)
        ASSERT_EQ(pwrite(fd, Pattern(4096).data(), 4096, at), 4096);
      close(fd);
      RealFileSystem fs({.use_copy_range = copy_range,
                         .chunk_bytes = 1 << 20,
                         .verify_copies = !copy_range},
                        RealSystemCalls());
      std::string target = dir.Path("copy.mov");
      const CopyResult copy = fs.CopyFileNoReplace(source, target, false, {});
      ASSERT_TRUE(copy.ok) << copy.failure.Describe();
      EXPECT_EQ(copy.verified, !copy_range);
      EXPECT_EQ(StatOf(target).st_size, 64 << 20);
      EXPECT_EQ(ReadFile(target), ReadFile(source));
      // Blocks of 512 bytes: the data and a little more, not 64 MiB.
      EXPECT_LT(StatOf(target).st_blocks * 512, 1 << 20);
    }
  }
}

// A copy that failed its close, its folder's flush or its read-back is
// removed; where the drive refuses that, the failure says so and where the
// copy stays.
TEST(FileCopyTest, AFailedCopyThatCannotBeRemovedSaysWhereItStays) {
  for (const auto& [step, name] : {std::pair{Step::kClose, "close"},
                                   {Step::kSyncFolder, "folder flush"},
                                   {Step::kReadBack, "read-back"}}) {
    SCOPED_TRACE(name);
    TempDir dir;
    FaultyFileSystem fs;
    fs.FailCopyStep(step);
    fs.FailSystemCall(FaultyFileSystem::SystemCall::kUnlink, 0, EACCES);
    const std::string source = dir.WriteFile("c/a.jpg", Pattern(9000));
    const std::string target = dir.MakeDir("d") + "/a0.jpg";
    const CopyResult copy = fs.CopyFileNoReplace(source, target, true, {});
    EXPECT_FALSE(copy.ok);
    EXPECT_EQ(copy.failure.left_behind_error(), EACCES);
    EXPECT_NE(copy.failure.Reason().find(
                  "the copy could not be removed and stays at " + target +
                  " (" + std::strerror(EACCES) + ")"),
              std::string::npos)
        << copy.failure.Reason();
    EXPECT_TRUE(Exists(target));
  }
}

// A sparse file of `size` bytes holding Pattern(3000) at each offset.
void WriteSparseFile(const std::string& path, off_t size,
                     std::initializer_list<off_t> data_at) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT, 0644);
  ASSERT_EQ(ftruncate(fd, size), 0);
  for (off_t at : data_at)
    ASSERT_EQ(pwrite(fd, Pattern(3000).data(), 3000, at), 3000);
  close(fd);
}

// Every seek of a copy, on the source, the copy or its read-back, must do
// what it says: one that fails fails the copy; one answered as by a drive
// without holes whose file position stays where it was leaves the copy whole,
// or puts its data elsewhere and fails the read-back.
TEST(FileCopyTest, ASeekThatFailsOrLandsElsewhereNeverPassesForACopy) {
  TempDir dir;
  const std::string source = dir.Path("movie.mov");
  WriteSparseFile(source, 1 << 20, {64 << 10, 512 << 10});
  for (int error : {EIO, FaultySystemCalls::kIgnored}) {
    int struck = 0, differing = 0;
    for (int nth = 1; nth < 100; ++nth) {
      SCOPED_TRACE(::testing::Message() << "seek #" << nth << ", " << error);
      const std::string target = dir.Path("copy" + std::to_string(nth));
      FaultyFileSystem fs({.chunk_bytes = 1 << 16});
      fs.FailSystemCall(FaultyFileSystem::SystemCall::kSeek, nth, error);
      const CopyResult copy = fs.CopyFileNoReplace(source, target, true, {});
      if (!fs.SystemCallFaultStruck()) break;
      ++struck;
      EXPECT_TRUE(!copy.ok ||
                  (error != EIO && ReadFile(target) == ReadFile(source)));
      EXPECT_EQ(Exists(target), copy.ok);
      differing += copy.failure.cause() == FailureCause::kCopyDiffers;
      unlink(target.c_str());
    }
    EXPECT_GT(struck, 4);
    EXPECT_EQ(differing > 0, error != EIO);
  }
}

// A copy made for a move, whose source goes once the copy stands: a seek or
// a stat of an open file that fails, wherever it strikes, fails the copy and
// leaves nothing in its folder, so the source stays. A lock (which only tells
// another run that a temporary is alive) or an advice to the cache that
// fails costs the copy nothing.
TEST(FileCopyTest, AFailingSeekOrStatFailsTheCopyAndAFailingHintDoesNot) {
  using Call = FaultyFileSystem::SystemCall;
  const struct {
    const char* name;
    Call call;
    int error;
    bool fails_copy;
  } cases[] = {
      {"seek", Call::kSeek, EIO, true},
      {"fstat", Call::kFileStat, EIO, true},
      {"flock", Call::kLock, ENOLCK, false},
      {"fadvise", Call::kAdvise, EINVAL, false},
  };
  TempDir dir;
  const std::string source = dir.Path("movie.mov");
  WriteSparseFile(source, 1 << 20, {64 << 10, 512 << 10});
  const std::string bytes = ReadFile(source);
  int runs = 0;
  for (const auto& c : cases) {
    int struck = 0;
    for (bool unnamed : {true, false}) {
      for (int nth = 1; nth < 1000; ++nth) {
        SCOPED_TRACE(::testing::Message()
                     << c.name << " #" << nth << (unnamed ? ", unnamed" : ""));
        const std::string folder = dir.MakeDir("copy" + std::to_string(++runs));
        FaultyFileSystem fs(
            {.use_unnamed_temporary = unnamed, .chunk_bytes = 1 << 16});
        fs.FailSystemCall(c.call, nth, c.error);
        const CopyResult copy = fs.CopyFileNoReplace(
            source, folder + "/a0.mov", /*source_goes_next=*/true, {});
        if (!fs.SystemCallFaultStruck()) break;
        ++struck;
        EXPECT_EQ(copy.ok && copy.verified, !c.fails_copy);
        EXPECT_EQ(FolderEntries(folder), c.fails_copy
                                             ? std::set<std::string>{}
                                             : std::set<std::string>{"a0.mov"});
        if (copy.ok) {
          EXPECT_EQ(ReadFile(folder + "/a0.mov"), bytes);
        }
        EXPECT_EQ(ReadFile(source), bytes);
        if (HasFailure()) return;
      }
    }
    EXPECT_GT(struck, 0) << c.name;
  }
}

// The real system calls, with the bytes read counted.
struct ReadCountingCalls : FaultySystemCalls {
  std::uint64_t bytes_read = 0;
  ssize_t ReadAt(int fd, void* buffer, std::size_t size, off_t at) override {
    const ssize_t got = FaultySystemCalls::ReadAt(fd, buffer, size, at);
    bytes_read += static_cast<std::uint64_t>(std::max<ssize_t>(got, 0));
    return got;
  }
};

// A sparse file costs what its data costs: a 200 GB movie holding a few
// pieces of data is copied and read back, on the drives that keep holes, by
// reading its data alone.
TEST(FileCopyTest, AHugeSparseFileCostsWhatItsDataCosts) {
  constexpr off_t kSize = off_t{200} << 30;
  int drives_tried = 0;
  for (auto kind : {testing::DriveKind::kTmpfs, testing::DriveKind::kExt4}) {
    testing::TestDrive drive(kind);
    SCOPED_TRACE(testing::DriveKindName(kind));
    if (!drive.mounted()) continue;
    ++drives_tried;
    WriteSparseFile(drive.Path("movie.mov"), kSize,
                    {0, (off_t{1} << 30) + 512, kSize / 2, kSize - 3000});
    ReadCountingCalls calls;
    RealFileSystem fs({}, calls);
    const CopyResult copy = fs.CopyFileNoReplace(
        drive.Path("movie.mov"), drive.Path("copy.mov"), true, {});
    EXPECT_TRUE(copy.ok && copy.verified) << copy.failure.Describe();
    EXPECT_EQ(StatOf(drive.Path("copy.mov")).st_size, kSize);
    EXPECT_LT(calls.bytes_read, std::uint64_t{1} << 20);
  }
  if (drives_tried == 0) GTEST_SKIP() << "neither tmpfs nor ext4 mounted";
}

}  // namespace
}  // namespace kuronel
