// The registry of runs is one folder per user, the user's own and private,
// or no run at all: a folder planted there by someone else, a link, or one
// others may write to would let two runs on nested folders interleave.

#include "platform/folder_lock.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "gtest/gtest.h"
#include "platform/system_calls.h"
#include "testing/as_nobody.h"
#include "testing/temp_dir.h"

namespace kuronel {
namespace {

using Kind = LockRefusal::Kind;
using Mode = FolderLocks::Mode;
using testing::TempDir;

mode_t ModeOf(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

TEST(FolderLocksTest, ARegistryThatIsNotTheUsersOwnAndPrivateRefusesTheRun) {
  const uid_t me = ::geteuid();
  struct Case {
    const char* name;
    mode_t parent_mode;
    mode_t mode;  // of a folder put at the registry's place first; 0: none
    uid_t owner;
    bool link;           // a link to that folder put there instead
    const char* reason;  // empty: the run is let through
  };
  const Case cases[] = {
      {"none yet", 01777, 0, me, false, ""},
      {"the user's own at 755: made private", 01777, 0755, me, false, ""},
      {"another user's", 01777, 0700, testing::kNobody, false,
       "belongs to user 65534"},
      {"another user's at 755", 01777, 0755, testing::kNobody, false,
       "belongs to user 65534"},
      {"writable by others", 01777, 0777, me, false, "(mode 777)"},
      {"a link to a private folder of the user", 01777, 0700, me, true,
       "symbolic link"},
      {"where others may rename it", 0777, 0, me, false, "no sticky bit"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.owner != me && me != 0) continue;  // only root gives files away
    TempDir dir;
    const std::string parent = dir.MakeDir("tmp");
    ::chmod(parent.c_str(), c.parent_mode);
    const std::string registry = RunRegistryFolder(me, parent);
    const std::string planted = c.link ? dir.Path("elsewhere") : registry;
    if (c.mode != 0) {
      ::mkdir(planted.c_str(), c.mode);
      ::chmod(planted.c_str(), c.mode);
      ASSERT_EQ(::chown(planted.c_str(), c.owner, -1), 0);
    }
    if (c.link) ::symlink(planted.c_str(), registry.c_str());
    FolderLocks locks(RealSystemCalls(), parent);
    LockRefusal refusal;
    const bool locked =
        locks.TryLock({{dir.MakeDir("card"), Mode::kExclusive}}, refusal);
    EXPECT_EQ(locked, c.reason[0] == '\0') << refusal.reason;
    if (locked) {
      EXPECT_EQ(ModeOf(registry), 0700u);
      continue;
    }
    EXPECT_EQ(refusal.kind, Kind::kNoRegistry);
    EXPECT_EQ(refusal.folder, registry);
    EXPECT_NE(refusal.reason.find(c.reason), std::string::npos)
        << refusal.reason;
    // Refused whole: the card's own lock is not held either.
    FolderLocks other(RealSystemCalls(), dir.MakeDir("tmp2"));
    EXPECT_TRUE(other.TryLock({{dir.Path("card"), Mode::kExclusive}}, refusal))
        << refusal.reason;
  }
}

// A run started where XDG_RUNTIME_DIR is set (a desktop) and one where it
// is not (cron, sudo) find each other: a move of a card and one of its
// folder, which no folder lock alone can tell apart, still conflict.
TEST(FolderLocksTest, RunsOfOneUserMeetWhateverTheirEnvironment) {
  TempDir dir;
  const std::string card = dir.MakeDir("card/DCIM");
  const char* saved = std::getenv("XDG_RUNTIME_DIR");
  const std::string saved_value = saved != nullptr ? saved : "";
  ::setenv("XDG_RUNTIME_DIR", dir.MakeDir("runtime").c_str(), 1);
  FolderLocks desktop_run(RealSystemCalls());
  LockRefusal refusal;
  ASSERT_TRUE(
      desktop_run.TryLock({{dir.Path("card"), Mode::kExclusive}}, refusal))
      << refusal.reason;
  ::unsetenv("XDG_RUNTIME_DIR");
  FolderLocks cron_run(RealSystemCalls());
  EXPECT_FALSE(cron_run.TryLock({{card, Mode::kExclusive}}, refusal));
  EXPECT_EQ(refusal.kind, Kind::kBusy) << refusal.reason;
  if (saved != nullptr) ::setenv("XDG_RUNTIME_DIR", saved_value.c_str(), 1);
}

}  // namespace
}  // namespace kuronel
