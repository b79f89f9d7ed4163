#include "platform/content_hash.h"

#include <xxhash.h>

#include <algorithm>
#include <array>

namespace kuronel {

struct ContentHash::State {
  XXH3_state_t* xxh = XXH3_createState();
  ~State() { XXH3_freeState(xxh); }
};

ContentHash::ContentHash() : state_(std::make_unique<State>()) {
  XXH3_128bits_reset(state_->xxh);
}

ContentHash::~ContentHash() = default;

void ContentHash::Add(std::string_view bytes) {
  XXH3_128bits_update(state_->xxh, bytes.data(), bytes.size());
}

void ContentHash::AddZeros(std::uint64_t count) {
  static const std::array<char, std::size_t{64} * 1024> kZeros{};
  while (count > 0) {
    const std::size_t piece = static_cast<std::size_t>(
        std::min<std::uint64_t>(count, kZeros.size()));
    Add(std::string_view(kZeros.data(), piece));
    count -= piece;
  }
}

ContentHash::Digest ContentHash::Result() const {
  const XXH128_hash_t hash = XXH3_128bits_digest(state_->xxh);
  return Digest{hash.low64, hash.high64};
}

}  // namespace kuronel
