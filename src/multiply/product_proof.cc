#include "multiply/product_proof.h"

#include <algorithm>
#include <cassert>

namespace tarvek {
namespace {

BigInt from_i128(Int128 value) {
  const BigInt magnitude = BigInt::from_u128(static_cast<UInt128>(value < 0 ? -value : value));
  return value < 0 ? -magnitude : magnitude;
}

// Every input evaluated, in 128-bit arithmetic; nullopt when some value might not fit it.
std::optional<ProductOffsets> evaluated_offsets(const ProductPlan& plan,
                                                const ResultTarget& target) {
  const std::optional<UInt128> a = target.a.to_u128();
  const std::optional<UInt128> b = target.b.to_u128();
  const std::optional<UInt128> d = target.d.to_u128();
  const std::optional<uint64_t> max_input = target.max_input.to_u64();
  const std::optional<uint64_t> multiplier = plan.multiplier.to_u64();
  // Q 2^s and M x stay below 2^120, far from what an Int128 holds.
  if (!a || !b || !d || !max_input || !multiplier ||
      target.max_result.bit_length() + plan.shift + 1 > 120 ||
      target.a.bit_length() + target.input_bits > 120 ||
      plan.multiplier.bit_length() + target.input_bits > 120) {
    return std::nullopt;
  }
  const int input_bytes = (target.input_bits + 7) / 8;
  const int m_bytes = multiplier_bytes(plan);
  Int128 low = 0;
  Int128 high = 0;
  // Q(x) = floor((a x + b) / d) stepped from one input to the next, without a division.
  const UInt128 step = *a / *d;
  const UInt128 step_rest = *a % *d;
  UInt128 q = *b / *d;
  UInt128 rest = *b % *d;
  for (uint64_t x = 0; x <= *max_input; ++x) {
    if (x > 0) {
      q += step;
      rest += step_rest;
      if (rest >= *d) {
        rest -= *d;
        ++q;
      }
    }
    UInt128 left_out = 0;
    for (int i = 0; i < input_bytes; ++i) {
      const UInt128 xi = (x >> (8 * i)) & 0xFF;
      for (int j = 0; j < m_bytes && i + j < plan.kept_from; ++j) {
        left_out += (xi * ((*multiplier >> (8 * j)) & 0xFF)) << (8 * (i + j));
      }
    }
    const Int128 v = static_cast<Int128>(UInt128{*multiplier} * x - left_out);
    const Int128 least = (static_cast<Int128>(q) << plan.shift) - v;
    const Int128 most = (static_cast<Int128>(q + 1) << plan.shift) - v - 1;
    if (x == 0 || least > low) low = least;
    if (x == 0 || most < high) high = most;
    if (low > high) break;
  }
  return ProductOffsets{from_i128(low), from_i128(high), *max_input + 1};
}

}  // namespace

ProductOffsets product_offsets(const ProductPlan& plan, const ResultTarget& target,
                               int exhaustive_bits) {
  if (target.input_bits <= exhaustive_bits) {
    if (std::optional<ProductOffsets> evaluated = evaluated_offsets(plan, target)) {
      return *evaluated;
    }
  }
  // g(x) = (a 2^s - M d) x + b 2^s; both bounds are affine in x through it.
  const BigInt slope = (target.a << plan.shift) - plan.multiplier * target.d;
  const BigInt at_zero = target.b << plan.shift;
  const BigInt at_end = slope * target.max_input + at_zero;
  const BigInt& larger = at_zero > at_end ? at_zero : at_end;
  const BigInt& smaller = at_zero > at_end ? at_end : at_zero;
  ProductOffsets offsets;
  offsets.low = ceil_div(larger, target.d) + most_left_out(plan, target);
  offsets.high = ceil_div(smaller + BigInt::power_of_two(plan.shift), target.d) - 1;
  return offsets;
}

std::optional<ProductPlan> with_least_offset(const ProductPlan& plan, const ResultTarget& target,
                                             int exhaustive_bits, ProofOutcome& proof) {
  const ProductOffsets offsets = product_offsets(plan, target, exhaustive_bits);
  if (offsets.is_empty() || offsets.high.is_negative()) return std::nullopt;
  const int unit = 8 * plan.kept_from;
  BigInt least = offsets.low.is_negative() ? BigInt(0) : offsets.low;
  least = ceil_div(least, BigInt::power_of_two(unit)) << unit;
  if (least > offsets.high) return std::nullopt;
  ProductPlan proven = plan;
  proven.offset = least;
  proof = ProofOutcome{true, offsets.inputs_evaluated};
  return proven;
}

ProofOutcome prove_product(const ProductPlan& plan, const ResultTarget& target,
                           int exhaustive_bits) {
  const ProductOffsets offsets = product_offsets(plan, target, exhaustive_bits);
  const int unit = 8 * plan.kept_from;
  const bool holds = !plan.offset.is_negative() && plan.offset >= offsets.low &&
                     plan.offset <= offsets.high && ((plan.offset >> unit) << unit) == plan.offset;
  return ProofOutcome{holds, offsets.inputs_evaluated};
}

}  // namespace tarvek
