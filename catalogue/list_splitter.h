#ifndef KURONEL_CATALOGUE_LIST_SPLITTER_H_
#define KURONEL_CATALOGUE_LIST_SPLITTER_H_

#include <string>
#include <string_view>
#include <vector>

namespace kuronel {

// Splits a comma-separated text with double-quote quoting into its items:
// - characters with codes 1 to 32 before an item are skipped;
// - an item that begins with '"' runs to the next '"' that is not doubled
//   ("" inside stands for one '"'; a missing closing quote takes the rest);
// - any other item runs up to the next comma or character 1 to 32, so an
//   unquoted blank ends it;
// - after an item characters 1 to 32 are skipped; a comma there is stepped
//   over with the characters 1 to 32 after it, and a comma that is the last
//   character of the text adds one empty item.
// A NUL character ends the text. The file listing quotes every path, so paths
// with blanks and commas come back whole; an Exif date "2004:05:12 10:20:30"
// splits at its blank into date and time.
std::vector<std::string> SplitList(std::string_view text);

}  // namespace kuronel

#endif  // KURONEL_CATALOGUE_LIST_SPLITTER_H_
