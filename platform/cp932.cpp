#include "platform/cp932.h"

#include <cerrno>

#include "platform/system_calls.h"

namespace kuronel {
namespace {

// One conversion descriptor per direction and thread: opening a descriptor
// costs far more than converting a file name.
class Converter {
 public:
  Converter(const char* to, const char* from, SystemCalls& calls)
      : calls_(calls), cd_(calls.OpenConverter(to, from)) {}
  ~Converter() {
    if (opened()) calls_.CloseConverter(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts `in`; on a sequence it cannot convert, calls on_invalid with the
  // output so far and the remaining input and goes on when it returns true.
  template <typename OnInvalid>
  bool Convert(std::string_view in, std::string& out, OnInvalid on_invalid) {
    if (!opened()) return false;
    calls_.Convert(cd_, nullptr, nullptr, nullptr, nullptr);
    char* in_ptr = const_cast<char*>(in.data());
    size_t in_left = in.size();
    char buffer[1024];
    while (in_left > 0) {
      char* out_ptr = buffer;
      size_t out_left = sizeof buffer;
      size_t result =
          calls_.Convert(cd_, &in_ptr, &in_left, &out_ptr, &out_left);
      out.append(buffer, out_ptr - buffer);
      if (result != static_cast<size_t>(-1)) continue;
      if (errno == E2BIG) continue;
      // EILSEQ or EINVAL (an incomplete sequence at the end).
      if (!on_invalid(out, in_ptr, in_left)) return false;
    }
    char* out_ptr = buffer;
    size_t out_left = sizeof buffer;
    calls_.Convert(cd_, nullptr, nullptr, &out_ptr, &out_left);
    out.append(buffer, out_ptr - buffer);
    return true;
  }

 private:
  bool opened() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  SystemCalls& calls_;
  iconv_t cd_;
};

// The codec is pure text to its callers (sort keys, file names shown in the
// windows, Exif comments), which hold no SystemCalls: its converters are
// opened on the system's own calls, here and nowhere else.
Converter& ToUtf8() {
  thread_local Converter converter("UTF-8", "CP932", RealSystemCalls());
  return converter;
}

Converter& ToCp932() {
  thread_local Converter converter("CP932", "UTF-8", RealSystemCalls());
  return converter;
}

}  // namespace

void AppendUtf8(char32_t cp, std::string& out) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

std::string Cp932ToUtf8(std::string_view cp932) {
  std::string out;
  out.reserve(cp932.size() * 3 / 2);
  ToUtf8().Convert(cp932, out, [](std::string& o, char*& in, size_t& left) {
    o += "\xEF\xBF\xBD";  // U+FFFD
    ++in;
    --left;
    return true;
  });
  return out;
}

std::optional<std::string> Utf8ToCp932(std::string_view utf8) {
  if (!IsValidUtf8(utf8)) return std::nullopt;
  std::string out;
  out.reserve(utf8.size());
  bool ok = ToCp932().Convert(
      utf8, out, [](std::string&, char*&, size_t&) { return false; });
  if (!ok) return std::nullopt;
  return out;
}

std::optional<std::string> CodePointToCp932(char32_t code_point) {
  if (code_point > 0x10FFFF || (code_point >= 0xD800 && code_point <= 0xDFFF))
    return std::nullopt;
  std::string utf8;
  AppendUtf8(code_point, utf8);
  return Utf8ToCp932(utf8);
}

std::size_t DecodeUtf8(std::string_view text, std::size_t i,
                       char32_t& code_point) {
  const auto byte = [&](std::size_t k) {
    return static_cast<unsigned char>(text[k]);
  };
  const unsigned char lead = byte(i);
  const std::size_t length = lead < 0x80           ? 1
                             : (lead >> 5) == 0x6  ? 2
                             : (lead >> 4) == 0xE  ? 3
                             : (lead >> 3) == 0x1E ? 4
                                                   : 0;
  if (length == 0 || i + length > text.size()) return 0;
  code_point = length == 1 ? lead : lead & (0x7F >> length);
  for (std::size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    code_point = (code_point << 6) | (byte(i + k) & 0x3F);
  }
  static constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
  const bool overlong = code_point < kLeast[length];
  const bool surrogate = code_point >= 0xD800 && code_point <= 0xDFFF;
  if (overlong || surrogate || code_point > 0x10FFFF) return 0;
  return length;
}

bool IsValidUtf8(std::string_view bytes) {
  char32_t code_point;
  for (std::size_t i = 0; i < bytes.size();) {
    const std::size_t length = DecodeUtf8(bytes, i, code_point);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

std::string DisplayName(std::string_view bytes) {
  if (IsValidUtf8(bytes)) return std::string(bytes);
  return Cp932ToUtf8(bytes);
}

std::string DisplayPath(std::string_view path) {
  std::string shown;
  for (std::string_view::size_type start = 0;;) {
    const std::string_view::size_type slash = path.find('/', start);
    shown += DisplayName(path.substr(start, slash - start));
    if (slash == std::string_view::npos) return shown;
    shown += '/';
    start = slash + 1;
  }
}

}  // namespace kuronel
