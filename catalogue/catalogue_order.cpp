#include "catalogue/catalogue_order.h"

#include <algorithm>
#include <numeric>
#include <optional>

#include "platform/cp932.h"
#include "platform/text.h"

namespace kuronel {
namespace {

// Marks a character without a CP932 form; CP932 never uses this byte.
constexpr char kBeyondCp932 = '\xFF';

bool IsCp932LeadByte(unsigned char c) {
  return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// Appends CP932 bytes with the single-byte letters a-z as A-Z. The second
// byte of a double-byte character is copied as it is: it is no letter.
void AppendFoldedCp932(std::string_view cp932, std::string& key) {
  for (size_t i = 0; i < cp932.size(); ++i) {
    const auto c = static_cast<unsigned char>(cp932[i]);
    if (IsCp932LeadByte(c) && i + 1 < cp932.size()) {
      key += cp932[i];
      key += cp932[++i];
    } else {
      key += AsciiUpper(cp932[i]);
    }
  }
}

bool IsAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) {
    return static_cast<unsigned char>(c) < 0x80;
  });
}

// Decodes the UTF-8 character at text[pos] (the text is valid UTF-8) and
// steps over it.
char32_t NextCodePoint(std::string_view text, size_t& pos) {
  const auto lead = static_cast<unsigned char>(text[pos++]);
  if (lead < 0x80) return lead;
  const int trail = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : 1;
  char32_t code_point = lead & (0x3F >> trail);
  for (int i = 0; i < trail; ++i)
    code_point = (code_point << 6) | (text[pos++] & 0x3F);
  return code_point;
}

// The rare text that holds characters CP932 cannot represent: converted one
// character at a time.
void AppendKeyByCharacter(std::string_view utf8, std::string& key) {
  size_t pos = 0;
  while (pos < utf8.size()) {
    const char32_t code_point = NextCodePoint(utf8, pos);
    if (std::optional<std::string> bytes = CodePointToCp932(code_point)) {
      AppendFoldedCp932(*bytes, key);
    } else {
      key += kBeyondCp932;
      key += static_cast<char>((code_point >> 16) & 0xFF);
      key += static_cast<char>((code_point >> 8) & 0xFF);
      key += static_cast<char>(code_point & 0xFF);
    }
  }
}

void AppendSortKey(std::string_view text, std::string& key) {
  if (IsAscii(text) || !IsValidUtf8(text)) {
    AppendFoldedCp932(text, key);
  } else if (std::optional<std::string> cp932 = Utf8ToCp932(text)) {
    AppendFoldedCp932(*cp932, key);
  } else {
    AppendKeyByCharacter(text, key);
  }
}

}  // namespace

std::string SortKey(std::string_view text) {
  std::string key;
  key.reserve(text.size());
  AppendSortKey(text, key);
  return key;
}

std::vector<size_t> SortPermutation(size_t count, const RowText& text_of,
                                    bool ascending) {
  // All keys in one buffer: no allocation per row.
  std::string keys;
  std::vector<size_t> key_end(count);
  for (size_t row = 0; row < count; ++row) {
    AppendSortKey(text_of(row), keys);
    key_end[row] = keys.size();
  }
  const std::string_view all_keys(keys);
  auto key_of = [&](size_t row) {
    const size_t begin = row == 0 ? 0 : key_end[row - 1];
    return all_keys.substr(begin, key_end[row] - begin);
  };

  std::vector<size_t> order(count);
  std::iota(order.begin(), order.end(), size_t{0});
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    return ascending ? key_of(a) < key_of(b) : key_of(b) < key_of(a);
  });
  return order;
}

std::string_view CatalogueColumnText(const CatalogueRow& row, int column) {
  switch (column) {
    case kDisplayKindColumn:
      return row.DisplayKind;
    case kFileNameColumn:
      return row.FileName;
    case kFolderColumn:
      return row.Folder;
    case kTimestampColumn:
      return row.Timestamp;
    default:
      return std::string_view();
  }
}

std::vector<size_t> CatalogueOrder(const FileCatalogue& catalogue,
                                   const SortState& state) {
  return SortPermutation(
      catalogue.size(),
      [&](size_t row) {
        return CatalogueColumnText(catalogue[row], state.SortColumn);
      },
      state.SortAscending);
}

void SortCatalogue(FileCatalogue& catalogue, const SortState& state) {
  ApplyPermutation(catalogue, CatalogueOrder(catalogue, state));
}

std::vector<size_t> ClickedColumnOrder(size_t count, const RowText& text_of,
                                       int column, SortState& state) {
  state.SortColumn = column;
  std::vector<size_t> order =
      SortPermutation(count, text_of, state.SortAscending);
  state.SortAscending = !state.SortAscending;
  return order;
}

}  // namespace kuronel
