#include "testing/tree_audit.h"

#include <sys/stat.h>

#include <algorithm>
#include <string>

#include "gtest/gtest.h"
#include "platform/file_system.h"
#include "testing/sha256.h"
#include "testing/temp_dir.h"

namespace kuronel::testing {
namespace {

TEST(Sha256Test, KnownDigests) {
  struct Case {
    std::string data;
    const char* digest;
  };
  const Case cases[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc",
       "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      // 56 bytes: the length no longer fits the first padding block.
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {std::string(1000000, 'a'),
       "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Sha256Hex(c.data), c.digest) << c.data.size() << " bytes";
    // Fed in uneven pieces, the digest is the same.
    Sha256 pieces;
    for (std::size_t at = 0; at < c.data.size(); at += 37)
      pieces.Add(std::string_view(c.data).substr(at, 37));
    EXPECT_EQ(pieces.HexDigest(), c.digest);
  }
}

// Each way a move can go wrong is reported.
TEST(TreeAuditTest, FindsEveryKindOfDamage) {
  struct Case {
    const char* name;
    void (*damage)(const TempDir& dir);
    const char* problem;  // the start of the one problem expected
  };
  const Case cases[] = {
      {"file lost", [](const TempDir& dir) { remove(dir.Path("s/a").c_str()); },
       "lost: 1"},
      {"copy partial", [](const TempDir& dir) { dir.WriteFile("t/x", "hel"); },
       "partial or unknown file at target: x"},
      {"existing file overwritten",
       [](const TempDir& dir) { dir.WriteFile("t/old", "new"); },
       "existing file overwritten: old"},
      {"second copy",
       [](const TempDir& dir) {
         dir.WriteFile("t/x", "hello");
         dir.WriteFile("t/y", "hello");
       },
       "duplicate copies"},
      {"temporary left",
       [](const TempDir& dir) {
         dir.WriteFile("t/" + NewTemporaryName(), "old");
       },
       "temporary file left"},
      {"a photo only under a temporary name",
       [](const TempDir& dir) {
         dir.WriteFile("t/" + NewTemporaryName(), "hello");
         remove(dir.Path("s/a").c_str());
       },
       "lost: 1"},
      {"empty file left without a proof",
       [](const TempDir& dir) { dir.WriteFile("t/x", ""); },
       "partial or unknown file at target: x"},
      {"empty reservation left beside its proof",
       [](const TempDir& dir) {
         dir.WriteFile("t/x", "");
         dir.WriteFile("t/" + NewTemporaryName(),
                       ProofText({"x", NewTemporaryName()}));
       },
       "reservation left: x"},
      {"source changed",
       [](const TempDir& dir) { dir.WriteFile("s/a", "jello"); },
       "source changed: a"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    dir.WriteFile("s/a", "hello");
    dir.WriteFile("t/old", "old");
    const Manifest sources = TakeManifest(dir.Path("s"));
    const Manifest target_before = TakeManifest(dir.Path("t"));
    EXPECT_TRUE(
        AuditMove(sources, dir.Path("s"), target_before, dir.Path("t")).ok());
    c.damage(dir);
    MoveAudit audit =
        AuditMove(sources, dir.Path("s"), target_before, dir.Path("t"));
    ASSERT_FALSE(audit.ok()) << c.name;
    EXPECT_TRUE(std::any_of(audit.problems.begin(), audit.problems.end(),
                            [&](const std::string& problem) {
                              return problem.rfind(c.problem, 0) == 0;
                            }))
        << c.name << ": " << audit.Report();
  }
}

TEST(TreeAuditTest, AMoveHalfDoneIsWhole) {
  TempDir dir;
  dir.WriteFile("s/a", "hello");
  dir.WriteFile("s/b", "world");
  const Manifest sources = TakeManifest(dir.Path("s"));
  dir.MakeDir("t");
  dir.WriteFile("t/day/x", "hello");  // a moved, b not yet
  remove(dir.Path("s/a").c_str());
  dir.WriteFile("t/day/y", "world");  // b copied, its delete not yet made
  MoveAudit audit =
      AuditMove(sources, dir.Path("s"), Manifest(), dir.Path("t"));
  EXPECT_TRUE(audit.ok()) << audit.Report();
  EXPECT_EQ(audit.at_source, 1u);
  EXPECT_EQ(audit.at_target, 2u);
}

}  // namespace
}  // namespace kuronel::testing
