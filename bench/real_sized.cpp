#include "bench/real_sized.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "testing/camera_file_builder.h"

namespace kuronel::bench {
namespace {

constexpr size_t kNotFound = std::string::npos;
// The most a JPEG segment's payload can hold (its length field counts
// itself).
constexpr size_t kMostSegmentPayload = 65535 - 2;
constexpr size_t kSegmentHeader = 4;  // FF En and the two length bytes
// Seconds from the ISO media epoch (1904-01-01) to the Unix epoch.
constexpr std::uint64_t kSecondsFrom1904 = 2082844800;

std::uint64_t SplitMix64(std::uint64_t value) {
  value += 0x9E3779B97F4A7C15ull;
  value = (value ^ (value >> 30)) * 0xBF58476D1CE4E5B9ull;
  value = (value ^ (value >> 27)) * 0x94D049BB133111EBull;
  return value ^ (value >> 31);
}

std::string App15Segment(std::string_view payload) {
  const size_t length = payload.size() + 2;
  std::string segment = {'\xFF', '\xEF', static_cast<char>(length >> 8),
                         static_cast<char>(length & 0xFF)};
  return segment.append(payload);
}

// The movie header (mvhd, version 0) of a movie shot at `shot`.
std::string MovieHeader(std::time_t shot) {
  const auto when = static_cast<std::uint32_t>(
      static_cast<std::uint64_t>(shot) + kSecondsFrom1904);
  using testing::Be16;
  using testing::Be32;
  std::string payload = Be32(when) + Be32(when) + Be32(1000) + Be32(0) +
                        Be32(0x00010000) + Be16(0x0100) + std::string(10, '\0');
  // The identity matrix, then the six predefined zeros.
  for (std::uint32_t cell :
       {0x00010000u, 0u, 0u, 0u, 0x00010000u, 0u, 0u, 0u, 0x40000000u})
    payload += Be32(cell);
  payload += std::string(24, '\0') + Be32(2);  // the next track's id
  return testing::FullBox("mvhd", 0, 0, payload);
}

// The header of an mdat box of `payload` bytes: the 64-bit form when the
// box is 4 GiB or more.
std::string MediaDataHeader(std::uint64_t payload) {
  if (payload + 8 <= 0xFFFFFFFFull)
    return testing::Be32(static_cast<std::uint32_t>(payload + 8)) + "mdat";
  return testing::Be32(1) + "mdat" + testing::Be64(payload + 16);
}

Status WriteMovieData(int fd, const std::string& ftyp, std::uint64_t payload,
                      const std::string& moov, const Filler& filler,
                      std::uint64_t key) {
  if (!WriteAll(fd, ftyp + MediaDataHeader(payload)))
    return Status::Error(std::strerror(errno));
  constexpr size_t kChunk = 4u << 20;
  for (std::uint64_t chunk = 0; payload > 0; ++chunk) {
    const auto length =
        static_cast<size_t>(std::min<std::uint64_t>(payload, kChunk));
    if (!WriteAll(fd, filler.Slice(key + chunk, length)))
      return Status::Error(std::strerror(errno));
    payload -= length;
  }
  if (!WriteAll(fd, moov)) return Status::Error(std::strerror(errno));
  return Status::Ok();
}

}  // namespace

std::uint64_t SizeFor(const SizeRange& range, std::uint64_t key) {
  if (range.max <= range.min) return range.min;
  return range.min + SplitMix64(key) % (range.max - range.min + 1);
}

Filler::Filler() : block_(kBlockBytes, '\0') {
  std::uint64_t state = 0x4B75726F6E656Cull;
  for (size_t at = 0; at + 8 <= block_.size(); at += 8) {
    state = SplitMix64(state);
    std::memcpy(&block_[at], &state, 8);
  }
}

std::string_view Filler::Slice(std::uint64_t key, size_t length) const {
  length = std::min(length, block_.size());
  const size_t start = SplitMix64(key) % (block_.size() - length + 1);
  return std::string_view(block_).substr(start, length);
}

size_t FindStartOfScan(const std::string& jpeg) {
  if (jpeg.size() < 4 || jpeg.compare(0, 2, "\xFF\xD8") != 0) return kNotFound;
  size_t pos = 2;
  while (pos + 4 <= jpeg.size() &&
         static_cast<unsigned char>(jpeg[pos]) == 0xFF) {
    const auto marker = static_cast<unsigned char>(jpeg[pos + 1]);
    if (marker == 0xDA) return pos;
    if (marker == 0xD9) return kNotFound;
    const size_t length = static_cast<unsigned char>(jpeg[pos + 2]) << 8 |
                          static_cast<unsigned char>(jpeg[pos + 3]);
    if (length < 2) return kNotFound;
    pos += 2 + length;
  }
  return kNotFound;
}

std::string PaddedJpeg(const std::string& jpeg, size_t scan_offset,
                       std::uint64_t size, const Filler& filler,
                       std::uint64_t key) {
  if (size <= jpeg.size() + kSegmentHeader || scan_offset > jpeg.size())
    return jpeg;
  std::uint64_t missing = size - jpeg.size();
  std::string padding;
  padding.reserve(missing + kSegmentHeader);
  for (std::uint64_t segment = 0; missing >= kSegmentHeader; ++segment) {
    const auto payload = static_cast<size_t>(
        std::min<std::uint64_t>(missing - kSegmentHeader, kMostSegmentPayload));
    padding += App15Segment(filler.Slice(key * 4096 + segment, payload));
    missing -= payload + kSegmentHeader;
  }
  std::string padded = jpeg.substr(0, scan_offset);
  padded.reserve(jpeg.size() + padding.size());
  padded += padding;
  padded.append(jpeg, scan_offset);
  return padded;
}

std::string WithTrailingFreeBox(std::string file, std::uint64_t size,
                                const Filler& filler, std::uint64_t key) {
  constexpr size_t kBoxHeader = 8;
  if (size <= file.size() + kBoxHeader) return file;
  const std::uint64_t payload = size - file.size() - kBoxHeader;
  file += testing::Be32(static_cast<std::uint32_t>(payload + kBoxHeader));
  file += "free";
  for (std::uint64_t done = 0, piece = 0; done < payload; ++piece) {
    const std::string_view slice = filler.Slice(
        key * 4096 + piece, static_cast<size_t>(std::min<std::uint64_t>(
                                payload - done, Filler::kBlockBytes)));
    file += slice;
    done += slice.size();
  }
  return file;
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t wrote = write(fd, bytes.data(), bytes.size());
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(wrote));
  }
  return true;
}

Status WriteMovie(const std::string& path, bool quicktime, std::uint64_t size,
                  std::time_t shot, std::time_t modified, const Filler& filler,
                  std::uint64_t key) {
  const std::string ftyp = quicktime ? testing::Ftyp("qt  ", {"qt  "})
                                     : testing::Ftyp("isom", {"isom", "mp42"});
  const std::string moov = testing::Box("moov", MovieHeader(shot));
  const std::uint64_t fixed = ftyp.size() + moov.size();
  std::uint64_t payload = size > fixed + 8 ? size - fixed - 8 : 0;
  if (payload + 8 > 0xFFFFFFFFull) payload -= 8;  // the 64-bit header's room
  const int fd =
      open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0)
    return Status::Error("cannot create " + path + ": " + std::strerror(errno));
  Status status = WriteMovieData(fd, ftyp, payload, moov, filler, key);
  const struct timespec times[2] = {{modified, 0}, {modified, 0}};
  if (status.ok() && futimens(fd, times) != 0)
    status = Status::Error(std::strerror(errno));
  if (close(fd) != 0 && status.ok())
    status = Status::Error(std::strerror(errno));
  if (!status.ok())
    return Status::Error("cannot write " + path + ": " + status.message());
  return Status::Ok();
}

}  // namespace kuronel::bench
