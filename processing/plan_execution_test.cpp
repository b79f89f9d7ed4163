#include "processing/plan_execution.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "testing/faulty_file_system.h"
#include "testing/forwarding_batch.h"
#include "testing/memory_file_system.h"
#include "testing/temp_dir.h"

namespace kuronel {
namespace {

using testing::Exists;
using testing::FaultyFileSystem;
using testing::FolderEntries;
using testing::MemoryFileSystem;
using testing::ReadFile;
using testing::SetTimes;
using testing::StatOf;
using testing::TempDir;
using Step = FaultyFileSystem::CopyStep;
using Op = FaultyFileSystem::Operation;

Settings Options(bool move, bool rename, bool read_only, bool keep,
                 std::string destination = "/nowhere/") {
  Settings options;
  options.MoveToDateFolder = move;
  options.RenameToDateFile = rename;
  options.MakeReadOnly = read_only;
  options.KeepOriginal = keep;
  options.DestinationFolder = std::move(destination);
  return options;
}

// The row's state; its reason, when asked for.
RowState RunOne(const std::string& source, const std::string& new_path,
                const Settings& options, FileSystem& fs,
                FileResult* failure = nullptr) {
  ProcessingPlan plan = {PlanRow{source, new_path, RowState::kUnprocessed}};
  RunPlan(plan, options, fs, {});
  if (failure != nullptr) *failure = plan[0].failure;
  return plan[0].State;
}

// The permissions of a new file of this process: 0666 less the umask.
mode_t NewFileMode() {
  const mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

std::string Photo(std::size_t size = 30000) {
  std::string data(size, '\0');
  for (std::size_t i = 0; i < size; ++i)
    data[i] = static_cast<char>(i * 7 + i / 251);
  return data;
}

TEST(PlanExecutionTest, ProgressBarFillsToTheLastRow) {
  EXPECT_EQ(ProgressText(3), "■■■□□□□□□□実行中");
  EXPECT_EQ(ProgressText(0), "□□□□□□□□□□実行中");
  EXPECT_EQ(ProgressText(10), "■■■■■■■■■■実行中");

  struct Case {
    std::size_t rows;
    std::vector<std::string> bars;
  };
  auto bars = [](std::vector<int> cells) {
    std::vector<std::string> texts;
    for (int f : cells) texts.push_back(ProgressText(f));
    return texts;
  };
  const Case cases[] = {
      {10, bars({0, 1, 2, 3, 4, 5, 6, 7, 8, 10})},
      {11, bars({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10})},
      {1, bars({10})},  // a plan of one row shows the full bar
  };
  RealFileSystem fs{RealSystemCalls()};
  for (const Case& c : cases) {
    ProcessingPlan plan(c.rows,
                        PlanRow{"/nonexistent/a.JPG", "/nonexistent/b.JPG"});
    std::vector<std::string> shown;
    std::vector<std::size_t> done;
    RunPlan(
        plan, Options(true, true, true, true), fs,
        [&](const std::string& text) { shown.push_back(text); },
        {.row_done = [&](std::size_t i, std::uint64_t) { done.push_back(i); }});
    EXPECT_EQ(shown, c.bars) << c.rows;
    EXPECT_EQ(done.size(), c.rows);
    for (const PlanRow& row : plan) EXPECT_EQ(row.State, RowState::kNotFound);
  }
}

TEST(PlanExecutionTest, NumberGoesBeforeTheFileNamesExtension) {
  EXPECT_EQ(NumberedPath("/d/a0.JPG", 0), "/d/a0.JPG");
  EXPECT_EQ(NumberedPath("/d/a0.JPG", 1), "/d/a01.JPG");
  EXPECT_EQ(NumberedPath("/d/a0.JPG", 12), "/d/a012.JPG");
  EXPECT_EQ(NumberedPath("/d/X.JPG/a0.JPG", 1), "/d/X.JPG/a01.JPG");
  EXPECT_EQ(NumberedPath("/d/X.JPG/a0.jpg", 1), "/d/X.JPG/a01.jpg");
  EXPECT_EQ(NumberedPath("/d/X.JPG/NOEXT", 2), "/d/X.JPG/NOEXT2");
  EXPECT_EQ(NumberedPath("/d/zz.JPG1", 1), "/d/zz1.JPG1");
}

// A copy gets a new file's permissions, not a card's 0777.
TEST(PlanExecutionTest, CopiesKeepContentsAndTimeWithANewFilesPermissions) {
  TempDir dir;
  RealFileSystem fs{RealSystemCalls()};
  std::string source = dir.WriteFile("c/IMG_0001.JPG", Photo());
  ASSERT_EQ(chmod(source.c_str(), 0777), 0);
  SetTimes(source, 1083838272, 0);
  std::string new_path = dir.Path("d/2004_05_06/2004_05_06a0.JPG");

  for (bool read_only : {false, true}) {
    SCOPED_TRACE(read_only);
    std::string target = read_only ? NumberedPath(new_path, 1) : new_path;
    EXPECT_EQ(
        RunOne(source, new_path, Options(true, true, read_only, true), fs),
        RowState::kCopied);
    EXPECT_EQ(ReadFile(target), Photo());
    const struct stat st = StatOf(target);
    EXPECT_EQ(st.st_mode & 07777, NewFileMode() & (read_only ? 0444u : 0666u));
    EXPECT_EQ(st.st_mtim.tv_sec, 1083838272);
    EXPECT_EQ(ReadFile(source), Photo());
  }
}

TEST(PlanExecutionTest, TakenNamesGetTheFirstFreeNumber) {
  MemoryFileSystem fs;
  fs.WriteFile("/c/a.JPG", "a");
  fs.WriteFile("/c/b.JPG", "b");
  fs.WriteFile("/c/c.JPG", "c");
  const std::string new_path = "/d/2004_05_06a0.JPG";
  fs.WriteFile(new_path, "in the way");
  fs.WriteFile("/d/2004_05_06a02.JPG", "also in the way");
  // Three rows with the same new path, the first already "重複".
  ProcessingPlan plan = {{"/c/a.JPG", new_path, RowState::kDuplicate},
                         {"/c/b.JPG", new_path, RowState::kDuplicate},
                         {"/c/c.JPG", new_path, RowState::kDuplicate}};
  RunPlan(plan, Options(true, true, false, true), fs, {});
  for (const PlanRow& row : plan) {
    EXPECT_EQ(row.State, RowState::kCopied);
    EXPECT_EQ(row.NewPath, new_path);  // the plan keeps the planned name
  }
  EXPECT_EQ(fs.Contents(new_path), "in the way");
  EXPECT_EQ(fs.Contents("/d/2004_05_06a01.JPG"), "a");
  EXPECT_EQ(fs.Contents("/d/2004_05_06a02.JPG"), "also in the way");
  EXPECT_EQ(fs.Contents("/d/2004_05_06a03.JPG"), "b");
  EXPECT_EQ(fs.Contents("/d/2004_05_06a04.JPG"), "c");
  EXPECT_EQ(plan[2].TargetPath, "/d/2004_05_06a04.JPG");
}

TEST(PlanExecutionTest, BothNameOptionsOff) {
  struct Case {
    bool read_only, keep;
    RowState state;
    std::set<std::string> files_after;
    mode_t source_mode;  // 0: the source is gone
  };
  const Case cases[] = {
      // A rename by copy, with and without the delete.
      {false, false, RowState::kMoved, {"IMG_00011.JPG"}, 0},
      {false, true, RowState::kCopied, {"IMG_0001.JPG", "IMG_00011.JPG"}, 0644},
      // Attribute-only: the file itself becomes read-only and is never
      // deleted, since it is the only copy.
      {true, true, RowState::kReadOnly, {"IMG_0001.JPG"}, 0444},
      {true, false, RowState::kDelError, {"IMG_0001.JPG"}, 0444},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.read_only << c.keep);
    TempDir dir;
    RealFileSystem fs{RealSystemCalls()};
    std::string source = dir.WriteFile("c/IMG_0001.JPG", Photo());
    ASSERT_EQ(chmod(source.c_str(), 0644), 0);
    EXPECT_EQ(
        RunOne(source, source, Options(false, false, c.read_only, c.keep), fs),
        c.state);
    EXPECT_EQ(FolderEntries(dir.Path("c")), c.files_after);
    if (c.source_mode) {
      EXPECT_EQ(StatOf(source).st_mode & 07777, c.source_mode);
    }
    for (const std::string& name : c.files_after)
      EXPECT_EQ(ReadFile(dir.Path("c/" + name)), Photo());
  }
}

TEST(PlanExecutionTest, MissingSourceAndUncreatableFolder) {
  TempDir dir;
  RealFileSystem fs{RealSystemCalls()};
  std::string gone = dir.WriteFile("c/gone.JPG", "x");
  std::string blocked = dir.WriteFile("c/blocked.JPG", "b");
  std::string fine = dir.WriteFile("c/fine.JPG", "f");
  dir.WriteFile("file", "a regular file cannot hold a folder");
  ProcessingPlan plan = {
      {gone, dir.Path("d/a0.JPG"), RowState::kUnprocessed},
      {blocked, dir.Path("file/sub/a1.JPG"), RowState::kUnprocessed},
      {fine, dir.Path("d/a2.JPG"), RowState::kUnprocessed}};
  ASSERT_EQ(unlink(gone.c_str()), 0);  // removed after planning
  RunPlan(plan, Options(true, true, false, false), fs, {});
  EXPECT_EQ(plan[0].State, RowState::kNotFound);
  EXPECT_EQ(plan[1].State, RowState::kDirError);
  EXPECT_EQ(plan[2].State, RowState::kMoved);
  // Each failed row says which operation failed on which path, and why.
  EXPECT_EQ(plan[0].failure.Describe(),
            gone + ": open: " + std::strerror(ENOENT));
  EXPECT_EQ(plan[1].failure.Describe(),
            dir.Path("file") +
                ": create folder: something other than a folder has the name");
  EXPECT_TRUE(plan[2].failure.ok());
  EXPECT_EQ(ReadFile(blocked), "b");  // neither copied nor deleted
  EXPECT_EQ(FolderEntries(dir.Path("d")), std::set<std::string>{"a2.JPG"});
}

TEST(PlanExecutionTest, ExtensionInAFolderNameIsLeftAlone) {
  MemoryFileSystem fs;
  fs.WriteFile("/c/IMG.JPG", Photo());
  const std::string new_path = "/X.JPG/2004_05_06/2004_05_06a0.JPG";
  fs.WriteFile(new_path, "taken");
  EXPECT_EQ(
      RunOne("/c/IMG.JPG", new_path, Options(true, true, false, false), fs),
      RowState::kMoved);
  EXPECT_EQ(fs.Contents("/X.JPG/2004_05_06/2004_05_06a01.JPG"), Photo());
  EXPECT_FALSE(fs.NameTaken("/X1.JPG"));
  EXPECT_FALSE(fs.NameTaken("/c/IMG.JPG"));
}

TEST(PlanExecutionTest, ReadOnlySourceIsCopiedButKept) {
  TempDir dir;
  RealFileSystem fs{RealSystemCalls()};
  std::string source = dir.WriteFile("c/IMG.JPG", Photo());
  ASSERT_EQ(chmod(source.c_str(), 0444), 0);
  std::string new_path = dir.Path("d/a0.JPG");
  EXPECT_EQ(RunOne(source, new_path, Options(true, true, false, false), fs),
            RowState::kDelError);
  EXPECT_EQ(ReadFile(source), Photo());
  EXPECT_EQ(ReadFile(new_path), Photo());
  EXPECT_EQ(StatOf(new_path).st_mode & 07777, NewFileMode());
}

// A drive that accepts chmod and keeps nothing of it (ntfs-3g without
// permissions): read-only is not claimed, and the copy or the file stays.
TEST(PlanExecutionTest, ReadOnlyThatDoesNotHoldIsAnError) {
  for (bool attribute_only : {false, true}) {
    SCOPED_TRACE(attribute_only);
    TempDir dir;
    FaultyFileSystem fs;
    fs.IgnoreSystemCall(FaultyFileSystem::SystemCall::kChmod);
    std::string source = dir.WriteFile("c/IMG.JPG", Photo());
    std::string new_path = dir.Path("d/a0.JPG");
    EXPECT_EQ(RunOne(source, new_path,
                     Options(!attribute_only, !attribute_only, true, true), fs),
              RowState::kAttrError);
    EXPECT_EQ(ReadFile(source), Photo());
    if (!attribute_only) {
      EXPECT_EQ(ReadFile(new_path), Photo());
    }
  }
}

// Neither a rename nor a copy succeeds: the source must stay whatever the
// options, and the row says the copy failed, not that a copy exists that is
// not read-only.
TEST(PlanExecutionTest, FailedCopyNeverDeletesTheSource) {
  for (bool read_only : {false, true}) {
    SCOPED_TRACE(read_only);
    TempDir dir;
    FaultyFileSystem fs;
    fs.FailCall(Op::kMove);
    fs.FailCall(Op::kCopy);
    std::string source = dir.WriteFile("c/IMG.JPG", Photo());
    std::string new_path = dir.Path("d/a0.JPG");
    EXPECT_EQ(
        RunOne(source, new_path, Options(true, true, read_only, false), fs),
        RowState::kCopyError);
    EXPECT_TRUE(ReadFile(source) == Photo());
    EXPECT_TRUE(FolderEntries(dir.Path("d")).empty());
  }
}

TEST(PlanExecutionTest, SourceChangedWhileCopiedIsKept) {
  enum Change { kAppend, kTouch, kDelete };
  for (Change change : {kAppend, kTouch, kDelete}) {
    SCOPED_TRACE(change);
    TempDir dir;
    FaultyFileSystem fs({.chunk_bytes = 4096});
    fs.FailCall(Op::kMove);  // copied, as between two file systems
    std::string source = dir.WriteFile("c/MVI.AVI", Photo(20000));
    std::string new_path = dir.Path("d/a0.AVI");
    ProcessingPlan plan = {{source, new_path, RowState::kUnprocessed}};
    bool changed = false;
    RunObserver observer{.copy_progress = [&](std::uint64_t, std::uint64_t) {
      if (changed) return;
      changed = true;
      if (change == kAppend) {
        std::ofstream(source, std::ios::app) << "more";
      } else if (change == kTouch) {
        SetTimes(source, 1, 0);
      } else {
        unlink(source.c_str());
      }
    }};
    RunPlan(plan, Options(true, true, false, false), fs, {}, observer);
    if (change == kDelete) {
      // Deleted by someone else while open: the copy still gets every byte.
      EXPECT_EQ(plan[0].State, RowState::kCopied);
      EXPECT_TRUE(ReadFile(new_path) == Photo(20000));
      continue;
    }
    // The copy may hold a mix of old and new bytes: it is not published,
    // and the row says why in words of its own, not "Resource temporarily
    // unavailable".
    EXPECT_EQ(plan[0].State, RowState::kCopyError);
    EXPECT_EQ(plan[0].failure.Reason(),
              "the source changed while it was copied");
    EXPECT_TRUE(Exists(source));
    EXPECT_FALSE(Exists(new_path));
    EXPECT_TRUE(FolderEntries(dir.Path("d")).empty());
  }
}

// Failures the disk gives at its own moment. Whatever fails, the source is
// whole, the target folder holds no partial and no temporary file, and the
// row names the failing step.
TEST(PlanExecutionTest, DiskFaultsNeverCostTheSource) {
  struct Case {
    const char* name;
    Step step;
    std::uint64_t after_bytes;
    int error;
    bool read_only;
    RowState state;
  };
  const Case cases[] = {
      {"no space midway", Step::kWrite, 9000, ENOSPC, false,
       RowState::kCopyError},
      {"no space midway, read-only", Step::kWrite, 9000, ENOSPC, true,
       RowState::kCopyError},
      {"file fsync", Step::kSyncFile, 0, EIO, false, RowState::kCopyError},
      {"final link", Step::kPublish, 0, EIO, false, RowState::kCopyError},
      {"final link, read-only", Step::kPublish, 0, EIO, true,
       RowState::kCopyError},
      {"folder fsync", Step::kSyncFolder, 0, EIO, false, RowState::kCopyError},
      {"read back with a byte changed", Step::kReadBack, 0, EIO, true,
       RowState::kCopyError},
  };
  for (bool unnamed : {true, false}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(::testing::Message() << c.name << " unnamed " << unnamed);
      TempDir dir;
      FaultyFileSystem fs(
          {.use_unnamed_temporary = unnamed, .chunk_bytes = 4096});
      fs.FailCopyStep(c.step, 1, c.after_bytes, c.error);
      fs.FailCall(Op::kMove);  // copied, as between two file systems
      std::string first = dir.WriteFile("c/1.JPG", Photo());
      std::string second = dir.WriteFile("c/2.JPG", Photo(100));
      ProcessingPlan plan = {
          {first, dir.Path("d/a0.JPG"), RowState::kUnprocessed},
          {second, dir.Path("d/a1.JPG"), RowState::kUnprocessed}};
      bool partial_seen = false;
      RunObserver observer{
          .copy_progress = [&](std::uint64_t done, std::uint64_t total) {
            // Published once whole, the copy is read back.
            if (done < total) partial_seen |= Exists(dir.Path("d/a0.JPG"));
          }};
      RunPlan(plan, Options(true, true, c.read_only, false), fs, {}, observer);
      EXPECT_EQ(plan[0].State, c.state);
      EXPECT_EQ(ReadFile(first), Photo());
      EXPECT_FALSE(partial_seen);
      // The next row is not affected.
      EXPECT_EQ(plan[1].State, RowState::kMoved);
      EXPECT_EQ(FolderEntries(dir.Path("d")), std::set<std::string>{"a1.JPG"});
    }
  }
}

TEST(PlanExecutionTest, FailingOperationsOfTheRun) {
  struct Case {
    const char* name;
    Op operation;
    bool move, read_only;
    RowState state;
    bool source_kept;
    std::set<std::string> target_files;
  };
  const Case cases[] = {
      {"copy", Op::kCopy, true, false, RowState::kCopyError, true, {}},
      {"delete",
       Op::kDeleteFile,
       true,
       false,
       RowState::kDelError,
       true,
       {"a0.JPG"}},
      {"folder creation",
       Op::kCreateDirectories,
       true,
       false,
       RowState::kDirError,
       true,
       {}},
      // The copy is whole, so the source goes; the row still says that the
      // copy is not read-only.
      {"read-only on the copy",
       Op::kSetReadOnly,
       true,
       true,
       RowState::kAttrError,
       false,
       {"a0.JPG"}},
      // Attribute-only: the file stays, writable, as the only copy.
      {"read-only in place",
       Op::kSetReadOnly,
       false,
       true,
       RowState::kAttrError,
       true,
       {}},
      // The read-only mark may not be on the disk: not "Ok", though the copy
      // is, read back, and its source gone.
      {"flush of the read-only mark",
       Op::kFlushFile,
       true,
       true,
       RowState::kAttrError,
       false,
       {"a0.JPG"}},
      {"flush of the read-only mark in place",
       Op::kFlushFile,
       false,
       true,
       RowState::kAttrError,
       true,
       {}},
      // The copy cannot be checked against its source: the source stays.
      {"checks before the delete",
       Op::kStat,
       true,
       false,
       RowState::kCopied,
       true,
       {"a0.JPG"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    FaultyFileSystem fs;
    fs.FailCall(c.operation);
    fs.FailCall(Op::kMove);  // copied, as between two file systems
    std::string source = dir.WriteFile("c/IMG.JPG", Photo());
    std::string new_path = c.move ? dir.Path("d/a0.JPG") : source;
    FileResult failure;
    EXPECT_EQ(RunOne(source, new_path,
                     Options(c.move, c.move, c.read_only, false), fs, &failure),
              c.state);
    EXPECT_EQ(Exists(source), c.source_kept);
    // A row that is not done says whether its source is gone.
    if (c.state == RowState::kAttrError && !c.source_kept) {
      EXPECT_EQ(failure.outcome(), FailureOutcome::kSourceDeleted);
    }
    if (c.source_kept) {
      EXPECT_EQ(ReadFile(source), Photo());
    }
    if (c.move) {
      EXPECT_EQ(FolderEntries(dir.Path("d")), c.target_files);
    }
  }
}

// A kept source's copy is on disk and read back before its row is done, as
// a moved one's is: a power cut after "OK" loses nothing, and a drive that
// stores a byte wrong is caught.
TEST(PlanExecutionTest, KeptCopiesAreOnDiskAndReadBackBeforeTheirRowsAreDone) {
  const Step steps[] = {Step::kSyncFile, Step::kSyncFolder, Step::kReadBack};
  for (Step step : steps) {
    SCOPED_TRACE(static_cast<int>(step));
    TempDir dir;
    FaultyFileSystem fs;
    std::string a = dir.WriteFile("c/a.JPG", Photo());
    std::string b = dir.WriteFile("c/b.JPG", Photo(100));
    ProcessingPlan plan = {{a, dir.Path("d/a0.JPG"), RowState::kUnprocessed},
                           {b, dir.Path("d/a1.JPG"), RowState::kUnprocessed}};
    fs.FailCopyStep(step, 1);
    std::vector<RowState> when_done;
    RunPlan(plan, Options(true, true, false, true), fs, {},
            {.row_done = [&](std::size_t i, std::uint64_t) {
              when_done.push_back(plan[i].State);
            }});
    EXPECT_EQ(when_done,
              (std::vector<RowState>{RowState::kCopyError, RowState::kCopied}));
    EXPECT_EQ(ReadFile(a), Photo());
    EXPECT_EQ(FolderEntries(dir.Path("d")), std::set<std::string>{"a1.JPG"});
  }
}

// A batch's copies are flushed and read back beside the next batch's
// writes: still each row is reported once, in order, and only when its
// copy stands read back at its name.
TEST(PlanExecutionTest, RowsAreReportedInOrderOnceTheirCopiesAreDone) {
  TempDir dir;
  RealFileSystem fs{RealSystemCalls()};
  ProcessingPlan plan;
  for (std::size_t i = 0; i < 40; ++i)
    plan.push_back({dir.WriteFile("c/" + std::to_string(i), Photo(i * 999)),
                    dir.Path("d/a" + std::to_string(i) + ".JPG"),
                    RowState::kUnprocessed});
  std::vector<std::size_t> reported;
  RunPlan(plan, Options(true, true, true, true), fs, {},
          {.row_done = [&](std::size_t i, std::uint64_t) {
            reported.push_back(i);
            EXPECT_EQ(plan[i].State, RowState::kCopied);
            EXPECT_EQ(ReadFile(plan[i].TargetPath), Photo(i * 999));
            EXPECT_EQ(StatOf(plan[i].TargetPath).st_mode & 0222, 0u);
          }});
  std::vector<std::size_t> in_order(plan.size());
  for (std::size_t i = 0; i < in_order.size(); ++i) in_order[i] = i;
  EXPECT_EQ(reported, in_order);
}

// Another program takes a name just before its copy begins, or while the
// copies of its batch wait for their flush: the copy goes to the next free
// name, the other file stays, and every later row of the batch keeps its
// own copy.
TEST(PlanExecutionTest, ANameTakenBeforeItsBatchIsFlushedGoesToTheNextFree) {
  // The name goes in the second batch (the first is the first row alone):
  // as its copy is added, or when the batch is to be flushed.
  class TakenAtFlush : public RealFileSystem {
   public:
    TakenAtFlush(std::string name, bool at_add)
        : RealFileSystem(RealSystemCalls()),
          name_(std::move(name)),
          at_add_(at_add) {}
    std::unique_ptr<CopyBatch> NewCopyBatch(bool mark_read_only) override {
      return std::make_unique<Batch>(
          ++batches_ == 2 ? name_ : "", at_add_,
          RealFileSystem::NewCopyBatch(mark_read_only));
    }

   private:
    struct Batch : testing::ForwardingBatch {
      Batch(std::string taken, bool when_added, std::unique_ptr<CopyBatch> on)
          : ForwardingBatch(std::move(on)),
            name(std::move(taken)),
            at_add(when_added) {}
      Ticket Add(const std::string& source, const std::string& target,
                 bool goes, const CopyProgress& progress) override {
        if (at_add && target == name) std::ofstream(name) << "theirs";
        return ForwardingBatch::Add(source, target, goes, progress);
      }
      void Finish() override {
        if (!at_add && !name.empty()) std::ofstream(name) << "theirs";
        ForwardingBatch::Finish();
      }
      std::string name;
      bool at_add;
    };
    std::string name_;
    bool at_add_;
    int batches_ = 0;
  };
  for (bool at_add : {false, true}) {
    SCOPED_TRACE(at_add ? "taken as the copy is added" : "taken at the flush");
    TempDir dir;
    ProcessingPlan plan;
    for (const char* name : {"a", "b", "c"}) {
      plan.push_back({dir.WriteFile(std::string("c/") + name + ".JPG", name),
                      dir.Path(std::string("d/") + name + "0.JPG"),
                      RowState::kUnprocessed});
    }
    TakenAtFlush fs(dir.Path("d/b0.JPG"), at_add);
    RunPlan(plan, Options(true, true, false, true), fs, {});
    for (const PlanRow& row : plan) EXPECT_EQ(row.State, RowState::kCopied);
    EXPECT_EQ(plan[1].TargetPath, dir.Path("d/b01.JPG"));
    EXPECT_EQ(ReadFile(dir.Path("d/b0.JPG")), "theirs");
    EXPECT_EQ(ReadFile(dir.Path("d/b01.JPG")), "b");
    EXPECT_EQ(ReadFile(dir.Path("d/c0.JPG")), "c");
  }
}

// A card whose reads fail, pulled out in the middle of a copy: asked for
// the file afterwards, its drive answers `error`.
class PulledCard : public FaultyFileSystem {
 public:
  FileResult FileError(const std::string& path) override {
    return SystemCallFaultStruck() ? FileResult(FileOperation::kOpen, path, EIO)
                                   : FaultyFileSystem::FileError(path);
  }
};

// A source whose drive went away (a card pulled out) says so on every row
// it touches, whatever step met it first; a file deleted from a card that is
// still there is only not found.
TEST(PlanExecutionTest, SourceOnAGoneDriveSaysWhy) {
  using Call = FaultyFileSystem::SystemCall;
  enum class Event { kDriverGone, kMountPointGone, kPulledMidCopy, kDeleted };
  const struct {
    const char* what;
    Event event;
    RowState state;
    bool drive_gone;
  } cases[] = {
      {"FUSE driver gone", Event::kDriverGone, RowState::kNotFound, true},
      {"mount point gone", Event::kMountPointGone, RowState::kNotFound, true},
      {"pulled mid-copy", Event::kPulledMidCopy, RowState::kCopyError, true},
      {"file deleted", Event::kDeleted, RowState::kNotFound, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    PulledCard fs;
    const std::string source = dir.WriteFile("c/a.JPG", Photo());
    ProcessingPlan plan = {
        {source, dir.Path("d/a0.JPG"), RowState::kUnprocessed}};
    switch (c.event) {
      case Event::kDriverGone:
        fs.FailSystemCall(Call::kStat, 0, ENOTCONN);
        break;
      case Event::kMountPointGone:
        std::filesystem::rename(dir.Path("c"), dir.Path("gone"));
        break;
      case Event::kPulledMidCopy:
        fs.FailSystemCall(Call::kRead, 0, EIO);
        break;
      case Event::kDeleted:
        std::filesystem::remove(source);
        break;
    }
    // Kept originals: a copy, which reads the card.
    RunPlan(plan, Options(true, true, false, true), fs, {});
    EXPECT_EQ(plan[0].State, c.state);
    EXPECT_EQ(plan[0].failure.cause() == FailureCause::kSourceDriveGone,
              c.drive_gone)
        << plan[0].failure.Describe();
    EXPECT_NE(
        plan[0]
            .failure.Describe(Wording::kJapanese)
            .find(c.drive_gone ? "ドライブがありません" : "ファイルを開く"),
        std::string::npos);
  }
}

}  // namespace
}  // namespace kuronel
