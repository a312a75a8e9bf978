#include "exact/search.h"

#include <algorithm>
#include <bit>
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
//   Q - e <= q   needs  c * 2^S >= (a x + b - e d) * 2^(S+g) / d - (slope x + low)  (g > 0)
//                or     c * 2^S >  (a x + b - (e+1) d) * 2^S / d - (slope x + low)  (g = 0)
// with e the corrections allowed.
//   q <= Q   needs  c * 2^S <  2^(S+g) * (a x + b + 1) / d - (slope x + high).
// These only guide the choice; the proof checks the candidate made from it on its own.
struct OffsetRange {
  BigInt low;
  BigInt high;
};

OffsetRange offset_range(const Chain& chain, const Factors& factors, const ResultTarget& target,
                         int guard, int shortfall, uint64_t exhaustive_limit) {
  OffsetRange range{0, max_offset()};
  const uint64_t max_input = *target.max_input.to_u64();
  const uint64_t split = std::min(max_input + 1, exhaustive_limit);
  if (split > 0) {
    // One by one in 128 bits: a, b and d are below 2^66, x below 2^32, the walk below 2^95.
    const Int128 a = static_cast<Int128>(*target.a.to_u128());
    const Int128 b = static_cast<Int128>(*target.b.to_u128());
    const Int128 d = static_cast<Int128>(*target.d.to_u128());
    const Int128 unit = static_cast<Int128>(1) << guard;
    Int128 low = 0;
    Int128 high = static_cast<Int128>(~uint64_t{0});
    for (uint64_t x = 0; x < split; ++x) {
      const Int128 v = walk_value(chain, factors, x);
      const Int128 q = (a * static_cast<Int128>(x) + b) / d;
      low = std::max(low, (q - shortfall) * unit - v);
      high = std::min(high, q * unit + unit - 1 - v);
    }
    range.low = BigInt::from_u128(static_cast<UInt128>(low));
    range.high = high < 0 ? BigInt(-1) : BigInt::from_u128(static_cast<UInt128>(high));
  }
  if (split > max_input) return range;

  const AffineBound bound = walk_bound(chain, factors, target.max_input);
  const BigInt unit = BigInt::power_of_two(kBoundScale);
  const BigInt scaled_step = BigInt::power_of_two(kBoundScale + guard);
  // No offset can place a walk whose own uncertainty is wider than the room the result has:
  // below the target by up to `shortfall` (and a unit more for the walk's own integer when
  // there are no guard bits), above it by less than 1/d. A quick refusal of most candidates
  // that would fail, before any division.
  const BigInt spread = (bound.high_intercept - bound.low_intercept) * target.d;
  BigInt room = scaled_step * (target.d * BigInt(shortfall) + 1);
  if (guard == 0) room += target.d * unit;
  if (spread >= room) return OffsetRange{1, 0};
  for (const uint64_t end : {split, max_input}) {
    const BigInt x = BigInt::from_unsigned(end);
    const BigInt exact = target.a * x + target.b;
    // The lowest the result may be: `shortfall` below the target, made up by corrections.
    const BigInt lowest = exact - target.d * BigInt(shortfall);
    const BigInt low_walk = bound.slope * x + bound.low_intercept;
    const BigInt high_walk = bound.slope * x + bound.high_intercept;
    if (guard > 0) {
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
  return range;
}

}  // namespace

int estimate_cost(const Candidate& c, const ResultTarget& target) {
  const BigInt& m = c.multiplier;
  const int fraction_bits = c.shift - c.guard;
  // Nonzero signed digits, about as the walk recodes them: M xor 3M has a one at each end of
  // every run of ones.
  const int terms = std::max(1, (m ^ (m * 3)).popcount());
  const int lowest = m.trailing_zeros() - fraction_bits;
  const int highest = m.bit_length() - 1 - fraction_bits;
  // The accumulator's bytes while the walk runs: the input, the multiplier's integer bits, a
  // carry and the guard bits.
  const int bytes = (target.input_bits + std::max(0, highest + 1) + 8) / 8;
  const int input_bytes = (target.input_bits + 7) / 8;
  // Shifts: the accumulator right from the lowest digit up to the units position, the
  // temporary register left up to the highest digit, and the guard bits away; whole bytes
  // are moved, the other bits cost a pass over every byte each.
  const auto shift = [&](int n) { return (n / 8) * 2 * bytes + (n % 8) * (bytes + 1); };
  int cost = 2 * input_bytes + (terms - 1) * (4 * bytes - 2);
  cost += shift(std::max(0, -lowest)) + shift(std::max(0, highest)) + shift(c.guard);
  if (c.guard > 0) cost += 3 * bytes;  // an offset, almost always
  // Each factor: a copy, a shift of the copy and an addition.
  const int value_bytes = (target.input_bits + std::max(0, highest + 1) + c.guard + 8) / 8;
  for (const int k : c.factors) {
    if (k > 0 && k % 8 == 0) {
      // In place: the upper bytes added into the lower ones, the carry rippled on.
      cost += 4 * value_bytes - 2 * (k / 8);
    } else if (k > 0) {
      // A shifted copy (whole bytes read from their places, a nibble by swapf, other bits a
      // pass each) and an addition.
      const int copied = value_bytes - k / 8;
      const int bits = k % 8;
      cost += bits == 4 ? 6 * copied : 2 * copied + 1 + (bits - 1) * (copied + 1);
      cost += 4 * value_bytes - 2;
    } else {
      cost += 2 * value_bytes + shift(-k) + 4 * value_bytes - 2;
    }
  }
  if (c.corrections > 0) {
    // The remainder: d times the quotient's low byte (a doubling per bit, an addition per one
    // bit), the input's copy and a subtraction; then per step a comparison and an increment
    // over the result's bytes.
    const int d = static_cast<int>(*target.d.to_u64());
    const int result_bytes = (target.result_bits + 7) / 8;
    cost += 2 * std::bit_width(static_cast<unsigned>(d)) +
            2 * std::popcount(static_cast<unsigned>(d)) + 4;
    cost += c.corrections * (4 + 2 * result_bytes) + 2 * (c.corrections - 1);
  }
  return cost;
}

SearchEffort search_effort(int level) {
  assert(level >= 1 && level <= 5);
  SearchEffort effort;
  effort.priced = 4 * level;
  effort.priced_instructions = 700 * level;
  effort.exhaustive_bits = kDefaultExhaustiveBits + 2 * (level - 1);
  return effort;
}

std::optional<Candidate> with_offset(const Candidate& candidate, const ResultTarget& target,
                                     const SearchEffort& effort) {
  const uint64_t exhaustive_limit =
      target.input_bits <= effort.exhaustive_bits ? (uint64_t{1} << target.input_bits) : 1;
  const Chain chain = candidate_chain(candidate, target.input_bits);
  const OffsetRange range = offset_range(chain, candidate.factors, target, candidate.guard,
                                         candidate.corrections, exhaustive_limit);
  if (range.low > range.high) return std::nullopt;
  Candidate result = candidate;
  result.offset = *range.low.to_u64();
  return result;
}

namespace {

// Proves and prices `candidates` cheapest estimate first, within the budget of `effort`, and
// keeps the cheapest proven routine in `best` (a later one only when strictly cheaper).
void search_group(const std::vector<Candidate>& candidates, const ResultTarget& target,
                  const RoutineNames& names, const SearchEffort& effort, int output_bytes,
                  std::optional<SearchResult>& best, SearchResult& counts) {
  // Ordered by estimate; stable, so ties keep the order in which they were made.
  struct Ranked {
    Candidate candidate;
    int estimate;
  };
  std::vector<Ranked> ranked;
  for (const Candidate& candidate : candidates) {
    ++counts.made;
    ranked.push_back(Ranked{candidate, estimate_cost(candidate, target)});
  }
  std::stable_sort(ranked.begin(), ranked.end(),
                   [](const Ranked& a, const Ranked& b) { return a.estimate < b.estimate; });

  int priced = 0;
  int priced_instructions = 0;
  for (const Ranked& entry : ranked) {
    // Enough routines priced: the count asked for, or fewer when they are long, which keeps a
    // request for a long routine about as cheap as one for a short one.
    if (priced >= effort.priced || priced_instructions >= effort.priced_instructions) break;
    // The offset each candidate needs; none fits when the walk strays too far.
    const std::optional<Candidate> offset = with_offset(entry.candidate, target, effort);
    if (!offset) continue;
    const Candidate& candidate = *offset;
    const ProofOutcome proof = prove(candidate, target, effort.exhaustive_bits);
    if (!proof.holds) continue;
    ++counts.proven;
    EmittedRoutine routine = emit_candidate(candidate, target, names, output_bytes);
    ++priced;
    ++counts.priced;
    priced_instructions += routine.instructions;
    if (!best || routine.instructions < best->routine.instructions) {
      best = SearchResult{candidate, proof, std::move(routine), 0, 0, 0};
    }
  }
}

}  // namespace

std::optional<SearchResult> find_cheapest(const ResultTarget& target, const RoutineNames& names,
                                          const SearchEffort& effort, int output_bytes) {
  std::optional<SearchResult> best;
  SearchResult counts;
  // The plain walks first, then the factored forms with a budget of their own: a factored
  // routine replaces a plain one only when it is cheaper, so adding forms never makes a
  // routine dearer.
  search_group(make_candidates(target, effort.exhaustive_bits), target, names, effort, output_bytes,
               best, counts);
  if (effort.factored) {
    // Their estimates are rougher: more of them are priced, within the same budget of
    // instructions.
    SearchEffort factored = effort;
    factored.priced = 2 * effort.priced;
    search_group(make_factored_candidates(target), target, names, factored, output_bytes, best,
                 counts);
  }
  if (best) {
    best->made = counts.made;
    best->proven = counts.proven;
    best->priced = counts.priced;
  }
  return best;
}

}  // namespace tarvek
