#include "catalogue/list_splitter.h"

namespace kuronel {
namespace {

constexpr char kDelimiter = ',';
constexpr char kQuote = '"';

bool IsBlankOrControl(char c) {
  const auto code = static_cast<unsigned char>(c);
  return code >= 1 && code <= 32;
}

// Reads a quoted item starting at text[pos] == '"'; leaves pos after the
// closing quote, or at the end when there is none.
std::string ReadQuotedItem(std::string_view text, size_t& pos) {
  std::string item;
  ++pos;
  while (pos < text.size()) {
    if (text[pos] != kQuote) {
      item += text[pos++];
    } else if (pos + 1 < text.size() && text[pos + 1] == kQuote) {
      item += kQuote;
      pos += 2;
    } else {
      ++pos;
      break;
    }
  }
  return item;
}

std::string ReadPlainItem(std::string_view text, size_t& pos) {
  const size_t start = pos;
  while (pos < text.size() && !IsBlankOrControl(text[pos]) &&
         text[pos] != kDelimiter)
    ++pos;
  return std::string(text.substr(start, pos - start));
}

void SkipBlanks(std::string_view text, size_t& pos) {
  while (pos < text.size() && IsBlankOrControl(text[pos])) ++pos;
}

}  // namespace

std::vector<std::string> SplitList(std::string_view text) {
  text = text.substr(0, text.find('\0'));
  std::vector<std::string> items;
  size_t pos = 0;
  SkipBlanks(text, pos);
  while (pos < text.size()) {
    items.push_back(text[pos] == kQuote ? ReadQuotedItem(text, pos)
                                        : ReadPlainItem(text, pos));
    SkipBlanks(text, pos);
    if (pos < text.size() && text[pos] == kDelimiter) {
      if (pos + 1 == text.size()) items.emplace_back();
      ++pos;
      SkipBlanks(text, pos);
    }
  }
  return items;
}

}  // namespace kuronel
