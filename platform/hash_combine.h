#ifndef KURONEL_PLATFORM_HASH_COMBINE_H_
#define KURONEL_PLATFORM_HASH_COMBINE_H_

#include <cstddef>

namespace kuronel {

// Mixes the hash `value` into `seed` (as boost::hash_combine does), so that
// a pair's hash depends on both halves and on their order.
constexpr std::size_t HashCombine(std::size_t seed, std::size_t value) {
  return seed ^ (value + 0x9E3779B9 + (seed << 6) + (seed >> 2));
}

}  // namespace kuronel

#endif  // KURONEL_PLATFORM_HASH_COMBINE_H_
