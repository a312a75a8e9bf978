#include "exact/proof.h"

#include <algorithm>
#include <cassert>

#include "exact/chain.h"

namespace tarvek {
namespace {

// Inputs evaluated one by one, at most, to show (a) where the affine bound cannot yet.
constexpr uint64_t kMaxSmallInputs = 4096;

Int128 to_wide(const BigInt& value) {
  const std::optional<UInt128> wide = value.to_u128();
  assert(wide && *wide < (static_cast<UInt128>(1) << 126));
  return static_cast<Int128>(*wide);
}

// floor(a / b) for b > 0.
Int128 floor_divide(Int128 a, Int128 b) {
  Int128 q = a / b;
  if (a % b != 0 && a < 0) q -= 1;
  return q;
}

}  // namespace

bool is_well_formed(const Candidate& c, const ResultTarget& target) {
  const int fraction_bits = c.shift - c.guard + c.input_shift;
  // Correction steps keep their remainder in one byte: it must hold (corrections + 1) * d.
  const bool corrections_fit = c.corrections == 0 || (c.corrections > 0 && target.d >= 2 &&
                                                      BigInt(c.corrections + 1) * target.d <= 256);
  // Factors shift by 1 to 64 places; a product of factors stays far below the walk's limits.
  const bool factors_fit =
      c.factors.size() <= 8 && std::all_of(c.factors.begin(), c.factors.end(),
                                           [](int k) { return k != 0 && k >= -16 && k <= 64; });
  return c.multiplier.sign() > 0 && c.guard >= 0 && c.input_shift >= 0 && c.input_shift <= 31 &&
         c.guard <= c.shift && fraction_bits >= 0 && fraction_bits <= 64 &&
         fits_walk(c.multiplier, fraction_bits) && corrections_fit && factors_fit &&
         target.input_bits >= 1 && target.input_bits <= 32;
}

ProofOutcome prove(const Candidate& c, const ResultTarget& target, int exhaustive_bits) {
  ProofOutcome outcome;
  if (!is_well_formed(c, target)) {
    outcome.reason = "malformed candidate";
    return outcome;
  }
  const Chain chain = candidate_chain(c, target.input_bits);
  const AffineBound bound = walk_bound(chain, c.factors, target.max_input);
  const BigInt offset = BigInt::from_unsigned(c.offset) << kBoundScale;
  const uint64_t max_input = *target.max_input.to_u64();

  // Where the affine bound alone shows v >= 0: the slope is positive (the multiplier is),
  // so from the first x with slope * x + low >= 0 on.
  uint64_t split = max_input + 1;
  if (target.input_bits > exhaustive_bits) {
    const BigInt low_at_zero = bound.low_intercept + offset;
    split = low_at_zero.sign() >= 0 ? 0 : *ceil_div(-low_at_zero, bound.slope).to_u64();
    if (split > kMaxSmallInputs) {
      outcome.reason = "the walk's bound cannot show a non-negative result";
      return outcome;
    }
  }

  // One by one below the split.
  const Int128 a = to_wide(target.a);
  const Int128 b = to_wide(target.b);
  const Int128 d = to_wide(target.d);
  Int128 worst_shortfall = 0;
  for (uint64_t x = 0; x < split; ++x) {
    const Int128 v = walk_value(chain, c.factors, x) + static_cast<Int128>(c.offset);
    if (v < 0) {
      outcome.reason = "negative walk result at input " + std::to_string(x);
      return outcome;
    }
    const Int128 q = v >> c.guard;
    const Int128 wanted = floor_divide(a * static_cast<Int128>(x) + b, d);
    if (q > wanted) {
      outcome.reason = "result above the target at input " + std::to_string(x);
      return outcome;
    }
    worst_shortfall = std::max(worst_shortfall, wanted - q);
  }
  outcome.inputs_evaluated = split;

  // The rest from the bound at both ends of [split, max_input]. With S the bound's scale:
  //   (b) v / 2^g < Q + 1, implied by  d * v_high < 2^(S+g) * (a x + b + 1),
  //       as Q + 1 >= (a x + b + 1) / d;
  //   (c) Q - q <= e, implied by e >= D = (a x + b) / d - v_low / 2^g, taken as floor(D)
  //       when g = 0 (v is then q, an integer, and Q <= (a x + b) / d) and as ceil(D)
  //       otherwise (q > v / 2^g - 1).
  // Every term is below 2^300, well inside BigInt.
  if (split <= max_input) {
    const BigInt scale = BigInt::power_of_two(kBoundScale + c.guard);
    for (const uint64_t end : {split, max_input}) {
      const BigInt x = BigInt::from_unsigned(end);
      const BigInt high = bound.slope * x + bound.high_intercept + offset;
      const BigInt low = bound.slope * x + bound.low_intercept + offset;
      const BigInt exact = target.a * x + target.b;
      if (!(target.d * high < scale * (exact + 1))) {
        outcome.reason = "the walk's bound reaches above the target at input " + x.to_decimal();
        return outcome;
      }
      const BigInt shortfall_scaled = exact * scale - target.d * low;
      const int scale_bits = kBoundScale + c.guard;
      const BigInt shortfall = c.guard == 0
                                   ? floor_div_scaled(shortfall_scaled, target.d, scale_bits)
                                   : ceil_div_scaled(shortfall_scaled, target.d, scale_bits);
      const std::optional<int64_t> small = shortfall.to_i64();
      if (!small) {
        outcome.reason = "the walk's bound is too loose";
        return outcome;
      }
      worst_shortfall = std::max(worst_shortfall, static_cast<Int128>(*small));
    }
  }

  outcome.never_above = true;
  if (worst_shortfall > 1000) {
    outcome.reason = "far below the target";
    return outcome;
  }
  outcome.corrections_needed = static_cast<int>(worst_shortfall);
  outcome.holds = outcome.corrections_needed <= c.corrections;
  outcome.reason = outcome.holds ? "holds" : "needs more corrections";
  return outcome;
}

}  // namespace tarvek
