// The system's calls as the program makes them.
#include "platform/system_calls.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "gtest/gtest.h"
#include "testing/temp_dir.h"

namespace kuronel {
namespace {

using testing::TempDir;

// A file's status is taken without its access time, and every other field
// the program reads is the system's own: a field copied wrong would make
// two files one, or a drive's device another's.
TEST(SystemCallsTest, AStatusHoldsWhatStatGivesButTheAccessTime) {
  TempDir dir;
  const std::string file = dir.WriteFile("a.jpg", "photo");
  dir.MakeDir("folder");
  const std::string link = dir.Path("link");
  ASSERT_EQ(::symlink(file.c_str(), link.c_str()), 0);
  SystemCalls& calls = RealSystemCalls();
  const int fd = ::open(file.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  const struct {
    const char* what;
    std::string path;
    bool follow_links;
  } cases[] = {{"a file", file, true},
               {"a folder", dir.Path("folder"), true},
               {"a link, not followed", link, false},
               {"a link, followed", link, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    struct stat expected {
    }, by_path{}, by_folder{};
    ASSERT_EQ(::fstatat(AT_FDCWD, c.path.c_str(), &expected,
                        c.follow_links ? 0 : AT_SYMLINK_NOFOLLOW),
              0);
    ASSERT_EQ(calls.Stat(c.path, by_path, c.follow_links), 0);
    ASSERT_EQ(calls.StatAt(AT_FDCWD, c.path.c_str(), by_folder, c.follow_links),
              0);
    for (const struct stat& got : {by_path, by_folder}) {
      EXPECT_EQ(got.st_dev, expected.st_dev);
      EXPECT_EQ(got.st_ino, expected.st_ino);
      EXPECT_EQ(got.st_mode, expected.st_mode);
      EXPECT_EQ(got.st_nlink, expected.st_nlink);
      EXPECT_EQ(got.st_size, expected.st_size);
      EXPECT_EQ(got.st_mtim.tv_sec, expected.st_mtim.tv_sec);
      EXPECT_EQ(got.st_mtim.tv_nsec, expected.st_mtim.tv_nsec);
    }
  }
  struct stat opened {
  }, expected{};
  ASSERT_EQ(calls.FileStat(fd, opened), 0);
  ASSERT_EQ(::fstat(fd, &expected), 0);
  EXPECT_EQ(opened.st_ino, expected.st_ino);
  EXPECT_EQ(opened.st_size, expected.st_size);
  ::close(fd);
  EXPECT_NE(calls.Stat(dir.Path("none"), opened), 0);
  EXPECT_EQ(errno, ENOENT);
}

}  // namespace
}  // namespace kuronel
