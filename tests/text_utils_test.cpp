#include <gtest/gtest.h>

#include "base/Errors.h"
#include "base/TextUtils.h"
#include "trace/LogLines.h"

namespace orvanel {
namespace {

TEST(IntegerConversion, ReadsDecimalAndHexadecimalForms) {
  EXPECT_EQ(StrToInt("0"), 0);
  EXPECT_EQ(StrToInt("32768"), 32768);
  EXPECT_EQ(StrToInt("  -12"), -12);
  EXPECT_EQ(StrToInt("+7"), 7);
  EXPECT_EQ(StrToInt("$8000"), 0x8000);
  EXPECT_EQ(StrToInt("$00fFaB"), 0xFFAB);
  EXPECT_EQ(StrToInt("0x10"), 16);
  EXPECT_EQ(StrToInt("-$10"), -16);
  EXPECT_EQ(StrToInt("$0000000000008000"), 0x8000);  // leading zeros do not count
}

TEST(IntegerConversion, KeepsThirtyTwoBitsWithTheirSign) {
  EXPECT_EQ(StrToInt("$FFFFFFFF"), -1);
  EXPECT_EQ(StrToInt("$80000000"), INT32_MIN);
  EXPECT_EQ(StrToInt("$7FFFFFFF"), INT32_MAX);
  EXPECT_EQ(StrToInt("2147483647"), INT32_MAX);
  EXPECT_EQ(StrToInt("-2147483648"), INT32_MIN);
  EXPECT_THROW(StrToInt("2147483648"), EConvertError);
  EXPECT_THROW(StrToInt("-2147483649"), EConvertError);
  EXPECT_THROW(StrToInt("$100000000"), EConvertError);
  EXPECT_THROW(StrToInt("99999999999999999999999"), EConvertError);
}

TEST(IntegerConversion, RefusesEverythingElseWithTheTextInTheMessage) {
  for (const char* bad : {"", " ", "$", "-", "0x", "12a", "$12G", "#$12", "$1$2", "1 ", "1.5",
                          "32768_cc", "$00:8000"}) {
    try {
      StrToInt(bad);
      ADD_FAILURE() << "accepted '" << bad << "'";
    } catch (const EConvertError& e) {
      EXPECT_EQ(std::string(e.what()), "'" + std::string(bad) + "' is not a valid integer value");
    }
  }
}

TEST(TextHelpers, ColumnCopiesStopAtTheEndOfTheText) {
  EXPECT_EQ(CopyColumns("abcdef", 2, 3), "bcd");
  EXPECT_EQ(CopyColumns("abcdef", 5, 10), "ef");
  EXPECT_EQ(CopyColumns("abcdef", 7, 1), "");
  EXPECT_EQ(CopyColumns("abcdef", 100000, 4), "");
  EXPECT_EQ(CopyColumns("abcdef", 0, 2), "a");
  EXPECT_EQ(CopyColumns("abc", 1, -1), "");
  EXPECT_EQ(CopyFrom("abcdef", 3), "cdef");
  EXPECT_EQ(CopyFrom("abc", 9), "");
}

TEST(TextHelpers, TrimCaseAndSearch) {
  EXPECT_EQ(Trim("  \t{ \r"), "{");
  EXPECT_EQ(Trim("   "), "");
  EXPECT_TRUE(SameText("Global", "gLOBAL"));
  EXPECT_FALSE(SameText("Global", "Globa"));
  EXPECT_EQ(UpperCase("ptr$a"), "PTR$A");
  EXPECT_EQ(Pos("$00", "$00/8000 LDA $00"), 1);
  EXPECT_EQ(Pos("", "abc"), 0);
  EXPECT_EQ(Pos("x", "abc"), 0);
  EXPECT_EQ(IntToHex(0x8005, 6), "008005");
  EXPECT_EQ(IntToHex(0x12345678, 6), "12345678");
  EXPECT_EQ(IntToHex(-1, 6), "FFFFFFFFFFFFFFFF");
}

TEST(LogText, SplitsAtEveryKindOfLineEnd) {
  auto lines = TLogLines::FromBytes("a\r\nb\rc\nd");
  ASSERT_EQ(lines.Count(), 4u);
  EXPECT_EQ(lines[0], "a");
  EXPECT_EQ(lines[1], "b");
  EXPECT_EQ(lines[2], "c");
  EXPECT_EQ(lines[3], "d");
  EXPECT_EQ(TLogLines::FromBytes("a\n").Count(), 1u);  // a final line end adds no line
  EXPECT_EQ(TLogLines::FromBytes("a\n\n").Count(), 2u);
  EXPECT_EQ(TLogLines::FromBytes("").Count(), 0u);
  EXPECT_EQ(TLogLines::FromBytes("\r\n\r\n").Count(), 2u);
}

TEST(LogText, ReadsLatinOneWhenTheBytesAreNoUtf8) {
  auto utf8 = TLogLines::FromBytes("caf\xC3\xA9");
  EXPECT_EQ(utf8[0], "caf\xC3\xA9");
  auto latin = TLogLines::FromBytes(std::string("caf\xE9\nx\0y", 8));
  EXPECT_EQ(latin[0], "caf\xC3\xA9");
  EXPECT_EQ(latin[1], std::string_view("x\0y", 3));  // NUL bytes stay in the line
}

TEST(LogText, FindsTheFirstEqualLine) {
  auto lines = TLogLines::FromBytes("x\ny\nx\n");
  EXPECT_EQ(lines.FirstIndexOf("x"), 0u);
  EXPECT_EQ(lines.FirstIndexOf("y"), 1u);
  EXPECT_FALSE(lines.FirstIndexOf("z").has_value());
  TLogLines moved = std::move(lines);
  EXPECT_EQ(moved.FirstIndexOf("y"), 1u);
}

TEST(LogText, MissingFileIsAFileError) {
  EXPECT_THROW(TLogLines::FromFile("/nonexistent/trace.log"), EFileError);
}

}  // namespace
}  // namespace orvanel
