#include "sim/reference_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

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

// The documented computation as the header states it, step by step in 128 bits with a
// division for every shift: slow, and plain enough to hold the prepared form to.
WideInt plain_product(std::vector<Term> terms, uint64_t x) {
  const auto floor_shift = [](WideInt value, int n) {
    const WideInt divisor = static_cast<WideInt>(1) << n;
    const WideInt quotient = value / divisor;
    return value % divisor != 0 && value < 0 ? quotient - 1 : quotient;
  };
  std::sort(terms.begin(), terms.end(), [](Term a, Term b) { return a.exponent < b.exponent; });
  const WideInt input = static_cast<WideInt>(x);
  WideInt exact = 0;
  std::vector<Term> fractional;
  for (const Term& t : terms) {
    if (t.exponent >= 0) {
      exact += t.sign * (input << t.exponent);
    } else {
      fractional.push_back(t);
    }
  }
  if (fractional.empty()) return exact;
  WideInt acc = input;
  int position = fractional.front().exponent;
  for (std::size_t i = 1; i <= fractional.size(); ++i) {
    const int next = i < fractional.size() ? fractional[i].exponent : 0;
    acc = floor_shift(acc, next - position);
    if (i == 1 && fractional.front().sign < 0) acc = -acc;
    if (i < fractional.size()) acc += fractional[i].sign * input;
    position = next;
  }
  return acc + exact;
}

// Random sets of terms, dense or sparse, reaching both ends of the exponent range, for
// inputs at the ends of the widths: the prepared form, one input and many at a time, gives
// the plain computation's product.
TEST(ReferenceModelTest, ThePreparedFormGivesThePlainProduct) {
  std::mt19937_64 random(77);
  for (int trial = 0; trial < 400; ++trial) {
    std::vector<Term> terms;
    const int density = 1 + static_cast<int>(random() % 6);
    // Every fifth set lies wholly below 2^-30, where the last shift is the longest.
    const int highest = trial % 5 == 1 ? -30 : kMaxTermExponent;
    for (int e = kMinTermExponent; e <= highest; ++e) {
      if (random() % 16 < static_cast<uint64_t>(density) || (trial % 7 == 0 && e == -64)) {
        terms.push_back({e, random() % 3 == 0 ? -1 : 1});
      }
    }
    std::shuffle(terms.begin(), terms.end(), random);
    const DocumentedProduct prepared(terms);
    const uint64_t bits = 1 + random() % 32;
    std::vector<uint64_t> inputs = {0, 1, 2, (uint64_t{1} << bits) - 1};
    for (int i = 0; i < 40; ++i) inputs.push_back(random() >> (64 - bits));
    const std::string context = "trial " + std::to_string(trial);
    for (uint64_t x : inputs) {
      ASSERT_TRUE(prepared(x) == plain_product(terms, x))
          << context << ", input " << x << ": " << to_decimal(prepared(x)) << " against "
          << to_decimal(plain_product(terms, x));
    }
    // Many at a time, past the 256 inputs of one round, up to the largest input allowed,
    // with SSE2 and with the processor's best vectors.
    std::vector<uint64_t> batch;
    for (int i = 0; i < 300; ++i) batch.push_back(random() >> 35);
    batch.push_back(DocumentedProduct::kBatchInputLimit - 1);
    for (const Vectors vectors : {Vectors::kSse2, best_vectors()}) {
      std::vector<int64_t> products(batch.size() + 1, 12345);
      prepared.products(batch, products, vectors);
      for (std::size_t k = 0; k < batch.size(); ++k) {
        ASSERT_TRUE(products[k] == plain_product(terms, batch[k]))
            << context << ", input " << batch[k] << ": " << products[k];
      }
      EXPECT_EQ(products.back(), 12345) << context << ": written past the inputs";
    }
  }
}

TEST(ReferenceModelTest, DecimalText) {
  EXPECT_EQ(to_decimal(0), "0");
  EXPECT_EQ(to_decimal(-7), "-7");
  EXPECT_EQ(to_decimal(static_cast<WideInt>(1) << 100), "1267650600228229401496703205376");
  EXPECT_EQ(to_decimal(-(static_cast<WideInt>(1) << 64)), "-18446744073709551616");
}

}  // namespace
}  // namespace tarvek
