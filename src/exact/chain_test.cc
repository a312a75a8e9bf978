// The lemma the proof rests on wherever it does not evaluate every input: the walk's affine
// bound holds its exact value between low(x) and high(x) for every input.
#include "exact/chain.h"

#include <gtest/gtest.h>

#include <random>

namespace tarvek {
namespace {

TEST(ChainTest, AffineBoundHoldsTheWalkForRandomChainsAndInputs) {
  std::mt19937_64 random(20261208);
  const auto draw = [&](uint64_t below) { return random() % below; };
  long checked = 0;
  for (int chain_index = 0; chain_index < 3000; ++chain_index) {
    const int input_bits = 1 + static_cast<int>(draw(32));
    const int fraction_bits = static_cast<int>(draw(65));
    // Any multiplier the walk's digits hold: up to 2^31 in value, of any bit pattern.
    const int multiplier_bits = 1 + static_cast<int>(draw(31 + fraction_bits));
    BigInt multiplier = 0;
    for (int i = 0; i < multiplier_bits; ++i)
      multiplier = multiplier * 2 + static_cast<int>(random() & 1);
    if (multiplier.sign() <= 0 || !fits_walk(multiplier, fraction_bits)) continue;
    Factors factors;
    for (uint64_t count = draw(4); count > 0; --count) {
      factors.push_back(draw(4) == 0 ? -1 - static_cast<int>(draw(4))
                                     : 1 + static_cast<int>(draw(64)));
    }
    const int input_shift = draw(4) == 0 ? static_cast<int>(draw(8)) : 0;
    // A chain holds at most 64 fraction bits, the input's shift included.
    if (fraction_bits + input_shift > 64) continue;
    const Chain chain =
        make_chain(multiplier, fraction_bits + input_shift, input_bits, input_shift);
    const uint64_t max_input = (uint64_t{1} << input_bits) - 1;
    const AffineBound bound = walk_bound(chain, factors, BigInt::from_unsigned(max_input));
    for (int sample = 0; sample < 40; ++sample) {
      const uint64_t x = sample < 2 ? sample * max_input : draw(max_input + 1);
      const Int128 value = walk_value(chain, factors, x);
      if (walk_fits_64_bits(chain, factors, input_bits)) {
        ASSERT_EQ(walk_value_64(chain, factors, x), value)
            << multiplier.to_decimal() << " / 2^" << fraction_bits << ", x = " << x;
      }
      const BigInt scaled = (value < 0 ? -BigInt::from_u128(static_cast<UInt128>(-value))
                                       : BigInt::from_u128(static_cast<UInt128>(value)))
                            << kBoundScale;
      const BigInt at = bound.slope * BigInt::from_unsigned(x);
      ASSERT_LE(at + bound.low_intercept, scaled)
          << multiplier.to_decimal() << " / 2^" << fraction_bits << ", x = " << x;
      ASSERT_LE(scaled, at + bound.high_intercept)
          << multiplier.to_decimal() << " / 2^" << fraction_bits << ", x = " << x;
      ++checked;
    }
  }
  EXPECT_GT(checked, 50000);
}

}  // namespace
}  // namespace tarvek
