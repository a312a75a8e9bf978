#include "page/number_reading.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace tarvek {
namespace {

TEST(ReadDecimalRealTest, Table) {
  struct Case {
    const char* name;
    std::string text;
    double expected;
  };
  const double inf = std::numeric_limits<double>::infinity();
  const Case cases[] = {
      {"integer", "10", 10},
      {"fraction", "3.5", 3.5},
      {"leading point", ".5", 0.5},
      {"trailing point", "5.", 5},
      {"plus sign", "+2.25", 2.25},
      {"minus sign", "-3", -3},
      {"exponent", "1.5e3", 1500},
      {"capital exponent", "25E-2", 0.25},
      {"exponent with plus", "2e+1", 20},
      {"leading white space", " \t\n\v\f\r7", 7},
      {"trailing letters", "8bit", 8},
      {"exponent letter without digits", "8e", 8},
      {"exponent sign without digits", "8e+", 8},
      {"exponent letter then letters", "8ex", 8},
      {"second point ends it", "1.2.3", 1.2},
      {"empty", "", 0},
      {"letters", "abc", 0},
      {"sign alone", "-", 0},
      {"point alone", ".", 0},
      {"sign and point", "-.e5", 0},
      {"exponent alone", "e5", 0},
      {"space inside ends it", "1 2", 1},
      {"space after the sign", "- 1", 0},
      {"hexadecimal is not read", "0x10", 0},
      {"hexadecimal float is not read", "0x1p4", 0},
      {"infinity is not read", "inf", 0},
      {"signed infinity is not read", "-Infinity", 0},
      {"not-a-number is not read", "nan", 0},
      {"NAN is not read", "NAN(123)", 0},
      {"too large", "1e400", inf},
      {"too large and negative", "-1e400", -inf},
      {"too small", "1e-400", 0},
      {"many digits", "2147483648", 2147483648.0},
      {"huge exponent digits", "1e99999999999999999999", inf},
      {"zero with huge exponent", "0e99999999999", 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(read_decimal_real(c.text), c.expected) << c.name;
  }
}

TEST(ReadDecimalRealTest, NeverNotANumber) {
  for (const char* text : {"nan", "NaN", "-nan", "+NAN", "nan(1)"}) {
    EXPECT_FALSE(std::isnan(read_decimal_real(text))) << text;
  }
}

TEST(ReadDecimalIntegerTest, Table) {
  struct Case {
    const char* name;
    std::string text;
    long long expected;
  };
  const long long max = std::numeric_limits<long long>::max();
  const long long min = std::numeric_limits<long long>::min();
  const Case cases[] = {
      {"plain", "8", 8},
      {"trailing letters", "8bit", 8},
      {"beyond a byte", "264", 264},
      {"zero", "0", 0},
      {"negative", "-1", -1},
      {"plus sign", "+32", 32},
      {"leading white space", "\t 12", 12},
      {"point ends it", "7.9", 7},
      {"exponent is not read", "1e3", 1},
      {"empty", "", 0},
      {"letters", "bits", 0},
      {"sign alone", "+", 0},
      {"hexadecimal is not read", "0x20", 0},
      {"largest", "9223372036854775807", max},
      {"saturates high", "9223372036854775808", max},
      {"saturates far high", "99999999999999999999999999", max},
      {"smallest", "-9223372036854775808", min},
      {"saturates low", "-9223372036854775809", min},
      {"saturates far low", "-99999999999999999999999999", min},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(read_decimal_integer(c.text), c.expected) << c.name;
  }
}

// Where the reading stops is what tells a number from a number followed by other text.
TEST(DecimalPrefixTest, WhereTheReadingStops) {
  struct Case {
    const char* name;
    std::string text;
    std::size_t end;
    bool has_digits;
    bool whole_real;
    bool whole_integer;
  };
  const Case cases[] = {
      {"integer", "10", 2, true, true, true},
      {"blanks around", " 10 ", 3, true, true, true},
      {"signed", "-3", 2, true, true, true},
      {"decimal", "0.75", 4, true, true, false},
      {"exponent", "1e3", 3, true, true, false},
      {"exponent letter without digits", "8e", 1, true, false, false},
      {"letters after", "10abc", 2, true, false, false},
      {"unit after", "16abc", 2, true, false, false},
      {"fraction", "22/7", 2, true, false, false},
      {"hexadecimal", "0x20", 1, true, false, false},
      {"blank inside", "1 2", 1, true, false, false},
      {"letters", "abc", 0, false, false, false},
      {"empty", "", 0, false, false, false},
      {"sign alone", "-", 0, false, false, false},
  };
  for (const Case& c : cases) {
    const DecimalPrefix prefix = read_decimal_prefix(c.text);
    EXPECT_EQ(prefix.end, c.end) << c.name;
    EXPECT_EQ(prefix.has_digits, c.has_digits) << c.name;
    EXPECT_EQ(prefix.value, read_decimal_real(c.text)) << c.name;
    EXPECT_EQ(is_whole_decimal_real(c.text), c.whole_real) << c.name;
    EXPECT_EQ(is_whole_decimal_integer(c.text), c.whole_integer) << c.name;
  }
}

}  // namespace
}  // namespace tarvek
