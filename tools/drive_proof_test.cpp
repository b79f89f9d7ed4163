// What a move proves of a drive before it deletes a source: a read-back
// that reaches the medium under a layer that stores photo bytes wrong, a
// FUSE drive known by its device rather than by its name, and names that
// are one file only where the drive says so.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <map>
#include <random>
#include <sstream>
#include <string>

#include "gtest/gtest.h"
#include "platform/dir_listing.h"
#include "testing/faulty_system_calls.h"
#include "testing/temp_dir.h"
#include "testing/tree_audit.h"
#include "tools/batch_test_support.h"

namespace kuronel {
namespace {

using testing::TempDir;

// What every 4 KiB of a photo begins with, so that the corrupting layer
// tells photo bytes from the file system's own.
constexpr char kMarker[] = "KURONEL-PHOTO-BLOCK";

// Runs `command` in a shell; its first line of output, and whether it
// exited 0.
bool Shell(const std::string& command, std::string* line = nullptr) {
  FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
  char buffer[256] = {};
  if (pipe == nullptr) return false;
  if (fgets(buffer, sizeof buffer, pipe) != nullptr && line != nullptr)
    *line = std::string(buffer, strcspn(buffer, "\n"));
  while (fgets(buffer, sizeof buffer, pipe) != nullptr) continue;
  return pclose(pipe) == 0;
}

// A file system made by `make` on an image and mounted by `mount` from a
// loop device, for the life of the object; with `corrupting`, the image is
// reached through kuronel-corrupting-image, so that the device holds
// photos other than the caches above it do.
class LoopDrive {
 public:
  LoopDrive(const std::string& make, const std::string& mount,
            bool corrupting) {
    if (geteuid() != 0 || access("/dev/fuse", F_OK) != 0) {
      unavailable_ = "needs root and /dev/fuse";
      return;
    }
    std::string image = base_.Path("image");
    if (!Shell("truncate -s 320M " + image + " && " + make + " " + image))
      unavailable_ = make + " failed";
#ifdef KURONEL_CORRUPTING_IMAGE_PROGRAM
    if (corrupting && unavailable_.empty()) {
      layer_ = base_.MakeDir("layer");
      std::system((std::string(KURONEL_CORRUPTING_IMAGE_PROGRAM) + " " + image +
                   " " + layer_ + " " + kMarker + " >/dev/null 2>&1 &")
                      .c_str());
      image = layer_ + "/image";
      for (int i = 0; i < 100 && access(image.c_str(), F_OK) != 0; ++i)
        usleep(20000);
    }
#else
    if (corrupting) unavailable_ = "built without libfuse3";
#endif
    if (unavailable_.empty() &&
        !(Shell("losetup -f --show --direct-io=on " + image, &device_) &&
          Shell(mount + " " + device_ + " " + base_.MakeDir("mnt"))))
      unavailable_ = mount + " failed";
  }
  ~LoopDrive() {
    // A FUSE driver may hold its drive a moment after the last close.
    for (int i = 0; i < 50 && Shell("mountpoint -q " + path()); ++i) {
      if (!Shell("umount " + path())) usleep(100000);
    }
    if (!device_.empty()) Shell("losetup -d " + device_);
    for (int i = 0; i < 50 && !layer_.empty() && !Shell("umount " + layer_);
         ++i)
      usleep(100000);
  }

  bool mounted() const { return unavailable_.empty(); }
  const std::string& unavailable() const { return unavailable_; }
  std::string path() const { return base_.Path("mnt"); }

 private:
  TempDir base_;
  std::string layer_, device_, unavailable_;
};

// `count` photos of 300 KB and more, every 4 KiB marked.
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

// Moves 4 photos onto `drive`: every row reads `state`, every source stays
// and the run fails. Its output.
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

// Where the read-back reaches the device, every copy fails it; where it
// cannot (data=journal serves even O_DIRECT from memory), the move keeps
// its sources.
TEST(DriveProofTest, ACopyThatTheDeviceHoldsWrongDeletesNoSource) {
  struct Case {
    const char *make, *mount, *state;
  };
  const Case cases[] = {
      {"mkfs.exfat", "mount.exfat-fuse", "CopyError!"},
      {"mkfs.ext4 -q -F", "mount -o data=journal", "OK"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mount);
    LoopDrive drive(c.make, c.mount, /*corrupting=*/true);
    if (!drive.mounted()) GTEST_SKIP() << drive.unavailable();
    MoveKeepsEverySource(drive, c.state);
  }
}

// fusefat answers fsync without writing its device: started through a link,
// or told another name or type, it is still no drive to delete sources for.
TEST(DriveProofTest, FatThroughFuseUnderAnyNameKeepsTheSources) {
  TempDir tools;
  ASSERT_EQ(symlink("/usr/bin/fusefat", tools.Path("fatmount").c_str()), 0);
  for (const std::string& mount :
       {tools.Path("fatmount") + " -o rw+",
        std::string("fusefat -o rw+,fsname=card"),
        std::string("fusefat -o rw+,subtype=vfat")}) {
    SCOPED_TRACE(mount);
    LoopDrive drive("mkfs.vfat -F 32", mount, /*corrupting=*/false);
    if (!drive.mounted()) GTEST_SKIP() << drive.unavailable();
    EXPECT_NE(MoveKeepsEverySource(drive, "OK").find("is not known to write"),
              std::string::npos);
  }
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

// NTFS photos whose names differ in case, on a drive whose device cannot be
// read: its kind is unknown, so they stay two files. exFAT's up-case table
// folds é: a folder opened as Été and as été is one.
TEST(DriveProofTest, NamesAreOneFileOnlyWhereTheDriveSaysSo) {
  LoopDrive ntfs("mkfs.ntfs -q -F -f", "ntfs-3g", /*corrupting=*/false);
  LoopDrive exfat("mkfs.exfat", "mount.exfat-fuse", /*corrupting=*/false);
  if (!ntfs.mounted() || !exfat.mounted())
    GTEST_SKIP() << ntfs.unavailable() << exfat.unavailable();
  for (const char* name : {"/IMG_0001.JPG", "/img_0001.jpg"})
    std::fclose(std::fopen((ntfs.path() + name).c_str(), "w"));
  NoDeviceAccess calls;
  FileIdentitySet files;
  ASSERT_TRUE(ListDirectory(
      ntfs.path(), [&](const DirEntry& entry) { files.insert(entry.identity); },
      calls));
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
