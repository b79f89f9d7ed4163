#include "platform/mount_table.h"

#include <sys/sysmacros.h>

#include "gtest/gtest.h"
#include "platform/drive_facts.h"

namespace kuronel {
namespace {

TEST(MountTableTest, EachLineGivesItsDriveOrNothing) {
  struct Case {
    const char* line;
    bool parsed;
    MountEntry entry;
  };
  const Case cases[] = {
      {"36 25 7:3 / /media/card rw,nosuid shared:7 - fuseblk /dev/loop3 "
       "rw,user_id=0,blksize=4096",
       true,
       {makedev(7, 3), "fuseblk", "/dev/loop3", "/media/card", "/",
        "rw,user_id=0,blksize=4096"}},
      // Blanks, tabs and line breaks in names come escaped; no optional
      // fields; a drive's folder mounted elsewhere.
      {"40 1 8:17 /sub\\011dir /mnt/my\\040card rw - vfat /dev/sdb1 rw",
       true,
       {makedev(8, 17), "vfat", "/dev/sdb1", "/mnt/my card", "/sub\tdir",
        "rw"}},
      {"41 1 0:52 / /mnt/fat rw - fuse card rw,user_id=0",
       true,
       {makedev(0, 52), "fuse", "card", "/mnt/fat", "/", "rw,user_id=0"}},
      {"42 1 8:1 / /mnt rw shared:1 fuse.vfat vfat rw", false, {}},
      {"43 1 8-1 / /mnt rw - ext4 /dev/sda1 rw", false, {}},
      {"44 1 8:1 / /mnt rw -", false, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    const std::vector<MountEntry> entries = ParseMountInfo(c.line);
    ASSERT_EQ(entries.size(), c.parsed ? 1u : 0u);
    if (!c.parsed) continue;
    const MountEntry& e = entries.front();
    EXPECT_EQ(e.device, c.entry.device);
    EXPECT_EQ(e.type, c.entry.type);
    EXPECT_EQ(e.source, c.entry.source);
    EXPECT_EQ(e.mount_point, c.entry.mount_point);
    EXPECT_EQ(e.root, c.entry.root);
    EXPECT_EQ(e.options, c.entry.options);
  }
  EXPECT_EQ(ParseMountInfo("1 0 8:1 / / rw - ext4 /dev/a rw\n\nbad\n"
                           "2 1 8:2 / /b rw - xfs /dev/b rw\n")
                .size(),
            2u);
}

TEST(MountTableTest, OptionsMatchWholeInEitherListForm) {
  struct Case {
    const char* options;
    bool journal;
  };
  const Case cases[] = {
      {"rw,data=journal", true},
      {"rw\nbsddf\ndata=journal\nbarrier\n", true},  // /proc/fs/ext4
      {"rw,data=ordered", false},
      {"rw,data=journalled", false},
      {"nodata=journal", false},
      {"", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(HasMountOption(c.options, "data=journal"), c.journal)
        << c.options;
}

TEST(MountTableTest, KernelReleasesCompareByNumber) {
  struct Case {
    const char* release;
    bool at_least_5_8;
  };
  const Case cases[] = {{"5.8.0", true},      {"5.10.0-21-amd64", true},
                        {"6.1", true},        {"5.7.19", false},
                        {"4.19.0-25", false}, {"6", true},
                        {"5", false},         {"", false},
                        {"linux-6.1", false}};
  for (const Case& c : cases)
    EXPECT_EQ(KernelReleaseAtLeast(c.release, 5, 8), c.at_least_5_8)
        << c.release;
}

}  // namespace
}  // namespace kuronel
