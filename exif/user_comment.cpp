#include "exif/user_comment.h"

#include <algorithm>
#include <cstdint>
#include <optional>

#include "platform/cp932.h"
#include "platform/text.h"

namespace kuronel {
namespace {

std::optional<uint8_t> HexDigit(char c) {
  if (c >= '0' && c <= '9') return static_cast<uint8_t>(c - '0');
  if (c >= 'A' && c <= 'F') return static_cast<uint8_t>(c - 'A' + 10);
  if (c >= 'a' && c <= 'f') return static_cast<uint8_t>(c - 'a' + 10);
  return std::nullopt;
}

// Every byte of the hexadecimal text, zero bytes included.
std::string HexToBytes(std::string_view hex) {
  std::string bytes;
  bytes.reserve(hex.size() / 2);
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    auto high = HexDigit(hex[i]);
    auto low = HexDigit(hex[i + 1]);
    if (high && low) bytes += static_cast<char>(*high << 4 | *low);
  }
  return bytes;
}

bool IsHighSurrogate(char32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// UTF-16 units in the given byte order (an odd last byte is ignored). A zero
// unit gives a NUL character; a surrogate pair gives its character and a
// lone half gives U+FFFD.
std::string Utf16ToUtf8(std::string_view bytes, bool big_endian) {
  std::string out;
  const size_t units = bytes.size() / 2;
  auto unit_at = [&](size_t i) -> char32_t {
    const auto first = static_cast<uint8_t>(bytes[2 * i]);
    const auto second = static_cast<uint8_t>(bytes[2 * i + 1]);
    return big_endian ? (first << 8 | second) : (second << 8 | first);
  };
  for (size_t i = 0; i < units; ++i) {
    const char32_t unit = unit_at(i);
    if (IsHighSurrogate(unit) && i + 1 < units &&
        IsLowSurrogate(unit_at(i + 1))) {
      AppendUtf8(0x10000 + ((unit - 0xD800) << 10) + (unit_at(i + 1) - 0xDC00),
                 out);
      ++i;
    } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
      AppendUtf8(0xFFFD, out);
    } else {
      AppendUtf8(unit, out);
    }
  }
  return out;
}

// One JIS X 0208 character (row byte j1, cell byte j2) in Shift_JIS.
void AppendShiftJisPair(int j1, int j2, std::string& out) {
  // Floor division, so that bytes below 0x21 cannot round towards zero.
  int quotient = j1 - 0x21;
  quotient = quotient >= 0 ? quotient / 2 : -((-quotient + 1) / 2);
  const int s1 = quotient + (quotient < 0x1F ? 0x81 : 0xC1);
  int s2 = j2 + ((j1 & 1) ? 0x1F : 0x7E);
  if (s2 >= 0x7F && s2 <= 0x9D) ++s2;
  out += static_cast<char>(static_cast<uint8_t>(s1));
  out += static_cast<char>(static_cast<uint8_t>(s2));
}

constexpr uint8_t kEscape = 0x1B;
constexpr uint8_t kShiftOut = 0x0E;  // Switches double-byte mode on.
constexpr uint8_t kShiftIn = 0x0F;   // Switches it off.

}  // namespace

std::string HexToText(std::string_view hex) {
  std::string text = HexToBytes(hex);
  std::erase(text, '\0');
  return text;
}

std::string JisToShiftJis(std::string_view jis) {
  std::string out;
  bool double_byte = false;
  size_t i = 0;
  auto next = [&]() -> std::optional<uint8_t> {
    if (i >= jis.size()) return std::nullopt;
    return static_cast<uint8_t>(jis[i++]);
  };
  auto skip = [&](size_t count) { i = std::min(jis.size(), i + count); };
  while (auto byte = next()) {
    std::optional<uint8_t> data = byte;
    if (*byte == kEscape) {
      const auto x = next();
      if (!x) break;
      if (*x == 0x24) {  // ESC $ [(] F: JIS X 0208.
        const auto y = next();
        if (y && *y == 0x28) skip(1);
        double_byte = true;
        data = next();
      } else if (*x == 0x26) {  // ESC & @ ESC $ B: JIS X 0208-1990.
        skip(4);
        double_byte = true;
        data = next();
      } else if (*x == 0x28) {  // ESC ( F: a single-byte set.
        skip(1);
        double_byte = false;
        data = next();
      } else {
        data = x;  // Not an escape sequence: the ESC is dropped.
      }
    } else if (*byte == kShiftOut || *byte == kShiftIn) {
      double_byte = *byte == kShiftOut;
      data = next();
    }
    if (!data) break;
    if (double_byte) {
      const auto second = next();
      if (!second) break;
      AppendShiftJisPair(*data, *second, out);
    } else {
      out += static_cast<char>(*data);
    }
  }
  return out;
}

std::string DecodeUserComment(std::string_view hex, bool motorola_order) {
  const std::string code = HexToText(hex.substr(0, 16));
  const std::string_view rest = hex.size() > 16 ? hex.substr(16) : "";
  if (SameIgnoringAsciiCase(code, "ASCII")) return HexToText(rest);
  if (SameIgnoringAsciiCase(code, "Unicode"))
    return Utf16ToUtf8(HexToBytes(rest), motorola_order);
  if (SameIgnoringAsciiCase(code, "JIS"))
    return Cp932ToUtf8(JisToShiftJis(HexToBytes(rest)));
  return std::string();
}

}  // namespace kuronel
