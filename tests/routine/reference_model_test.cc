#include "reference_model.h"

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
      {"1", {{31, 1}}, 200, 200},
      {"10 = 8 + 2", {{28, 1}, {30, 1}}, 200, 2000},
      {"7 = 8 - 1", {{28, 1}, {31, -1}}, 5, 35},
      {"2^31 on 32 bits", {{0, 1}}, 0xFFFFFFFFull, 0x7FFFFFFF80000000ll},
      {"0.5 truncates", {{32, 1}}, 7, 3},
      {"0.25 truncates", {{33, 1}}, 7, 1},
      // 200: 100, 300, 37, 237, 118, 318, 19.
      {"0.1 at 1 %", {{35, 1}, {36, 1}, {39, 1}, {40, 1}}, 200, 19},
      // 7: 3, negated -3, +7 = 4, 1, then + 7.
      {"1 + 1/4 - 1/8", {{31, 1}, {33, 1}, {34, -1}}, 7, 8},
      // 5: 2, negated -2, -5 = -7, floor(-7 / 4) = -2 (not -1), +5 = 3, 1.
      {"floor on a negative accumulator", {{32, 1}, {34, -1}, {35, -1}}, 5, 1},
      // A single negative fractional term is negated after its shift onto the units: 5 / 4
      // gives 1, negated -1, then + 2 * 5.
      {"2 - 1/4", {{30, 1}, {33, -1}}, 5, 9},
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(documented_product(c.terms, c.x) == c.product) << c.name;
  }
}

TEST(ReferenceModelTest, TermOrderDoesNotMatter) {
  const std::vector<Term> forward = {{31, 1}, {33, 1}, {34, -1}};
  const std::vector<Term> backward = {{34, -1}, {31, 1}, {33, 1}};
  for (uint64_t x = 0; x < 300; ++x) {
    EXPECT_TRUE(documented_product(forward, x) == documented_product(backward, x)) << x;
  }
}

}  // namespace
}  // namespace tarvek
