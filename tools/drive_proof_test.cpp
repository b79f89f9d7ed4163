// What a move proves of a drive before it deletes a source: a read-back
// that reaches the medium under a layer that stores photo bytes wrong, a
// FUSE drive known by its device rather than by the name it is mounted
// under, and names that are one file only where the drive says so.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "platform/dir_listing.h"
#include "testing/faulty_system_calls.h"
#include "testing/temp_dir.h"
#include "testing/test_drive.h"
#include "testing/tree_audit.h"
#include "tools/batch_test_support.h"

namespace kuronel {
namespace {

using testing::TempDir;

// What every block of a photo begins with, so that the corrupting layer
// finds photo bytes among the file system's own writes.
constexpr char kMarker[] = "KURONEL-PHOTO-BLOCK";

// Runs `command` in a shell, its output thrown away; true when it exits 0.
bool Shell(const std::string& command) {
  return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

// A shell command's first line of output.
std::string ShellLine(const std::string& command) {
  std::string line;
  if (FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r")) {
    char buffer[256];
    if (fgets(buffer, sizeof buffer, pipe) != nullptr) line = buffer;
    pclose(pipe);
  }
  while (!line.empty() && line.back() == '\n') line.pop_back();
  return line;
}

// A file system made by `make` on an image and mounted by `mount` from a
// loop device, for the life of the object. With `corrupting`, the image is
// reached through kuronel-corrupting-image, which changes a byte of every
// write holding photo bytes: what the drive's device then holds differs
// from what its caches hold.
class LoopDrive {
 public:
  LoopDrive(const std::string& make, const std::string& mount, bool corrupting)
      : base_(testing::DefaultTempBase()) {
    unavailable_ = Missing(corrupting);
    if (!unavailable_.empty()) return;
    const std::string image = base_.Path("image");
    if (!Shell("truncate -s 320M " + image + " && " + make + " " + image)) {
      unavailable_ = make + " failed";
      return;
    }
    std::string under = image;
    if (corrupting) {
      mkdir(base_.Path("layer").c_str(), 0700);
      layer_ = base_.Path("layer");
      // It runs until unmounted.
      std::system((std::string(KURONEL_CORRUPTING_IMAGE_PROGRAM) + " " + image +
                   " " + layer_ + " " + kMarker + " >/dev/null 2>&1 &")
                      .c_str());
      under = layer_ + "/image";
      for (int i = 0; i < 100 && access(under.c_str(), F_OK) != 0; ++i)
        usleep(20000);
    }
    device_ = ShellLine("losetup -f --show --direct-io=on " + under);
    mkdir(path().c_str(), 0755);
    if (device_.empty() || !Shell(mount + " " + device_ + " " + path()))
      unavailable_ = mount + " failed";
  }
  ~LoopDrive() {
    // A FUSE driver may hold its drive a moment after the last close.
    for (int i = 0; i < 50 && IsMounted(path()); ++i) {
      if (!Shell("umount " + path())) usleep(100000);
    }
    if (!device_.empty()) Shell("losetup -d " + device_);
    if (!layer_.empty()) {
      for (int i = 0; i < 50 && !Shell("fusermount -u " + layer_); ++i)
        usleep(100000);
    }
  }

  bool mounted() const { return unavailable_.empty(); }
  const std::string& unavailable() const { return unavailable_; }
  std::string path() const { return base_.Path("mnt"); }
  const std::string& device() const { return device_; }

 private:
  static bool IsMounted(const std::string& folder) {
    struct stat here, above;
    return stat(folder.c_str(), &here) == 0 &&
           stat((folder + "/..").c_str(), &above) == 0 &&
           here.st_dev != above.st_dev;
  }
  static std::string Missing(bool corrupting) {
    if (geteuid() != 0) return "needs root";
    if (access("/dev/fuse", F_OK) != 0) return "no /dev/fuse";
    if (access("/dev/loop-control", F_OK) != 0) return "no loop devices";
#ifndef KURONEL_CORRUPTING_IMAGE_PROGRAM
    if (corrupting) return "built without libfuse3";
#else
    (void)corrupting;
#endif
    return std::string();
  }

  TempDir base_;
  std::string layer_, device_, unavailable_;
};

// `count` photos of a few hundred KiB, every 4 KiB block marked.
void WritePhotos(const std::string& folder, int count) {
  mkdir(folder.c_str(), 0755);
  std::mt19937 random(7);
  for (int i = 0; i < count; ++i) {
    std::string bytes;
    while (bytes.size() < 300000u + 4097u * i) {
      bytes += kMarker;
      while (bytes.size() % 4096 != 0) bytes += static_cast<char>(random());
    }
    const std::string path = folder + "/IMG_000" + std::to_string(i) + ".JPG";
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    ASSERT_EQ(write(fd, bytes.data(), bytes.size()),
              static_cast<ssize_t>(bytes.size()));
    close(fd);
    testing::SetTimes(path, 1083844801 + 86400 * i, 0);
  }
}

// The rows' states of a kuronel-batch run, counted.
std::map<std::string, int> States(const testing::BatchResult& result) {
  std::map<std::string, int> states;
  std::istringstream lines(result.out);
  for (std::string line; std::getline(lines, line);) {
    if (line.empty() || line[0] == '#') continue;
    const std::size_t state = line.find('\t', line.find('\t') + 1) + 1;
    ++states[line.substr(state, line.find('\t', state) - state)];
  }
  return states;
}

// Moves 4 photos onto `drive`; every source must still be there, and the
// rows read `state`. The run's output.
std::string MoveKeepsEverySource(const LoopDrive& drive,
                                 const std::string& state) {
  TempDir card;
  WritePhotos(card.Path("DCIM"), 4);
  const testing::Manifest sources = testing::TakeManifest(card.path());
  const testing::BatchResult moved =
      testing::RunBatchArgs({"--move", "--no-read-only", "--dest",
                             drive.path() + "/photos", card.path()});
  EXPECT_EQ(States(moved), (std::map<std::string, int>{{state, 4}}))
      << moved.out;
  EXPECT_EQ(testing::TakeManifest(card.path()), sources);
  EXPECT_EQ(moved.code, 1);
  return moved.out;
}

// A drive whose device stores photo bytes wrong: where the read-back can
// reach the device, every copy fails it; where it cannot (data=journal
// serves even O_DIRECT from memory), the move keeps its sources and says so.
TEST(DriveProofTest, ACopyThatTheDeviceHoldsWrongDeletesNoSource) {
  struct Case {
    const char* name;
    const char* make;
    const char* mount;
    const char* state;
  };
  const Case cases[] = {
      {"exFAT", "mkfs.exfat", "mount.exfat-fuse", "CopyError!"},
      {"ext4 data=journal", "mkfs.ext4 -q -F", "mount -o data=journal", "OK"},
  };
  int tried = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LoopDrive drive(c.make, c.mount, /*corrupting=*/true);
    if (!drive.mounted()) {
      std::cout << "skipped " << c.name << ": " << drive.unavailable() << "\n";
      continue;
    }
    ++tried;
    MoveKeepsEverySource(drive, c.state);
  }
  if (tried == 0) GTEST_SKIP() << "no drive could be mounted";
}

// fusefat answers fsync without writing its device. Started through a link
// of another name, or told another name or type, it is still no drive to
// delete sources for.
TEST(DriveProofTest, FatThroughFuseUnderAnyNameKeepsTheSources) {
  TempDir tools;
  const std::string link = tools.Path("fatmount");
  if (symlink("/usr/bin/fusefat", link.c_str()) != 0) FAIL();
  int tried = 0;
  for (const std::string& mount :
       {link + " -o rw+", std::string("fusefat -o rw+,fsname=card"),
        std::string("fusefat -o rw+,subtype=vfat")}) {
    SCOPED_TRACE(mount);
    LoopDrive drive("mkfs.vfat -F 32", mount, /*corrupting=*/false);
    if (!drive.mounted()) {
      std::cout << "skipped fusefat: " << drive.unavailable() << "\n";
      continue;
    }
    ++tried;
    EXPECT_NE(MoveKeepsEverySource(drive, "OK")
                  .find("the source was kept: the drive of the copy is not "
                        "known to write its disk"),
              std::string::npos);
  }
  if (tried == 0) GTEST_SKIP() << "fusefat could not be mounted";
}

// The system's calls for a user who may not read the drives' devices.
class NoDeviceAccess : public testing::FaultySystemCalls {
 public:
  int Open(const std::string& path, int flags, mode_t mode) override {
    if (!path.starts_with("/dev/"))
      return FaultySystemCalls::Open(path, flags, mode);
    errno = EACCES;
    return -1;
  }
};

// Two NTFS photos whose names differ in case, on a drive whose device this
// user cannot read: its kind is unknown, so they stay two files. On exFAT,
// whose up-case table folds é, a folder opened as Été and as été is one.
TEST(DriveProofTest, NamesAreOneFileOnlyWhereTheDriveSaysSo) {
  LoopDrive ntfs("mkfs.ntfs -q -F -f", "ntfs-3g", /*corrupting=*/false);
  LoopDrive exfat("mkfs.exfat", "mount.exfat-fuse", /*corrupting=*/false);
  if (!ntfs.mounted() || !exfat.mounted())
    GTEST_SKIP() << ntfs.unavailable() << exfat.unavailable();
  for (const char* name : {"IMG_0001.JPG", "img_0001.jpg"})
    std::fclose(std::fopen((ntfs.path() + "/" + name).c_str(), "w"));
  NoDeviceAccess cannot_open_devices;
  FileIdentitySet files;
  ASSERT_TRUE(ListDirectory(
      ntfs.path(), [&](const DirEntry& entry) { files.insert(entry.identity); },
      cannot_open_devices));
  EXPECT_EQ(files.size(), 2u);

  WritePhotos(exfat.path() + "/Été", 1);
  TempDir host;
  const testing::BatchResult listed =
      testing::RunBatchArgs({"--dry-run", "--dest", host.path(),
                             exfat.path() + "/Été", exfat.path() + "/été"});
  EXPECT_EQ(States(listed), (std::map<std::string, int>{{"未処理", 1}}))
      << listed.out;
}

}  // namespace
}  // namespace kuronel
