// What a run says is no more than it did: its own copies are never taken
// for new photos, overlapping runs never run at once, a file on FAT or exFAT
// stays one file however its drive numbers it, and a move that kept a source
// or left a copy writable says so and fails.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "platform/file_system.h"
#include "platform/folder_lock.h"
#include "testing/temp_dir.h"
#include "testing/test_drive.h"
#include "testing/tree_audit.h"
#include "tools/batch_test_support.h"

namespace kuronel {
namespace {

using Args = std::vector<std::string>;
using testing::DriveKind;
using testing::TempDir;
using testing::TestDrive;

constexpr time_t kDay1 = 1083844801;  // 2004-05-06 12:00:01 UTC

void WritePhotos(const std::string& folder, int count) {
  mkdir(folder.c_str(), 0755);
  for (int i = 0; i < count; ++i) {
    const std::string path = folder + "/IMG_" + std::to_string(i) + ".JPG";
    std::ofstream(path) << std::string(700 + 97 * i,
                                       static_cast<char>('a' + i));
    testing::SetTimes(path, kDay1 + 86400 * (i % 2), 0);
  }
}

// The state column of each row, and the "#" lines that give reasons.
struct BatchRun {
  testing::BatchResult result;
  std::map<std::string, int> states;
  std::vector<std::string> reasons;
};

BatchRun Batch(const Args& args) {
  BatchRun run{testing::RunBatchArgs(args), {}, {}};
  std::istringstream lines(run.result.out);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("# ", 0) == 0 && line.find(": ") != std::string::npos &&
        line.find(" files") == std::string::npos) {
      run.reasons.push_back(line);
    } else if (!line.empty() && line[0] != '#') {
      const std::size_t state = line.find('\t', line.find('\t') + 1) + 1;
      ++run.states[line.substr(state, line.find('\t', state) - state)];
    }
  }
  return run;
}

std::size_t FileCount(const std::string& root) {
  return testing::TakeManifest(root).size();
}

// Copying a folder into itself, or into the folder above it, three times
// gives three copies of each photo; a move there then sorts only the
// photos that are not sorted yet.
TEST(RunClaimsTest, RunsIntoTheOpenedFolderNeverCopyTheirOwnCopies) {
  for (bool destination_above : {false, true}) {
    SCOPED_TRACE(destination_above);
    TempDir dir;
    const std::string card = dir.Path("card");
    WritePhotos(card, 4);
    const std::string destination = destination_above ? dir.path() : card;
    for (int run = 1; run <= 3; ++run) {
      EXPECT_EQ(Batch({"--no-read-only", "--dest", destination, card}).states,
                (std::map<std::string, int>{{"OK", 4}}));
    }
    EXPECT_EQ(FileCount(dir.path()), 4u * 4u);
    WritePhotos(dir.Path("card/DCIM"), 1);
    EXPECT_EQ(
        Batch({"--move", "--no-read-only", "--dest", destination, card}).states,
        (std::map<std::string, int>{{"Ok", 5}}));
    EXPECT_EQ(FileCount(dir.path()), 4u * 4u + 1u);
  }
}

// Two runs whose folders overlap in any way never hold their locks at once;
// copies of one card beside each other still do. Runs of two users, who
// cannot see each other's registry, are kept apart by the locks a run holds
// on its folders and, shared, on every folder above them.
TEST(RunClaimsTest, OverlappingRunsAreRefused) {
  using Mode = FolderLocks::Mode;
  TempDir dir;
  mkdir(dir.Path("card").c_str(), 0755);
  mkdir(dir.Path("card/DCIM").c_str(), 0755);
  mkdir(dir.Path("out").c_str(), 0755);
  symlink(dir.Path("card").c_str(), dir.Path("link").c_str());
  struct Case {
    const char* name;
    FolderLocks::Request first, second;
    bool second_allowed;
    // Another user's run: a registry of its own, the folder locks alone.
    bool other_user = false;
  };
  const Case cases[] = {
      {"a move of a card and of its folder",
       {dir.Path("card"), Mode::kExclusive},
       {dir.Path("card/DCIM"), Mode::kExclusive},
       false},
      {"a copy of a folder of a moved card",
       {dir.Path("card"), Mode::kExclusive},
       {dir.Path("link/DCIM"), Mode::kShared},
       false},
      {"a card above a destination",
       {dir.Path("card/DCIM/new"), Mode::kExclusive},
       {dir.Path("card"), Mode::kShared},
       false},
      {"a destination not made yet",
       {dir.Path("out/new"), Mode::kExclusive},
       {dir.Path("out/new"), Mode::kExclusive},
       false},
      {"two copies of one card",
       {dir.Path("card"), Mode::kShared},
       {dir.Path("card/DCIM"), Mode::kShared},
       true},
      {"two destinations side by side",
       {dir.Path("out/a"), Mode::kExclusive},
       {dir.Path("out/b"), Mode::kExclusive},
       true},
      {"two users' moves of a card and of its folder",
       {dir.Path("card"), Mode::kExclusive},
       {dir.Path("card/DCIM"), Mode::kExclusive},
       false,
       true},
      {"two users' moves of a folder and of its card",
       {dir.Path("card/DCIM"), Mode::kExclusive},
       {dir.Path("card"), Mode::kExclusive},
       false,
       true},
      {"two users' copies of a card and of its folder",
       {dir.Path("card"), Mode::kShared},
       {dir.Path("card/DCIM"), Mode::kShared},
       true,
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FolderLocks first(RealSystemCalls());
    FolderLocks second(RealSystemCalls(),
                       c.other_user ? dir.MakeDir("tmp-b") : "/tmp");
    LockRefusal refusal;
    ASSERT_TRUE(first.TryLock({c.first}, refusal)) << refusal.reason;
    // The first run makes its destination meanwhile.
    mkdir(dir.Path("out/new").c_str(), 0755);
    EXPECT_EQ(second.TryLock({c.second}, refusal), c.second_allowed)
        << refusal.folder;
    first.Release();
    EXPECT_TRUE(second.TryLock({c.second}, refusal)) << refusal.reason;
    rmdir(dir.Path("out/new").c_str());
  }
}

// exfat-fuse and fusefat number a file anew when the kernel forgets it; a
// file there is its drive and its path. Opened as itself and through a
// link, a card gives each photo once, and a move from it deletes each
// source once its copy proves itself.
TEST(RunClaimsTest, FilesOnFatDrivesKeepTheirIdentity) {
  std::string not_run;  // the drives that could not be mounted
  for (DriveKind kind : {DriveKind::kExfat, DriveKind::kFat32}) {
    SCOPED_TRACE(DriveKindName(kind));
    TestDrive drive(kind, 64u << 20);
    if (!drive.mounted()) {
      not_run += drive.unavailable() + "; ";
      continue;
    }
    WritePhotos(drive.Path("card"), 6);
    TempDir host;
    const std::string link = host.Path("card");
    ASSERT_EQ(symlink(drive.Path("card").c_str(), link.c_str()), 0);

    RealFileSystem disk{RealSystemCalls()};
    FileInfo before, after;
    ASSERT_TRUE(disk.Stat(drive.Path("card/IMG_0.JPG"), before));
    std::ofstream("/proc/sys/vm/drop_caches") << "2\n";  // as memory runs low
    ASSERT_TRUE(disk.Stat(link + "/img_0.jpg", after));
    EXPECT_TRUE(after.SameFileAs(before));

    EXPECT_EQ(Batch({"--dry-run", "--dest", host.Path("photos"),
                     drive.Path("card"), link})
                  .states,
              (std::map<std::string, int>{{"未処理", 6}}));
    const BatchRun moved =
        Batch({"--move", "--dest", host.Path("photos"), link});
    EXPECT_EQ(moved.states, (std::map<std::string, int>{{"Ok", 6}}))
        << moved.result.out;
    EXPECT_EQ(moved.result.code, 0);
    EXPECT_EQ(FileCount(drive.Path("card")), 0u);
  }
  // A part not run is told as a skip, never passed over.
  if (!not_run.empty()) GTEST_SKIP() << "not run: " << not_run;
}

// A move is done only when its sources are gone and its copies are what was
// asked. Onto fusefat, which answers fsync without writing its device, the
// sources stay; onto exFAT, which keeps no read-only mark, the copies are
// writable. Both say so row by row and fail.
TEST(RunClaimsTest, AMoveThatDidNotDoAllItWasAskedFails) {
  struct Case {
    DriveKind kind;
    Args options;
    const char* state;
    const char* reason;
    std::size_t sources_left;
  };
  const Case cases[] = {
      {DriveKind::kFat32,
       {"--no-read-only"},
       "OK",
       "the source was kept: the drive of the copy",
       3},
      {DriveKind::kExfat, {}, "AttrError!", "; the source was deleted", 0},
  };
  std::string not_run;  // the drives that could not be mounted
  for (const Case& c : cases) {
    SCOPED_TRACE(DriveKindName(c.kind));
    TestDrive drive(c.kind, 64u << 20);
    if (!drive.mounted()) {
      not_run += drive.unavailable() + "; ";
      continue;
    }
    TempDir card;
    WritePhotos(card.path(), 3);
    const testing::Manifest sources = testing::TakeManifest(card.path());
    Args args = c.options;
    for (const std::string& arg : {std::string("--move"), std::string("--dest"),
                                   drive.Path("photos"), card.path()})
      args.push_back(arg);
    const BatchRun run = Batch(args);
    EXPECT_EQ(run.result.code, 1);
    EXPECT_EQ(run.states, (std::map<std::string, int>{{c.state, 3}}));
    ASSERT_EQ(run.reasons.size(), 3u) << run.result.out;
    EXPECT_NE(run.reasons[0].find(c.reason), std::string::npos)
        << run.reasons[0];
    EXPECT_EQ(FileCount(card.path()), c.sources_left);
    const testing::MoveAudit audit =
        testing::AuditMove(sources, card.path(), testing::Manifest(),
                           drive.Path("photos"), {.allow_duplicates = true});
    EXPECT_TRUE(audit.ok()) << audit.Report();
  }
  // A part not run is told as a skip, never passed over.
  if (!not_run.empty()) GTEST_SKIP() << "not run: " << not_run;
}

}  // namespace
}  // namespace kuronel
