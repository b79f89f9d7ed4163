// The registry of runs is one folder per user, the user's own and private,
// or no run at all: a folder planted there by someone else, a link, or one
// others may write to would let two runs on nested folders interleave.

#include "platform/folder_lock.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
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
  const bool root = ::geteuid() == 0;
  struct Case {
    const char* name;
    bool needs_root;
    mode_t parent_mode;
    // Puts something at the registry's place (`registry`).
    std::function<void(const std::string& registry, const TempDir& dir)> plant;
    const char* reason;  // empty: the run is let through
  };
  const auto folder = [](mode_t mode, uid_t owner) {
    return [mode, owner](const std::string& registry, const TempDir&) {
      ::mkdir(registry.c_str(), 0700);
      ::chmod(registry.c_str(), mode);
      if (owner != ::geteuid()) {
        ASSERT_EQ(::chown(registry.c_str(), owner, -1), 0);
      }
    };
  };
  const Case cases[] = {
      {"none yet", false, 01777, [](auto&, auto&) {}, ""},
      {"the user's own at 755: made private", false, 01777,
       folder(0755, ::geteuid()), ""},
      {"another user's", true, 01777, folder(0700, testing::kNobody),
       "belongs to user 65534"},
      {"another user's at 755", true, 01777, folder(0755, testing::kNobody),
       "belongs to user 65534"},
      {"the user's own, writable by others", false, 01777,
       folder(0777, ::geteuid()), "others may write to it (mode 777)"},
      {"a link to a private folder of the user", false, 01777,
       [](const std::string& registry, const TempDir& dir) {
         ::symlink(dir.MakeDir("elsewhere").c_str(), registry.c_str());
         ::chmod(dir.Path("elsewhere").c_str(), 0700);
       },
       "symbolic link"},
      {"in a folder where others may rename it", false, 0777,
       [](auto&, auto&) {}, "no sticky bit"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.needs_root && !root) continue;
    TempDir dir;
    const std::string parent = dir.MakeDir("tmp");
    ::chmod(parent.c_str(), c.parent_mode);
    const std::string registry = RunRegistryFolder(::geteuid(), parent);
    c.plant(registry, dir);
    FolderLocks locks(RealSystemCalls(), parent);
    LockRefusal refusal;
    const bool locked =
        locks.TryLock({{dir.MakeDir("card"), Mode::kExclusive}}, refusal);
    if (c.reason[0] == '\0') {
      EXPECT_TRUE(locked) << refusal.reason;
      EXPECT_EQ(ModeOf(registry), 0700u);
      continue;
    }
    EXPECT_FALSE(locked);
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

// Runs of two users keep two registries; the folder locks alone keep them
// apart: a folder held exclusively keeps out any run inside it and any run
// that would hold a folder around it exclusively.
TEST(FolderLocksTest, RunsOfTwoUsersOnNestedFoldersOfOneCard) {
  TempDir dir;
  const std::string card = dir.MakeDir("card");
  const std::string dcim = dir.MakeDir("card/DCIM");
  const std::string other = dir.MakeDir("other");
  struct Case {
    const char* name;
    FolderLocks::Request first, second;
    bool second_allowed;
  };
  const Case cases[] = {
      {"a move of a card, then of its folder",
       {card, Mode::kExclusive},
       {dcim, Mode::kExclusive},
       false},
      {"a move of a folder, then of its card",
       {dcim, Mode::kExclusive},
       {card, Mode::kExclusive},
       false},
      {"a copy of a moved card's folder",
       {card, Mode::kExclusive},
       {dcim, Mode::kShared},
       false},
      {"two cards side by side",
       {card, Mode::kExclusive},
       {other, Mode::kExclusive},
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FolderLocks first(RealSystemCalls(), dir.MakeDir("tmp-a"));
    FolderLocks second(RealSystemCalls(), dir.MakeDir("tmp-b"));
    LockRefusal refusal;
    ASSERT_TRUE(first.TryLock({c.first}, refusal)) << refusal.reason;
    EXPECT_EQ(second.TryLock({c.second}, refusal), c.second_allowed)
        << refusal.reason;
  }
}

}  // namespace
}  // namespace kuronel
