#include "exact/candidate_families.h"

#include <algorithm>
#include <optional>

namespace tarvek {

namespace {

// Correction steps tried after a walk that may fall short of the target: up to two, as many
// as a one-byte remainder allows.
constexpr int kMostCorrections = 2;

// Appends `c` (without corrections), then, when the target divides, `c` with each number of
// correction steps: a walk that may fall short by a unit or two, corrected, can be cheaper
// than one kept exact by guard bits.
void add_with_corrections(Candidate c, const ResultTarget& target,
                          std::vector<Candidate>& candidates) {
  c.corrections = 0;
  candidates.push_back(c);
  if (target.d < 2) return;
  for (int steps = 1;
       steps <= kMostCorrections && target.d * BigInt(steps + 1) <= BigInt(kRemainderLimit);
       ++steps) {
    c.corrections = steps;
    candidates.push_back(c);
  }
}

// How far the input may be shifted left before the walk: a few bytes' worth is all a
// multiplier a little too large for the walk's digits needs.
constexpr int kLongestInputShift = 16;

// The smallest shift of the input that lets the walk's digits hold M / 2^(f + shift), or -1
// when none up to kLongestInputShift does or the fraction would be too long.
int input_shift_for(const BigInt& multiplier, int fraction_bits) {
  for (int shift = 0; shift <= kLongestInputShift && fraction_bits + shift <= 64; ++shift) {
    if (fits_walk(multiplier, fraction_bits + shift)) return shift;
  }
  return -1;
}

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
    if (fraction_bits > 64 || !fits_walk(multiplier, fraction_bits)) return;
    Candidate c;
    c.multiplier = multiplier;
    c.shift = shift;
    c.guard = guard;
    c.factors = factors;
    // The factors' truncations add up: correction steps make up for them, with or without
    // guard bits.
    add_with_corrections(c, target, candidates);
  };
  if (target.d == 1) {
    if (!target.b.is_zero()) return;
    for (int k = 1; k <= -kLeftmostFactor; ++k) {
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
  for (int k = period; k <= kRightmostFactor; k *= 2) {
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
    for (int k = 1; k <= -kLeftmostFactor; ++k) {
      const uint64_t factor = (uint64_t{1} << k) + 1;
      if (*m % factor != 0) continue;
      const uint64_t head = *m / factor;
      Candidate c = candidates[i];
      c.multiplier = BigInt::from_unsigned(head);
      c.factors = {-k};
      candidates.push_back(c);
      for (int j = 1; j <= -kLeftmostFactor; ++j) {
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
    if (m.value.sign() <= 0 || fraction_bits < 0) return;
    // A multiplier too large for the walk's digits runs on the input shifted left instead.
    const int input_shift = input_shift_for(m.value, fraction_bits);
    if (input_shift < 0) return;
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
    c.input_shift = input_shift;
    // Corrections only without guard bits, which keep a walk exact by themselves.
    if (guard > 0) {
      candidates.push_back(c);
    } else {
      add_with_corrections(c, target, candidates);
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
      if (m.sign() <= 0 || !fits_walk(m, 0)) continue;
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

}  // namespace tarvek
