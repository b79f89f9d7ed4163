#ifndef KURONEL_TESTING_TEST_DRIVE_H_
#define KURONEL_TESTING_TEST_DRIVE_H_

#include <cstdint>
#include <string>

namespace kuronel::testing {

// The file systems that cards and drives come with: the kernel's own, and
// the FUSE drivers through which Linux desktops mount camera cards and
// Windows drives.
enum class DriveKind { kExt4, kXfs, kBtrfs, kTmpfs, kExfat, kFat32, kNtfs };

inline constexpr DriveKind kEveryDriveKind[] = {
    DriveKind::kExt4,  DriveKind::kXfs,   DriveKind::kBtrfs, DriveKind::kTmpfs,
    DriveKind::kExfat, DriveKind::kFat32, DriveKind::kNtfs};

// "ext4", "xfs", "btrfs", "tmpfs", "exFAT", "FAT32", "NTFS".
const char* DriveKindName(DriveKind kind);

// True for the drives through FUSE: exFAT (exfat-fuse), FAT32 (fusefat) and
// NTFS (ntfs-3g).
bool IsFuseDrive(DriveKind kind);

// A fresh file system of `kind`, made on a sparse image file under $TMPDIR
// (tmpfs: mounted as such) and mounted on a folder of its own for the life of
// the object; then unmounted and its loop device detached, also when the test
// using it fails. Needs root, loop devices, /dev/fuse for the FUSE drivers
// and the tools that make and mount each kind (the Makefile installs them);
// where one is missing the drive is not mounted and `unavailable()` says
// which and why in one line.
class TestDrive {
 public:
  explicit TestDrive(DriveKind kind, std::uint64_t size_bytes = 320u << 20);
  ~TestDrive();
  TestDrive(const TestDrive&) = delete;
  TestDrive& operator=(const TestDrive&) = delete;

  bool mounted() const { return unavailable_.empty(); }
  // Why the drive is not mounted; empty when it is.
  const std::string& unavailable() const { return unavailable_; }
  DriveKind kind() const { return kind_; }
  // The mount point, without a trailing "/".
  const std::string& path() const { return mount_point_; }
  // path() + "/" + relative.
  std::string Path(const std::string& relative) const;

 private:
  std::string Mount(std::uint64_t size_bytes);
  void Unmount();

  DriveKind kind_;
  std::string base_;  // holds the image and the mount point
  std::string image_;
  std::string mount_point_;
  std::string loop_device_;  // attached by hand for the FUSE drivers
  bool mounted_here_ = false;
  std::string unavailable_;
};

}  // namespace kuronel::testing

#endif  // KURONEL_TESTING_TEST_DRIVE_H_
