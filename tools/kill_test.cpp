// kuronel-batch --move is killed with SIGKILL at random moments, again and
// again, each time continuing the job it left; after every kill nothing may
// be lost (a photo only under a hidden temporary name counts as lost),
// nothing under a target name may be partial or unknown, and the run that
// finally completes leaves every file moved and no temporary file behind. A
// kill between a copy and its source's delete may leave a second copy: that
// is allowed, and counted.
//
// KURONEL_KILLS sets the kills per destination kind on the machine's own
// disks (default 100), KURONEL_DRIVE_KILLS those onto the exFAT and NTFS
// drives, where a run takes far longer (default 15); KURONEL_KILL_SEED makes
// a failing sequence repeatable.

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <iostream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "gtest/gtest.h"
#include "testing/faulty_file_system.h"
#include "testing/temp_dir.h"
#include "testing/test_drive.h"
#include "testing/tree_audit.h"
#include "tools/batch_run.h"

namespace kuronel {
namespace {

using Clock = std::chrono::steady_clock;
using testing::TempDir;

int EnvironmentNumber(const char* name, int fallback) {
  const char* text = std::getenv(name);
  return text && *text ? std::atoi(text) : fallback;
}

// A camera card of a few hundred photos over five days: small ones and a
// few of several MB. None is empty: an empty file that a killed copy left
// under a target name would pass the audit as the copy of an empty photo.
void WriteCard(const TempDir& dir, std::mt19937& random) {
  constexpr int kFiles = 240;
  const std::time_t first_day = 1083834000;  // 2004-05-06 09:00 UTC
  for (int i = 0; i < kFiles; ++i) {
    std::size_t size = i % 80 == 7   ? (2u << 20) + i
                       : i % 20 == 3 ? (256u << 10) + i
                                     : 1 + random() % 16384;
    std::string data(size, '\0');
    for (char& byte : data) byte = static_cast<char>(random());
    char name[64];
    std::snprintf(name, sizeof name, "card/DCIM/10%dCANON/IMG_%04d.JPG", i % 3,
                  i);
    const std::string path = dir.WriteFile(name, data);
    const std::time_t when = first_day + (i % 5) * 86400 + i;
    testing::SetTimes(path, when, 123456789);
  }
}

// How the copies get their names.
enum class Publication {
  // As the program does on this disk: kuronel-batch itself is run.
  kProgram,
  // As on drives without O_TMPFILE and without a no-replace rename (NTFS
  // through ntfs-3g): each copy is written under a hidden temporary name
  // and linked to its own; a move within one file system is a link and an
  // unlink. The batch run is made in a forked child over a disk that
  // refuses both.
  kHiddenTemporaries,
};

[[noreturn]] void RunMoveInThisChild(const std::string& card,
                                     const std::string& destination) {
  RealFileSystem::Options options;
  options.use_unnamed_temporary = false;
  testing::FaultyFileSystem disk(options);
  disk.FailSystemCall(testing::FaultyFileSystem::SystemCall::kRename, 0,
                      EINVAL);
  BatchOptions batch;
  std::string error;
  if (!ParseBatchArguments({"--move", "--dest", destination, card}, "/", batch,
                           error))
    _exit(126);
  _exit(RunBatch(batch, std::cout, std::cerr, nullptr, &disk));
}

// `read_only`: the copies are made read-only (exFAT keeps no such mark,
// and a move onto it that asks for one does not end as done).
pid_t StartMove(const std::string& card, const std::string& destination,
                Publication publication, bool read_only) {
  std::cout.flush();
  pid_t pid = fork();
  if (pid == 0) {
    freopen("/dev/null", "w", stdout);
    freopen("/dev/null", "w", stderr);
    if (publication == Publication::kHiddenTemporaries)
      RunMoveInThisChild(card, destination);
    std::vector<const char*> argv = {KURONEL_BATCH_PROGRAM, "--move"};
    if (!read_only) argv.push_back("--no-read-only");
    for (const char* arg : {"--dest", destination.c_str(), card.c_str()})
      argv.push_back(arg);
    argv.push_back(nullptr);
    execv(KURONEL_BATCH_PROGRAM, const_cast<char* const*>(argv.data()));
    _exit(127);
  }
  return pid;
}

struct Outcome {
  bool killed = false;
  int exit_code = -1;
  Clock::duration took{};
};

// Runs a move and kills it after `delay` unless it ended before.
Outcome RunMove(const std::string& card, const std::string& destination,
                Publication publication, bool read_only,
                Clock::duration delay) {
  const Clock::time_point start = Clock::now();
  pid_t pid = StartMove(card, destination, publication, read_only);
  int status = 0;
  Outcome outcome;
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (Clock::now() - start >= delay) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  outcome.took = Clock::now() - start;
  outcome.killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
  if (WIFEXITED(status)) outcome.exit_code = WEXITSTATUS(status);
  return outcome;
}

class KillTest : public ::testing::Test {
 protected:
  static int Kills() { return EnvironmentNumber("KURONEL_KILLS", 100); }

  // Kills moves from `card_base` into `destination_base` until `kills` have
  // struck, auditing after each.
  void KillMovesRepeatedly(const std::string& card_base,
                           const std::string& destination_base,
                           Publication publication, int kills_wanted,
                           bool read_only = true) {
    const unsigned seed = static_cast<unsigned>(EnvironmentNumber(
        "KURONEL_KILL_SEED", static_cast<int>(time(nullptr))));
    std::mt19937 random(seed);
    SCOPED_TRACE("KURONEL_KILL_SEED=" + std::to_string(seed));
    testing::DigestCache digests;
    Clock::duration whole_run = std::chrono::seconds(1);
    int kills = 0, rounds = 0;
    std::size_t second_copies = 0;
    bool measured = false;
    while (kills < kills_wanted) {
      TempDir card_dir(card_base), destination_dir(destination_base);
      const std::string card = card_dir.Path("card");
      const std::string destination = destination_dir.Path("photos");
      WriteCard(card_dir, random);
      const testing::Manifest sources = testing::TakeManifest(card, &digests);
      ++rounds;
      for (int attempt = 1;; ++attempt) {
        ASSERT_LT(attempt, 10000) << "the move never completes";
        // The first round measures an uninterrupted run; later kills fall
        // anywhere within such a run.
        std::uniform_int_distribution<long long> spread(
            0, std::chrono::duration_cast<std::chrono::microseconds>(whole_run)
                   .count());
        Clock::duration delay = measured
                                    ? std::chrono::microseconds(spread(random))
                                    : std::chrono::hours(1);
        Outcome outcome =
            RunMove(card, destination, publication, read_only, delay);
        // A killed copy may leave its temporary file; the run that completes
        // removes it with the others in the folders it writes to.
        testing::MoveAudit audit = testing::AuditMove(
            sources, card, testing::Manifest(), destination,
            {.allow_duplicates = true, .allow_temporaries = outcome.killed},
            &digests);
        ASSERT_TRUE(audit.ok()) << "after kill " << kills << " (round "
                                << rounds << "): " << audit.Report();
        if (!outcome.killed) {
          ASSERT_EQ(outcome.exit_code, 0) << "round " << rounds;
          ASSERT_EQ(audit.at_source, 0u) << audit.Report();
          ASSERT_GE(audit.at_target, sources.size()) << audit.Report();
          second_copies += audit.at_target - sources.size();
          if (!measured) whole_run = outcome.took;
          measured = true;
          break;
        }
        if (++kills == kills_wanted) break;
      }
    }
    std::cout << kills << " kills survived in " << rounds << " rounds ("
              << second_copies << " second copies; seed " << seed
              << ", an uninterrupted run took "
              << std::chrono::duration_cast<std::chrono::milliseconds>(
                     whole_run)
                     .count()
              << " ms)\n";
  }
};

// Where fsync costs nothing, kills can fall anywhere in the run without the
// test taking long.
TEST_F(KillTest, MoveWithinOneFileSystem) {
  KillMovesRepeatedly(testing::FastTempBase(), testing::FastTempBase(),
                      Publication::kProgram, Kills());
}

TEST_F(KillTest, MoveAcrossFileSystems) {
  const std::string card_base = testing::DefaultTempBase();
  const std::string fast = testing::FastTempBase();
  if (!testing::OnDifferentFileSystems(card_base, fast))
    GTEST_SKIP() << card_base << " and " << fast
                 << " are not two writable file systems here";
  KillMovesRepeatedly(card_base, fast, Publication::kProgram, Kills());
}

// Copies through hidden temporary names across file systems, and moves by
// link and unlink within one.
TEST_F(KillTest, MoveThroughHiddenTemporaries) {
  const std::string card_base = testing::DefaultTempBase();
  const std::string fast = testing::FastTempBase();
  KillMovesRepeatedly(fast, fast, Publication::kHiddenTemporaries,
                      Kills() * 3 / 10);
  // The half within one file system has run and counts; the other half is
  // told as skipped.
  if (!testing::OnDifferentFileSystems(card_base, fast))
    GTEST_SKIP() << "not run: the half across file systems (" << card_base
                 << " and " << fast << " are one file system here)";
  KillMovesRepeatedly(card_base, fast, Publication::kHiddenTemporaries,
                      Kills() * 6 / 10);
}

// Onto the drives people copy photos to: exFAT, where copies are published
// over a reservation of their name, and NTFS, where they are linked to it.
TEST_F(KillTest, MoveOntoExfatAndNtfsDrives) {
  std::string not_run;  // the drives that could not be mounted
  for (testing::DriveKind kind :
       {testing::DriveKind::kExfat, testing::DriveKind::kNtfs}) {
    SCOPED_TRACE(testing::DriveKindName(kind));
    testing::TestDrive drive(kind);
    if (!drive.mounted()) {
      not_run += drive.unavailable() + "; ";
      continue;
    }
    KillMovesRepeatedly(testing::FastTempBase(), drive.path(),
                        Publication::kProgram,
                        EnvironmentNumber("KURONEL_DRIVE_KILLS", 15),
                        kind != testing::DriveKind::kExfat);
  }
  // A part not run is told as a skip, never passed over.
  if (!not_run.empty()) GTEST_SKIP() << "not run: " << not_run;
}

}  // namespace
}  // namespace kuronel
