// kuronel-bench-drive: holds a fresh drive of one file system mounted for a
// benchmark script, and takes it down again however the script ends.

#include <dirent.h>
#include <fcntl.h>
#include <linux/loop.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "platform/mount_table.h"
#include "platform/system_calls.h"
#include "testing/test_drive.h"

namespace {

using kuronel::testing::DriveKind;
using kuronel::testing::TestDrive;

constexpr char kUsage[] =
    "usage: kuronel-bench-drive [--direct-io] KIND SIZE_MB\n"
    "\n"
    "Makes a file system of KIND (ext4, xfs, btrfs, tmpfs, exFAT, FAT32,\n"
    "NTFS; exFAT, FAT32 and NTFS through their FUSE drivers) on a sparse\n"
    "image of SIZE_MB megabytes under $TMPDIR or /tmp, mounts it on a folder\n"
    "of its own and prints, one a line: that folder; \"loop DEVICE MAJ:MIN\"\n"
    "for the loop device it lies on; \"driver PID\" for each process that\n"
    "holds the device open (a FUSE driver); then \"up\". With --direct-io\n"
    "the loop device reads and writes its image with direct I/O (as\n"
    "losetup --direct-io=on), so that the image's pages are not cached twice\n"
    "and a flush reaches the disk under it. It stays mounted until\n"
    "standard input ends (the script that started it closed it, or died) or\n"
    "the program gets SIGINT, SIGTERM or SIGHUP; then the drive is unmounted,\n"
    "its loop device detached and its image removed. Needs root.\n"
    "Exits 1 with one line on standard error when the drive cannot be made.\n";

std::optional<DriveKind> KindNamed(const std::string& name) {
  for (DriveKind kind : kuronel::testing::kEveryDriveKind) {
    if (name == kuronel::testing::DriveKindName(kind)) return kind;
  }
  return std::nullopt;
}

// Blocks the signals that end a script (a Ctrl-C reaches the whole process
// group), so that they end the wait below instead of this program: the
// drive must come down whatever happens. Returns a descriptor that becomes
// readable when one arrives.
int BlockEndingSignals() {
  sigset_t ending;
  sigemptyset(&ending);
  for (int signal_number : {SIGINT, SIGTERM, SIGHUP, SIGPIPE})
    sigaddset(&ending, signal_number);
  sigprocmask(SIG_BLOCK, &ending, nullptr);
  sigdelset(&ending, SIGPIPE);  // a closed output must not end the wait
  return signalfd(-1, &ending, SFD_CLOEXEC);
}

// Waits until standard input ends or an ending signal arrives.
void WaitForTheEnd(int signal_fd) {
  pollfd watched[2] = {{STDIN_FILENO, POLLIN, 0}, {signal_fd, POLLIN, 0}};
  const nfds_t count = signal_fd >= 0 ? 2 : 1;
  for (;;) {
    if (poll(watched, count, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (count == 2 && watched[1].revents != 0) return;
    if (watched[0].revents == 0) continue;
    char buffer[256];
    const ssize_t got = read(STDIN_FILENO, buffer, sizeof buffer);
    if (got == 0 || (got < 0 && errno != EINTR && errno != EAGAIN)) return;
  }
}

// The device a file system is mounted from, as the mount table gives it;
// empty when not found.
std::string MountSource(const std::string& mount_point) {
  for (const kuronel::MountEntry& entry :
       kuronel::ReadMountTable(kuronel::RealSystemCalls())) {
    if (entry.mount_point == mount_point) return entry.source;
  }
  return {};
}

// The processes that hold `device` open: the FUSE driver of a drive.
std::vector<std::string> ProcessesHolding(const std::string& device) {
  std::vector<std::string> holders;
  DIR* proc = opendir("/proc");
  if (proc == nullptr) return holders;
  while (const dirent* entry = readdir(proc)) {
    const std::string pid = entry->d_name;
    if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
    const std::string fd_folder = "/proc/" + pid + "/fd";
    DIR* fds = opendir(fd_folder.c_str());
    if (fds == nullptr) continue;
    while (const dirent* fd = readdir(fds)) {
      char target[256];
      const std::string link = fd_folder + "/" + fd->d_name;
      const ssize_t length = readlink(link.c_str(), target, sizeof target - 1);
      if (length > 0 && device == std::string(target, length)) {
        holders.push_back(pid);
        break;
      }
    }
    closedir(fds);
  }
  closedir(proc);
  return holders;
}

bool SetDirectIo(const std::string& device) {
  const int fd = open(device.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) return false;
  const bool set = ioctl(fd, LOOP_SET_DIRECT_IO, 1UL) == 0;
  close(fd);
  return set;
}

// The lines after the mount point: the loop device and who holds it, and
// "up". Empty with `error` set when direct I/O was asked for and refused.
std::string DescribeDevice(const std::string& mount_point, bool direct_io,
                           std::string& error) {
  const std::string device = MountSource(mount_point);
  struct stat info {};
  if (device.rfind("/dev/loop", 0) != 0 || stat(device.c_str(), &info) != 0) {
    if (direct_io) error = "no loop device under " + mount_point;
    return direct_io ? std::string() : "up\n";
  }
  if (direct_io && !SetDirectIo(device)) {
    error = "direct I/O refused on " + device + ": " + std::strerror(errno);
    return {};
  }
  std::string lines = "loop " + device + " " +
                      std::to_string(major(info.st_rdev)) + ":" +
                      std::to_string(minor(info.st_rdev)) + "\n";
  for (const std::string& pid : ProcessesHolding(device))
    lines += "driver " + pid + "\n";
  return lines + "up\n";
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  const bool direct_io = !args.empty() && args.front() == "--direct-io";
  if (direct_io) args.erase(args.begin());
  const std::optional<DriveKind> kind =
      args.size() == 2 ? KindNamed(args[0]) : std::nullopt;
  char* end = nullptr;
  const unsigned long long megabytes =
      args.size() == 2 ? std::strtoull(args[1].c_str(), &end, 10) : 0;
  if (!kind || end == args[1].c_str() || *end != '\0' || megabytes == 0) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  const int signal_fd = BlockEndingSignals();
  TestDrive drive(*kind, static_cast<std::uint64_t>(megabytes) << 20);
  if (!drive.mounted()) {
    std::fprintf(stderr, "kuronel-bench-drive: %s\n",
                 drive.unavailable().c_str());
    return 1;
  }
  std::string error;
  const std::string device = DescribeDevice(drive.path(), direct_io, error);
  if (!error.empty()) {
    std::fprintf(stderr, "kuronel-bench-drive: %s\n", error.c_str());
    return 1;  // the drive comes down with `drive`
  }
  // One write, so that a reader never sees half of it.
  std::fputs((drive.path() + "\n" + device).c_str(), stdout);
  std::fflush(stdout);
  WaitForTheEnd(signal_fd);
  return 0;  // the drive comes down with `drive`
}
