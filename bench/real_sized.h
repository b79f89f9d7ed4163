#ifndef KURONEL_BENCH_REAL_SIZED_H_
#define KURONEL_BENCH_REAL_SIZED_H_

// Files of the sizes today's cameras write, grown from small sample photos
// without making them any less valid: the card maker's --real-sized card.

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

#include "platform/status.h"

namespace kuronel::bench {

// Sizes from `min` to `max` bytes, both included.
struct SizeRange {
  std::uint64_t min = 0;
  std::uint64_t max = 0;
};

// A size within `range` that depends on `key` alone, so that a card comes
// out the same on every machine and every run.
std::uint64_t SizeFor(const SizeRange& range, std::uint64_t key);

// Pseudo-random bytes to pad files with. Photos and movies hold compressed
// data, so the padding must not compress or deduplicate either; it is cut
// from one block made once.
class Filler {
 public:
  static constexpr size_t kBlockBytes = 8u << 20;

  Filler();
  // `length` bytes (at most kBlockBytes) starting at a place chosen by `key`.
  std::string_view Slice(std::uint64_t key, size_t length) const;

 private:
  std::string block_;
};

// The offset of a JPEG's first start-of-scan marker (FF DA), reached by
// walking its segments from the start; npos when the walk does not get
// there.
size_t FindStartOfScan(const std::string& jpeg);

// `jpeg` grown to `size` bytes (give or take three) by APP15 segments
// inserted just before its scan at `scan_offset`. Decoders skip application
// segments they do not know and the Exif segment stays first, so the photo,
// its pixels and its Exif date read as before. Returned unchanged when it is
// already that big.
std::string PaddedJpeg(const std::string& jpeg, size_t scan_offset,
                       std::uint64_t size, const Filler& filler,
                       std::uint64_t key);

// An ISO media file (a HEIF photo) grown to `size` bytes by a "free" box at
// its end, which readers skip; the item offsets before it stay right.
std::string WithTrailingFreeBox(std::string file, std::uint64_t size,
                                const Filler& filler, std::uint64_t key);

// Writes all of `bytes` to `fd`, going on after short writes.
bool WriteAll(int fd, std::string_view bytes);

// Writes a new movie file of exactly `size` bytes (at least about 200) at
// `path`, streamed so that a movie of gigabytes needs no memory: an ISO
// media file (QuickTime's brand for a .MOV, MP4's otherwise) of ftyp, an
// mdat box holding padding as the stream, and a moov box whose movie header
// carries the shooting time. Its modification time is `modified`. Never
// replaces a file.
Status WriteMovie(const std::string& path, bool quicktime, std::uint64_t size,
                  std::time_t shot, std::time_t modified, const Filler& filler,
                  std::uint64_t key);

}  // namespace kuronel::bench

#endif  // KURONEL_BENCH_REAL_SIZED_H_
