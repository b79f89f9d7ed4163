#include "platform/drive_attributes.h"

#include <cstdint>

namespace kuronel {
namespace {

constexpr char kNtfsAttributeWord[] = "system.ntfs_attrib_be";
constexpr std::uint32_t kReadOnlyBit = 0x01;

// The attribute word, big-endian as ntfs-3g gives it; false when the drive
// keeps none.
bool ReadWord(SystemCalls& calls, const std::string& path,
              std::uint32_t& word) {
  unsigned char bytes[4];
  if (calls.GetAttribute(path, kNtfsAttributeWord, bytes, sizeof bytes) !=
      static_cast<ssize_t>(sizeof bytes))
    return false;
  word = static_cast<std::uint32_t>(bytes[0]) << 24 |
         static_cast<std::uint32_t>(bytes[1]) << 16 |
         static_cast<std::uint32_t>(bytes[2]) << 8 | bytes[3];
  return true;
}

}  // namespace

DriveReadOnly DriveReadOnlyOf(const std::string& path, SystemCalls& calls) {
  std::uint32_t word = 0;
  if (!ReadWord(calls, path, word)) return DriveReadOnly::kNotKept;
  return (word & kReadOnlyBit) != 0 ? DriveReadOnly::kReadOnly
                                    : DriveReadOnly::kWritable;
}

bool SetDriveReadOnly(const std::string& path, SystemCalls& calls) {
  std::uint32_t word = 0;
  if (!ReadWord(calls, path, word)) return false;
  word |= kReadOnlyBit;
  const unsigned char bytes[4] = {static_cast<unsigned char>(word >> 24),
                                  static_cast<unsigned char>(word >> 16),
                                  static_cast<unsigned char>(word >> 8),
                                  static_cast<unsigned char>(word)};
  return calls.SetAttribute(path, kNtfsAttributeWord, bytes, sizeof bytes) ==
             0 &&
         DriveReadOnlyOf(path, calls) == DriveReadOnly::kReadOnly;
}

}  // namespace kuronel
