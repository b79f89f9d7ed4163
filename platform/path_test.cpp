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

TEST(PathTest, SplitsAndJoinsNames) {
  struct Case {
    const char* path;
    const char* parent;
    const char* base;
    const char* extension;
  };
  const Case cases[] = {
      {"/a/b/c.jpg", "/a/b", "c.jpg", ".jpg"},
      {"/c.jpg", "/", "c.jpg", ".jpg"},
      {"c.jpg", ".", "c.jpg", ".jpg"},
      {"/a/IMG_0001.jpg", "/a", "IMG_0001.jpg", ".jpg"},
      {"/a/b.tar.GZ", "/a", "b.tar.GZ", ".GZ"},
      // A "." in a folder name is no extension.
      {"/a.d/README", "/a.d", "README", ""},
      {"/a/.hidden", "/a", ".hidden", ".hidden"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ParentFolder(c.path), c.parent) << c.path;
    EXPECT_EQ(BaseName(c.path), c.base) << c.path;
    EXPECT_EQ(ExtensionOf(c.path), c.extension) << c.path;
    if (std::string_view(c.path).find('/') != std::string_view::npos) {
      EXPECT_EQ(JoinPath(ParentFolder(c.path), BaseName(c.path)), c.path);
    }
  }
}

// One separator, whichever way a folder comes: the root keeps its "/".
TEST(PathTest, AddsAndDropsOneTrailingSeparator) {
  struct Case {
    const char* folder;
    const char* with;
    const char* without;
  };
  const Case cases[] = {
      {"/media/card", "/media/card/", "/media/card"},
      {"/media/card/", "/media/card/", "/media/card"},
      {"/", "/", "/"},
      {"", "/", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(WithTrailingSeparator(c.folder), c.with) << c.folder;
    EXPECT_EQ(WithoutTrailingSeparator(c.folder), c.without) << c.folder;
  }
  EXPECT_EQ(JoinPath("/", "a"), "/a");
  EXPECT_EQ(JoinPath("/a/", "b"), "/a/b");
}

TEST(PathTest, TypedDestinationIsAnAbsoluteFolderWithoutTrailingBlanks) {
  struct Case {
    const char* typed;
    const char* destination;
  };
  const Case cases[] = {
      {"/photos", "/photos/"},
      {"/photos/", "/photos/"},
      {"/photos 	", "/photos/"},
      {" /photos", ""},
      {"photos", ""},
      {"", ""},
      {"/", "/"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TypedDestination(c.typed), c.destination) << c.typed;
    EXPECT_EQ(NamesADrive(c.typed), c.typed[0] == '/') << c.typed;
  }
}

// A destination not made yet is resolved through the folders above it that
// exist, so that two spellings of it compare equal.
TEST(ResolvedPathTest, ResolvesThroughLinksUpToWhatExists) {
  testing::TempDir dir;
  mkdir(dir.Path("real").c_str(), 0755);
  ASSERT_EQ(symlink(dir.Path("real").c_str(), dir.Path("link").c_str()), 0);
  SystemCalls& calls = RealSystemCalls();
  const std::string real = ResolvedPath(dir.Path("real"), calls);
  EXPECT_EQ(ResolvedPath(dir.Path("link/new/2004_05_06"), calls),
            real + "/new/2004_05_06");
  EXPECT_EQ(ResolvedPath(dir.Path("link/../real/x"), calls), real + "/x");
}

}  // namespace
}  // namespace kuronel
