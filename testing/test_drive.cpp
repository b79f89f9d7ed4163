#include "testing/test_drive.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#include <vector>

#include "testing/temp_dir.h"

namespace kuronel::testing {
namespace {

using Command = std::vector<std::string>;

// Where the tools that make and mount file systems live, $PATH or not.
std::string FindTool(const std::string& name) {
  for (const char* folder : {"/usr/sbin", "/sbin", "/usr/bin", "/bin"}) {
    std::string path = std::string(folder) + "/" + name;
    if (access(path.c_str(), X_OK) == 0) return path;
  }
  return std::string();
}

// Runs the command (its tool looked up by FindTool) with standard error
// thrown away; true when it exits with 0. Its standard output goes to `out`
// when given, else is thrown away as well.
bool Run(const Command& command, std::string* out = nullptr) {
  const std::string tool = FindTool(command.front());
  if (tool.empty()) return false;
  // Close-on-exec: a FUSE driver stays behind as a daemon, and must not
  // keep the pipe open.
  int pipe_fds[2];
  if (pipe2(pipe_fds, O_CLOEXEC) != 0) return false;
  const pid_t pid = fork();
  if (pid == 0) {
    const int null_fd = open("/dev/null", O_WRONLY | O_CLOEXEC);
    dup2(out != nullptr ? pipe_fds[1] : null_fd, STDOUT_FILENO);
    dup2(null_fd, STDERR_FILENO);
    std::vector<char*> argv;
    for (const std::string& arg : command)
      argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execv(tool.c_str(), argv.data());
    _exit(127);
  }
  close(pipe_fds[1]);
  char buffer[256];
  ssize_t got;
  while ((got = read(pipe_fds[0], buffer, sizeof buffer)) > 0) {
    if (out != nullptr) out->append(buffer, static_cast<std::size_t>(got));
  }
  close(pipe_fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// True while a file system is mounted on `folder`.
bool IsMountPoint(const std::string& folder) {
  struct stat here, above;
  return stat(folder.c_str(), &here) == 0 &&
         stat((folder + "/..").c_str(), &above) == 0 &&
         here.st_dev != above.st_dev;
}

// Runs `command` up to three times: tests running side by side race for the
// free loop devices, and the loser of such a race fails.
bool RunRetried(const Command& command, std::string* out = nullptr) {
  for (int attempt = 0; attempt < 3; ++attempt) {
    if (Run(command, out)) return true;
    if (out != nullptr) out->clear();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  return false;
}

// Unmounts `folder`, again for a while when it is busy (a FUSE daemon may
// still hold it for a moment after the last file was closed).
void UnmountFolder(const std::string& folder, bool fuse) {
  for (int attempt = 0; attempt < 50; ++attempt) {
    if (fuse ? Run({"fusermount", "-u", folder}) : Run({"umount", folder}))
      return;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  Run({"umount", "-l", folder});  // at least out of the way
}

struct KindTools {
  Command make;       // the image path is appended
  std::string mount;  // the FUSE driver; empty for the kernel's mount
  Command mount_options;
};

KindTools ToolsFor(DriveKind kind) {
  switch (kind) {
    case DriveKind::kExt4:
      return {{"mkfs.ext4", "-q", "-F"}, "", {}};
    case DriveKind::kXfs:
      return {{"mkfs.xfs", "-q", "-f"}, "", {}};
    case DriveKind::kBtrfs:
      return {{"mkfs.btrfs", "-q", "-f"}, "", {}};
    case DriveKind::kTmpfs:
      return {{}, "", {}};
    case DriveKind::kExfat:
      return {{"mkfs.exfat"}, "mount.exfat-fuse", {}};
    case DriveKind::kFat32:
      return {{"mkfs.vfat", "-F", "32"}, "fusefat", {"-o", "rw+"}};
    case DriveKind::kNtfs:
      return {{"mkfs.ntfs", "-q", "-F", "-f"}, "ntfs-3g", {}};
  }
  return {};
}

// Why drives of `kind` cannot be mounted here; empty when they can.
std::string MissingForKind(DriveKind kind) {
  const std::string name = DriveKindName(kind);
  if (geteuid() != 0) return name + ": mounting needs root";
  if (kind == DriveKind::kTmpfs) return std::string();
  if (access("/dev/loop-control", F_OK) != 0)
    return name + ": no loop devices (/dev/loop-control)";
  if (IsFuseDrive(kind) && access("/dev/fuse", F_OK) != 0)
    return name + ": no /dev/fuse";
  const KindTools tools = ToolsFor(kind);
  for (const std::string& tool :
       {tools.make.front(),
        tools.mount.empty() ? std::string("mount") : tools.mount}) {
    if (FindTool(tool).empty())
      return name + ": " + tool + " is not installed (make test installs it)";
  }
  if (IsFuseDrive(kind) && FindTool("fusermount").empty())
    return name + ": fusermount is not installed";
  return std::string();
}

}  // namespace

const char* DriveKindName(DriveKind kind) {
  switch (kind) {
    case DriveKind::kExt4:
      return "ext4";
    case DriveKind::kXfs:
      return "xfs";
    case DriveKind::kBtrfs:
      return "btrfs";
    case DriveKind::kTmpfs:
      return "tmpfs";
    case DriveKind::kExfat:
      return "exFAT";
    case DriveKind::kFat32:
      return "FAT32";
    case DriveKind::kNtfs:
      return "NTFS";
  }
  return "?";
}

bool IsFuseDrive(DriveKind kind) {
  return kind == DriveKind::kExfat || kind == DriveKind::kFat32 ||
         kind == DriveKind::kNtfs;
}

TestDrive::TestDrive(DriveKind kind, std::uint64_t size_bytes) : kind_(kind) {
  unavailable_ = MissingForKind(kind);
  if (!unavailable_.empty()) return;
  std::string base = DefaultTempBase() + "/kuronel-drive-XXXXXX";
  if (mkdtemp(base.data()) == nullptr) {
    unavailable_ = std::string(DriveKindName(kind)) + ": no scratch folder";
    return;
  }
  base_ = base;
  image_ = base_ + "/image";
  mount_point_ = base_ + "/mnt";
  unavailable_ = Mount(size_bytes);
  if (!unavailable_.empty()) Unmount();
}

TestDrive::~TestDrive() { Unmount(); }

std::string TestDrive::Path(const std::string& relative) const {
  return mount_point_ + "/" + relative;
}

std::string TestDrive::Mount(std::uint64_t size_bytes) {
  const std::string name = DriveKindName(kind_);
  if (mkdir(mount_point_.c_str(), 0755) != 0) return name + ": no mount point";
  if (kind_ == DriveKind::kTmpfs) {
    mounted_here_ =
        Run({"mount", "-t", "tmpfs", "-o", "size=" + std::to_string(size_bytes),
             "tmpfs", mount_point_});
    return mounted_here_ ? std::string() : name + ": mount -t tmpfs failed";
  }
  const int image = open(image_.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
  const bool sized =
      image >= 0 && ftruncate(image, static_cast<off_t>(size_bytes)) == 0;
  if (image >= 0) close(image);
  if (!sized) return name + ": cannot make the image file";
  KindTools tools = ToolsFor(kind_);
  tools.make.push_back(image_);
  if (!Run(tools.make)) return name + ": " + tools.make.front() + " failed";
  if (tools.mount.empty()) {
    for (int attempt = 0; attempt < 3 && !mounted_here_; ++attempt) {
      Run({"mount", "-o", "loop", image_, mount_point_});
      mounted_here_ = IsMountPoint(mount_point_);
    }
    return mounted_here_ ? std::string() : name + ": mount -o loop failed";
  }
  std::string device;
  if (!RunRetried({"losetup", "-f", "--show", image_}, &device) ||
      device.empty())
    return name + ": no free loop device";
  loop_device_ = device.substr(0, device.find('\n'));
  Command mount = {tools.mount};
  mount.insert(mount.end(), tools.mount_options.begin(),
               tools.mount_options.end());
  mount.push_back(loop_device_);
  mount.push_back(mount_point_);
  mounted_here_ = Run(mount);
  return mounted_here_ ? std::string() : name + ": " + tools.mount + " failed";
}

void TestDrive::Unmount() {
  // A mount command that failed may still have mounted.
  if (mounted_here_ || (!mount_point_.empty() && IsMountPoint(mount_point_)))
    UnmountFolder(mount_point_, IsFuseDrive(kind_));
  mounted_here_ = false;
  if (!loop_device_.empty()) Run({"losetup", "-d", loop_device_});
  loop_device_.clear();
  if (base_.empty()) return;
  rmdir(mount_point_.c_str());
  unlink(image_.c_str());
  rmdir(base_.c_str());
  base_.clear();
}

}  // namespace kuronel::testing
