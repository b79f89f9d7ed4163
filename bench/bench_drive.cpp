// kuronel-bench-drive: holds a fresh drive of one file system mounted for a
// benchmark script, and takes it down again however the script ends.

#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "testing/test_drive.h"

namespace {

using kuronel::testing::DriveKind;
using kuronel::testing::TestDrive;

constexpr char kUsage[] =
    "usage: kuronel-bench-drive KIND SIZE_MB\n"
    "\n"
    "Makes a file system of KIND (ext4, xfs, btrfs, tmpfs, exFAT, FAT32,\n"
    "NTFS; exFAT, FAT32 and NTFS through their FUSE drivers) on a sparse\n"
    "image of SIZE_MB megabytes under $TMPDIR or /tmp, mounts it on a folder\n"
    "of its own and prints that folder on one line. It stays mounted until\n"
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

}  // namespace

int main(int argc, char** argv) {
  const std::optional<DriveKind> kind =
      argc == 3 ? KindNamed(argv[1]) : std::nullopt;
  char* end = nullptr;
  const unsigned long long megabytes =
      argc == 3 ? std::strtoull(argv[2], &end, 10) : 0;
  if (!kind || end == argv[2] || *end != '\0' || megabytes == 0) {
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
  std::printf("%s\n", drive.path().c_str());
  std::fflush(stdout);
  WaitForTheEnd(signal_fd);
  return 0;  // the drive comes down with `drive`
}
