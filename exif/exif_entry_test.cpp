// Reading one entry's value by its type, count and byte order.

#include "exif/exif_entry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "exif/byte_source.h"

namespace kuronel {
namespace {

using std::string_literals::operator""s;

constexpr uint64_t kFieldPosition = 4;  // The entry's field in the data.
constexpr uint64_t kTiffStart = 8;      // Offsets count from here.

struct EntryCase {
  const char* name;
  bool motorola;
  uint8_t type;
  uint32_t count;
  std::string field;    // The 4 bytes of the value-or-offset field.
  std::string payload;  // Bytes at kTiffStart (offset 0) and after.
  // Expected EntryValue.
  double number = 0;
  int32_t signed_value = 0;
  std::string text = "";
  uint32_t unsigned_value = 0;
};

EntryValue Read(const EntryCase& c) {
  const std::string data = "...."s + c.field + c.payload;
  MemoryByteSource source(data);
  ByteReader reader(source);
  reader.set_motorola_order(c.motorola);
  DirectoryEntry entry;
  entry.type = c.type;
  entry.count = c.count;
  entry.field =
      reader.Decode32(reinterpret_cast<const uint8_t*>(c.field.data()));
  entry.field_position = kFieldPosition;
  return ReadEntryValue(reader, entry, kTiffStart);
}

class EntryValueTest : public ::testing::TestWithParam<EntryCase> {};

TEST_P(EntryValueTest, ReadsWhatTheTypeSays) {
  const EntryCase& c = GetParam();
  const EntryValue value = Read(c);
  EXPECT_DOUBLE_EQ(value.Number, c.number);
  EXPECT_EQ(value.SignedValue, c.signed_value);
  EXPECT_EQ(value.Text, c.text);
  EXPECT_EQ(value.UnsignedValue, c.unsigned_value);
}

const std::string kAt0 = "\0\0\0\0"s;  // Offset 0, little- or big-endian.

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Types, EntryValueTest,
    ::testing::Values(
        EntryCase{"ByteReadsOneWhateverTheCount", false, 1, 3, "\x07\x08\x09\x00"s, "", 0, 0, "", 7},
        EntryCase{"ByteCountZeroStillReadsOne", false, 1, 0, "\xC8\0\0\0"s, "", 0, 0, "", 200},
        EntryCase{"AsciiInline", false, 2, 4, "abc\0"s, "", 0, 0, "abc", 0},
        EntryCase{"AsciiDropsEveryNul", false, 2, 7, kAt0, "Can\0on\0"s, 0, 0, "Canon", 0},
        EntryCase{"AsciiCountZero", false, 2, 0, "abcd", "", 0, 0, "", 0},
        EntryCase{"ShortLittle", false, 3, 1, "\x01\x02\0\0"s, "", 0, 0, "", 0x0201},
        EntryCase{"ShortBig", true, 3, 2, "\x01\x02\x03\x04"s, "", 0, 0, "", 0x0102},
        EntryCase{"LongBig", true, 4, 1, "\x01\x02\x03\x04"s, "", 0, 0, "", 0x01020304},
        EntryCase{"Rational", false, 5, 1, kAt0, "\x01\0\0\0\x3C\0\0\0"s, 1.0 / 60, 0, "1/60", 0},
        EntryCase{"RationalZeroDenominator", true, 5, 1, kAt0, "\0\0\0\x0A\0\0\0\0"s, 0, 0, "10/0", 0},
        EntryCase{"RationalUnsignedText", false, 5, 1, kAt0, "\xFF\xFF\xFF\xFF\x01\0\0\0"s, 4294967295.0, 0, "4294967295/1", 0},
        EntryCase{"SRational", false, 10, 1, kAt0, "\xFF\xFF\xFF\xFF\x03\0\0\0"s, -1.0 / 3, 0, "-1/3", 0},
        EntryCase{"SByte", false, 6, 1, "\xFF\0\0\0"s, "", 0, -1, "", 0},
        EntryCase{"UndefinedAsHex", false, 7, 4, "\x30\x32\x32\x30"s, "", 0, 0, "30323230", 0},
        EntryCase{"UndefinedByOffset", false, 7, 5, kAt0, "\x00\xAB\x10\xFF\x7F"s, 0, 0, "00AB10FF7F", 0},
        EntryCase{"SShortBig", true, 8, 1, "\xFF\xFE\0\0"s, "", 0, -2, "", 0},
        EntryCase{"SLong", false, 9, 1, "\x00\x00\x00\x80"s, "", 0, std::numeric_limits<int32_t>::min(), "", 0},
        EntryCase{"Float", false, 11, 1, "\0\0\xC0\x3F"s, "", 1.5, 0, "", 0},
        EntryCase{"DoubleBig", true, 12, 1, kAt0, "\x3F\xF8\0\0\0\0\0\0"s, 1.5, 0, "", 0},
        EntryCase{"TypeZeroReadsNothing", false, 0, 1, "\x01\x02\x03\x04"s, "", 0, 0, "", 0},
        EntryCase{"TypeThirteenReadsNothing", false, 13, 1, kAt0, "\x01\x02\x03\x04\x05\x06\x07\x08"s, 0, 0, "", 0},
        // A count whose 32-bit size wraps to 0 still names a value by offset.
        EntryCase{"WrappingSizeIsByOffset", false, 3, 0x80000000u, "\x02\0\0\0"s, "\0\0\x05\x00"s, 0, 0, "", 5},
        // Values past the end: texts keep what is there, numbers stay clear.
        EntryCase{"HugeAsciiCountStopsAtTheEnd", false, 2, 0xFFFFFFFFu, kAt0, "abc"s, 0, 0, "abc", 0},
        EntryCase{"HugeUndefinedCountStopsAtTheEnd", false, 7, 0xFFFFFFFFu, "\x01\0\0\0"s, "\x00\x41\x42"s, 0, 0, "4142", 0},
        EntryCase{"AsciiOffsetPastTheEnd", false, 2, 8, "\xF0\xFF\xFF\xFF"s, "", 0, 0, "", 0},
        EntryCase{"RationalCutByTheEnd", false, 5, 1, kAt0, "\x01\0\0\0\x02\0"s, 0, 0, "", 0},
        EntryCase{"LongOffsetPastTheEnd", false, 4, 2, "\xFF\xFF\xFF\xFF"s, "", 0, 0, "", 0}),
    [](const auto& test_info) { return std::string(test_info.param.name); });
// clang-format on

TEST(EntryValueTest, NonFiniteNumbersAreKept) {
  EntryCase nan{"", false, 11, 1, "\0\0\xC0\x7F"s, ""};
  EXPECT_TRUE(std::isnan(Read(nan).Number));
  EntryCase infinity{"", false, 12, 1, kAt0, "\0\0\0\0\0\0\xF0\xFF"s};
  EXPECT_EQ(Read(infinity).Number, -std::numeric_limits<double>::infinity());
}

TEST(TypeUnitTest, UnknownTypesCountEightBytes) {
  const uint32_t expected[] = {8, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8, 8};
  for (uint8_t type = 0; type <= 13; ++type)
    EXPECT_EQ(TypeUnit(type), expected[type]) << int{type};
  EXPECT_EQ(TypeUnit(255), 8u);
}

}  // namespace
}  // namespace kuronel

namespace kuronel {
namespace {

TEST(ByteReaderTest, TextBudgetBoundsAllTextsOfOneReadTogether) {
  MemoryByteSource source("0123456789");
  ByteReader reader(source, 12);
  EXPECT_EQ(reader.BytesUpTo(0, 8), "01234567");
  EXPECT_EQ(reader.BytesUpTo(2, 100), "2345");
  EXPECT_EQ(reader.BytesUpTo(0, 1), "");
  EXPECT_EQ(reader.U16At(8), 0x3938);  // Numbers are not counted.
}

}  // namespace
}  // namespace kuronel
