// Runs on a real disk that misbehaves on its own: a file system that fills
// up, folders the user may not write, names taken by folders and links, and
// another program taking target names while the run goes on.

#include <fcntl.h>
#include <grp.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "gtest/gtest.h"
#include "processing/plan_execution.h"
#include "testing/as_nobody.h"
#include "testing/sha256.h"
#include "testing/temp_dir.h"
#include "testing/test_drive.h"
#include "testing/tree_audit.h"

namespace kuronel {
namespace {

using testing::AsNobody;
using testing::kNobody;
using testing::ReadFile;
using testing::TempDir;

std::string Bytes(std::size_t size, char seed) {
  std::string data(size, '\0');
  for (std::size_t i = 0; i < size; ++i)
    data[i] = static_cast<char>(seed + i * 7 + (i >> 9));
  return data;
}

Settings Options(const std::string& destination, bool keep) {
  Settings options;
  options.MakeReadOnly = false;
  options.KeepOriginal = keep;
  options.DestinationFolder = destination + "/";
  return options;
}

std::vector<RowState> States(const ProcessingPlan& plan) {
  std::vector<RowState> states;
  for (const PlanRow& row : plan) states.push_back(row.State);
  return states;
}

TEST(PlanDiskTest, AFullDiskFailsOnlyTheFileThatDoesNotFit) {
  for (bool keep : {true, false}) {
    SCOPED_TRACE(keep ? "copy" : "move");
    TempDir dir;
    const testing::TestDrive disk(testing::DriveKind::kTmpfs, 1u << 20);
    if (!disk.mounted()) GTEST_SKIP() << disk.unavailable();
    const std::size_t sizes[] = {300 << 10, 300 << 10, 700 << 10, 50 << 10, 0};
    ProcessingPlan plan;
    for (std::size_t i = 0; i < std::size(sizes); ++i) {
      std::string name = "IMG_000" + std::to_string(i) + ".JPG";
      plan.push_back({dir.WriteFile("card/" + name, Bytes(sizes[i], 'a' + i)),
                      disk.Path("2004_05_06/a" + std::to_string(i) + ".JPG"),
                      RowState::kUnprocessed});
    }
    const testing::Manifest sources = testing::TakeManifest(dir.Path("card"));
    RealFileSystem disk_files{RealSystemCalls()};
    RunPlan(plan, Options(disk.path(), keep), disk_files, StatusSink());

    const RowState done = keep ? RowState::kCopied : RowState::kMoved;
    EXPECT_EQ(States(plan), (std::vector<RowState>{
                                done, done, RowState::kCopyError, done, done}));
    testing::MoveAudit audit = testing::AuditMove(
        sources, dir.Path("card"), testing::Manifest(), disk.path());
    EXPECT_TRUE(audit.ok()) << audit.Report();
    EXPECT_EQ(ReadFile(plan[2].SourcePath), Bytes(700 << 10, 'c'));
  }
}

// Folders the user may not write: a date folder that takes no copy and a
// card folder whose files cannot be deleted.
TEST(PlanDiskTest, FoldersTheUserMayNotWriteCostNothing) {
  TempDir dir;
  chmod(dir.path().c_str(), 0755);
  const std::string photo = Bytes(5000, 'p');
  ProcessingPlan plan = {
      {dir.WriteFile("card/open/A.JPG", photo + "a"),
       dir.Path("dest/locked/a0.JPG"), RowState::kUnprocessed},
      {dir.WriteFile("card/locked/B.JPG", photo + "b"),
       dir.Path("dest/open/a0.JPG"), RowState::kUnprocessed},
      {dir.WriteFile("card/open/C.JPG", photo + "c"),
       dir.Path("dest/open/a1.JPG"), RowState::kUnprocessed},
  };
  dir.MakeDir("dest/locked");
  dir.MakeDir("dest/open");
  for (const char* path :
       {"card", "card/open", "card/locked", "card/open/A.JPG",
        "card/locked/B.JPG", "card/open/C.JPG", "dest", "dest/locked",
        "dest/open"})
    if (geteuid() == 0) {
      ASSERT_EQ(chown(dir.Path(path).c_str(), kNobody, kNobody), 0) << path;
    }
  chmod(dir.Path("dest/locked").c_str(), 0555);
  chmod(dir.Path("card/locked").c_str(), 0555);
  const testing::Manifest sources = testing::TakeManifest(dir.Path("card"));

  std::string states = AsNobody([&] {
    RealFileSystem disk{RealSystemCalls()};
    RunPlan(plan, Options(dir.Path("dest"), false), disk, StatusSink());
    std::string out;
    for (const PlanRow& row : plan)
      out += StateText(row.State) + std::string("\n");
    return out;
  });
  EXPECT_EQ(states, "CopyError!\nDelError!\nOk\n");
  testing::MoveAudit audit = testing::AuditMove(
      sources, dir.Path("card"), testing::Manifest(), dir.Path("dest"));
  EXPECT_TRUE(audit.ok()) << audit.Report();
  EXPECT_EQ(audit.at_source, 2u);  // A (no copy) and B (not deletable)
}

// Whatever stands at a target name, the copy takes the next free name and
// leaves the thing in the way as it was.
TEST(PlanDiskTest, ANameTakenByAnythingIsPassedOver) {
  struct Case {
    const char* name;
    void (*occupy)(const std::string& path);
  };
  const Case cases[] = {
      {"folder", [](const std::string& p) { mkdir(p.c_str(), 0755); }},
      {"dangling link",
       [](const std::string& p) { symlink("/nonexistent/x", p.c_str()); }},
      {"link loop",
       [](const std::string& p) { symlink(p.c_str(), p.c_str()); }},
      {"FIFO", [](const std::string& p) { mkfifo(p.c_str(), 0644); }},
      {"socket",
       [](const std::string& p) {
         int fd = socket(AF_UNIX, SOCK_STREAM, 0);
         sockaddr_un address{};
         address.sun_family = AF_UNIX;
         std::strncpy(address.sun_path, p.c_str(), sizeof address.sun_path - 1);
         bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
         close(fd);
       }},
  };
  for (const Case& c : cases) {
    for (bool keep : {true, false}) {
      SCOPED_TRACE(std::string(c.name) + (keep ? ", copy" : ", move"));
      TempDir dir;
      const std::string taken = dir.MakeDir("d") + "/a0.JPG";
      c.occupy(taken);
      struct stat before {};
      ASSERT_EQ(lstat(taken.c_str(), &before), 0);
      ProcessingPlan plan = {
          {dir.WriteFile("c/IMG.JPG", "photo"), taken, RowState::kUnprocessed}};
      RealFileSystem disk{RealSystemCalls()};
      RunPlan(plan, Options(dir.Path("d"), keep), disk, StatusSink());
      EXPECT_EQ(plan[0].State, keep ? RowState::kCopied : RowState::kMoved);
      EXPECT_EQ(ReadFile(dir.Path("d/a01.JPG")), "photo");
      struct stat after {};
      ASSERT_EQ(lstat(taken.c_str(), &after), 0);
      EXPECT_EQ(after.st_ino, before.st_ino);
      EXPECT_EQ(after.st_mode, before.st_mode);
    }
  }
}

// Another program creates files under the names the run is about to use.
// No file of its ever changes, and every photo ends at a name of its own.
TEST(PlanDiskTest, AnotherProgramTakingNamesNeverLosesItsFiles) {
  TempDir dir;
  constexpr int kPhotos = 40;
  ProcessingPlan plan;
  for (int i = 0; i < kPhotos; ++i) {
    plan.push_back({dir.WriteFile("card/IMG_" + std::to_string(i) + ".JPG",
                                  Bytes(3000 + i, static_cast<char>(i))),
                    dir.Path("dest/day/a.JPG"), RowState::kUnprocessed});
  }
  dir.MakeDir("dest/day");
  const testing::Manifest sources = testing::TakeManifest(dir.Path("card"));

  // The other program takes a.JPG, a1.JPG, a2.JPG ... as fast as it can.
  std::atomic<bool> stop = false;
  std::map<std::string, std::string> theirs;
  std::thread other([&] {
    for (int k = 0; !stop && k < 4 * kPhotos; ++k) {
      std::string path = NumberedPath(dir.Path("dest/day/a.JPG"), k);
      int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
      if (fd < 0) continue;
      std::string mine = "the other program's file " + std::to_string(k);
      ssize_t ignored = write(fd, mine.data(), mine.size());
      (void)ignored;
      close(fd);
      theirs[path] = mine;
    }
  });
  RealFileSystem disk{RealSystemCalls()};
  RunPlan(plan, Options(dir.Path("dest"), false), disk, StatusSink());
  stop = true;
  other.join();

  testing::Manifest before_run;  // the other program's files count as there
  for (const auto& [path, contents] : theirs) {
    EXPECT_EQ(ReadFile(path), contents) << path;
    before_run[path.substr(dir.Path("dest").size() + 1)] =
        testing::Sha256Hex(contents);
  }
  testing::MoveAudit audit = testing::AuditMove(sources, dir.Path("card"),
                                                before_run, dir.Path("dest"));
  EXPECT_TRUE(audit.ok()) << audit.Report();
  for (const PlanRow& row : plan) {
    // A row fails only when the other program won every race for it.
    if (row.State != RowState::kMoved) {
      EXPECT_EQ(row.State, RowState::kCopyError);
    }
  }
}

}  // namespace
}  // namespace kuronel
