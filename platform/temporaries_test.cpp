#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <iostream>
#include <set>
#include <string>

#include "gtest/gtest.h"
#include "platform/file_system.h"
#include "platform/path.h"
#include "testing/faulty_system_calls.h"
#include "testing/temp_dir.h"
#include "testing/test_drive.h"

namespace kuronel {
namespace {

using testing::FolderEntries;
using testing::ReadFile;
using testing::TempDir;

// Only names this program made pass; in capitals too, as FAT may show them.
TEST(TemporariesTest, OnlyTheProgramsOwnNamesAreTemporaries) {
  const std::string made = NewTemporaryName();
  std::string upper = made;
  std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
  EXPECT_TRUE(IsTemporaryName(made));
  EXPECT_TRUE(IsTemporaryName(upper));
  // A user's name of the old form, and every one-letter slip of a good one.
  EXPECT_FALSE(IsTemporaryName(".kuronel-Ab12Cd"));
  for (std::size_t at = 0; at < made.size(); ++at) {
    std::string slip = made;
    slip[at] = made[at] == '0' ? '1' : '0';
    EXPECT_FALSE(IsTemporaryName(slip)) << slip;
  }
}

// What a killed copy left goes only where it proves itself the program's
// own; a live copy's files, a user's files of temporary-like names or of a
// reservation's text, and a published photo stay.
TEST(TemporariesTest, OnlyWhatProvesItselfStaleIsRemoved) {
  TempDir dir;
  const std::string stale = NewTemporaryName(), live = NewTemporaryName();
  const auto proof = [&](const std::string& target, const std::string& temp) {
    dir.WriteFile(NewTemporaryName(), ProofText({target, temp}));
  };
  dir.WriteFile(stale, "half a photo");
  proof("empty.JPG", stale);
  dir.WriteFile("empty.JPG", "");
  proof("part.JPG", stale);
  dir.WriteFile("part.JPG", ReservationText(stale).substr(0, 9));
  proof("user.JPG", stale);
  dir.WriteFile("user.JPG", "a user's photo");
  proof("published.JPG", NewTemporaryName());  // renamed: temporary gone
  dir.WriteFile("published.JPG", "");
  dir.WriteFile(".kuronel-ab12cd", std::string(5000, 'u'));
  dir.WriteFile("text.JPG", ReservationText(stale));  // no proof names it
  const std::string live_path = dir.WriteFile(live, "a photo being copied");
  proof("live.JPG", live);
  dir.WriteFile("live.JPG", "");
  UniqueFd held(open(live_path.c_str(), O_RDONLY | O_CLOEXEC),
                RealSystemCalls());
  ASSERT_EQ(flock(held.get(), LOCK_EX), 0);

  RealFileSystem fs{RealSystemCalls()};
  EXPECT_EQ(fs.RemoveStaleTemporaries(dir.path()), 8);
  EXPECT_EQ(FolderEntries(dir.path()),
            (std::set<std::string>{live, "user.JPG", "published.JPG",
                                   ".kuronel-ab12cd", "text.JPG", "live.JPG"}));
}

enum class KillAt { kReserved, kHalfWritten, kBeforeProofGoes };

// The system's calls in a child that is killed at one instant of a
// publication over a reservation.
class KilledPublication : public testing::FaultySystemCalls {
 public:
  KilledPublication(std::string target, KillAt at)
      : target_(std::move(target)), at_(at) {}
  int Open(const std::string& path, int flags, mode_t mode) override {
    const int fd = FaultySystemCalls::Open(path, flags, mode);
    if (path == target_) reservation_ = fd;
    if (path == target_ && at_ == KillAt::kReserved) raise(SIGKILL);
    return fd;
  }
  ssize_t Write(int fd, const void* data, std::size_t size) override {
    if (fd == reservation_ && at_ == KillAt::kHalfWritten) {
      FaultySystemCalls::Write(fd, data, size / 2);
      raise(SIGKILL);
    }
    return FaultySystemCalls::Write(fd, data, size);
  }
  int Unlink(const std::string& path) override {
    if (at_ == KillAt::kBeforeProofGoes) raise(SIGKILL);
    return FaultySystemCalls::Unlink(path);
  }

 private:
  std::string target_;
  KillAt at_;
  int reservation_ = -1;
};

// A copy killed at any instant of its publication over a reservation (the
// way onto exFAT and FAT32) leaves nothing the next run into the folder
// keeps but the photo itself: never an empty file under the photo's name.
TEST(TemporariesTest, APublicationKilledAnywhereLeavesNoReservation) {
  TempDir card(testing::FastTempBase());
  const std::string photo = card.WriteFile("IMG_0001.JPG", "a photo");
  const auto kill_each_way = [&](const std::string& base) {
    for (KillAt at :
         {KillAt::kReserved, KillAt::kHalfWritten, KillAt::kBeforeProofGoes}) {
      SCOPED_TRACE(base + ", kill " + std::to_string(int(at)));
      const std::string folder = base + "/" + std::to_string(int(at));
      ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
      const std::string target = folder + "/a0.JPG";
      const pid_t child = fork();
      if (child == 0) {
        KilledPublication calls(target, at);  // refusing what exFAT refuses
        calls.FailCall(testing::FaultySystemCalls::Call::kRename, 1, EINVAL);
        calls.FailCall(testing::FaultySystemCalls::Call::kLink, 1, EPERM);
        RealFileSystem fs({.use_unnamed_temporary = false}, calls);
        // Killed before it returns: only what it left on the disk counts.
        static_cast<void>(fs.CopyFileNoReplace(photo, target, false, {}));
        _exit(0);
      }
      int status = 0;
      waitpid(child, &status, 0);
      EXPECT_TRUE(WIFSIGNALED(status)) << "the kill never came";
      RealFileSystem(RealSystemCalls()).RemoveStaleTemporaries(folder);
      if (at == KillAt::kBeforeProofGoes) {
        EXPECT_EQ(FolderEntries(folder), std::set<std::string>{"a0.JPG"});
        EXPECT_EQ(ReadFile(target), "a photo");
      } else {
        EXPECT_EQ(FolderEntries(folder), std::set<std::string>{});
      }
    }
  };
  TempDir here(testing::FastTempBase());
  kill_each_way(here.path());
  for (testing::DriveKind kind :
       {testing::DriveKind::kExfat, testing::DriveKind::kFat32}) {
    testing::TestDrive drive(kind, 32u << 20);
    if (drive.mounted()) {
      kill_each_way(drive.path());
    } else {
      std::cout << "skipped on the drive: " << drive.unavailable() << "\n";
    }
  }
}

}  // namespace
}  // namespace kuronel
