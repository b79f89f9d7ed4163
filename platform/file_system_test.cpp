#include "platform/file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "gtest/gtest.h"
#include "testing/faulty_file_system.h"
#include "testing/temp_dir.h"

namespace kuronel {
namespace {

using testing::FaultyFileSystem;
using testing::SetTimes;
using testing::TempDir;

TEST(FileSystemTest, ExistenceTellsFilesFromFolders) {
  TempDir dir;
  RealFileSystem fs;
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
  RealFileSystem fs;
  EXPECT_TRUE(fs.CreateDirectories(dir.Path("a/b/c/")).ok());
  EXPECT_TRUE(fs.DirectoryExists(dir.Path("a/b/c")));
  EXPECT_TRUE(fs.CreateDirectories(dir.Path("a/b")).ok());  // already there

  // A regular file in the chain cannot become a folder, even for root.
  dir.WriteFile("file", "x");
  EXPECT_FALSE(fs.CreateDirectories(dir.Path("file/sub/")).ok());
  EXPECT_FALSE(fs.CreateDirectories(dir.Path("file")).ok());
  EXPECT_FALSE(fs.CreateDirectories("").ok());
}

TEST(FileSystemTest, StatAndSync) {
  TempDir dir;
  RealFileSystem fs;
  std::string file = dir.WriteFile("a.jpg", "12345");
  SetTimes(file, 1000, 5);
  FileInfo info;
  ASSERT_TRUE(fs.Stat(file, info));
  EXPECT_EQ(info.size, 5u);
  EXPECT_EQ(info.modified_seconds, 1000);
  EXPECT_EQ(info.modified_nanoseconds, 5);
  EXPECT_FALSE(fs.Stat(dir.Path("none"), info));
  EXPECT_TRUE(fs.SyncFileSystem(dir.path()).ok());
  EXPECT_FALSE(fs.SyncFileSystem(dir.Path("none")).ok());
}

TEST(FileSystemTest, ParentFolder) {
  EXPECT_EQ(ParentFolder("/a/b/c.jpg"), "/a/b");
  EXPECT_EQ(ParentFolder("/c.jpg"), "/");
  EXPECT_EQ(ParentFolder("c.jpg"), ".");
}

TEST(FaultyFileSystemTest, FailsTheNthCallOnly) {
  TempDir dir;
  std::string file = dir.WriteFile("a.jpg", "x");
  FaultyFileSystem fs;
  fs.FailCall(FaultyFileSystem::Operation::kFileExists, 2);
  EXPECT_TRUE(fs.FileExists(file));
  EXPECT_FALSE(fs.FileExists(file));
  EXPECT_TRUE(fs.FileExists(file));
  EXPECT_EQ(fs.Calls(FaultyFileSystem::Operation::kFileExists), 3);

  fs.FailCall(FaultyFileSystem::Operation::kDeleteFile);
  EXPECT_FALSE(fs.DeleteFile(file).ok());
  EXPECT_FALSE(fs.DeleteFile(file).ok());
  EXPECT_TRUE(fs.FileExists(file));
}

}  // namespace
}  // namespace kuronel
