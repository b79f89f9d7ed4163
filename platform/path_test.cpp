#include "platform/path.h"

#include <sys/stat.h>
#include <unistd.h>

#include "gtest/gtest.h"
#include "testing/temp_dir.h"

namespace kuronel {
namespace {

TEST(PathHoldsTest, ComparesWholeNames) {
  struct Case {
    const char* folder;
    const char* path;
    bool holds;
  };
  const Case cases[] = {
      {"/a/b", "/a/b", true},   {"/a/b", "/a/b/c", true},
      {"/a/b", "/a/bc", false}, {"/a/b/c", "/a/b", false},
      {"/", "/a", true},        {"/a/b", "/a/B", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PathHolds(c.folder, c.path), c.holds)
        << c.folder << " " << c.path;
  }
}

// A destination not made yet is resolved through the folders above it that
// exist, so that two spellings of it compare equal.
TEST(ResolvedPathTest, ResolvesThroughLinksUpToWhatExists) {
  testing::TempDir dir;
  mkdir(dir.Path("real").c_str(), 0755);
  ASSERT_EQ(symlink(dir.Path("real").c_str(), dir.Path("link").c_str()), 0);
  const std::string real = ResolvedPath(dir.Path("real"));
  EXPECT_EQ(ResolvedPath(dir.Path("link/new/2004_05_06")),
            real + "/new/2004_05_06");
  EXPECT_EQ(ResolvedPath(dir.Path("link/../real/x")), real + "/x");
}

}  // namespace
}  // namespace kuronel
