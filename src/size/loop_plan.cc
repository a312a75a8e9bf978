#include "size/loop_plan.h"

#include <algorithm>
#include <cassert>
#include <optional>

namespace tarvek {
namespace {

// The largest register a loop shifts, in bytes: its exact model works in 128 bits.
constexpr int kMostLoopBytes = 12;
// A loop counter is one byte.
constexpr int kMostPasses = 255;
// A remainder r below the divisor becomes 2r + 1 below twice the divisor when the next bit
// comes in: it fits one byte while the divisor is at most 128.
constexpr uint64_t kLargestDivisor = 128;
// A counting loop's n is held in W.
constexpr uint64_t kLargestCounted = 255;

std::optional<uint64_t> small(const BigInt& value) {
  return value.sign() >= 0 ? value.to_u64() : std::nullopt;
}

// The high part's bytes of a multiply loop adding M to it for each one bit of the input:
// before each shift it holds at most max(c, M) + M, the carry out of its top byte waiting in
// C, and at the end it holds the product's top bytes.
int high_bytes_for(const BigInt& m, const BigInt& c, const BigInt& max_input, int input_bytes) {
  const BigInt peak = std::max(c, m) + m;
  const BigInt product = max_input * m + c;
  int bytes = 1;
  while (peak.bit_length() > 8 * bytes + 1 || product.bit_length() > 8 * (bytes + input_bytes)) {
    ++bytes;
  }
  return bytes;
}

// The offsets c for which floor((u M + c) / 2^s) is q(u) for every u up to max_input, one by
// one in 128 bits (q(u) kept by steps of a', no division per input); nullopt when there is
// none or the values do not fit.
std::optional<uint64_t> offset_one_by_one(const ReducedTarget& r, const BigInt& m, int s,
                                          const ResultTarget& target) {
  // Every term below 2^120: q 2^s, u M and a' u + b'.
  const std::optional<UInt128> mm = m.to_u128();
  if (!mm || target.result_bits + s + 1 > 120 || m.bit_length() + target.input_bits > 120 ||
      r.a.bit_length() + target.input_bits > 120 || r.d.bit_length() > 64) {
    return std::nullopt;
  }
  const uint64_t max_input = *target.max_input.to_u64();
  const auto a = static_cast<Int128>(*r.a.to_u128());
  const auto d = static_cast<Int128>(*r.d.to_u128());
  const Int128 step = a / d;
  const Int128 step_rest = a % d;
  Int128 q = static_cast<Int128>(*r.b.to_u128()) / d;
  Int128 rest = static_cast<Int128>(*r.b.to_u128()) % d;
  const Int128 unit = static_cast<Int128>(1) << s;
  Int128 low = 0;
  Int128 high = static_cast<Int128>(~uint64_t{0});
  for (uint64_t x = 0; x <= max_input && low <= high; ++x) {
    const Int128 product = static_cast<Int128>(*mm) * static_cast<Int128>(x);
    low = std::max(low, q * unit - product);
    high = std::min(high, (q + 1) * unit - 1 - product);
    // q(x + 1) from q(x): a' u + b' grows by a'.
    q += step;
    rest += step_rest;
    if (rest >= d) {
      rest -= d;
      ++q;
    }
  }
  if (low > high) return std::nullopt;
  return static_cast<uint64_t>(low);
}

// The offset c = ceil(b' 2^s / d') of the bound checked at both ends: with M >= a' 2^s / d',
// u M + c never falls below (a' u + b') 2^s / d', and it stays under (a' u + b' + 1) 2^s / d'
// at both ends, so everywhere in between (every term is affine in u).
std::optional<uint64_t> offset_by_the_ends(const ReducedTarget& r, const BigInt& m, int s,
                                           const BigInt& max_input) {
  const BigInt unit = BigInt::power_of_two(s);
  const BigInt c = ceil_div(r.b * unit, r.d);
  for (const BigInt& x : {BigInt(0), max_input}) {
    if (r.d * (x * m + c) >= unit * (r.a * x + r.b + 1)) return std::nullopt;
  }
  return small(c);
}

// Multiply-high plans: the smallest shift (at least the input's bits, so that the result is
// the high part alone) whose multiplier holds, and when its result needs bit shifts, also
// the first larger one whose result is whole bytes of the high part.
void add_multiply_high(const ReducedTarget& r, const ResultTarget& target, int exhaustive_bits,
                       std::vector<LoopPlan>& plans) {
  const int input_bytes = bytes_for_bits(target.input_bits);
  const bool one_by_one = target.input_bits <= exhaustive_bits;
  bool found = false;
  for (int s = target.input_bits; s <= target.input_bits + 80; ++s) {
    const bool aligned = multiply_passes(target.input_bits, input_bytes, s).aligned;
    if (found && !aligned) continue;
    const BigInt m = ceil_div(r.a * BigInt::power_of_two(s), r.d);
    if (m.bit_length() > 64) return;
    const std::optional<uint64_t> c = one_by_one ? offset_one_by_one(r, m, s, target)
                                                 : offset_by_the_ends(r, m, s, target.max_input);
    if (!c) continue;
    LoopPlan plan;
    plan.kind = LoopKind::kMultiply;
    plan.multiplier = m;
    plan.addend = BigInt::from_unsigned(*c);
    plan.shift = s;
    plans.push_back(plan);
    if (aligned) return;
    found = true;
  }
}

void add_division(const ReducedTarget& r, const ResultTarget& target,
                  std::vector<LoopPlan>& plans) {
  const std::optional<uint64_t> odd = small(r.odd);
  if (!odd || *odd < 3 || *odd > kLargestDivisor) return;
  std::vector<Dividend> dividends;
  const int input_bytes = bytes_for_bits(target.input_bits);
  if (r.a == 1 && r.b.is_zero()) {
    dividends.push_back(Dividend::kInput);
  } else if (r.a == 1 && r.b.bit_length() <= 8 * input_bytes) {
    // The constant is added over the input bytes, its carry n's one byte more; or to the
    // remainder afterwards.
    dividends = {Dividend::kPlusConstant, Dividend::kInputThenRemainder};
  } else if (r.a.bit_length() <= 64 && r.b.bit_length() <= 64) {
    dividends = {Dividend::kProduct, Dividend::kProductLoop};
  }
  for (const Dividend dividend : dividends) {
    // The 2^t of the divisor: as skipped bits, or doubling the compared divisor while it
    // stays within a byte (fewer bits to clear afterwards, one more pass).
    for (int skipped = r.twos; skipped >= 0; --skipped) {
      const uint64_t divisor = *odd << (r.twos - skipped);
      if (divisor > kLargestDivisor) break;
      // The remainder is n mod d' (or twice it) only while at most one bit is skipped.
      if (dividend == Dividend::kInputThenRemainder && skipped > 1) continue;
      LoopPlan plan;
      plan.kind = LoopKind::kDivision;
      plan.dividend = dividend;
      plan.multiplier = r.a;
      plan.addend = r.b;
      plan.divisor = divisor;
      plan.skipped = skipped;
      const LoopLayout layout = layout_of(plan, target);
      if (layout.dividend_bytes <= kMostLoopBytes && layout.passes >= 1 &&
          layout.passes <= kMostPasses) {
        plans.push_back(plan);
      }
    }
  }
}

}  // namespace

int bytes_for_bits(int bits) {
  return std::max(1, (bits + 7) / 8);
}

unsigned remainder_threshold(const LoopPlan& plan) {
  const uint64_t d = plan.divisor << plan.skipped;
  const uint64_t b = plan.addend.to_u64().value_or(d);
  const uint64_t threshold = b < d ? (d - b) << (1 - std::min(plan.skipped, 1)) : 0x100;
  return static_cast<unsigned>(std::min<uint64_t>(threshold, 0x100));
}

MultiplyPasses multiply_passes(int input_bits, int input_bytes, int shift) {
  const int most = 8 * input_bytes;
  if (shift == 0) return {most, true};
  for (int p = std::min(most, shift); p >= input_bits; --p) {
    if ((shift - p) % 8 == 0) return {p, true};
  }
  return {std::min(most, shift), false};
}

ReducedTarget reduce(const ResultTarget& target) {
  ReducedTarget r;
  const BigInt g = BigInt::gcd(target.a, target.d);
  r.a = floor_div(target.a, g);
  r.d = floor_div(target.d, g);
  r.b = floor_div(target.b, g);
  r.twos = r.d.trailing_zeros();
  r.odd = r.d >> r.twos;
  return r;
}

std::string describe(const LoopPlan& plan) {
  const std::string n = plan.multiplier == 1 ? "u" : plan.multiplier.to_decimal() + " u";
  const std::string plus = plan.addend.is_zero() ? "" : " + " + plan.addend.to_decimal();
  switch (plan.kind) {
    case LoopKind::kCounting:
      return "counting (" + n + plus + ") / " + std::to_string(plan.divisor);
    case LoopKind::kMultiply:
      return "multiply (u * " + plan.multiplier.to_decimal() + plus + ") / 2^" +
             std::to_string(plan.shift);
    case LoopKind::kDivision:
      break;
  }
  static const char* const kDividends[] = {"input", "plus constant", "input, then remainder",
                                           "product", "product loop"};
  return "division (" + n + plus + ") / " + std::to_string(plan.divisor) + ", " +
         std::to_string(plan.skipped) + " bits skipped, dividend " +
         kDividends[static_cast<int>(plan.dividend)];
}

LoopLayout layout_of(const LoopPlan& plan, const ResultTarget& target) {
  LoopLayout layout;
  layout.input_bytes = bytes_for_bits(target.input_bits);
  const BigInt top = plan.multiplier * target.max_input + plan.addend;
  switch (plan.kind) {
    case LoopKind::kCounting:
      layout.dividend_bytes = 1;
      layout.passes = 0;
      break;
    case LoopKind::kMultiply:
      layout.high_bytes =
          high_bytes_for(plan.multiplier, plan.addend, target.max_input, layout.input_bytes);
      layout.passes = multiply_passes(target.input_bits, layout.input_bytes, plan.shift).passes;
      break;
    case LoopKind::kDivision:
      switch (plan.dividend) {
        case Dividend::kInput:
        case Dividend::kInputThenRemainder:
          layout.dividend_bytes = layout.input_bytes;
          break;
        case Dividend::kPlusConstant:
          layout.dividend_bytes = std::max(layout.input_bytes, bytes_for_bits(top.bit_length()));
          layout.dividend_temp_bytes = layout.dividend_bytes - layout.input_bytes;
          break;
        case Dividend::kProduct:
          layout.dividend_bytes = bytes_for_bits(top.bit_length());
          break;
        case Dividend::kProductLoop:
          layout.high_bytes =
              high_bytes_for(plan.multiplier, plan.addend, target.max_input, layout.input_bytes);
          layout.dividend_bytes = layout.input_bytes + layout.high_bytes;
          layout.dividend_temp_bytes = layout.high_bytes;
          break;
      }
      layout.passes = 8 * layout.dividend_bytes - plan.skipped + 1;
      break;
  }
  return layout;
}

std::vector<LoopPlan> make_loop_plans(const ResultTarget& target, int exhaustive_bits) {
  std::vector<LoopPlan> plans;
  const ReducedTarget r = reduce(target);
  if (r.d == 1) {
    // The exact product: a multiply loop with nothing shifted off.
    if (r.a.bit_length() <= 64 && r.b.bit_length() <= 64) {
      LoopPlan plan;
      plan.kind = LoopKind::kMultiply;
      plan.multiplier = r.a;
      plan.addend = r.b;
      plans.push_back(plan);
    }
    return plans;
  }
  const std::optional<uint64_t> d = small(r.d);
  const BigInt counted = BigInt::from_unsigned(kLargestCounted);
  if (r.a == 1 && d && *d <= kLargestCounted && target.max_input <= counted) {
    LoopPlan plan;
    plan.kind = LoopKind::kCounting;
    plan.addend = r.b;
    plan.divisor = *d;
    // The constant added to n in W first, or to what the loop leaves of it.
    if (target.max_input + r.b <= counted) {
      plan.dividend = Dividend::kPlusConstant;
      plans.push_back(plan);
    }
    if (!r.b.is_zero()) {
      plan.dividend = Dividend::kInputThenRemainder;
      plans.push_back(plan);
    }
  }
  add_division(r, target, plans);
  add_multiply_high(r, target, exhaustive_bits, plans);
  return plans;
}

}  // namespace tarvek
