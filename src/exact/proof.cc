#include "exact/proof.h"

#include <algorithm>
#include <cassert>

#include "exact/chain.h"

namespace tarvek {
namespace {

// Inputs evaluated one by one, at most, to show (a) where the affine bound cannot yet.
constexpr uint64_t kMaxSmallInputs = 4096;

// The largest offset: the constant adder takes 64-bit values.
const BigInt& max_offset() {
  static const BigInt limit = BigInt::from_unsigned(~uint64_t{0});
  return limit;
}

// (b) and (c) for every input below `split`, one by one in 128 bits: a, b and d are below
// 2^66, x below 2^32, the walk below 2^95. With Q = Q(x), v the walk without offset and
// g the guard bits:
//   (b) floor((v + c) / 2^g) <= Q   is   c <= Q 2^g + 2^g - 1 - v,
//   (c) floor((v + c) / 2^g) >= Q - e   is   c >= (Q - e) 2^g - v.
void bound_one_by_one(const Chain& chain, const Candidate& c, const ResultTarget& target,
                      uint64_t split, OffsetRange& range) {
  const Int128 a = static_cast<Int128>(*target.a.to_u128());
  const Int128 b = static_cast<Int128>(*target.b.to_u128());
  const Int128 d = static_cast<Int128>(*target.d.to_u128());
  const Int128 unit = static_cast<Int128>(1) << c.guard;
  Int128 low = 0;
  Int128 high = static_cast<Int128>(~uint64_t{0});
  Int128 least = 0;
  // Q(x) from one input to the next without a division: Q(x + 1) = Q(x) + floor(a / d), plus
  // one when the remainder of a x + b passes d.
  const Int128 step = a / d;
  const Int128 step_rest = a % d;
  Int128 q = b / d;
  Int128 rest = b % d;
  const bool narrow = walk_fits_64_bits(chain, c.factors, target.input_bits);
  for (uint64_t x = 0; x < split; ++x) {
    const Int128 v = narrow ? walk_value_64(chain, c.factors, x) : walk_value(chain, c.factors, x);
    low = std::max(low, (q - c.corrections) * unit - v);
    high = std::min(high, q * unit + unit - 1 - v);
    least = x == 0 ? v : std::min(least, v);
    // The bounds only ever close in: once no offset is left, none comes back, and the proof
    // of a wrong candidate ends at the first input that rules it out.
    if (low > high) break;
    q += step;
    rest += step_rest;
    if (rest >= d) {
      rest -= d;
      q += 1;
    }
  }
  range.low = BigInt::from_u128(static_cast<UInt128>(low));
  range.high = high < 0 ? BigInt(-1) : BigInt::from_u128(static_cast<UInt128>(high));
  range.least_walk = least;
}

// (b) and (c) for the inputs from `split` to max_input, from the walk's affine bound
// [low_walk, high_walk] (scaled by 2^S) at both ends, every inequality being affine in x. With
// E = a x + b and Q <= E / d < Q + 1:
//   (b) holds when d (high_walk + c 2^S) < 2^(S+g) (E + 1), so
//       c <= ceil((2^(S+g) (E + 1) - d high_walk) / (d 2^S)) - 1;
//   (c) holds with g > 0 when (E - e d) 2^(S+g) <= d (low_walk + c 2^S), since q > v / 2^g - 1:
//       c >= ceil(((E - e d) 2^(S+g) - d low_walk) / (d 2^S));
//       and with g = 0, where q = v and Q <= E / d, when E - d (e + 1) < d v / 2^S:
//       c >= floor(((E - d (e + 1)) 2^S - d low_walk) / (d 2^S)) + 1.
// Every term is below 2^300, well inside BigInt.
void bound_by_the_walk(const Chain& chain, const Candidate& c, const ResultTarget& target,
                       uint64_t split, OffsetRange& range) {
  const AffineBound bound = walk_bound(chain, c.factors, target.max_input);
  const BigInt unit = BigInt::power_of_two(kBoundScale);
  const BigInt scaled_step = BigInt::power_of_two(kBoundScale + c.guard);
  // No offset can place a walk whose own uncertainty is wider than the room the result has:
  // below the target by up to e (and a unit more for the walk's own integer when there are no
  // guard bits), above it by less than 1/d. The difference of the two bounds above shows it
  // without any division.
  const BigInt spread = (bound.high_intercept - bound.low_intercept) * target.d;
  BigInt room = scaled_step * (target.d * BigInt(c.corrections) + 1);
  if (c.guard == 0) room += target.d * unit;
  if (spread >= room) {
    range.low = 1;
    range.high = 0;
    return;
  }
  for (const uint64_t end : {split, *target.max_input.to_u64()}) {
    const BigInt x = BigInt::from_unsigned(end);
    const BigInt exact = target.a * x + target.b;
    const BigInt lowest = exact - target.d * BigInt(c.corrections);
    const BigInt low_walk = bound.slope * x + bound.low_intercept;
    const BigInt high_walk = bound.slope * x + bound.high_intercept;
    if (c.guard > 0) {
      range.low = std::max(range.low, ceil_div_scaled(lowest * scaled_step - target.d * low_walk,
                                                      target.d, kBoundScale));
    } else {
      range.low =
          std::max(range.low, floor_div_scaled((lowest - target.d) * unit - target.d * low_walk,
                                               target.d, kBoundScale) +
                                  1);
    }
    range.high = std::min(
        range.high,
        ceil_div_scaled(scaled_step * (exact + 1) - target.d * high_walk, target.d, kBoundScale) -
            1);
  }
}

// Whether the candidate's own offset lies in the range allowed for the inputs from `split` on
// and, for the inputs below it, keeps (a): v + c >= 0 at the least v.
ProofOutcome decide(const Candidate& c, const OffsetRange& range, uint64_t split) {
  ProofOutcome outcome;
  const BigInt offset = BigInt::from_unsigned(c.offset);
  const bool never_negative = split == 0 || range.least_walk + static_cast<Int128>(c.offset) >= 0;
  outcome.inputs_evaluated = split;
  outcome.holds = never_negative && range.low <= offset && offset <= range.high;
  return outcome;
}

}  // namespace

bool is_well_formed(const Candidate& c, const ResultTarget& target) {
  const int fraction_bits = c.shift - c.guard + c.input_shift;
  const bool corrections_fit =
      c.corrections == 0 || (c.corrections > 0 && target.d >= 2 &&
                             BigInt(c.corrections + 1) * target.d <= BigInt(kRemainderLimit));
  const bool factors_fit = c.factors.size() <= kMostFactors &&
                           std::all_of(c.factors.begin(), c.factors.end(), [](int k) {
                             return k != 0 && k >= kLeftmostFactor && k <= kRightmostFactor;
                           });
  return c.multiplier.sign() > 0 && c.guard >= 0 && c.input_shift >= 0 && c.input_shift <= 31 &&
         c.guard <= c.shift && fraction_bits >= 0 && fraction_bits <= 64 &&
         fits_walk(c.multiplier, fraction_bits) && corrections_fit && factors_fit &&
         target.input_bits >= 1 && target.input_bits <= 32;
}

OffsetRange allowed_offsets(const Candidate& c, const ResultTarget& target, uint64_t split) {
  assert(is_well_formed(c, target));
  const Chain chain = candidate_chain(c, target.input_bits);
  OffsetRange range{0, max_offset(), 0};
  const uint64_t max_input = *target.max_input.to_u64();
  assert(split <= max_input + 1);
  if (split > 0) bound_one_by_one(chain, c, target, split, range);
  if (split <= max_input) bound_by_the_walk(chain, c, target, split, range);
  return range;
}

ProofOutcome prove(const Candidate& c, const ResultTarget& target, int exhaustive_bits) {
  ProofOutcome outcome;
  if (!is_well_formed(c, target)) return outcome;
  const uint64_t max_input = *target.max_input.to_u64();
  // (a) for the inputs the bound covers: the slope is positive (the multiplier is), so from
  // the first x with slope * x + low + c >= 0 on. Below that split every input is evaluated.
  uint64_t split = max_input + 1;
  if (target.input_bits > exhaustive_bits) {
    const AffineBound bound =
        walk_bound(candidate_chain(c, target.input_bits), c.factors, target.max_input);
    const BigInt low_at_zero =
        bound.low_intercept + (BigInt::from_unsigned(c.offset) << kBoundScale);
    split = low_at_zero.sign() >= 0 ? 0 : *ceil_div(-low_at_zero, bound.slope).to_u64();
    if (split > kMaxSmallInputs) return outcome;
  }
  return decide(c, allowed_offsets(c, target, split), split);
}

ProofOutcome prove_every_input(const Candidate& c, const ResultTarget& target,
                               const OffsetRange& range) {
  return decide(c, range, *target.max_input.to_u64() + 1);
}

}  // namespace tarvek
