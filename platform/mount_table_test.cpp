#include "platform/mount_table.h"

#include <sys/sysmacros.h>

#include "gtest/gtest.h"
#include "platform/drive_facts.h"

namespace kuronel {
namespace {

// Device, type, source, mount point, root and options of the line's drive,
// or "" for a line that is no whole entry.
std::string Parsed(const char* line) {
  const std::vector<MountEntry> entries = ParseMountInfo(line);
  if (entries.size() != 1) return "";
  const MountEntry& e = entries.front();
  return std::to_string(major(e.device)) + ":" +
         std::to_string(minor(e.device)) + "|" + e.type + "|" + e.source + "|" +
         e.mount_point + "|" + e.root + "|" + e.options;
}

TEST(MountTableTest, EachLineGivesItsDriveOrNothing) {
  const std::pair<const char*, const char*> cases[] = {
      {"36 25 7:3 / /media/card rw shared:7 - fuseblk /dev/loop3 "
       "rw,blksize=4096",
       "7:3|fuseblk|/dev/loop3|/media/card|/|rw,blksize=4096"},
      // Escaped blanks and tabs; no optional fields; a folder of a drive.
      {"40 1 8:17 /sub\\011dir /mnt/my\\040card rw - vfat /dev/sdb1 rw",
       "8:17|vfat|/dev/sdb1|/mnt/my card|/sub\tdir|rw"},
      {"41 1 0:52 / /mnt/fat rw - fuse card rw",
       "0:52|fuse|card|/mnt/fat|/|rw"},
      {"42 1 8:1 / /mnt rw shared:1 fuse.vfat vfat rw", ""},
      {"43 1 8-1 / /mnt rw - ext4 /dev/sda1 rw", ""},
      {"44 1 8:1 / /mnt rw -", ""},
  };
  for (const auto& [line, parsed] : cases) EXPECT_EQ(Parsed(line), parsed);
  EXPECT_EQ(ParseMountInfo("1 0 8:1 / / rw - ext4 /dev/a rw\n\nbad\n"
                           "2 1 8:2 / /b rw - xfs /dev/b rw\n")
                .size(),
            2u);
}

TEST(MountTableTest, OptionsMatchWholeInEitherListForm) {
  const std::pair<const char*, bool> cases[] = {
      {"rw,data=journal", true},  {"rw\nbsddf\ndata=journal\n", true},
      {"rw,data=ordered", false}, {"rw,data=journalled", false},
      {"nodata=journal", false},  {"", false}};
  for (const auto& [options, journal] : cases)
    EXPECT_EQ(HasMountOption(options, "data=journal"), journal) << options;
}

TEST(MountTableTest, KernelReleasesCompareByNumber) {
  const std::pair<const char*, bool> cases[] = {
      {"5.8.0", true},   {"5.10.0-21-amd64", true}, {"6", true},
      {"5.7.19", false}, {"4.19.0-25", false},      {"5", false},
      {"", false},       {"linux-6.1", false}};
  for (const auto& [release, at_least] : cases)
    EXPECT_EQ(KernelReleaseAtLeast(release, 5, 8), at_least) << release;
}

}  // namespace
}  // namespace kuronel
