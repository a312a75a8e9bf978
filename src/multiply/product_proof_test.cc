#include "multiply/product_proof.h"

#include <gtest/gtest.h>

#include <random>

namespace tarvek {
namespace {

// v as the routine adds it up: the partial products kept, and the offset.
BigInt routine_value(const ProductPlan& plan, const ResultTarget& target, uint64_t x) {
  BigInt v = plan.offset;
  for (int i = 0; 8 * i < target.input_bits; ++i) {
    for (int j = 0; j < multiplier_bytes(plan); ++j) {
      if (i + j < plan.kept_from) continue;
      v += BigInt(static_cast<int>((x >> (8 * i)) & 0xFF) * multiplier_byte(plan, j))
           << (8 * (i + j));
    }
  }
  return v >> plan.shift;
}

// The first input whose result is wrong, or -1.
int64_t first_wrong(const ProductPlan& plan, const ResultTarget& target) {
  for (uint64_t x = 0; x <= *target.max_input.to_u64(); ++x) {
    if (routine_value(plan, target, x) != target_value(target, BigInt::from_unsigned(x))) {
      return static_cast<int64_t>(x);
    }
  }
  return -1;
}

// Every plan the proof accepts computes its target for every input, whether the inputs were
// evaluated or the affine bounds decided; and with every input evaluated, the least offset is
// the least: one step below it is wrong for some input.
TEST(ProductProofTest, ProvenPlansHoldAndTheirOffsetsAreTheLeast) {
  std::mt19937 random(29);
  int proven = 0;
  for (int draw = 0; draw < 60; ++draw) {
    const int bits = 4 + static_cast<int>(random() % 9);
    const auto p = static_cast<int64_t>(1 + random() % 40);
    const auto q = static_cast<int64_t>(1 + random() % 40);
    const ResultMode mode = random() % 2 == 0 ? ResultMode::kFloor : ResultMode::kNearest;
    const ResultTarget target = make_target(Fraction::of(BigInt(p), BigInt(q)), mode, bits);
    for (const ProductPlan& plan : make_product_plans(target)) {
      for (const int exhaustive : {0, 16}) {
        ProofOutcome proof;
        const std::optional<ProductPlan> found = with_least_offset(plan, target, exhaustive, proof);
        if (!found) continue;
        ++proven;
        SCOPED_TRACE(describe(*found) + " for " + std::to_string(p) + "/" + std::to_string(q) +
                     " at " + std::to_string(bits) + " bits");
        ASSERT_TRUE(prove_product(*found, target, exhaustive).holds);
        ASSERT_EQ(first_wrong(*found, target), -1);
        const BigInt step = BigInt::power_of_two(8 * found->kept_from);
        if (exhaustive > 0 && found->offset >= step) {
          ProductPlan lower = *found;
          lower.offset -= step;
          EXPECT_FALSE(prove_product(lower, target, exhaustive).holds);
          EXPECT_NE(first_wrong(lower, target), -1);
        }
      }
    }
  }
  EXPECT_GT(proven, 200);
}

}  // namespace
}  // namespace tarvek
