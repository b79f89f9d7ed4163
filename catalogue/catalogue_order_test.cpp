#include "catalogue/catalogue_order.h"

#include <algorithm>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "gmock/gmock.h"
#include "gtest/gtest.h"
#include "platform/cp932.h"

namespace kuronel {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

std::vector<std::string> Sorted(std::vector<std::string> texts,
                                bool ascending) {
  const std::vector<size_t> order = SortPermutation(
      texts.size(), [&](size_t row) { return std::string_view(texts[row]); },
      ascending);
  std::vector<std::string> result;
  for (size_t row : order) result.push_back(texts[row]);
  return result;
}

int Sign(int value) { return (value > 0) - (value < 0); }

// A header click on the main list, as the window makes it.
void Click(FileCatalogue& catalogue, int column, SortState& state) {
  ApplyPermutation(catalogue, ClickedColumnOrder(
                                  catalogue.size(),
                                  [&](size_t row) {
                                    return CatalogueColumnText(catalogue[row],
                                                               column);
                                  },
                                  column, state));
}

struct CompareCase {
  std::string a;
  std::string b;
  int expected;  // sign of the comparison of their sort keys
};

TEST(SortKeyTest, ComparesCp932BytesWithLettersAsCapitals) {
  const std::vector<CompareCase> cases = {
      {"IMG_10.JPG", "IMG_9.JPG", -1},  // text, not number
      {"img_1.jpg", "IMG_1.JPG", 0},
      {"a", "_", -1},    // 'a' is taken as 'A' (0x41) < '_' (0x5F)
      {"abc", "ab", 1},  // the shorter prefix first
      {"", "a", -1},
      {"2004/05/12", "2004/05/12 00:00:02", -1},
      {"2004/05/12 10:00:00", "2004/05/12 9:05:00", -1},
      // CP932 order differs from code point order: 亜 889F, 一 88EA.
      {"亜", "一", -1},
      {"七", "丁", -1},           // 8EB5 < 929A, yet U+4E03 > U+4E01
      {"ｱ", "ア", 1},             // half-width B1 after 8341
      {"é", "亜", 1},             // no CP932 form: after every CP932 character
      {"한", "\xE2\x85\xB9", 1},  // U+2179 (FA49) is near the end of CP932
      {"😀", "한", 1},             // beyond CP932: by code point
      {"a😀", "ab", 1},
      // A Shift_JIS name (not UTF-8) is compared by its own bytes.
      {"\x88\x9F.jpg", "一.jpg", -1},
      {"\x88\x9F", "亜", 0},
      // The second byte of a double-byte character is no letter.
      {"\x83\x61", "\x83\x41", 1},
  };
  for (const CompareCase& c : cases) {
    EXPECT_EQ(Sign(SortKey(c.a).compare(SortKey(c.b))), c.expected)
        << c.a << " vs " << c.b;
    EXPECT_EQ(Sign(SortKey(c.b).compare(SortKey(c.a))), -c.expected)
        << c.b << " vs " << c.a;
  }
}

TEST(SortKeyTest, TheTestCharactersHaveTheirAssumedForms) {
  EXPECT_EQ(Utf8ToCp932("亜一"), "\x88\x9F\x88\xEA");
  EXPECT_EQ(Utf8ToCp932("\xE2\x85\xB9"), "\xFA\x49");
  EXPECT_EQ(CodePointToCp932(U'é'), std::nullopt);
  EXPECT_EQ(CodePointToCp932(U'한'), std::nullopt);
}

TEST(SortPermutationTest, SortsBothWaysAndKeepsEqualTextsInOrder) {
  const std::vector<std::string> texts = {"IMG_1.JPG", "b",  "img_1.jpg", "亜",
                                          "A",         "한", "IMG_1.jpg"};
  EXPECT_THAT(
      Sorted(texts, true),
      ElementsAre("A", "b", "IMG_1.JPG", "img_1.jpg", "IMG_1.jpg", "亜", "한"));
  EXPECT_THAT(
      Sorted(texts, false),
      ElementsAre("한", "亜", "IMG_1.JPG", "img_1.jpg", "IMG_1.jpg", "b", "A"));
  EXPECT_THAT(Sorted({}, true), ElementsAre());
}

TEST(ApplyPermutationTest, PutsRowsInTheGivenOrder) {
  std::mt19937 random(7);
  for (size_t size : {0, 1, 2, 5, 100}) {
    std::vector<size_t> order(size);
    std::iota(order.begin(), order.end(), size_t{0});
    std::shuffle(order.begin(), order.end(), random);
    std::vector<std::string> rows;
    for (size_t i = 0; i < size; ++i) rows.push_back(std::to_string(i));
    std::vector<std::string> expected;
    for (size_t from : order) expected.push_back(rows[from]);
    ApplyPermutation(rows, order);
    EXPECT_EQ(rows, expected) << size;
  }
}

FileCatalogue ThreeRows() {
  return {{"2004_05_12", "b.jpg", "/x/", "2004/05/12 10:20:30", false},
          {"2003_01_01", "c.jpg", "/y/", "2003/01/01", true},
          {"2005_07_08", "a.jpg", "/w/", "2005/07/08 08:00:00", false}};
}

std::vector<std::string> Names(const FileCatalogue& catalogue) {
  std::vector<std::string> names;
  for (const CatalogueRow& row : catalogue) names.push_back(row.FileName);
  return names;
}

TEST(SortCatalogueTest, SortsByTheColumnOfTheStateAndKeepsTheState) {
  struct Case {
    int column;
    bool ascending;
    std::vector<std::string> names;
  };
  for (const Case& c : std::vector<Case>{
           {kDisplayKindColumn, true, {"c.jpg", "b.jpg", "a.jpg"}},
           {kFileNameColumn, true, {"a.jpg", "b.jpg", "c.jpg"}},
           {kFolderColumn, false, {"c.jpg", "b.jpg", "a.jpg"}},
           {kTimestampColumn, false, {"a.jpg", "b.jpg", "c.jpg"}}}) {
    FileCatalogue catalogue = ThreeRows();
    const SortState state{c.column, c.ascending};
    SortCatalogue(catalogue, state);
    EXPECT_EQ(Names(catalogue), c.names) << c.column;
    for (const CatalogueRow& row : catalogue)  // rows move whole
      EXPECT_EQ(row.Checked, row.FileName == "c.jpg");
  }
}

TEST(ClickedColumnOrderTest, ClicksSortDescendingThenAscendingThenDescending) {
  FileCatalogue catalogue = ThreeRows();
  SortState state;  // as at start: column 0, descending
  Click(catalogue, kFileNameColumn, state);
  EXPECT_THAT(Names(catalogue), ElementsAre("c.jpg", "b.jpg", "a.jpg"));
  EXPECT_EQ(state.SortColumn, kFileNameColumn);
  EXPECT_TRUE(state.SortAscending);

  Click(catalogue, kTimestampColumn, state);
  EXPECT_THAT(Names(catalogue), ElementsAre("c.jpg", "b.jpg", "a.jpg"));
  EXPECT_EQ(state.SortColumn, kTimestampColumn);
  EXPECT_FALSE(state.SortAscending);

  Click(catalogue, kFileNameColumn, state);
  EXPECT_THAT(Names(catalogue), ElementsAre("c.jpg", "b.jpg", "a.jpg"));
  Click(catalogue, kFileNameColumn, state);
  EXPECT_THAT(Names(catalogue), ElementsAre("a.jpg", "b.jpg", "c.jpg"));
  // The rows move whole.
  EXPECT_TRUE(catalogue[2].Checked);
  EXPECT_EQ(catalogue[2].Folder, "/y/");
}

}  // namespace
}  // namespace kuronel
