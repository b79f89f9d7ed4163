#include <fcntl.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#include <vector>

#include "testing/power_cut_drive.h"

namespace kuronel::testing {
namespace {

std::string MissingForPowerCutDrive() {
#ifndef KURONEL_POWER_CUT_DRIVE_PROGRAM
  return "power-cut drive: built without libfuse3";
#else
  if (geteuid() != 0) return "power-cut drive: mounting needs root";
  if (access("/dev/fuse", R_OK | W_OK) != 0)
    return "power-cut drive: no /dev/fuse";
  return std::string();
#endif
}

bool ChildRunning(int pid) { return waitpid(pid, nullptr, WNOHANG) == 0; }

}  // namespace

PowerCutDrive::PowerCutDrive(const std::string& backing,
                             const PowerCutDriveOptions& options)
    : mount_point_(place_.MakeDir("drive")), report_(place_.Path("report")) {
  unavailable_ = MissingForPowerCutDrive();
  if (!unavailable_.empty()) return;
#ifdef KURONEL_POWER_CUT_DRIVE_PROGRAM
  std::vector<std::string> args = {KURONEL_POWER_CUT_DRIVE_PROGRAM};
  if (!options.cut.empty()) args.push_back("--cut=" + options.cut);
  if (!options.corrupt_writes.empty())
    args.push_back("--corrupt-writes=" + options.corrupt_writes);
  if (!options.corrupt_reads.empty())
    args.push_back("--corrupt-reads=" + options.corrupt_reads);
  if (!options.close_fault.empty())
    args.push_back("--close-fault=" + options.close_fault);
  if (options.separate_top_folders) args.push_back("--separate-top-folders");
  args.push_back(backing);
  args.push_back(mount_point_);
  std::vector<char*> argv;
  argv.reserve(args.size() + 1);
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  const std::string errors = place_.Path("errors");
  pid_ = fork();
  if (pid_ == 0) {
    // Its report goes to a file; nothing of the test's output is shared.
    const int out = open(report_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(out, 1);
    dup2(err, 2);
    execv(argv[0], argv.data());
    _exit(127);
  }
  // Mounted once its control file shows; a drive that ended has failed.
  const std::string control = Path(".power-cut");
  struct stat st;
  while (lstat(control.c_str(), &st) != 0) {
    if (!ChildRunning(pid_)) {
      pid_ = -1;
      unavailable_ = "power-cut drive did not mount: " + ReadFile(errors);
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
#endif
}

PowerCutDrive::~PowerCutDrive() { Unmount(); }

std::string PowerCutDrive::Path(const std::string& relative) const {
  return mount_point_ + "/" + relative;
}

void PowerCutDrive::CutNow() const { SetCut("now"); }

void PowerCutDrive::SetCut(const std::string& cut) const {
  const int fd = open(Path(".power-cut").c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) return;
  [[maybe_unused]] const ssize_t written = write(fd, cut.data(), cut.size());
  close(fd);
}

bool PowerCutDrive::WasCut() const {
  return Report().starts_with("cut ") ||
         Report().find("\ncut ") != std::string::npos;
}

std::string PowerCutDrive::Report() const { return ReadFile(report_); }

void PowerCutDrive::Unmount() {
  if (pid_ <= 0) return;
  // A file still open through the drive may keep it busy for a moment.
  for (int attempt = 0; umount2(mount_point_.c_str(), 0) != 0; ++attempt) {
    if (errno != EBUSY || attempt == 500) {
      umount2(mount_point_.c_str(), MNT_DETACH);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  waitpid(pid_, nullptr, 0);
  pid_ = -1;
}

}  // namespace kuronel::testing
