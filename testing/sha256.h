#ifndef KURONEL_TESTING_SHA256_H_
#define KURONEL_TESTING_SHA256_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace kuronel::testing {

// SHA-256, for manifests that prove a file arrived byte for byte.
class Sha256 {
 public:
  Sha256();
  void Add(std::string_view data);
  // The digest in lowercase hex; the object is spent afterwards.
  std::string HexDigest();

 private:
  void Block(const unsigned char* block);

  std::uint32_t state_[8];
  unsigned char pending_[64];
  std::size_t pending_size_ = 0;
  std::uint64_t total_bytes_ = 0;
};

std::string Sha256Hex(std::string_view data);
// The digest of a file's contents; empty when it cannot be read.
std::string Sha256OfFile(const std::string& path);

}  // namespace kuronel::testing

#endif  // KURONEL_TESTING_SHA256_H_
