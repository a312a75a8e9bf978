#include "size/loop_proof.h"

#include <algorithm>
#include <cassert>

namespace tarvek {
namespace {

UInt128 low_bits(int bits) {
  return bits >= 128 ? ~UInt128{0} : (UInt128{1} << bits) - 1;
}

// The division loop, pass by pass: compare r with the divisor and take it off when it is not
// smaller (the quotient bit), rotate the bit in at the bottom of n's register and n's top bit
// out into r. After the passes the register holds the skipped bits but one at its top, then
// the quotient (the first inserted bit, a zero, with it); r holds n mod d' when one bit is
// skipped, twice n mod d' when none is. A plan that adds b' to the remainder adds one to the
// quotient when r reaches d' - b' (twice that when no bit is skipped).
std::optional<UInt128> division_model(const LoopPlan& plan, const LoopLayout& layout, UInt128 n) {
  const int bits = 8 * layout.dividend_bytes;
  if (n > low_bits(bits)) return std::nullopt;
  UInt128 reg = n;
  unsigned r = 0;
  for (int pass = 0; pass < layout.passes; ++pass) {
    const bool q = r >= plan.divisor;
    if (q) r -= static_cast<unsigned>(plan.divisor);
    const auto top = static_cast<unsigned>(reg >> (bits - 1)) & 1;
    reg = ((reg << 1) | (q ? 1 : 0)) & low_bits(bits);
    r = 2 * r + top;
    if (r > 0xFF) return std::nullopt;
  }
  const UInt128 quotient = reg & low_bits(std::min(bits, bits - plan.skipped + 1));
  if (plan.dividend != Dividend::kInputThenRemainder) return quotient;
  return quotient + (r >= remainder_threshold(plan) ? 1 : 0);
}

// The multiply loop: the high part h starts at c and the input's bits come out at the bottom
// of its register one by one; for a one bit M is added to h, then the carry, h and the
// input's register are rotated right together. The product ends in h and the input's bytes.
std::optional<UInt128> multiply_model(const LoopPlan& plan, const LoopLayout& layout, uint64_t u) {
  const int high_bits = 8 * layout.high_bytes;
  const int low_bits_count = 8 * layout.input_bytes;
  if (high_bits + low_bits_count > 120) return std::nullopt;
  const std::optional<UInt128> m = plan.multiplier.to_u128();
  const std::optional<UInt128> c = plan.addend.to_u128();
  if (!m || !c || *m > low_bits(high_bits) || *c > low_bits(high_bits)) return std::nullopt;
  UInt128 h = *c;
  UInt128 l = u;
  // The first bit comes out before the loop; what goes in at the top is shifted out again by
  // the passes, taken here as zero.
  bool carry = (l & 1) != 0;
  l >>= 1;
  for (int pass = 0; pass < layout.passes; ++pass) {
    bool into_top = false;
    if (carry) {
      h += *m;
      into_top = (h >> high_bits) != 0;
      h &= low_bits(high_bits);
    }
    const bool h_bit = (h & 1) != 0;
    h = (h >> 1) | (static_cast<UInt128>(into_top ? 1 : 0) << (high_bits - 1));
    carry = (l & 1) != 0;
    l = (l >> 1) | (static_cast<UInt128>(h_bit ? 1 : 0) << (low_bits_count - 1));
  }
  // The product stands 8 input_bytes - passes places up in the registers.
  return ((h << low_bits_count) | l) >> (plan.shift + low_bits_count - layout.passes);
}

// The counting loop: one more than the result is counted, from minus one, until n falls
// below the divisor.
std::optional<UInt128> counting_model(const LoopPlan& plan, uint64_t u) {
  const std::optional<uint64_t> b = plan.addend.to_u64();
  const bool late = plan.dividend == Dividend::kInputThenRemainder;
  if (!b || u + (late ? 0 : *b) > 0xFF) return std::nullopt;
  unsigned n = static_cast<unsigned>(u + (late ? 0 : *b));
  unsigned count = 0xFF;
  for (;;) {
    count = (count + 1) & 0xFF;
    if (n < plan.divisor) break;
    n -= static_cast<unsigned>(plan.divisor);
  }
  // W holds n - d' modulo 256 (n below d' now): adding b' carries out when n + b' >= d'.
  if (late && ((n - plan.divisor) & 0xFF) + *b > 0xFF) count = (count + 1) & 0xFF;
  return count;
}

// floor((a u + b) / d) for u = 0, 1, ... max_input, kept by steps of a (no division per
// input), calling `visit(u, q)` until it returns false. Requires: a, b and d below 2^64.
template <typename Visit>
bool each_target_value(const ResultTarget& target, Visit visit) {
  const auto a = static_cast<Int128>(*target.a.to_u128());
  const auto b = static_cast<Int128>(*target.b.to_u128());
  const auto d = static_cast<Int128>(*target.d.to_u128());
  Int128 q = b / d;
  Int128 rest = b % d;
  const uint64_t max_input = *target.max_input.to_u64();
  for (uint64_t u = 0; u <= max_input; ++u) {
    if (!visit(u, static_cast<UInt128>(q))) return false;
    q += a / d;
    rest += a % d;
    if (rest >= d) {
      rest -= d;
      ++q;
    }
  }
  return true;
}

bool model_is_target_at(const LoopPlan& plan, const ResultTarget& target, uint64_t u) {
  const std::optional<UInt128> value = loop_model(plan, target, u);
  const BigInt expected = target_value(target, BigInt::from_unsigned(u));
  return value && BigInt::from_u128(*value) == expected;
}

// A multiply loop's registers hold its values for every input: the high part at most
// max(c, M) + M before each shift (one bit of it in C), the product u M + c, largest at the
// largest input, within both parts. A division's product loop is such a loop too.
bool multiply_registers_hold(const LoopPlan& plan, const ResultTarget& target) {
  const bool multiplies =
      plan.kind == LoopKind::kMultiply ||
      (plan.kind == LoopKind::kDivision && plan.dividend == Dividend::kProductLoop);
  if (!multiplies) return true;
  const LoopLayout layout = layout_of(plan, target);
  const BigInt& m = plan.multiplier;
  const BigInt& c = plan.addend;
  const BigInt peak = std::max(m, c) + m;
  const BigInt product = m * target.max_input + c;
  return peak.bit_length() <= 8 * layout.high_bytes + 1 &&
         product.bit_length() <= 8 * (layout.high_bytes + layout.input_bytes) &&
         c.bit_length() <= 8 * layout.high_bytes;
}

// The invariant at both ends of the input range (see the header), for inputs too wide to
// run one by one.
bool invariant_holds(const LoopPlan& plan, const ResultTarget& target) {
  const LoopLayout layout = layout_of(plan, target);
  const ReducedTarget r = reduce(target);
  const BigInt& x = target.max_input;
  // The reduced target is the target: a = g a', d = g d' (b' = floor(b / g) by construction).
  const BigInt g = floor_div(target.a, r.a);
  if (g * r.a != target.a || g * r.d != target.d || r.b != floor_div(target.b, g)) return false;
  switch (plan.kind) {
    case LoopKind::kDivision: {
      const bool late = plan.dividend == Dividend::kInputThenRemainder;
      const BigInt n = plan.multiplier * x + (late ? BigInt(0) : plan.addend);
      // floor((u + b') / d') = floor(u / d') + ((u mod d') + b' >= d') needs b' < d', and the
      // remainder's threshold must fit its byte.
      if (late && (plan.addend >= r.d || plan.skipped > 1 || remainder_threshold(plan) > 255)) {
        return false;
      }
      if (plan.multiplier != r.a || plan.addend != r.b ||
          BigInt::from_unsigned(plan.divisor) << plan.skipped != r.d || plan.divisor > 128 ||
          n.bit_length() > 8 * layout.dividend_bytes || layout.passes > 255) {
        return false;
      }
      break;
    }
    case LoopKind::kMultiply: {
      const BigInt unit = BigInt::power_of_two(plan.shift);
      const BigInt& m = plan.multiplier;
      const BigInt& c = plan.addend;
      if (r.d * m < unit * r.a) return false;
      for (const BigInt& u : {BigInt(0), x}) {
        if (r.d * (u * m + c) < unit * (r.a * u + r.b)) return false;
        if (r.d * (u * m + c) >= unit * (r.a * u + r.b + 1)) return false;
      }
      break;
    }
    case LoopKind::kCounting: {
      // A late addend must be below d' (one carry makes up for it) and fit addlw.
      const bool late = plan.dividend == Dividend::kInputThenRemainder;
      if (x + (late ? BigInt(0) : plan.addend) > BigInt(255) || plan.addend != r.b || r.a != 1 ||
          BigInt::from_unsigned(plan.divisor) != r.d ||
          (late && (plan.addend >= r.d || plan.addend > BigInt(255)))) {
        return false;
      }
      break;
    }
  }
  return model_is_target_at(plan, target, 0) && model_is_target_at(plan, target, *x.to_u64());
}

}  // namespace

namespace {

// The model for a layout made once, so that running every input does not make it again.
std::optional<UInt128> model_value(const LoopPlan& plan, const LoopLayout& layout, uint64_t u) {
  switch (plan.kind) {
    case LoopKind::kCounting:
      return counting_model(plan, u);
    case LoopKind::kMultiply:
      return multiply_model(plan, layout, u);
    case LoopKind::kDivision:
      break;
  }
  const std::optional<UInt128> a = plan.multiplier.to_u128();
  std::optional<UInt128> b = plan.addend.to_u128();
  if (!a || !b || plan.multiplier.bit_length() + 33 > 120) return std::nullopt;
  // The addend goes to the remainder after the loop, not into n.
  if (plan.dividend == Dividend::kInputThenRemainder) b = 0;
  return division_model(plan, layout, *a * u + *b);
}

}  // namespace

std::optional<UInt128> loop_model(const LoopPlan& plan, const ResultTarget& target, uint64_t u) {
  return model_value(plan, layout_of(plan, target), u);
}

LoopProof prove_plan(const LoopPlan& plan, const ResultTarget& target, int exhaustive_bits) {
  LoopProof proof;
  if (!multiply_registers_hold(plan, target)) return proof;
  const bool small_terms =
      target.a.bit_length() <= 64 && target.b.bit_length() <= 64 && target.d.bit_length() <= 64;
  if (target.input_bits <= exhaustive_bits && small_terms) {
    proof.every_input = true;
    const LoopLayout layout = layout_of(plan, target);
    proof.holds = each_target_value(target, [&](uint64_t u, UInt128 q) {
      const std::optional<UInt128> value = model_value(plan, layout, u);
      return value && *value == q;
    });
    return proof;
  }
  proof.holds = invariant_holds(plan, target);
  return proof;
}

}  // namespace tarvek
