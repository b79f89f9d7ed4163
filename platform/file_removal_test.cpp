// Moves within a drive and deletes: what takes a name away from a file.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "gtest/gtest.h"
#include "platform/file_system.h"
#include "testing/temp_dir.h"

namespace kuronel {
namespace {

using testing::FolderEntries;
using testing::Pattern;
using testing::ReadFile;
using testing::SetTimes;
using testing::StatOf;
using testing::TempDir;

TEST(FileRemovalTest, ReadOnlyFilesAreNotDeleted) {
  TempDir dir;
  RealFileSystem fs{RealSystemCalls()};
  std::string file = dir.WriteFile("a.jpg", "x");
  ASSERT_EQ(chmod(file.c_str(), 0664), 0);
  ASSERT_TRUE(fs.SetReadOnly(file).ok());
  EXPECT_EQ(StatOf(file).st_mode & 07777, 0444u);
  EXPECT_FALSE(fs.DeleteFile(file).ok());  // refused by the mode, even for root
  EXPECT_TRUE(fs.FileExists(file));

  // Only the owner's write bit counts, as a read-only attribute would.
  ASSERT_EQ(chmod(file.c_str(), 0644), 0);
  EXPECT_TRUE(fs.DeleteFile(file).ok());
  EXPECT_FALSE(fs.FileExists(file));

  EXPECT_FALSE(fs.DeleteFile(file).ok());
  EXPECT_FALSE(fs.SetReadOnly(file).ok());
  EXPECT_FALSE(fs.DeleteFile(dir.MakeDir("folder")).ok());
  EXPECT_TRUE(fs.DirectoryExists(dir.Path("folder")));
}

// A move is a rename only where it ends as copy and delete would; anything
// else is refused and left where it was, for the caller to copy.
TEST(FileRemovalTest, MoveRenamesOnlyWhatACopyWouldReproduce) {
  enum Source {
    kPlain,
    kReadOnly,
    kSetUid,
    kSymlink,
    kSecondName,
    kFolder,
    kMissing
  };
  struct Case {
    const char* name;
    Source source;
    const char* target;  // relative to the temporary folder
    bool moved;
  };
  const Case cases[] = {
      {"plain file", kPlain, "d/a0.jpg", true},
      {"target taken", kPlain, "d/taken.jpg", false},
      {"target folder missing", kPlain, "none/a0.jpg", false},
      {"target is a folder", kPlain, "d", false},
      {"read-only", kReadOnly, "d/a0.jpg", false},
      {"set-user-id bit", kSetUid, "d/a0.jpg", false},
      {"symbolic link", kSymlink, "d/a0.jpg", false},
      {"second name", kSecondName, "d/a0.jpg", false},
      {"folder", kFolder, "d/a0.jpg", false},
      {"missing", kMissing, "d/a0.jpg", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    RealFileSystem fs{RealSystemCalls()};
    std::string file = dir.WriteFile("c/a.jpg", Pattern(3000));
    ASSERT_EQ(chmod(file.c_str(), 0640), 0);
    SetTimes(file, 1000, 5);
    dir.WriteFile("d/taken.jpg", "taken");
    std::string source = file;
    if (c.source == kReadOnly) {
      ASSERT_EQ(chmod(file.c_str(), 0440), 0);
    }
    if (c.source == kSetUid) {
      ASSERT_EQ(chmod(file.c_str(), 04640), 0);
    }
    if (c.source == kSymlink) {
      source = dir.Path("c/link.jpg");
      ASSERT_EQ(symlink(file.c_str(), source.c_str()), 0);
    }
    if (c.source == kSecondName) {
      ASSERT_EQ(link(file.c_str(), dir.Path("c/b.jpg").c_str()), 0);
    }
    if (c.source == kFolder) source = dir.MakeDir("c/folder.jpg");
    if (c.source == kMissing) source = dir.Path("c/none.jpg");
    const std::set<std::string> before = FolderEntries(dir.Path("c"));
    const ino_t inode = StatOf(file).st_ino;
    const std::string target = dir.Path(c.target);

    EXPECT_EQ(fs.MoveFileNoReplace(source, target), c.moved);
    EXPECT_EQ(ReadFile(dir.Path("d/taken.jpg")), "taken");
    if (c.moved) {
      EXPECT_EQ(FolderEntries(dir.Path("c")), std::set<std::string>{});
      const struct stat st = StatOf(target);
      EXPECT_EQ(st.st_ino, inode);
      EXPECT_EQ(st.st_mode & 07777, 0640u);
      EXPECT_EQ(st.st_mtim.tv_sec, 1000);
      EXPECT_EQ(st.st_mtim.tv_nsec, 5);
      EXPECT_EQ(ReadFile(target), Pattern(3000));
    } else {
      EXPECT_EQ(FolderEntries(dir.Path("c")), before);
      EXPECT_EQ(ReadFile(file), Pattern(3000));
      EXPECT_EQ(FolderEntries(dir.Path("d")),
                std::set<std::string>{"taken.jpg"});
    }
  }
}

}  // namespace
}  // namespace kuronel
