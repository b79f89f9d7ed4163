#include "processing/leftover_copies.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "gtest/gtest.h"
#include "testing/temp_dir.h"

namespace kuronel {
namespace {

using testing::TempDir;

void SetTime(const std::string& path, long nanoseconds) {
  struct timespec times[2] = {{1083834000, 0}, {1083834000, nanoseconds}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

// Only a file that is the source's copy in every respect, or the source
// under a second name, and that stood in the folder before it was first
// looked at, counts as the copy of an interrupted move.
TEST(LeftoverCopiesTest, OnlyAnEarlierExactCopyCounts) {
  struct Case {
    const char* name;
    const char* contents;  // of the file in the folder
    long nanoseconds;      // its modification time's; the source has 5
    bool second_name;      // a hard link to the source instead
    bool after_first_look;
    bool found;
  };
  const Case cases[] = {
      {"exact copy", "photo", 5, false, false, true},
      {"second name of the source", "", 5, true, false, true},
      {"same bytes, other time", "photo", 6, false, false, false},
      {"same size and time, other bytes", "phono", 5, false, false, false},
      {"other size", "photos", 5, false, false, false},
      {"written after the first look", "photo", 5, false, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string source = dir.WriteFile("card/IMG.JPG", "photo");
    SetTime(source, 5);
    const std::string folder = dir.MakeDir("dest/day") + "/";
    RealFileSystem disk;
    LeftoverCopies leftovers(disk);
    if (c.after_first_look) {
      EXPECT_EQ(leftovers.Find(source, folder), "");
    }
    const std::string there = folder + "a0.JPG";
    if (c.second_name) {
      ASSERT_EQ(link(source.c_str(), there.c_str()), 0);
    } else {
      dir.WriteFile("dest/day/a0.JPG", c.contents);
      SetTime(there, c.nanoseconds);
    }
    EXPECT_EQ(leftovers.Find(source, folder), c.found ? there : "");
  }
}

}  // namespace
}  // namespace kuronel
