#include "page/exact_constant.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace tarvek {
namespace {

// The approximating mode reads a fraction whole, as the exact modes do, and everything else
// as far as it is decimal, as it always has.
TEST(ApproximateConstantTest, Table) {
  struct Case {
    const char* name;
    std::string text;
    double expected;
  };
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const Case cases[] = {
      {"a decimal", "0.75", 0.75},
      {"a decimal with letters after", "10abc", 10},
      {"22/7", "22/7", 22.0 / 7},
      {"1/3", "1/3", 1.0 / 3},
      {"blanks around a fraction", " 5000/1023 ", 5000.0 / 1023},
      {"terms beyond a double", "5258986265376043509/870", 6044811799282809.0},
      {"a fraction with letters after", "22/7x", nan},
      {"a decimal over an integer", "1.5/3", nan},
      {"a zero denominator", "1/0", nan},
      {"no denominator", "1/", nan},
      {"a negative fraction", "-1/3", -1.0 / 3},
      {"zero over something", "0/5", 0},
      {"a huge fraction", "1" + std::string(50, '0') + "/3", 1e50 / 3},
      {"an infinite fraction", "1" + std::string(400, '0') + "/1", inf},
      {"a slash after a blank is text after a number", "22 /7", 22},
      {"no digits before the slash", "/7", 0},
  };
  for (const Case& c : cases) {
    const double value = approximate_constant(c.text);
    if (std::isnan(c.expected)) {
      EXPECT_TRUE(std::isnan(value)) << c.name << ": " << value;
    } else {
      EXPECT_DOUBLE_EQ(value, c.expected) << c.name;
    }
  }
  // The double nearest to the fraction, to the last bit, rather than the quotient of the
  // doubles nearest to its terms.
  EXPECT_EQ(approximate_constant("5258986265376043509/870"), 6044811799282809.0);
  EXPECT_NE(approximate_constant("5258986265376043509/870"), 5258986265376043509.0 / 870);
}

// A fraction is what a division typed as the constant looks like, well formed or not.
TEST(IsFractionTextTest, Table) {
  struct Case {
    const char* text;
    bool fraction;
  };
  const Case cases[] = {
      {"22/7", true},   {" 1/3 ", true}, {"22/7x", true}, {"1.5/3", true},
      {"-1/3", true},   {"0.1", false},  {"10", false},   {"/7", false},
      {"22 /7", false}, {"", false},     {"1e3/2", true}, {"abc/2", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(is_fraction_text(c.text), c.fraction) << c.text;
  }
}

}  // namespace
}  // namespace tarvek
