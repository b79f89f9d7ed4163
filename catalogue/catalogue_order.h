#ifndef KURONEL_CATALOGUE_CATALOGUE_ORDER_H_
#define KURONEL_CATALOGUE_CATALOGUE_ORDER_H_

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/catalogue_row.h"

namespace kuronel {

// The one sort state of the program, shared by the main list and the
// processing window's list. The column indexes are those of the main list.
inline constexpr int kDisplayKindColumn = 0;
inline constexpr int kFileNameColumn = 1;
inline constexpr int kFolderColumn = 2;
inline constexpr int kTimestampColumn = 3;

struct SortState {
  int SortColumn = 0;
  bool SortAscending = false;
};

// The execute command's order: ascending by timestamp text, so that each
// day's rows stand together for the running suffixes of the new names.
inline void SortForExecute(SortState& state) {
  state.SortColumn = kTimestampColumn;
  state.SortAscending = true;
}

// The status text after a column-click sort.
inline constexpr char kSortedText[] = "ソートしました。";

// The bytes by which a text sorts: its CP932 form with the single-byte
// letters a-z taken as A-Z (no other mapping). A character without a CP932
// form becomes 0xFF and its code point in three bytes, so it sorts after every
// CP932 character (no CP932 byte reaches 0xFF), by code point. A text that is
// not valid UTF-8 (a Shift_JIS file name) is taken as CP932 bytes already.
std::string SortKey(std::string_view text);

// The order of `count` rows by the texts that `text_of` gives, ascending or
// descending: result[0] is the index of the row that goes first. Rows whose
// texts compare equal keep their order. Each text is converted once.
using RowText = std::function<std::string_view(size_t row)>;
std::vector<size_t> SortPermutation(size_t count, const RowText& text_of,
                                    bool ascending);

// Puts `rows` into the order of `permutation` (as SortPermutation gives it)
// by swapping, without a second copy of the rows.
template <typename Row>
void ApplyPermutation(std::vector<Row>& rows, std::vector<size_t> permutation);

// The text of a catalogue column: 0 DisplayKind, 1 FileName, 2 Folder,
// 3 Timestamp (other columns: an empty text).
std::string_view CatalogueColumnText(const CatalogueRow& row, int column);

// The order of the catalogue by state.SortColumn in the direction of
// state.SortAscending (as SortPermutation gives it), changing neither.
std::vector<size_t> CatalogueOrder(const FileCatalogue& catalogue,
                                   const SortState& state);

// Sorts the catalogue into CatalogueOrder.
void SortCatalogue(FileCatalogue& catalogue, const SortState& state);

// A click on a column header of either list: records the column and gives
// the order by it in the current direction, then flips the direction for
// the next sort. The window shows kSortedText.
std::vector<size_t> ClickedColumnOrder(size_t count, const RowText& text_of,
                                       int column, SortState& state);

template <typename Row>
void ApplyPermutation(std::vector<Row>& rows, std::vector<size_t> permutation) {
  // Follow each cycle: position i takes the row from permutation[i].
  for (size_t start = 0; start < permutation.size(); ++start) {
    size_t current = start;
    while (permutation[current] != start) {
      const size_t from = permutation[current];
      std::swap(rows[current], rows[from]);
      permutation[current] = current;
      current = from;
    }
    permutation[current] = current;
  }
}

}  // namespace kuronel

#endif  // KURONEL_CATALOGUE_CATALOGUE_ORDER_H_
