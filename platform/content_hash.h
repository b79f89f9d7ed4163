#ifndef KURONEL_PLATFORM_CONTENT_HASH_H_
#define KURONEL_PLATFORM_CONTENT_HASH_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

namespace kuronel {

// The XXH3-128 hash of a file's bytes, fed in pieces as they are read: what
// a copy read from its source is compared with what the drive gives back.
class ContentHash {
 public:
  struct Digest {
    std::uint64_t low = 0;
    std::uint64_t high = 0;
    bool operator==(const Digest&) const = default;
  };

  ContentHash();
  ~ContentHash();
  ContentHash(const ContentHash&) = delete;
  ContentHash& operator=(const ContentHash&) = delete;

  void Add(std::string_view bytes);
  // `count` zero bytes: a hole of a sparse file, which reads as zeros.
  void AddZeros(std::uint64_t count);
  // The hash of everything added so far.
  Digest Result() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace kuronel

#endif  // KURONEL_PLATFORM_CONTENT_HASH_H_
