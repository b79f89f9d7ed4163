#include "platform/name_folding.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/cp932.h"

namespace kuronel {
namespace {

std::uint32_t Little32(const char* bytes) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i)
    value = (value << 8) | static_cast<unsigned char>(bytes[i]);
  return value;
}

std::uint64_t Little64(const char* bytes) {
  return (std::uint64_t{Little32(bytes + 4)} << 32) | Little32(bytes);
}

// The boot sector's numbers that lead to the root folder's first cluster.
struct ExfatLayout {
  std::uint64_t cluster_heap = 0;  // bytes from the device's start
  std::uint64_t cluster_bytes = 0;
  std::uint32_t cluster_count = 0;
  std::uint32_t root_cluster = 0;

  bool Holds(std::uint32_t cluster) const {
    return cluster >= 2 && cluster - 2 < cluster_count;
  }
  std::uint64_t Offset(std::uint32_t cluster) const {
    return cluster_heap + (cluster - 2) * cluster_bytes;
  }
};

bool ReadExact(int device, std::string& bytes, std::uint64_t offset,
               SystemCalls& calls) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t got =
        calls.ReadAt(device, bytes.data() + done, bytes.size() - done,
                     static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    done += static_cast<std::size_t>(got);
  }
  return true;
}

bool ReadExfatLayout(int device, ExfatLayout& layout, SystemCalls& calls) {
  std::string boot(512, '\0');
  if (!ReadExact(device, boot, 0, calls) || boot.compare(3, 8, "EXFAT   ") != 0)
    return false;
  const unsigned sector_shift = static_cast<unsigned char>(boot[108]);
  const unsigned cluster_shift = static_cast<unsigned char>(boot[109]);
  // Sectors of 512 B to 4 KiB, clusters up to 32 MiB.
  if (sector_shift < 9 || sector_shift > 12 ||
      sector_shift + cluster_shift > 25)
    return false;
  layout.cluster_heap = std::uint64_t{Little32(&boot[88])} << sector_shift;
  layout.cluster_bytes = std::uint64_t{1} << (sector_shift + cluster_shift);
  layout.cluster_count = Little32(&boot[92]);
  layout.root_cluster = Little32(&boot[96]);
  return layout.Holds(layout.root_cluster);
}

}  // namespace

UpcaseTable UpcaseTable::AsciiOnly() {
  UpcaseTable table;
  table.upper_.resize(128);
  for (char16_t unit = 0; unit < 128; ++unit)
    table.upper_[unit] = unit >= u'a' && unit <= u'z' ? unit - 32 : unit;
  return table;
}

bool UpcaseTable::FromExfat(std::string_view stored, UpcaseTable& table) {
  std::vector<char16_t> upper;
  upper.reserve(0x10000);
  bool skip = false;
  for (std::size_t i = 0; i + 1 < stored.size() && upper.size() < 0x10000;
       i += 2) {
    const auto unit =
        static_cast<char16_t>(static_cast<unsigned char>(stored[i]) |
                              (static_cast<unsigned char>(stored[i + 1]) << 8));
    if (skip) {
      // A run of units that are their own upper case.
      const std::size_t end =
          std::min<std::size_t>(0x10000, upper.size() + unit);
      while (upper.size() < end)
        upper.push_back(static_cast<char16_t>(upper.size()));
      skip = false;
    } else if (unit == 0xFFFF) {
      skip = true;
    } else {
      upper.push_back(unit);
    }
  }
  // Every exFAT drive folds a-z; a table that does not is no table read
  // right, and taken for one it could fold names the drive keeps apart.
  for (char16_t unit = u'a'; unit <= u'z'; ++unit) {
    if (unit >= upper.size() || upper[unit] != unit - 32) return false;
  }
  table.upper_ = std::move(upper);
  return true;
}

std::string FoldedName(std::string_view name, const UpcaseTable& table) {
  std::string folded;
  folded.reserve(name.size());
  for (std::size_t i = 0; i < name.size();) {
    char32_t code_point = 0;
    const std::size_t length = DecodeUtf8(name, i, code_point);
    if (length == 0 || code_point > 0xFFFF) {
      const std::size_t keep = length == 0 ? 1 : length;
      folded.append(name.substr(i, keep));
      i += keep;
      continue;
    }
    AppendUtf8(table.Upper(static_cast<char16_t>(code_point)), folded);
    i += length;
  }
  return folded;
}

std::uint32_t ExfatTableChecksum(std::string_view bytes) {
  std::uint32_t sum = 0;
  for (const char byte : bytes)
    sum = ((sum & 1) != 0 ? 0x80000000u : 0u) + (sum >> 1) +
          static_cast<unsigned char>(byte);
  return sum;
}

bool ReadExfatUpcaseTable(int device, UpcaseTable& table, SystemCalls& calls) {
  ExfatLayout layout;
  if (!ReadExfatLayout(device, layout, calls)) return false;
  // Formatting puts the table's entry in the root folder's first cluster.
  std::string root(std::min<std::uint64_t>(layout.cluster_bytes, 1 << 20),
                   '\0');
  if (!ReadExact(device, root, layout.Offset(layout.root_cluster), calls))
    return false;
  constexpr unsigned char kUpcaseEntry = 0x82;
  for (std::size_t at = 0; at + 32 <= root.size(); at += 32) {
    if (static_cast<unsigned char>(root[at]) != kUpcaseEntry) continue;
    const std::uint32_t checksum = Little32(&root[at + 4]);
    const std::uint32_t first_cluster = Little32(&root[at + 20]);
    const std::uint64_t length = Little64(&root[at + 24]);
    if (!layout.Holds(first_cluster) || length > 0x20000) return false;
    // Read as if its clusters follow one another, as formatting lays them;
    // the checksum finds out when they do not.
    std::string stored(static_cast<std::size_t>(length), '\0');
    return ReadExact(device, stored, layout.Offset(first_cluster), calls) &&
           ExfatTableChecksum(stored) == checksum &&
           UpcaseTable::FromExfat(stored, table);
  }
  return false;
}

}  // namespace kuronel
