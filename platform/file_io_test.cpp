#include "platform/file_io.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <set>

#include "platform/path.h"
#include "testing/temp_dir.h"

namespace kuronel {
namespace {

using ::kuronel::testing::FolderEntries;
using ::kuronel::testing::ReadFile;
using ::kuronel::testing::TempDir;
using ::testing::HasSubstr;

TEST(ReadFileUpToTest, ReadsEveryByteOfRegularFilesWithinTheBound) {
  TempDir dir;
  const std::string bytes("a\0b\r\n\xff", 6);
  dir.WriteFile("f", bytes);
  ASSERT_EQ(mkfifo(dir.Path("fifo").c_str(), 0600), 0);
  dir.MakeDir("sub");
  ASSERT_EQ(symlink("missing", dir.Path("dangling").c_str()), 0);
  struct Case {
    const char* name;
    size_t bound;
    ReadOutcome outcome;
  } cases[] = {
      {"f", 6, ReadOutcome::kRead},
      {"f", 5, ReadOutcome::kTooLarge},
      {"missing", 6, ReadOutcome::kMissing},
      {"dangling", 6, ReadOutcome::kMissing},
      {"sub", 6, ReadOutcome::kUnreadable},
      {"fifo", 6, ReadOutcome::kUnreadable},
  };
  for (const Case& c : cases) {
    std::string contents = "stale";
    EXPECT_EQ(
        ReadFileUpTo(dir.Path(c.name), c.bound, contents, RealSystemCalls()),
        c.outcome)
        << c.name << " " << c.bound;
    EXPECT_EQ(contents, c.outcome == ReadOutcome::kRead ? bytes : "")
        << c.name << " " << c.bound;
  }
}

TEST(WriteFileAtomicallyTest, ReplacesContentsAndKeepsPermissions) {
  TempDir dir;
  std::string path =
      dir.WriteFile("Kuronel.ini", "old contents that are longer");
  ASSERT_EQ(chmod(path.c_str(), 0640), 0);

  ASSERT_TRUE(WriteFileAtomically(path, "new", RealSystemCalls()).ok());
  EXPECT_EQ(ReadFile(path), "new");
  struct stat info;
  ASSERT_EQ(stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  EXPECT_EQ(FolderEntries(dir.path()), std::set<std::string>{"Kuronel.ini"});

  ASSERT_TRUE(
      WriteFileAtomically(dir.Path("fresh.ini"), "", RealSystemCalls()).ok());
  EXPECT_EQ(KindAt(dir.Path("fresh.ini"), true, RealSystemCalls()),
            PathKind::kFile);
}

TEST(WriteFileAtomicallyTest, FailureLeavesNoTemporaryFile) {
  TempDir dir;
  dir.WriteFile("plain", "x");
  dir.WriteFile("Kuronel.ini/keep", "inside");  // the target is a folder
  struct Case {
    std::string path;
    const char* step;
  } cases[] = {
      {dir.Path("plain/Kuronel.ini"), "一時ファイルを作れません"},
      {dir.Path("Kuronel.ini"), "置き換えに失敗しました"},
      {"/proc/kuronel-test.ini", "一時ファイルを作れません"},
  };
  for (const Case& c : cases) {
    Status status = WriteFileAtomically(c.path, "new", RealSystemCalls());
    EXPECT_FALSE(status.ok()) << c.path;
    EXPECT_THAT(status.message(), HasSubstr("「" + c.path + "」")) << c.path;
    EXPECT_THAT(status.message(), HasSubstr(c.step)) << c.path;
  }
  EXPECT_EQ(FolderEntries(dir.path()),
            (std::set<std::string>{"plain", "Kuronel.ini"}));
  EXPECT_EQ(FolderEntries(dir.Path("Kuronel.ini")),
            std::set<std::string>{"keep"});
  EXPECT_EQ(ReadFile(dir.Path("plain")), "x");
}

// A file size limit makes the write itself fail halfway, with the old file
// in place: what a full disk does.
TEST(WriteFileAtomicallyTest, FailedWriteKeepsOldFileWhole) {
  TempDir dir;
  std::string path = dir.WriteFile("Kuronel.ini", "old");
  struct rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  struct rlimit small = saved;
  small.rlim_cur = 10;
  sighandler_t saved_handler = signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  Status status =
      WriteFileAtomically(path, std::string(100, 'n'), RealSystemCalls());
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, saved_handler);

  EXPECT_FALSE(status.ok());
  EXPECT_THAT(status.message(), HasSubstr("書き込みに失敗しました"));
  EXPECT_EQ(ReadFile(path), "old");
  EXPECT_EQ(FolderEntries(dir.path()), std::set<std::string>{"Kuronel.ini"});
}

}  // namespace
}  // namespace kuronel
