#include "ui/desktop_places.h"

#include <gtest/gtest.h>

namespace kuronel {
namespace {

// Home first, the drives in name order, "/" last; system and pseudo mounts,
// other users' drives and folders deeper down stay out.
TEST(DesktopPlacesTest, HomeThenMountedDrivesThenTheRoot) {
  const char mounts[] =
      "/dev/sda1 / ext4 rw 0 0\n"
      "proc /proc proc rw 0 0\n"
      "sysfs /sys sysfs rw 0 0\n"
      "/dev/sdc1 /media/aiko/NIKON\\040D70 vfat rw 0 0\n"
      "/dev/sdb1 /media/aiko/CANON vfat rw 0 0\n"
      "/dev/sdd1 /run/media/aiko/EOS_DIGITAL exfat rw 0 0\n"
      "/dev/sde1 /media/ken/USB vfat rw 0 0\n"
      "/dev/sdf1 /mnt/backup ext4 rw 0 0\n"
      "/dev/sdf2 /mnt/backup/inner ext4 rw 0 0\n"
      "binfmt_misc /mnt/binfmt binfmt_misc rw 0 0\n"
      "/dev/sdb1 /media/aiko/CANON vfat rw 0 0\n";
  const std::vector<FolderPlace> expected = {
      {"ホーム", "/home/aiko"},
      {"CANON", "/media/aiko/CANON"},
      {"NIKON D70", "/media/aiko/NIKON D70"},
      {"backup", "/mnt/backup"},
      {"EOS_DIGITAL", "/run/media/aiko/EOS_DIGITAL"},
      {"/", "/"},
  };
  EXPECT_EQ(DesktopPlaces("/home/aiko", "aiko", mounts), expected);
  // A home that is the root itself, no user name, no mounts: the root alone.
  EXPECT_EQ(DesktopPlaces("/", "", ""), (std::vector<FolderPlace>{{"/", "/"}}));
}

}  // namespace
}  // namespace kuronel
