// libFuzzer target: the list splitter. On any text it must end; what it
// splits must come back the same when joined the way the file listing joins
// paths (quoted, '"' doubled, commas between), and any list of names joined
// that way must split back into exactly those names.

#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/list_splitter.h"

namespace {

void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "property violated: %s\n", what);
    abort();
  }
}

// The file listing's form: "a","b" with every '"' inside a name doubled.
std::string JoinQuoted(const std::vector<std::string>& items) {
  std::string text;
  bool first = true;
  for (const std::string& item : items) {
    if (!first) text += ',';
    first = false;
    text += '"';
    for (char c : item) {
      if (c == '"') text += '"';
      text += c;
    }
    text += '"';
  }
  return text;
}

bool IsBlank(char c) {
  return static_cast<unsigned char>(c) >= 1 &&
         static_cast<unsigned char>(c) <= 32;
}

void CheckSplitOfAnyText(std::string_view text) {
  const std::vector<std::string> items = kuronel::SplitList(text);
  const std::string_view before_nul = text.substr(0, text.find('\0'));
  size_t total = 0;
  for (const std::string& item : items) {
    Check(item.find('\0') == std::string::npos, "no item holds a NUL");
    total += item.size();
  }
  Check(total <= before_nul.size(), "items are no longer than the text");
  Check(kuronel::SplitList(JoinQuoted(items)) == items,
        "a split list joined quoted splits the same");
  Check(kuronel::SplitList(" \t\x01" + std::string(text)) == items,
        "blanks before the first item change nothing");
  Check(kuronel::SplitList(before_nul) == items, "a NUL ends the text");
}

// Names made from the input: NUL separates them (a path cannot hold one).
void CheckJoinedNamesSplitBack(std::string_view text) {
  std::vector<std::string> names;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\0', start);
    if (end == std::string_view::npos) end = text.size();
    names.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
  Check(kuronel::SplitList(JoinQuoted(names)) == names,
        "quoted names split back whole");
  // Names without blanks, commas and quotes need no quotes at all.
  std::vector<std::string> plain;
  for (const std::string& name : names) {
    std::string word;
    for (char c : name)
      if (!IsBlank(c) && c != ',' && c != '"') word += c;
    if (!word.empty()) plain.push_back(word);
  }
  std::string joined;
  for (const std::string& word : plain)
    joined += (joined.empty() ? "" : ",") + word;
  Check(kuronel::SplitList(joined) == plain, "plain names split back whole");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  CheckSplitOfAnyText(text);
  CheckJoinedNamesSplitBack(text);
  return 0;
}
