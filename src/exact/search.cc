#include "exact/search.h"

#include <algorithm>
#include <cassert>

#include "exact/chain.h"

namespace tarvek {
namespace {

// Largest offset a candidate may add: the constant adder takes 64-bit values.
const BigInt& max_offset() {
  static const BigInt limit = BigInt::from_unsigned(~uint64_t{0});
  return limit;
}

// The offsets c for which q = floor((walk(x) + c) / 2^guard) equals Q(x) for every input,
// as far as the bound and the inputs evaluated one by one can tell: [low, high], empty when
// low > high. Below `split` every input is evaluated; above it the affine bound of the walk
// is taken at both ends:
//   Q <= q   needs  c * 2^S >= (a x + b) * 2^(S+g) / d - (slope x + low)        (g > 0)
//            or     c * 2^S >  (a x + b - d) * 2^S / d - (slope x + low)        (g = 0)
//   q <= Q   needs  c * 2^S <  2^(S+g) * (a x + b + 1) / d - (slope x + high).
// These only guide the choice; the proof checks the candidate made from it on its own.
struct OffsetRange {
  BigInt low;
  BigInt high;
};

OffsetRange offset_range(const Chain& chain, const ExactTarget& target, int guard,
                         uint64_t exhaustive_limit) {
  OffsetRange range{0, max_offset()};
  const uint64_t max_input = *target.max_input.to_u64();
  const uint64_t split = std::min(max_input + 1, exhaustive_limit);
  const BigInt step = BigInt::power_of_two(guard);
  for (uint64_t x = 0; x < split; ++x) {
    const BigInt v = BigInt::from_u128(static_cast<UInt128>(chain_value(chain, x)));
    const BigInt q = target_value(target, BigInt::from_unsigned(x));
    range.low = std::max(range.low, q * step - v);
    range.high = std::min(range.high, q * step + step - 1 - v);
  }
  if (split > max_input) return range;

  const AffineBound bound = chain_bound(chain);
  const BigInt unit = BigInt::power_of_two(kBoundScale);
  const BigInt scaled_step = BigInt::power_of_two(kBoundScale + guard);
  const BigInt denominator = target.d * unit;
  for (const uint64_t end : {split, max_input}) {
    const BigInt x = BigInt::from_unsigned(end);
    const BigInt exact = target.a * x + target.b;
    const BigInt low_walk = bound.slope * x + bound.low_intercept;
    const BigInt high_walk = bound.slope * x + bound.high_intercept;
    if (guard > 0) {
      range.low =
          std::max(range.low, ceil_div(exact * scaled_step - target.d * low_walk, denominator));
    } else {
      range.low = std::max(
          range.low, floor_div((exact - target.d) * unit - target.d * low_walk, denominator) + 1);
    }
    range.high = std::min(
        range.high, ceil_div(scaled_step * (exact + 1) - target.d * high_walk, denominator) - 1);
  }
  return range;
}

}  // namespace

std::vector<Candidate> make_candidates(const ExactTarget& target) {
  std::vector<Candidate> candidates;
  const int n = target.input_bits;
  const int d_bits = target.d.bit_length();
  const auto add = [&](const BigInt& multiplier, int shift, int guard) {
    Candidate c;
    c.multiplier = multiplier;
    c.shift = shift;
    c.guard = guard;
    if (multiplier.sign() <= 0) return;
    const int fraction_bits = shift - guard;
    if (fraction_bits < 0 || fraction_bits > 64) return;
    if (multiplier.bit_length() > 30 + fraction_bits) return;
    for (const Candidate& other : candidates) {
      if (other.multiplier == c.multiplier && other.shift == c.shift && other.guard == c.guard) {
        return;
      }
    }
    candidates.push_back(c);
  };
  // The multipliers just below and just above K * 2^shift.
  const auto add_both = [&](int shift, int guard) {
    const BigInt scaled = target.a * BigInt::power_of_two(shift);
    add(floor_div(scaled, target.d), shift, guard);
    add(ceil_div(scaled, target.d), shift, guard);
  };
  // An exact product: the constant itself when it is an integer or a dyadic fraction.
  if (target.d == BigInt::power_of_two(d_bits - 1)) {
    for (int guard = 0; guard <= d_bits - 1; ++guard) add_both(d_bits - 1, guard);
  }
  // Truncating walks: enough multiplier bits for the input width and the divisor, and guard
  // bits enough to absorb the walk's truncation below the divisor's resolution.
  for (int guard = std::max(0, d_bits - 3); guard <= d_bits + 2; ++guard) {
    for (int shift = std::max(guard, n + d_bits - 2); shift <= n + d_bits + 3; ++shift) {
      add_both(shift, guard);
    }
  }
  // Exact products with one truncation at the end.
  for (int shift = n + d_bits - 2; shift <= n + d_bits + 3; ++shift) add_both(shift, shift);
  return candidates;
}

std::optional<SearchResult> find_cheapest(const ExactTarget& target, const RoutineNames& names,
                                          const SearchEffort& effort) {
  std::optional<SearchResult> best;
  int made = 0;
  int proven = 0;
  int priced = 0;
  const uint64_t exhaustive_limit =
      target.input_bits <= effort.exhaustive_bits ? (uint64_t{1} << target.input_bits) : 1;
  for (Candidate candidate : make_candidates(target)) {
    ++made;
    const Chain chain =
        make_chain(candidate.multiplier, candidate.shift - candidate.guard, target.input_bits);
    const OffsetRange range = offset_range(chain, target, candidate.guard, exhaustive_limit);
    if (range.low > range.high) continue;
    candidate.offset = *range.low.to_u64();
    const ProofOutcome proof = prove(candidate, target, effort.exhaustive_bits);
    if (!proof.holds) continue;
    ++proven;
    EmittedRoutine routine = emit_candidate(candidate, target, names);
    ++priced;
    if (!best || routine.instructions < best->routine.instructions) {
      best = SearchResult{candidate, proof, std::move(routine), 0, 0, 0};
    }
  }
  if (best) {
    best->made = made;
    best->proven = proven;
    best->priced = priced;
  }
  return best;
}

}  // namespace tarvek
