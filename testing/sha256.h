#ifndef KURONEL_TESTING_SHA256_H_
#define KURONEL_TESTING_SHA256_H_

#include <string>
#include <string_view>

namespace kuronel::testing {

// The SHA-256 digest of `bytes` as 64 lower-case hexadecimal digits.
std::string Sha256Hex(std::string_view bytes);

// The digest of a file's contents, read in pieces (a large file is never
// held whole); empty when the file cannot be read.
std::string Sha256OfFile(const std::string& path);

}  // namespace kuronel::testing

#endif  // KURONEL_TESTING_SHA256_H_
