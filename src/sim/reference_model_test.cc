#include "sim/reference_model.h"

#include <gtest/gtest.h>

namespace tarvek {
namespace {

struct Case {
  const char* name;
  std::vector<Term> terms;
  uint64_t x;
  int64_t product;
};

TEST(ReferenceModelTest, HandComputedProducts) {
  const Case cases[] = {
      {"no terms", {}, 200, 0},
      {"1", {{0, 1}}, 200, 200},
      {"10 = 8 + 2", {{3, 1}, {1, 1}}, 200, 2000},
      {"7 = 8 - 1", {{3, 1}, {0, -1}}, 5, 35},
      {"2^31 on 32 bits", {{31, 1}}, 0xFFFFFFFFull, 0x7FFFFFFF80000000ll},
      {"0.5 truncates", {{-1, 1}}, 7, 3},
      {"0.25 truncates", {{-2, 1}}, 7, 1},
      // 200: 100, 300, 37, 237, 118, 318, 19.
      {"0.1 at 1 %", {{-4, 1}, {-5, 1}, {-8, 1}, {-9, 1}}, 200, 19},
      // 7: 3, negated -3, +7 = 4, 1, then + 7.
      {"1 + 1/4 - 1/8", {{0, 1}, {-2, 1}, {-3, -1}}, 7, 8},
      // 5: 2, negated -2, -5 = -7, floor(-7 / 4) = -2 (not -1), +5 = 3, 1.
      {"floor on a negative accumulator", {{-1, 1}, {-3, -1}, {-4, -1}}, 5, 1},
      // A single negative fractional term is negated after its shift onto the units: 5 / 4
      // gives 1, negated -1, then + 2 * 5.
      {"2 - 1/4", {{1, 1}, {-2, -1}}, 5, 9},
      // The input shifted out entirely: 2^32 - 1 over 2^64 is 0.
      {"2^-64", {{-64, 1}}, 0xFFFFFFFFull, 0},
      // (x - floor(x / 2^64)) / 2 = x / 2 for any 32-bit x; then the 2^-1 shift.
      {"2^-1 - 2^-64", {{-1, 1}, {-64, -1}}, 9, 4},
      // -floor(x / 2^63) = 0, + x, then x / 2.
      {"2^-1 - 2^-64, the negation of 0", {{-1, 1}, {-64, -1}}, 0xFFFFFFFFull, 0x7FFFFFFF},
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(documented_product(c.terms, c.x) == c.product)
        << c.name << ": " << to_decimal(documented_product(c.terms, c.x));
  }
}

TEST(ReferenceModelTest, TermOrderDoesNotMatter) {
  const std::vector<Term> forward = {{0, 1}, {-2, 1}, {-3, -1}};
  const std::vector<Term> backward = {{-3, -1}, {0, 1}, {-2, 1}};
  for (uint64_t x = 0; x < 300; ++x) {
    EXPECT_TRUE(documented_product(forward, x) == documented_product(backward, x)) << x;
  }
}

// Integer terms only: the exact product, also at the widest operands.
TEST(ReferenceModelTest, IntegerTermsAreExact) {
  std::vector<Term> terms;
  for (int e = 0; e <= 31; ++e) terms.push_back({e, 1});
  const WideInt x = 0xFFFFFFFF;
  EXPECT_TRUE(documented_product(terms, 0xFFFFFFFFull) == x * 0xFFFFFFFF);
}

TEST(ReferenceModelTest, DecimalText) {
  EXPECT_EQ(to_decimal(0), "0");
  EXPECT_EQ(to_decimal(-7), "-7");
  EXPECT_EQ(to_decimal(static_cast<WideInt>(1) << 100), "1267650600228229401496703205376");
  EXPECT_EQ(to_decimal(-(static_cast<WideInt>(1) << 64)), "-18446744073709551616");
}

}  // namespace
}  // namespace tarvek
