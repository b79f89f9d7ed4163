#include <fcntl.h>
#include <sys/file.h>

#include <set>
#include <string>

#include "gtest/gtest.h"
#include "platform/file_system.h"
#include "platform/path.h"
#include "testing/temp_dir.h"

namespace kuronel {
namespace {

using testing::FolderEntries;
using testing::TempDir;

// What a killed copy left goes only where it proves itself the program's
// own: a hidden temporary nobody holds, and the reservation that names it.
// A live copy's temporary and reservation stay, and so does a user's file
// of a reservation's length.
TEST(TemporariesTest, OnlyWhatProvesItselfStaleIsRemoved) {
  TempDir dir;
  const std::string stale = ".kuronel-Ab12Cd";
  const std::string live = ".kuronel-Live00";
  dir.WriteFile(stale, "half a photo");
  dir.WriteFile("a0.JPG", ReservationText(stale));
  const std::string live_path = dir.WriteFile(live, "a photo being copied");
  dir.WriteFile("b0.JPG", ReservationText(live));
  dir.WriteFile("c0.JPG", std::string(ReservationText(stale).size(), 'u'));
  UniqueFd held(open(live_path.c_str(), O_RDONLY | O_CLOEXEC),
                RealSystemCalls());
  ASSERT_EQ(flock(held.get(), LOCK_EX), 0);

  RealFileSystem fs;
  EXPECT_EQ(fs.RemoveStaleTemporaries(dir.path()), 2);
  EXPECT_EQ(FolderEntries(dir.path()),
            (std::set<std::string>{live, "b0.JPG", "c0.JPG"}));
}

}  // namespace
}  // namespace kuronel
