// The hash that proves a copy: equal for equal bytes at equal places however
// they are fed and wherever zeros are holes, different otherwise.
#include "platform/content_hash.h"

#include <cstdint>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "testing/temp_dir.h"

namespace kuronel {
namespace {

using testing::Pattern;

// A file as it is read: pieces of data, and holes (a length of zeros).
struct Piece {
  std::string data;
  std::uint64_t hole = 0;
};
using Feed = std::vector<Piece>;

Piece Data(std::string bytes) { return {std::move(bytes), 0}; }
Piece Hole(std::uint64_t length) { return {std::string(), length}; }
Piece Zeros(std::size_t length) { return Data(std::string(length, '\0')); }

ContentHash::Digest HashOf(const Feed& feed) {
  ContentHash hash;
  for (const Piece& piece : feed) {
    if (piece.hole > 0) {
      hash.AddZeros(piece.hole);
    } else {
      hash.Add(piece.data);
    }
  }
  return hash.Result();
}

TEST(ContentHashTest, EqualOnlyForTheSameBytesAtTheSamePlaces) {
  constexpr std::size_t kBlock = ContentHash::kBlockBytes;
  constexpr std::uint64_t kHuge = std::uint64_t{1} << 50;
  const std::string a = Pattern(3 * kBlock + 100);
  struct Case {
    const char* name;
    Feed first, second;
    bool equal;
  };
  const Case cases[] = {
      {"split anywhere",
       {Data(a)},
       {Data(a.substr(0, 1)), Data(a.substr(1, 5000)), Data(a.substr(5001))},
       true},
      {"a hole or written zeros, on the blocks",
       {Hole(kBlock), Data(a), Hole(2 * kBlock)},
       {Zeros(kBlock), Data(a), Zeros(2 * kBlock)},
       true},
      {"a hole or written zeros, off the blocks",
       {Data("x"), Hole(10000), Data("y"), Hole(7)},
       {Data("x"), Zeros(3), Hole(9997), Data("y"), Zeros(7)},
       true},
      {"a short hole inside data",
       {Data(a), Hole(5), Data(a)},
       {Data(a + std::string(5, '\0') + a)},
       true},
      {"a huge hole", {Hole(kHuge), Data("z")}, {Hole(kHuge), Data("z")}, true},
      {"the same bytes a byte further",
       {Hole(100), Data(a), Hole(1)},
       {Hole(101), Data(a)},
       false},
      {"the same bytes a block further",
       {Hole(kBlock), Data(a), Hole(kBlock)},
       {Hole(2 * kBlock), Data(a)},
       false},
      {"the same block elsewhere",
       {Data(a.substr(0, kBlock)), Hole(kBlock)},
       {Hole(kBlock), Data(a.substr(0, kBlock))},
       false},
      {"a block of zeros left out",
       {Data(a), Hole(kBlock), Data(a)},
       {Data(a), Data(a)},
       false},
      {"a longer tail of zeros", {Data(a), Hole(3)}, {Data(a), Hole(4)}, false},
      {"a huge hole one byte longer",
       {Hole(kHuge), Data("z")},
       {Hole(kHuge + 1), Data("z")},
       false},
      {"one byte changed",
       {Data(a)},
       {Data(a.substr(0, 9000)), Data("\x01"), Data(a.substr(9001))},
       false},
      {"nothing or a zero", {}, {Hole(1)}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(HashOf(c.first) == HashOf(c.second), c.equal);
  }
}

// Result may be asked for midway: it does not change what comes after.
TEST(ContentHashTest, AResultMidwayChangesNothing) {
  ContentHash asked, not_asked;
  for (ContentHash* hash : {&asked, &not_asked}) hash->Add(Pattern(5000));
  asked.Result();
  for (ContentHash* hash : {&asked, &not_asked}) hash->AddZeros(9000);
  EXPECT_EQ(asked.Result(), not_asked.Result());
  EXPECT_EQ(asked.size(), 14000u);
}

}  // namespace
}  // namespace kuronel
