// A program killed while it saves its settings must leave a settings file
// that reads, holding either what was there before or what was being saved.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <random>
#include <string>
#include <thread>

#include "gtest/gtest.h"
#include "settings/settings_io.h"
#include "testing/temp_dir.h"

namespace kuronel {
namespace {

using testing::ReadFile;
using testing::TempDir;

// Two different sets of settings and the file each gives.
struct Version {
  Settings settings;
  std::string file;
};

Version MakeVersion(const TempDir& dir, const std::string& name, bool keep) {
  Version version;
  version.settings.KeepOriginal = keep;
  version.settings.MakeReadOnly = !keep;
  version.settings.DestinationFolder = dir.MakeDir("photos-" + name) + "/";
  const std::string scratch = dir.MakeDir("scratch-" + name);
  EXPECT_TRUE(SaveSettings(scratch, version.settings, DetailSettings(),
                           RealSystemCalls())
                  .ok());
  version.file = ReadFile(SettingsFilePath(scratch));
  return version;
}

// Saves the two versions in turn until killed.
[[noreturn]] void SaveForever(const std::string& folder, const Version& a,
                              const Version& b) {
  for (bool first = true;; first = !first)
    // Killed while it saves: only the file it leaves counts.
    static_cast<void>(SaveSettings(folder, (first ? a : b).settings,
                                   DetailSettings(), RealSystemCalls()));
}

TEST(SettingsKillTest, AKilledSaveLeavesTheOldOrTheNewFile) {
  const char* wanted = std::getenv("KURONEL_KILLS");
  const int kills = wanted && *wanted ? std::atoi(wanted) : 200;
  TempDir dir;
  const Version a = MakeVersion(dir, "a", true);
  const Version b = MakeVersion(dir, "b", false);
  ASSERT_NE(a.file, b.file);
  const std::string folder = dir.MakeDir("program");
  ASSERT_TRUE(
      SaveSettings(folder, a.settings, DetailSettings(), RealSystemCalls())
          .ok());

  // The moments of the kills; KURONEL_KILL_SEED replays a run's.
  const char* given_seed = std::getenv("KURONEL_KILL_SEED");
  const unsigned seed =
      given_seed && *given_seed
          ? static_cast<unsigned>(std::strtoul(given_seed, nullptr, 10))
          : std::random_device{}();
  SCOPED_TRACE("KURONEL_KILL_SEED=" + std::to_string(seed));
  std::cout << "KURONEL_KILL_SEED=" << seed << "\n";
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> delay_us(0, 20000);
  int caught_between = 0;  // kills that left the other version
  std::string last = a.file;
  for (int kill_number = 1; kill_number <= kills; ++kill_number) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) SaveForever(folder, a, b);
    std::this_thread::sleep_for(std::chrono::microseconds(delay_us(random)));
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));

    const std::string now = ReadFile(SettingsFilePath(folder));
    ASSERT_TRUE(now == a.file || now == b.file)
        << "kill " << kill_number << " left:\n"
        << now;
    Settings loaded;
    ASSERT_TRUE(LoadSettings(folder, loaded, RealSystemCalls()).ok())
        << "kill " << kill_number;
    EXPECT_EQ(loaded.KeepOriginal, now == a.file);
    caught_between += now != last;
    last = now;
  }
  std::cout << kills << " kills while saving; the file changed version "
            << caught_between << " times\n";
}

}  // namespace
}  // namespace kuronel
