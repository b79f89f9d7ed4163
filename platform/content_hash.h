#ifndef KURONEL_PLATFORM_CONTENT_HASH_H_
#define KURONEL_PLATFORM_CONTENT_HASH_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

namespace kuronel {

// The XXH3-128 hash of a file's contents by position, fed in order as the
// file is read: what a copy read from its source is compared with what the
// drive gives back.
//
// The file is taken in blocks of kBlockBytes at fixed offsets. A block of
// zeros adds nothing; each run of other blocks adds its bytes, then its first
// block's number and its length in blocks; the file's length comes last. So
// a hole and written zeros hash alike (a drive may keep either for the
// other, and a FUSE drive reports a hole as data), a hole costs nothing to
// hash however long it is, and the same bytes at another offset hash
// differently.
class ContentHash {
 public:
  static constexpr std::size_t kBlockBytes = 4096;

  struct Digest {
    std::uint64_t low = 0;
    std::uint64_t high = 0;
    bool operator==(const Digest&) const = default;
  };

  ContentHash();
  ~ContentHash();
  ContentHash(const ContentHash&) = delete;
  ContentHash& operator=(const ContentHash&) = delete;

  // The bytes at the current position, which moves past them.
  void Add(std::string_view bytes);
  // `count` zero bytes at the current position: a hole of a sparse file.
  void AddZeros(std::uint64_t count);
  // How many bytes were added so far: the current position.
  std::uint64_t size() const;
  // The hash of a file of the bytes added so far.
  Digest Result() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace kuronel

#endif  // KURONEL_PLATFORM_CONTENT_HASH_H_
