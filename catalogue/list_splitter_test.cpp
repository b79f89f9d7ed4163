#include "catalogue/list_splitter.h"

#include <string>
#include <vector>

#include "gmock/gmock.h"
#include "gtest/gtest.h"

namespace kuronel {
namespace {

using ::testing::ElementsAreArray;

struct SplitCase {
  const char* name;
  std::string text;
  std::vector<std::string> items;
};

class SplitListTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitListTest, SplitsIntoItems) {
  EXPECT_THAT(SplitList(GetParam().text), ElementsAreArray(GetParam().items))
      << "text: [" << GetParam().text << "]";
}

INSTANTIATE_TEST_SUITE_P(
    Rules, SplitListTest,
    ::testing::Values(
        SplitCase{"Empty", "", {}}, SplitCase{"OnlyBlanks", " \t\r\n", {}},
        SplitCase{"OneItem", "abc", {"abc"}},
        SplitCase{"Commas", "a,b,c", {"a", "b", "c"}},
        SplitCase{"BlankEndsAnUnquotedItem",
                  "2004:05:12 10:20:30",
                  {"2004:05:12", "10:20:30"}},
        SplitCase{"LeadingAndTrailingControlsSkipped",
                  "\x01\t a , b \x1f",
                  {"a", "b"}},
        SplitCase{"QuotedKeepsCommaAndBlank",
                  "\"/x/a, b.jpg\",\"/x/c.jpg\"",
                  {"/x/a, b.jpg", "/x/c.jpg"}},
        SplitCase{
            "DoubledQuoteIsOne", "\"say \"\"hi\"\"\",z", {"say \"hi\"", "z"}},
        SplitCase{"EmptyQuoted", "\"\",x", {"", "x"}},
        SplitCase{"UnterminatedQuoteTakesTheRest", "\"a,b c", {"a,b c"}},
        SplitCase{"TextAfterClosingQuoteIsAnotherItem",
                  "\"ab\"cd,e",
                  {"ab", "cd", "e"}},
        SplitCase{"TwoCommasGiveAnEmptyItem", "a,,b", {"a", "", "b"}},
        SplitCase{"LeadingCommaGivesAnEmptyItem", ",a", {"", "a"}},
        SplitCase{"TrailingCommaAddsOneEmptyItem", "a,", {"a", ""}},
        SplitCase{"CommaThenBlankAtTheEndAddsNothing", "a, ", {"a"}},
        SplitCase{"LoneComma", ",", {"", ""}},
        SplitCase{"NulEndsTheText", std::string("a,b\0,c", 6), {"a", "b"}},
        SplitCase{"Utf8AndShiftJisBytesKept",
                  "\"/写真/\x8e\xca\x90\x5e.jpg\"",
                  {"/写真/\x8e\xca\x90\x5e.jpg"}}),
    [](const ::testing::TestParamInfo<SplitCase>& test_info) {
      return std::string(test_info.param.name);
    });

}  // namespace
}  // namespace kuronel
