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

namespace {

// The order of 2 modulo an odd o > 1 (the period of 1/o in binary), or 0 when above 64 or
// when o has more than 64 bits.
int binary_period(const BigInt& odd) {
  const std::optional<uint64_t> o = odd.to_u64();
  if (!o) return 0;
  UInt128 power = 2 % *o;
  for (int period = 1; period <= 64; ++period) {
    if (power == 1) return period;
    power = power * 2 % *o;
  }
  return 0;
}

// Factored candidates. A constant a/d with d = 2^e o, o odd above 1, has a binary expansion
// that repeats with the period p of 1/o: a/d = H / 2^(e+p) / (1 - 2^-p) with the integer
// H = a (2^p - 1) / o, and 1 / (1 - 2^-p) = (1 + 2^-p)(1 + 2^-2p)(1 + 2^-4p)..., so a short
// walk for H and a few factors that reuse the partial product approximate it from below to
// any precision; guard bits, an offset or corrections make up the rest. An integer constant
// divisible by 2^k + 1 is its quotient times 2^k + 1, the product reusing the partial one.
void add_factored(const ResultTarget& target, std::vector<Candidate>& candidates) {
  const int n = target.input_bits;
  const int d_bits = target.d.bit_length();
  const auto push = [&](BigInt multiplier, int shift, int guard, const Factors& factors) {
    // The guard bits must stay within the multiplier's fraction: M / 2^(shift - guard).
    if (guard > shift) {
      multiplier <<= guard - shift;
      shift = guard;
    }
    const int fraction_bits = shift - guard;
    if (fraction_bits > 64 || multiplier.bit_length() > 30 + fraction_bits) return;
    Candidate c;
    c.multiplier = multiplier;
    c.shift = shift;
    c.guard = guard;
    c.factors = factors;
    candidates.push_back(c);
    // The factors' truncations add up: correction steps make up for them, with or without
    // guard bits.
    if (target.d < 2) return;
    for (int steps = 1; steps <= 2 && target.d * BigInt(steps + 1) <= 256; ++steps) {
      c.corrections = steps;
      candidates.push_back(c);
    }
  };
  if (target.d == 1) {
    if (!target.b.is_zero()) return;
    for (int k = 1; k <= 16; ++k) {
      const BigInt factor = BigInt::power_of_two(k) + 1;
      BigInt head;
      BigInt rest;
      BigInt::floor_divide(target.a, factor, head, rest);
      if (!rest.is_zero() || head.sign() <= 0) continue;
      push(head, 0, 0, {-k});
      for (int j = 1; j <= k; ++j) {
        BigInt inner;
        BigInt::floor_divide(head, BigInt::power_of_two(j) + 1, inner, rest);
        if (rest.is_zero() && inner.sign() > 0) push(inner, 0, 0, {-j, -k});
      }
    }
    return;
  }
  const int e = target.d.trailing_zeros();
  const BigInt odd = target.d >> e;
  if (odd == 1) return;
  const int period = binary_period(odd);
  if (period == 0) return;
  const BigInt head = floor_div(target.a * (BigInt::power_of_two(period) - 1), odd);
  // Enough factors for the precision the input width and the divisor ask for, and one more.
  const int precision = n + d_bits + 2;
  Factors factors;
  for (int k = period; k <= 64; k *= 2) {
    factors.push_back(k);
    if (k >= precision) break;
  }
  for (std::size_t count = factors.size() > 2 ? factors.size() - 2 : 1; count <= factors.size();
       ++count) {
    const Factors used(factors.begin(), factors.begin() + static_cast<std::ptrdiff_t>(count));
    for (int guard = 0; guard <= d_bits + 2; ++guard) push(head, e + period, guard, used);
  }
}

// Each candidate again with its multiplier split into a shorter one times 2^k + 1 (or two
// such factors), when it divides: x * 21845 is (x * 85) * 257, and a factor of 2^8 + 1 is
// a copy moved up by a whole byte and added.
void add_integer_factors(std::vector<Candidate>& candidates) {
  const std::size_t made = candidates.size();
  for (std::size_t i = 0; i < made; ++i) {
    const std::optional<uint64_t> m = candidates[i].multiplier.to_u64();
    if (!m || !candidates[i].factors.empty()) continue;
    for (int k = 1; k <= 16; ++k) {
      const uint64_t factor = (uint64_t{1} << k) + 1;
      if (*m % factor != 0) continue;
      const uint64_t head = *m / factor;
      Candidate c = candidates[i];
      c.multiplier = BigInt::from_unsigned(head);
      c.factors = {-k};
      candidates.push_back(c);
      for (int j = 1; j <= 16; ++j) {
        const uint64_t inner_factor = (uint64_t{1} << j) + 1;
        if (head % inner_factor != 0) continue;
        c.multiplier = BigInt::from_unsigned(head / inner_factor);
        c.factors = {-j, -k};
        candidates.push_back(c);
      }
    }
  }
}

}  // namespace

std::vector<Candidate> make_candidates(const ResultTarget& target, int exhaustive_bits) {
  std::vector<Candidate> candidates;
  const int n = target.input_bits;
  const int d_bits = target.d.bit_length();
  // A multiplier with what it allows: |M / 2^shift - a / d| times the largest input (the
  // drift) must stay below 1/d, or no walk with it stays within one result of the target;
  // below K without guard bits the walk's own integer leaves a unit of room, so there a drift
  // below 1 may do.
  struct Multiplier {
    BigInt value;
    bool strays_with_guard = false;
    bool strays_without_guard = false;
  };
  const auto multiplier = [&](const BigInt& value, int shift) {
    const BigInt excess = value * target.d - target.a * BigInt::power_of_two(shift);
    const BigInt drift = (excess.is_negative() ? -excess : excess) * target.max_input;
    const BigInt limit = BigInt::power_of_two(shift);
    Multiplier m{value, drift >= limit, drift >= limit};
    if (excess.is_negative()) m.strays_without_guard = drift >= limit * target.d;
    return m;
  };
  // The multipliers just below and just above K * 2^shift.
  const auto around = [&](int shift) {
    const BigInt scaled = target.a * BigInt::power_of_two(shift);
    return std::pair{multiplier(floor_div(scaled, target.d), shift),
                     multiplier(ceil_div(scaled, target.d), shift)};
  };
  const auto add = [&](const Multiplier& m, int shift, int guard) {
    if (guard == 0 ? m.strays_without_guard : m.strays_with_guard) return;
    const int fraction_bits = shift - guard;
    if (m.value.sign() <= 0 || fraction_bits < 0 || fraction_bits > 64) return;
    if (m.value.bit_length() > 30 + fraction_bits) return;
    for (const Candidate& other : candidates) {
      if (other.multiplier == m.value && other.shift == shift && other.guard == guard &&
          other.corrections == 0) {
        return;
      }
    }
    Candidate c;
    c.multiplier = m.value;
    c.shift = shift;
    c.guard = guard;
    candidates.push_back(c);
    // Without guard bits, also with correction steps, as many as a one-byte remainder allows
    // up to two: a walk that may fall short by a unit or two, corrected, can be cheaper than
    // one kept exact by guard bits.
    if (guard > 0 || target.d < 2) return;
    for (int steps = 1; steps <= 2 && target.d * BigInt(steps + 1) <= 256; ++steps) {
      c.corrections = steps;
      candidates.push_back(c);
    }
  };
  const auto add_around = [&](int shift, const std::vector<int>& guards) {
    const auto [below, above] = around(shift);
    for (const int guard : guards) {
      add(below, shift, guard);
      add(above, shift, guard);
    }
  };
  // An exact product: the constant itself when it is an integer or a dyadic fraction.
  if (target.d == BigInt::power_of_two(d_bits - 1)) {
    std::vector<int> guards;
    for (int guard = 0; guard <= d_bits - 1; ++guard) guards.push_back(guard);
    add_around(d_bits - 1, guards);
  }
  // Truncating walks: enough multiplier bits for the input width and the divisor, and guard
  // bits enough to absorb the walk's truncation below the divisor's resolution. Without
  // guard bits the result is the walk's own integer, which leaves room for a truncation of
  // up to one unit. The affine bound never proves fewer guard bits than the divisor has
  // (the truncation, up to nearly two units, must fit below 2^guard / d), so those are tried
  // only where every input is evaluated.
  for (int shift = n + d_bits - 2; shift <= n + d_bits + 2; ++shift) {
    std::vector<int> guards{0};
    for (int guard = n <= exhaustive_bits ? 1 : d_bits; guard <= std::min(d_bits + 2, shift);
         ++guard) {
      guards.push_back(guard);
    }
    add_around(shift, guards);
  }
  // Exact products with one truncation at the end.
  for (int shift = n + d_bits - 1; shift <= n + d_bits + 2; ++shift) add_around(shift, {shift});
  return candidates;
}

std::vector<Candidate> make_factored_candidates(const ResultTarget& target) {
  std::vector<Candidate> candidates;
  // Exact products (one truncation at the end), whose multipliers may split into integer
  // factors: floor(x / 3) for 16-bit x is floor((x + 1) * 21845 / 2^16), and 21845 is
  // 85 * 257. A truncating walk would multiply its truncation by the factor, so only these.
  const int n = target.input_bits;
  const int d_bits = target.d.bit_length();
  for (int shift = std::max(0, n + d_bits - 2); shift <= n + d_bits + 2; ++shift) {
    const BigInt scaled = target.a * BigInt::power_of_two(shift);
    for (const BigInt& m : {floor_div(scaled, target.d), ceil_div(scaled, target.d)}) {
      if (m.sign() <= 0 || m.bit_length() > 30) continue;
      Candidate c;
      c.multiplier = m;
      c.shift = shift;
      c.guard = shift;
      candidates.push_back(c);
    }
  }
  const std::size_t products = candidates.size();
  add_integer_factors(candidates);
  // Only the factored ones: the plain products are the first group's.
  candidates.erase(candidates.begin(), candidates.begin() + static_cast<std::ptrdiff_t>(products));
  add_factored(target, candidates);
  return candidates;
}

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
  const Chain chain =
      make_chain(candidate.multiplier, candidate.shift - candidate.guard, target.input_bits);
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
