// kuronel-bench-drive: what it says of its drive must hold (the loop device
// with direct I/O, the FUSE driver that the SD-speed reader limits), and
// the drive must come down once its input ends, or benchmark runs leave
// mounted drives behind.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Started {
  pid_t pid = -1;
  int input = -1;    // closing it takes the drive down
  std::string said;  // its output up to "up"
};

Started StartDrive(const std::vector<std::string>& args) {
  int to_child[2], from_child[2];
  if (pipe(to_child) != 0 || pipe(from_child) != 0) return {};
  Started started;
  started.pid = fork();
  if (started.pid == 0) {
    dup2(to_child[0], STDIN_FILENO);
    dup2(from_child[1], STDOUT_FILENO);
    close(to_child[1]);
    close(from_child[0]);
    std::vector<char*> argv{const_cast<char*>(KURONEL_BENCH_DRIVE_PROGRAM)};
    for (const std::string& arg : args)
      argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(to_child[0]);
  close(from_child[1]);
  started.input = to_child[1];
  char buffer[512];
  ssize_t got;
  while (started.said.find("up\n") == std::string::npos &&
         (got = read(from_child[0], buffer, sizeof buffer)) > 0)
    started.said.append(buffer, static_cast<size_t>(got));
  close(from_child[0]);
  return started;
}

// The words of the line of `said` that begins with `key`.
std::vector<std::string> Line(const std::string& said, const std::string& key) {
  std::istringstream lines(said);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream words(line);
    std::vector<std::string> found;
    for (std::string word; words >> word;) found.push_back(word);
    if (!found.empty() && found.front() == key) return found;
  }
  return {};
}

std::string FirstLineOf(const std::string& path) {
  std::ifstream file(path);
  std::string line;
  std::getline(file, line);
  return line;
}

TEST(BenchDriveTest, DirectIoLoopDeviceItsDriverAndTheEnd) {
  if (geteuid() != 0 || access("/dev/loop-control", F_OK) != 0)
    GTEST_SKIP() << "needs root and loop devices";
  signal(SIGPIPE, SIG_IGN);
  for (const bool fuse : {false, true}) {
    const Started drive =
        StartDrive({"--direct-io", fuse ? "exFAT" : "ext4", "64"});
    SCOPED_TRACE(drive.said);
    ASSERT_GT(drive.pid, 0);
    const std::string mount_point = drive.said.substr(0, drive.said.find('\n'));
    const std::vector<std::string> loop = Line(drive.said, "loop");
    ASSERT_EQ(loop.size(), 3u);
    const std::string name = loop[1].substr(loop[1].rfind('/') + 1);
    EXPECT_EQ(FirstLineOf("/sys/block/" + name + "/loop/dio"), "1");
    EXPECT_EQ(FirstLineOf("/sys/block/" + name + "/dev"), loop[2]);
    const std::vector<std::string> driver = Line(drive.said, "driver");
    if (fuse) {
      ASSERT_EQ(driver.size(), 2u);
      EXPECT_EQ(kill(std::stoi(driver[1]), 0), 0);
    } else {
      EXPECT_TRUE(driver.empty());
    }

    close(drive.input);
    int status = 0;
    ASSERT_EQ(waitpid(drive.pid, &status, 0), drive.pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    struct stat gone {};
    EXPECT_NE(stat(mount_point.c_str(), &gone), 0) << "still there";
    // A FUSE driver may hold the device a moment after its unmount, and
    // the device goes when it lets go.
    const std::string attached = "/sys/block/" + name + "/loop";
    for (int wait = 0; wait < 300 && access(attached.c_str(), F_OK) == 0;
         ++wait)
      usleep(100 * 1000);
    EXPECT_NE(access(attached.c_str(), F_OK), 0) << name << " still attached";
  }
}

}  // namespace
