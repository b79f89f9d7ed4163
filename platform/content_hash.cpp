#include "platform/content_hash.h"

#include <xxhash.h>

#include <algorithm>
#include <array>
#include <cstring>

namespace kuronel {
namespace {

constexpr std::size_t kBlock = ContentHash::kBlockBytes;

bool AllZero(std::string_view bytes) {
  return bytes.empty() ||
         (bytes[0] == 0 &&
          std::memcmp(bytes.data(), bytes.data() + 1, bytes.size() - 1) == 0);
}

}  // namespace

struct ContentHash::State {
  XXH3_state_t* xxh = XXH3_createState();
  // The bytes of the block in hand: position % kBlock of them are added.
  std::array<char, kBlock> block{};
  std::uint64_t position = 0;
  // The run of data blocks that the last blocks hashed belong to (none
  // while run_blocks is 0), to be closed by its first block and length.
  std::uint64_t run_first = 0;
  std::uint64_t run_blocks = 0;

  State() { XXH3_128bits_reset(xxh); }
  // A copy goes on from where `other` is, which stays as it is.
  State(const State& other)
      : block(other.block),
        position(other.position),
        run_first(other.run_first),
        run_blocks(other.run_blocks) {
    XXH3_copyState(xxh, other.xxh);
  }
  State& operator=(const State&) = delete;
  ~State() { XXH3_freeState(xxh); }

  void Update(std::string_view bytes) {
    if (!bytes.empty()) XXH3_128bits_update(xxh, bytes.data(), bytes.size());
  }

  // Fixed width and byte order: the hash is the same on every machine.
  void AddNumber(std::uint64_t number) {
    std::array<unsigned char, 8> little_endian;
    for (std::size_t i = 0; i < little_endian.size(); ++i)
      little_endian[i] = static_cast<unsigned char>(number >> (8 * i));
    XXH3_128bits_update(xxh, little_endian.data(), little_endian.size());
  }

  void EndRun() {
    if (run_blocks == 0) return;
    AddNumber(run_first);
    AddNumber(run_blocks);
    run_blocks = 0;
  }

  // The blocks of `bytes`, the first of them block number `first`; each
  // is whole but for the file's last. Neighbouring data blocks are hashed
  // in one piece.
  void HashBlocks(std::uint64_t first, std::string_view bytes) {
    std::size_t stretch = 0;  // data bytes not hashed yet, up to `offset`
    for (std::size_t offset = 0; offset < bytes.size(); offset += kBlock) {
      const std::string_view piece = bytes.substr(offset, kBlock);
      if (AllZero(piece)) {
        Update(bytes.substr(offset - stretch, stretch));
        stretch = 0;
        EndRun();
        continue;
      }
      if (run_blocks == 0) run_first = first + offset / kBlock;
      ++run_blocks;
      stretch += piece.size();
    }
    Update(bytes.substr(bytes.size() - stretch, stretch));
  }

  std::size_t InHand() const {
    return static_cast<std::size_t>(position % kBlock);
  }

  // Fills the block in hand from `bytes`, which are not empty; the bytes it
  // took.
  std::size_t FillBlock(std::string_view bytes) {
    const std::size_t in_hand = InHand();
    const std::size_t take = std::min(kBlock - in_hand, bytes.size());
    std::memcpy(block.data() + in_hand, bytes.data(), take);
    position += take;
    if (InHand() == 0)
      HashBlocks(position / kBlock - 1, {block.data(), kBlock});
    return take;
  }
};

ContentHash::ContentHash() : state_(std::make_unique<State>()) {}

ContentHash::~ContentHash() = default;

void ContentHash::Add(std::string_view bytes) {
  State& s = *state_;
  while (!bytes.empty()) {
    if (s.InHand() == 0 && bytes.size() >= kBlock) {
      // Whole blocks are hashed where they lie, without a copy.
      const std::size_t whole = bytes.size() / kBlock * kBlock;
      s.HashBlocks(s.position / kBlock, bytes.substr(0, whole));
      s.position += whole;
      bytes.remove_prefix(whole);
    } else {
      bytes.remove_prefix(s.FillBlock(bytes));
    }
  }
}

void ContentHash::AddZeros(std::uint64_t count) {
  static constexpr std::array<char, kBlock> kZeros{};
  State& s = *state_;
  if (s.InHand() != 0 && count != 0) {
    count -= s.FillBlock(
        {kZeros.data(),
         static_cast<std::size_t>(std::min<std::uint64_t>(count, kBlock))});
  }
  if (count >= kBlock) {
    // Whole blocks of zeros add nothing but the end of a run.
    s.EndRun();
    const std::uint64_t whole = count / kBlock * kBlock;
    s.position += whole;
    count -= whole;
  }
  // Less than a block is left, which starts the block in hand.
  if (count != 0) s.FillBlock({kZeros.data(), static_cast<std::size_t>(count)});
}

std::uint64_t ContentHash::size() const { return state_->position; }

ContentHash::Digest ContentHash::Result() const {
  State last(*state_);
  if (last.InHand() != 0)
    last.HashBlocks(last.position / kBlock, {last.block.data(), last.InHand()});
  last.EndRun();
  last.AddNumber(last.position);
  const XXH128_hash_t hash = XXH3_128bits_digest(last.xxh);
  return Digest{hash.low64, hash.high64};
}

}  // namespace kuronel
