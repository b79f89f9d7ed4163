// Flushes of a whole drive, and the copies of a batch that rely on them.
#include "platform/drive_flush.h"

#include <sys/stat.h>

#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "platform/file_system.h"
#include "testing/faulty_system_calls.h"
#include "testing/temp_dir.h"

namespace kuronel {
namespace {

using testing::FaultySystemCalls;
using testing::TempDir;

TEST(DriveFlushTest, OnlyJournalledKernelDrivesOfRecentKernelsProveASyncfs) {
  constexpr unsigned long kExt4 = 0xEF53, kXfs = 0x58465342,
                          kBtrfs = 0x9123683E, kFuse = 0x65735546,
                          kExfat = 0x2011BAB0, kTmpfs = 0x01021994;
  const struct {
    unsigned long magic;
    const char* release;
    bool proves;
  } cases[] = {
      {kExt4, "6.1.0-18-amd64", true}, {kXfs, "5.17.0", true},
      {kBtrfs, "10.0", true},          {kExt4, "5.16.20", false},
      {kExt4, "4.19.0", false},        {kExt4, "", false},
      {kExt4, "six", false},           {kFuse, "6.1.0", false},
      {kExfat, "6.1.0", false},        {kTmpfs, "6.1.0", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message()
                 << std::hex << c.magic << " " << c.release);
    EXPECT_EQ(SyncfsMakesDurable(c.magic, c.release), c.proves);
  }
}

// A batch of copies whose drive flushes fail: whichever flush proves them,
// the whole drive's or each file's and folder's, no copy may count unless
// one did.
TEST(DriveFlushTest, ABatchCountsNoCopyWhoseFlushFailed) {
  TempDir dir;
  const std::vector<std::string> sources = {
      dir.WriteFile("card/a.jpg", "aaaa"), dir.WriteFile("card/b.jpg", "bbbb")};
  dir.MakeDir("out");
  RealFileSystem plain(RealSystemCalls());
  const bool proves = plain.FlushDrive(dir.Path("out")).has_value();
  const struct {
    const char* what;
    FaultySystemCalls::On on;
    std::vector<int> nths;  // of the flushes on `on`; 0: every one
    bool copies_count;
  } cases[] = {
      // Only the first syncfs fails: each file's fsync proves the data, each
      // folder's the names.
      {"the data's syncfs", FaultySystemCalls::On::kFolder, {1}, true},
      // The names' syncfs and the folder's fsync after it.
      {"every flush of the names",
       FaultySystemCalls::On::kFolder,
       {2, 3},
       false},
      {"every folder flush", FaultySystemCalls::On::kFolder, {0}, false},
      {"every file flush", FaultySystemCalls::On::kFile, {0}, true},
  };
  int round = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FaultySystemCalls calls;
    RealFileSystem fs({.read_back_threads = 1}, calls);
    for (int nth : c.nths)
      calls.FailCall(FaultySystemCalls::Call::kFsync, nth, EIO, c.on);
    const std::unique_ptr<CopyBatch> batch = fs.NewCopyBatch(false);
    std::vector<CopyBatch::Ticket> tickets;
    for (const std::string& source : sources)
      tickets.push_back(batch->Add(
          source, dir.Path("out/" + std::to_string(round) + BaseName(source)),
          /*source_goes_next=*/true, nullptr));
    batch->Finish();
    std::vector<CopyResult> results;
    for (CopyBatch::Ticket ticket : tickets)
      results.push_back(batch->Result(ticket));
    for (const CopyResult& result : results) {
      // Without a drive that proves a syncfs, every flush is a file's or a
      // folder's fsync, and failing every file's fails every copy.
      const bool expected =
          proves ? c.copies_count
                 : c.copies_count && c.on != FaultySystemCalls::On::kFile;
      EXPECT_EQ(result.ok, expected) << result.failure.Describe();
      EXPECT_EQ(result.ok, result.flushed && result.verified);
    }
    ++round;
  }
}

// A folder made for a batch's copies is flushed into its parent with their
// names: where the drive's flush of the names fails, by the parent's own
// fsync, and the copies in it count only once that and their folder's
// succeeded.
TEST(DriveFlushTest, ACopyInAFolderMadeForItsBatchWaitsForTheFolder) {
  TempDir dir;
  const std::string source = dir.WriteFile("card/a.jpg", "aaaa");
  dir.MakeDir("out");
  if (!RealFileSystem(RealSystemCalls()).FlushDrive(dir.Path("out")))
    GTEST_SKIP() << "the test folder's drive proves no syncfs";
  const struct {
    const char* what;
    std::vector<int> nths;  // of the folder flushes (syncfs and fsync)
    bool copy_counts;
  } cases[] = {
      {"the names' syncfs alone", {2}, true},
      {"the names' syncfs and the new folder's parent", {2, 3}, false},
      {"the names' syncfs and the new folder", {2, 4}, false},
  };
  int round = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FaultySystemCalls calls;
    RealFileSystem fs({.read_back_threads = 1}, calls);
    const std::unique_ptr<CopyBatch> batch = fs.NewCopyBatch(false);
    const std::string folder = dir.Path("out/" + std::to_string(round++));
    ASSERT_TRUE(batch->MakeFolder(folder, fs).ok());
    for (int nth : c.nths)
      calls.FailCall(FaultySystemCalls::Call::kFsync, nth, EIO,
                     FaultySystemCalls::On::kFolder);
    const CopyBatch::Ticket ticket =
        batch->Add(source, folder + "/a.jpg", true, nullptr);
    batch->Finish();
    EXPECT_EQ(batch->Result(ticket).ok, c.copy_counts);
  }
}

}  // namespace
}  // namespace kuronel
