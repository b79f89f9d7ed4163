// Every system call of a run fails in turn: the nth open, read, write, fsync,
// link, rename, mkdir, chmod, unlink, close of a written file or seek, for
// every n until the run makes fewer calls than that, with each of ENOSPC,
// EIO, EACCES and EXDEV. After each run
// nothing may be lost or overwritten, no target name may hold a partial file,
// no row may claim a file that is not complete at its target, and only the
// row that met the fault may fail. A move is then run again without faults
// and must finish the job: every photo at its target, none left behind.

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>
#include <set>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "processing/plan_execution.h"
#include "testing/faulty_file_system.h"
#include "testing/sha256.h"
#include "testing/temp_dir.h"
#include "testing/tree_audit.h"

namespace kuronel {
namespace {

using testing::FaultyFileSystem;
using testing::Manifest;
using testing::TempDir;
using Call = FaultyFileSystem::SystemCall;

constexpr Call kCalls[] = {Call::kOpen,  Call::kRead,  Call::kWrite,
                           Call::kFsync, Call::kLink,  Call::kRename,
                           Call::kMkdir, Call::kChmod, Call::kUnlink,
                           Call::kClose, Call::kSeek};
constexpr int kErrors[] = {ENOSPC, EIO, EACCES, EXDEV};

const char* CallName(Call call) {
  static const char* const kNames[] = {"open",   "read",   "write", "fsync",
                                       "link",   "rename", "mkdir", "chmod",
                                       "unlink", "stat",   "close", "seek"};
  return kNames[static_cast<int>(call)];
}

struct Scenario {
  const char* name;
  bool keep_original;
  bool read_only;
  bool unnamed_temporary;  // O_TMPFILE, else a hidden temporary name
  bool copy_range;         // copy_file_range, else read and write
  // 0, or the errno every rename of a move fails with: EXDEV makes each move
  // a copy and a delete, EINVAL a link and an unlink.
  int move_rename_error;
};

void PrintTo(const Scenario& scenario, std::ostream* out) {
  *out << scenario.name;
}

const Scenario kScenarios[] = {
    {"move by rename", false, true, true, false, 0},
    {"move by copy and delete", false, true, true, false, EXDEV},
    {"move by link and unlink, hidden temporaries", false, false, false, false,
     EINVAL},
    {"copy", true, true, true, true, 0},
    {"copy through hidden temporaries", true, false, false, false, 0},
};

// A small card: two days, an empty file, files of several chunks.
struct CardFile {
  const char* source;
  std::size_t size;
  const char* new_path;
};
const CardFile kCard[] = {
    {"DCIM/IMG_0001.JPG", 0, "2004_05_06/2004_05_06a0.JPG"},
    {"DCIM/IMG_0002.JPG", 1, "2004_05_06/2004_05_06a1.JPG"},
    {"DCIM/IMG_0003.JPG", 10000, "2004_05_06/2004_05_06a2.JPG"},
    {"DCIM/sub/IMG_0004.JPG", 5000, "2004_05_07/2004_05_07a0.JPG"},
    {"DCIM/IMG_0005.JPG", 300, "2004_05_07/2004_05_07a1.JPG"},
};
constexpr std::size_t kChunkBytes = 4096;

std::string Contents(std::size_t index, std::size_t size) {
  std::string data(size, '\0');
  std::uint32_t state = 2654435761u * static_cast<std::uint32_t>(index + 1);
  for (char& byte : data) {
    state = state * 1103515245u + 12345u;
    byte = static_cast<char>(state >> 24);
  }
  return data;
}

class FaultRun {
 public:
  explicit FaultRun(const Scenario& scenario)
      : scenario_(scenario), dir_(testing::FastTempBase()) {
    for (std::size_t i = 0; i < std::size(kCard); ++i) {
      dir_.WriteFile(std::string("card/") + kCard[i].source,
                     Contents(i, kCard[i].size));
    }
    // Someone else's file where the second photo is to go.
    dir_.WriteFile("dest/2004_05_06/2004_05_06a1.JPG", "not a photo");
    sources_ = testing::TakeManifest(Card());
    target_before_ = testing::TakeManifest(Dest());
  }

  std::string Card() const { return dir_.Path("card"); }
  std::string Dest() const { return dir_.Path("dest"); }

  Settings Options() const {
    Settings options;
    options.MakeReadOnly = scenario_.read_only;
    options.KeepOriginal = scenario_.keep_original;
    options.DestinationFolder = Dest() + "/";
    return options;
  }

  std::unique_ptr<FaultyFileSystem> NewFileSystem() const {
    RealFileSystem::Options disk;
    disk.use_unnamed_temporary = scenario_.unnamed_temporary;
    disk.use_copy_range = scenario_.copy_range;
    disk.chunk_bytes = kChunkBytes;
    auto file_system = std::make_unique<FaultyFileSystem>(disk);
    if (scenario_.move_rename_error != 0)
      file_system->FailMoveStep(FaultyFileSystem::MoveStep::kRename,
                                scenario_.move_rename_error);
    return file_system;
  }

  // One row per card file that is still on the card, as a new plan would
  // have it.
  ProcessingPlan Plan() const {
    ProcessingPlan plan;
    for (const CardFile& file : kCard) {
      std::string source = Card() + "/" + file.source;
      if (access(source.c_str(), F_OK) == 0)
        plan.push_back(
            {source, Dest() + "/" + file.new_path, RowState::kUnprocessed});
    }
    return plan;
  }

  testing::MoveAudit Audit(testing::AuditRules rules = {}) const {
    return testing::AuditMove(sources_, Card(), target_before_, Dest(), rules);
  }

  // What each row claims must hold on the disk.
  std::vector<std::string> UntruthfulRows(const ProcessingPlan& plan) const {
    const Manifest target_now = testing::TakeManifest(Dest());
    std::vector<std::string> wrong;
    for (const PlanRow& row : plan) {
      const std::string relative = row.SourcePath.substr(Card().size() + 1);
      const std::string& hash = sources_.at(relative);
      bool at_source = testing::Sha256OfFile(row.SourcePath) == hash;
      bool at_target = false;
      for (const auto& [path, target_hash] : target_now)
        at_target |= target_hash == hash && !target_before_.count(path);
      bool truthful;
      if (row.State == RowState::kMoved) {
        truthful = at_target && access(row.SourcePath.c_str(), F_OK) != 0;
      } else if (row.State == RowState::kCopied) {
        truthful = at_target && at_source;
      } else if (row.State == RowState::kAttrError && !row.TargetPath.empty()) {
        // The copy exists but is not read-only; a move deleted its source.
        truthful = at_target;
      } else {
        truthful = at_source;  // a failed row keeps its source
      }
      if (!truthful)
        wrong.push_back(row.SourcePath + " reads " + StateText(row.State));
    }
    return wrong;
  }

 private:
  const Scenario& scenario_;
  TempDir dir_;
  Manifest sources_;
  Manifest target_before_;
};

std::size_t FailedRows(const ProcessingPlan& plan) {
  std::size_t failed = 0;
  for (const PlanRow& row : plan) failed += IsSuccessState(row.State) ? 0 : 1;
  return failed;
}

std::set<std::string> FoldersOfFailedRows(const ProcessingPlan& plan) {
  std::set<std::string> folders;
  for (const PlanRow& row : plan)
    if (!IsSuccessState(row.State)) folders.insert(ParentFolder(row.NewPath));
  return folders;
}

// A failed unlink of a hidden temporary leaves it behind: it bears no target
// name, and nothing can remove it when the disk refuses.
std::vector<std::string> Problems(const testing::MoveAudit& audit, Call call) {
  std::vector<std::string> problems;
  for (const std::string& problem : audit.problems) {
    if (call == Call::kUnlink && problem.rfind("temporary file left", 0) == 0)
      continue;
    problems.push_back(problem);
  }
  return problems;
}

class PlanFaultTest : public ::testing::TestWithParam<Scenario> {};

TEST_P(PlanFaultTest, EveryFailingSystemCallLeavesTheFilesWhole) {
  const Scenario& scenario = GetParam();
  int runs = 0;
  for (Call call : kCalls) {
    for (int error : kErrors) {
      for (int nth = 1;; ++nth) {
        ASSERT_LT(nth, 1000) << "the run never stops making calls";
        SCOPED_TRACE(std::string(CallName(call)) + " #" + std::to_string(nth) +
                     " fails with " + strerror(error));
        FaultRun run(scenario);
        auto file_system = run.NewFileSystem();
        file_system->FailSystemCall(call, nth, error);
        ProcessingPlan plan = run.Plan();
        RunPlan(plan, run.Options(), *file_system, StatusSink());
        if (!file_system->SystemCallFaultStruck()) break;
        ++runs;

        EXPECT_EQ(Problems(run.Audit(), call), std::vector<std::string>());
        EXPECT_EQ(run.UntruthfulRows(plan), std::vector<std::string>());
        // One fault fails one row, or where it strikes the flush of a
        // folder (its open or its fsync) that several copies share, those
        // rows: one folder's.
        EXPECT_LE(FoldersOfFailedRows(plan).size(), 1u);
        if (call != Call::kFsync && call != Call::kOpen) {
          EXPECT_LE(FailedRows(plan), 1u);
        }

        if (!scenario.keep_original) {
          ProcessingPlan again = run.Plan();
          RunPlan(again, run.Options(), *run.NewFileSystem(), StatusSink());
          // A copy the fault kept from its delete is copied again: a second
          // copy, never a lost photo.
          testing::MoveAudit finished = run.Audit({.allow_duplicates = true});
          EXPECT_EQ(Problems(finished, call), std::vector<std::string>());
          EXPECT_EQ(finished.at_source, 0u) << finished.Report();
          EXPECT_EQ(FailedRows(again), 0u);
        }
        if (HasFailure()) return;
      }
    }
  }
  // Every kind of call occurs in every scenario but a few: a sanity floor.
  EXPECT_GT(runs, 60);
  std::cout << scenario.name << ": " << runs << " runs with a failing call\n";
}

INSTANTIATE_TEST_SUITE_P(
    Scenarios, PlanFaultTest, ::testing::ValuesIn(kScenarios),
    [](const ::testing::TestParamInfo<Scenario>& test_info) {
      std::string name;
      for (const char* c = test_info.param.name; *c; ++c)
        name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
      return name;
    });

}  // namespace
}  // namespace kuronel
