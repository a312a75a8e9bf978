#include "codegen/number_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>

namespace tarvek {
namespace {

struct Case {
  const char* name;
  double value;
  int decimals;
  const char* expected;
};

TEST(FormatFixedTest, MatchesPrintfWhereTheDigitsFit) {
  const Case cases[] = {
      {"ten", 10, 6, "10.000000"},
      {"error of 0.1 at 1 %", 0.390625, 6, "0.390625"},
      {"six decimals rounded", 0.0946969696969697, 6, "0.094697"},
      {"hundred percent", 100, 6, "100.000000"},
      {"pi", 3.14159265358979, 6, "3.141593"},
      {"3.3 is not exact in binary", 3.3, 6, "3.300000"},
      {"0.005", 0.005, 6, "0.005000"},
      {"zero", 0, 6, "0.000000"},
      {"below the last decimal", 1e-10, 6, "0.000000"},
      {"largest constant", 2147483648.0, 6, "2147483648.000000"},
      {"16 digits", 2147483647.999999, 6, "2147483647.999999"},
      // The double is 12345678901.2345676422...: 17 digits, rounded once, at the last decimal.
      {"17 digits", 12345678901.234567, 6, "12345678901.234568"},
      {"one", 1, 0, "1"},
      {"2^31", 2147483648.0, 0, "2147483648"},
      {"negative", -2.5, 6, "-2.500000"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(format_fixed(c.value, c.decimals), c.expected) << c.name;
  }
}

TEST(FormatFixedTest, PowersOfTwoUpTo2To56PrintExactly) {
  for (int k = 0; k <= 56; ++k) {
    const uint64_t power = uint64_t{1} << k;
    EXPECT_EQ(format_fixed(std::ldexp(1.0, k), 0), std::to_string(power)) << "2^" << k;
  }
}

TEST(FormatFixedTest, LargerPowersOfTwoKeep17SignificantDigits) {
  const Case cases[] = {
      {"2^57 = 144115188075855872", 0x1p57, 0, "144115188075855870"},
      {"2^58 = 288230376151711744", 0x1p58, 0, "288230376151711740"},
      {"2^59 = 576460752303423488, rounded up", 0x1p59, 0, "576460752303423490"},
      {"2^60 = 1152921504606846976, carry into the 16th digit", 0x1p60, 0, "1152921504606847000"},
      {"2^61 = 2305843009213693952", 0x1p61, 0, "2305843009213694000"},
      {"2^62 = 4611686018427387904", 0x1p62, 0, "4611686018427387900"},
      {"2^63 = 9223372036854775808", 0x1p63, 0, "9223372036854775800"},
      {"2^64 = 18446744073709551616", 0x1p64, 0, "18446744073709552000"},
      {"negative 2^64", -0x1p64, 0, "-18446744073709552000"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(format_fixed(c.value, c.decimals), c.expected) << c.name;
  }
}

TEST(FormatFixedTest, DecimalsBeyondThe17thDigitPrintAsZeros) {
  const Case cases[] = {
      // The double is 123456789012.345672607...: printf writes 123456789012.345673.
      {"18 digits with six decimals", 123456789012.3456789, 6, "123456789012.345670"},
      {"2^60 with two decimals", 0x1p60, 2, "1152921504606847000.00"},
      // 1/3 = 0.333333333333333314829616256247...
      {"one third with 20 decimals", 1.0 / 3, 20, "0.33333333333333331000"},
      {"17th digit rounds up", 2.0 / 3, 20, "0.66666666666666663000"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(format_fixed(c.value, c.decimals), c.expected) << c.name;
  }
}

}  // namespace
}  // namespace tarvek
