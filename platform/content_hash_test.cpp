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

// A file as it is read: pieces of data, and holes (a length of zeros).
struct Piece {
  std::string data;
  std::uint64_t hole = 0;
};

ContentHash::Digest HashOf(const std::vector<Piece>& feed) {
  ContentHash hash;
  for (const Piece& piece : feed) {
    if (piece.hole > 0) hash.AddZeros(piece.hole);
    hash.Add(piece.data);
  }
  return hash.Result();
}

TEST(ContentHashTest, EqualOnlyForTheSameBytesAtTheSamePlaces) {
  constexpr std::uint64_t kBlock = ContentHash::kBlockBytes;
  constexpr std::uint64_t kHuge = std::uint64_t{1} << 50;
  const std::string a = testing::Pattern(3 * kBlock + 100);
  const std::string zeros(5000, '\0');
  struct Case {
    const char* name;
    std::vector<Piece> first, second;
    bool equal;
  } cases[] = {
      {"split anywhere",
       {{a}},
       {{a.substr(0, 1)}, {a.substr(1, 5000)}, {a.substr(5001)}},
       true},
      {"a hole or written zeros",
       {{a, 2 * kBlock}},
       {{std::string(2 * kBlock, '\0') + a}},
       true},
      {"a hole or written zeros, off the blocks",
       {{"x"}, {"y", 5000}},
       {{"x" + zeros + "y"}},
       true},
      {"a huge hole one byte longer",
       {{"z", kHuge}},
       {{"z", kHuge + 1}},
       false},
      {"the same bytes a block further",
       {{a, kBlock}, {"", kBlock}},
       {{a, 2 * kBlock}},
       false},
      {"the same block elsewhere",
       {{a.substr(0, kBlock)}, {"", kBlock}},
       {{a.substr(0, kBlock), kBlock}},
       false},
      {"a longer tail of zeros", {{a}, {"", 3}}, {{a}, {"", 4}}, false},
      {"one byte changed",
       {{a}},
       {{a.substr(0, 9000) + "\x01" + a.substr(9001)}},
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(HashOf(c.first) == HashOf(c.second), c.equal);
  }
}

}  // namespace
}  // namespace kuronel
