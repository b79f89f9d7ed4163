#include "platform/file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <functional>
#include <string>

#include "gtest/gtest.h"
#include "testing/faulty_file_system.h"
#include "testing/temp_dir.h"

namespace kuronel {
namespace {

using testing::FaultyFileSystem;
using testing::SetTimes;
using testing::TempDir;

// Whether a name is on the disk, asked of the kernel directly.
bool OnDisk(const std::string& path) {
  struct stat info {};
  return lstat(path.c_str(), &info) == 0;
}

// On a drive that renumbers files the path key decides, elsewhere the inode;
// sets agree with the comparison.
TEST(FileIdentityTest, PathKeysDecideWhereThereAreAny) {
  struct Case {
    FileIdentity a;
    FileIdentity b;
    bool same;
  };
  const Case cases[] = {
      {{1, 7, 0}, {1, 7, 0}, true},  {{1, 7, 0}, {2, 7, 0}, false},
      {{1, 7, 0}, {1, 8, 0}, false}, {{1, 7, 5}, {1, 8, 5}, true},
      {{1, 7, 5}, {1, 7, 6}, false}, {{1, 7, 5}, {1, 7, 0}, false},
      {{1, 5, 0}, {1, 9, 5}, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.a.SameFileAs(c.b), c.same);
    EXPECT_EQ(c.b.SameFileAs(c.a), c.same);
    const FileIdentitySet set{c.a};
    EXPECT_EQ(set.count(c.b) == 1, c.same);
  }
}

TEST(FileSystemTest, ExistenceTellsFilesFromFolders) {
  TempDir dir;
  RealFileSystem fs{RealSystemCalls()};
  std::string file = dir.WriteFile("a.jpg", "x");
  std::string folder = dir.MakeDir("X.JPG");
  ASSERT_EQ(symlink(file.c_str(), dir.Path("link.jpg").c_str()), 0);
  ASSERT_EQ(symlink("missing", dir.Path("dangling.jpg").c_str()), 0);

  EXPECT_TRUE(fs.FileExists(file));
  EXPECT_TRUE(fs.FileExists(dir.Path("link.jpg")));
  EXPECT_FALSE(fs.FileExists(dir.Path("dangling.jpg")));
  EXPECT_FALSE(fs.FileExists(folder));
  EXPECT_FALSE(fs.FileExists(dir.Path("none")));
  EXPECT_FALSE(fs.FileExists(""));
  EXPECT_TRUE(fs.DirectoryExists(folder));
  EXPECT_FALSE(fs.DirectoryExists(file));
}

TEST(FileSystemTest, CreateDirectoriesMakesTheWholeChain) {
  TempDir dir;
  RealFileSystem fs{RealSystemCalls()};
  EXPECT_TRUE(fs.CreateDirectories(dir.Path("a/b/c/")).ok());
  EXPECT_TRUE(fs.DirectoryExists(dir.Path("a/b/c")));
  EXPECT_TRUE(fs.CreateDirectories(dir.Path("a/b")).ok());  // already there

  // A regular file in the chain cannot become a folder, even for root.
  dir.WriteFile("file", "x");
  EXPECT_FALSE(fs.CreateDirectories(dir.Path("file/sub/")).ok());
  EXPECT_FALSE(fs.CreateDirectories(dir.Path("file")).ok());
  EXPECT_FALSE(fs.CreateDirectories("").ok());
}

TEST(FileSystemTest, StatAndFlush) {
  TempDir dir;
  FaultyFileSystem fs;
  std::string file = dir.WriteFile("a.jpg", "12345");
  SetTimes(file, 1000, 5);
  FileInfo info;
  ASSERT_TRUE(fs.Stat(file, info));
  EXPECT_EQ(info.size, 5u);
  EXPECT_EQ(info.modified_seconds, 1000);
  EXPECT_EQ(info.modified_nanoseconds, 5);
  EXPECT_FALSE(fs.Stat(dir.Path("none"), info));
  // A read-only file is flushed all the same.
  ASSERT_EQ(chmod(file.c_str(), 0444), 0);
  EXPECT_TRUE(fs.FlushFile(file).ok());
  EXPECT_TRUE(fs.FlushFolder(dir.path()).ok());
  EXPECT_EQ(fs.FlushFile(dir.Path("none")).error(), ENOENT);
  EXPECT_EQ(fs.FlushFolder(dir.Path("none")).error(), ENOENT);
  // A drive that fails the flush is no drive to rely on, nor is a folder
  // made on it.
  fs.FailSystemCall(FaultyFileSystem::SystemCall::kFsync, 0, EIO);
  EXPECT_EQ(fs.FlushFile(file).error(), EIO);
  EXPECT_EQ(fs.FlushFolder(dir.path()).error(), EIO);
  const FileResult made = fs.CreateDirectories(dir.Path("day/"));
  EXPECT_EQ(made.operation(), FileOperation::kFlush);
  EXPECT_EQ(made.error(), EIO);
}

TEST(FileSystemTest, FileErrorSaysWhyNoFileIsThere) {
  TempDir dir;
  FaultyFileSystem fs;
  std::string file = dir.WriteFile("a.jpg", "x");
  ASSERT_EQ(symlink("missing", dir.Path("dangling.jpg").c_str()), 0);
  EXPECT_TRUE(fs.FileError(file).ok());
  const struct {
    std::string path;
    int error;
    FailureCause cause;
  } cases[] = {
      {dir.Path("none"), ENOENT, FailureCause::kSystem},
      {dir.Path("dangling.jpg"), ENOENT, FailureCause::kSystem},
      {dir.path(), 0, FailureCause::kNotAFile},
      {file + "/x", ENOTDIR, FailureCause::kSystem},
  };
  for (const auto& c : cases) {
    const FileResult why = fs.FileError(c.path);
    EXPECT_FALSE(why.ok()) << c.path;
    EXPECT_EQ(why.error(), c.error) << c.path;
    EXPECT_EQ(why.cause(), c.cause) << c.path;
  }
  // A FUSE drive whose driver is gone.
  fs.FailSystemCall(FaultyFileSystem::SystemCall::kStat, 0, ENOTCONN);
  EXPECT_EQ(fs.FileError(file).error(), ENOTCONN);
}

// An empty path is a failure of its own, whatever errno held before.
TEST(FileSystemTest, AnEmptyPathFails) {
  RealFileSystem fs{RealSystemCalls()};
  const struct {
    const char* what;
    std::function<FileResult()> call;
  } cases[] = {
      {"delete", [&] { return fs.DeleteFile(""); }},
      {"make read-only", [&] { return fs.SetReadOnly(""); }},
      {"create folder", [&] { return fs.CreateDirectories(""); }},
      {"file error", [&] { return fs.FileError(""); }},
  };
  for (const auto& c : cases) {
    errno = 0;
    const FileResult result = c.call();
    EXPECT_FALSE(result.ok()) << c.what;
    EXPECT_EQ(result.cause(), FailureCause::kNoPath) << c.what;
    EXPECT_EQ(result.Reason(), "the path is empty") << c.what;
  }
}

TEST(FileSystemTest, ParentFolder) {
  EXPECT_EQ(ParentFolder("/a/b/c.jpg"), "/a/b");
  EXPECT_EQ(ParentFolder("/c.jpg"), "/");
  EXPECT_EQ(ParentFolder("c.jpg"), ".");
}

// The calls not made to fail reach the real disk, and a failed one leaves
// the disk as it was: both are looked at on the disk itself, not through the
// faulty one.
TEST(FaultyFileSystemTest, FailsTheNthCallOnly) {
  using Operation = FaultyFileSystem::Operation;
  TempDir dir;
  const std::string first = dir.WriteFile("a.jpg", "x");
  const std::string second = dir.WriteFile("b.jpg", "x");
  const std::string missing = dir.Path("none.jpg");
  FaultyFileSystem fs;
  fs.FailCall(Operation::kFileExists, 2);
  EXPECT_TRUE(fs.FileExists(first));
  EXPECT_FALSE(fs.FileExists(first));
  EXPECT_FALSE(fs.FileExists(missing));
  EXPECT_TRUE(fs.FileExists(first));
  EXPECT_EQ(fs.Calls(Operation::kFileExists), 4);

  fs.FailCall(Operation::kDeleteFile, 2);
  EXPECT_TRUE(fs.DeleteFile(first).ok());
  EXPECT_FALSE(fs.DeleteFile(second).ok());
  EXPECT_FALSE(OnDisk(first));
  EXPECT_TRUE(OnDisk(second));
  EXPECT_TRUE(fs.DeleteFile(second).ok());
  EXPECT_FALSE(OnDisk(second));

  // Every call fails when no nth is given.
  const std::string kept = dir.WriteFile("c.jpg", "x");
  fs.FailCall(Operation::kDeleteFile);
  EXPECT_FALSE(fs.DeleteFile(kept).ok());
  EXPECT_FALSE(fs.DeleteFile(kept).ok());
  EXPECT_TRUE(OnDisk(kept));
}

}  // namespace
}  // namespace kuronel
