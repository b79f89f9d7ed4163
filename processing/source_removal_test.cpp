#include "processing/source_removal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <string>

#include "gtest/gtest.h"
#include "testing/memory_file_system.h"
#include "testing/temp_dir.h"

namespace kuronel {
namespace {

using testing::Exists;
using testing::TempDir;

// Each case makes a real copy, then spoils one thing the delete relies on.
struct Case {
  const char* name;
  bool read_back;
  // Runs between the copy and the delete; may change the copy's result.
  std::function<void(const TempDir&, CopyResult&)> spoil;
  SourceRemoval expected;
};

TEST(SourceRemovalTest, OnlyACopyThatProvesItselfLetsTheSourceGo) {
  const Case cases[] = {
      {"a copy of the unchanged source, flushed and read back", true,
       [](const TempDir&, CopyResult&) {}, SourceRemoval::kDeleted},
      {"a copy not read back", false, [](const TempDir&, CopyResult&) {},
       SourceRemoval::kNotAllowed},
      {"a copy not on disk", true,
       [](const TempDir&, CopyResult& copy) { copy.flushed = false; },
       SourceRemoval::kNotAllowed},
      {"the copy replaced by somebody's file of the same size", true,
       [](const TempDir& dir, CopyResult&) {
         unlink(dir.Path("d/a0.JPG").c_str());
         dir.WriteFile("d/a0.JPG", "PHOTO");
       },
       SourceRemoval::kNotAllowed},
      {"the target a link to the source", true,
       [](const TempDir& dir, CopyResult& copy) {
         unlink(dir.Path("d/a0.JPG").c_str());
         symlink(dir.Path("card/IMG.JPG").c_str(),
                 dir.Path("d/a0.JPG").c_str());
         copy.written = copy.source_before;
       },
       SourceRemoval::kNotAllowed},
      {"the source written to after its copy", true,
       [](const TempDir& dir, CopyResult&) {
         dir.WriteFile("card/IMG.JPG", "photo, edited");
       },
       SourceRemoval::kNotAllowed},
      {"a read-only source", true,
       [](const TempDir& dir, CopyResult&) {
         chmod(dir.Path("card/IMG.JPG").c_str(), 0444);
       },
       SourceRemoval::kDeleteFailed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    RealFileSystem disk({.verify_copies = c.read_back}, RealSystemCalls());
    const std::string source = dir.WriteFile("card/IMG.JPG", "photo");
    const std::string target = dir.MakeDir("d") + "/a0.JPG";
    CopyResult copy = disk.CopyFileNoReplace(source, target, false, {});
    ASSERT_TRUE(copy.ok);
    c.spoil(dir, copy);
    EXPECT_EQ(RemoveCopiedSource(source, target, copy, disk), c.expected);
    EXPECT_EQ(Exists(source), c.expected != SourceRemoval::kDeleted);
  }
}

// A disk whose every drive proves only what the test says.
class ProvingDisk : public testing::MemoryFileSystem {
 public:
  explicit ProvingDisk(CopyProof proof) : proof_(proof) {}
  CopyProof ProofOfCopiesOn(const std::string&) override { return proof_; }

 private:
  CopyProof proof_;
};

// Whatever proves a copy, a drive that cannot make it durable, or whose
// read-back may come from memory, keeps the source: a copy of this run's
// and an equal file that stood there before alike.
TEST(SourceRemovalTest, ADriveThatCannotProveACopyKeepsTheSource) {
  const struct {
    CopyProof proof;
    SourceRemoval expected;
  } cases[] = {
      {CopyProof::kComplete, SourceRemoval::kDeleted},
      {CopyProof::kFlushNotDurable, SourceRemoval::kDriveCannotFlush},
      {CopyProof::kReadBackFromMemory, SourceRemoval::kReadBackFromMemory},
  };
  for (const auto& c : cases) {
    ProvingDisk disk(c.proof);
    disk.WriteFile("/c/a.JPG", "photo");
    disk.WriteFile("/d/a0.JPG", "photo");
    FileInfo source;
    ContentHash::Digest digest;
    ASSERT_TRUE(disk.Stat("/c/a.JPG", source));
    ASSERT_TRUE(disk.HashFile("/c/a.JPG", digest));
    EXPECT_EQ(
        RemoveImportedSource("/c/a.JPG", source, digest, "/d/a0.JPG", disk),
        c.expected);
    EXPECT_EQ(disk.Contents("/c/a.JPG").has_value(),
              c.expected != SourceRemoval::kDeleted);
  }
}

}  // namespace
}  // namespace kuronel
