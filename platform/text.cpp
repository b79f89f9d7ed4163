#include "platform/text.h"

#include <algorithm>

namespace kuronel {
namespace {

constexpr std::string_view kBlackSquare = "■";
constexpr std::string_view kWhiteSquare = "□";

// `cells` squares, black from `black_begin` up to before `black_end`.
std::string Squares(std::size_t black_begin, std::size_t black_end,
                    std::size_t cells) {
  std::string bar;
  bar.reserve(cells * kBlackSquare.size());
  for (std::size_t i = 0; i < cells; ++i)
    bar += i >= black_begin && i < black_end ? kBlackSquare : kWhiteSquare;
  return bar;
}

}  // namespace

char AsciiLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

char AsciiUpper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool SameIgnoringAsciiCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return AsciiLower(x) == AsciiLower(y);
  });
}

std::string ProgressBar(std::size_t filled, std::size_t cells) {
  return Squares(0, filled, cells);
}

std::string MarkerBar(std::size_t position, std::size_t cells) {
  return Squares(position, position + 1, cells);
}

}  // namespace kuronel
