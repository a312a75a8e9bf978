#include "exact/chain.h"

#include <algorithm>
#include <cassert>

namespace tarvek {
namespace {

constexpr int kUnits = 31;
constexpr int kDigitCount = 96;

// The walk's accumulator as an affine bound while the fractional terms are combined, in
// 128 bits: the slope is below 2^(31 + kBoundScale) and the intercepts below 2^(2 +
// kBoundScale).
struct Interval {
  Int128 slope;
  Int128 low;
  Int128 high;
};

// The exact quotient of a value that is a multiple of 2^n.
Int128 exact_shift(Int128 value, int n) {
  assert(value % (static_cast<Int128>(1) << n) == 0);
  return value / (static_cast<Int128>(1) << n);
}

void shift_interval(Interval& v, int n) {
  assert(n >= 0 && n <= kBoundScale);
  // A value that is x times a multiple of 2^n, with no error yet, is divided exactly.
  const Int128 multiple = static_cast<Int128>(1) << (kBoundScale + n);
  const bool exact = v.low == 0 && v.high == 0 && v.slope % multiple == 0;
  v.slope = exact_shift(v.slope, n);
  v.low = exact_shift(v.low, n);
  v.high = exact_shift(v.high, n);
  if (!exact) {
    // floor(y / 2^n) >= y / 2^n - (1 - 2^-n) for an integer y.
    v.low -=
        (static_cast<Int128>(1) << kBoundScale) - (static_cast<Int128>(1) << (kBoundScale - n));
  }
}

}  // namespace

bool fits_walk(const BigInt& multiplier, int fraction_bits) {
  // Below 2^31 the top digit is 0, where a carry of the recoding may land; 2^31 itself is that
  // one digit.
  return multiplier.bit_length() <= kUnits + fraction_bits ||
         multiplier == BigInt::power_of_two(kUnits + fraction_bits);
}

Chain make_chain(const BigInt& multiplier, int fraction_bits, int input_bits, int input_shift) {
  assert(fraction_bits >= 0 && fraction_bits <= 64);
  assert(input_shift >= 0 && input_shift <= 31);
  assert(multiplier.sign() > 0 && fits_walk(multiplier, fraction_bits));
  assert(input_bits >= 1 && input_bits <= 32);
  Chain chain;
  DigitString& digits = chain.decomposition.digits;
  // Bit i of M has the weight 2^(i - f), which is digit index 31 + f - i.
  for (int i = 0; i < multiplier.bit_length(); ++i) {
    if (multiplier.bit(i)) digits[static_cast<std::size_t>(kUnits + fraction_bits - i)] = 1;
  }
  recode_runs(digits);
  int last = -1;
  for (int k = 0; k < kDigitCount; ++k) {
    const int digit = digits[static_cast<std::size_t>(k)];
    if (digit == 0) continue;
    ++chain.decomposition.term_count;
    last = k;
  }
  for (int k = kDigitCount - 1; k >= 0; --k) {
    const int digit = digits[static_cast<std::size_t>(k)];
    if (digit != 0) chain.terms.push_back(ChainTerm{kUnits - k, digit});
  }
  chain.decomposition.term_end = last + 1;
  chain.decomposition.input_bytes = (input_bits + input_shift + 7) / 8;
  chain.input_shift = input_shift;
  return chain;
}

namespace {

// The walk's steps, the same for every model of its accumulator: the fractional terms by
// Horner's rule from the least significant up (the accumulator shifted right, truncating,
// before each further term and once more onto the units position; a negative first term
// negates it after the first shift), then the whole terms added at their weights. `Model`
// starts as zero and has start() (the accumulator becomes the input), shift_right(n),
// negate() and add(sign, exponent) (sign * input * 2^exponent added).
template <typename Model>
void walk_terms(const Chain& chain, Model& model) {
  const std::vector<ChainTerm>& terms = chain.terms;
  std::size_t first_whole = 0;
  while (first_whole < terms.size() && terms[first_whole].exponent < 0) ++first_whole;
  if (first_whole > 0) {
    model.start();
    bool negate_pending = terms[0].sign < 0;
    int position = terms[0].exponent;
    for (std::size_t i = 1; i <= first_whole; ++i) {
      const int next = i < first_whole ? terms[i].exponent : 0;
      model.shift_right(next - position);
      if (negate_pending) {
        model.negate();
        negate_pending = false;
      }
      if (i < first_whole) model.add(terms[i].sign, 0);
      position = next;
    }
  }
  for (std::size_t i = first_whole; i < terms.size(); ++i) {
    model.add(terms[i].sign, terms[i].exponent);
  }
}

// The accumulator's exact value for one input.
// floor(value / 2^n) for any n >= 0: a shift by the type's width or more is not defined, and
// leaves 0 or -1.
template <typename T>
T floor_shift_by(T value, int n) {
  constexpr int kBits = static_cast<int>(sizeof(T)) * 8;
  if (n >= kBits) return value < 0 ? T{-1} : T{0};
  return value >> n;
}

// The accumulator's exact value for one input, in the integer type T.
template <typename T>
struct ExactModel {
  T input;
  T value = 0;

  void start() { value = input; }
  void shift_right(int n) { value = floor_shift_by(value, n); }
  void negate() { value = -value; }
  void add(int sign, int exponent) {
    const T weighted = input << exponent;
    value += sign > 0 ? weighted : -weighted;
  }
};

// The accumulator's affine bound over every input.
struct BoundModel {
  Interval v{0, 0, 0};

  static Int128 one() { return static_cast<Int128>(1) << kBoundScale; }
  void start() { v.slope = one(); }
  void shift_right(int n) { shift_interval(v, n); }
  void negate() { v = Interval{-v.slope, -v.high, -v.low}; }
  void add(int sign, int exponent) {
    const Int128 weight = one() << exponent;
    v.slope += sign > 0 ? weight : -weight;
  }
};

}  // namespace

Int128 chain_value(const Chain& chain, uint64_t x) {
  assert(x <= 0xFFFFFFFFull);
  ExactModel<Int128> model{static_cast<Int128>(x) << chain.input_shift};
  walk_terms(chain, model);
  return model.value;
}

AffineBound chain_bound(const Chain& chain) {
  BoundModel model;
  walk_terms(chain, model);
  const Interval& v = model.v;
  const auto big = [](Int128 value) {
    return value < 0 ? -BigInt::from_u128(static_cast<UInt128>(-value))
                     : BigInt::from_u128(static_cast<UInt128>(value));
  };
  // The walk's input is x * 2^input_shift: as a bound in x, its slope is that much steeper.
  return AffineBound{big(v.slope) << chain.input_shift, big(v.low), big(v.high)};
}

Int128 walk_value(const Chain& chain, const Factors& factors, uint64_t x) {
  Int128 v = chain_value(chain, x);
  for (const int k : factors) {
    v += k > 0 ? floor_shift(v, k) : v * (static_cast<Int128>(1) << -k);
  }
  return v;
}

bool walk_fits_64_bits(const Chain& chain, const Factors& factors, int input_bits) {
  // The walk's value and every partial sum stay below the input times twice its top weight:
  // the recoded digits' weights add up to less than twice the largest. A right shift of it
  // never grows it; a factor 1 + 2^-k at most doubles it, and 2^k + 1 multiplies it by at
  // most 2^(k + 1). One bit more for the sign.
  int top = 0;
  for (const ChainTerm& term : chain.terms) top = std::max(top, term.exponent);
  int bits = input_bits + chain.input_shift + top + 2;
  for (const int k : factors) bits += k > 0 ? 1 : 1 - k;
  return bits <= 62;
}

int64_t walk_value_64(const Chain& chain, const Factors& factors, uint64_t x) {
  ExactModel<int64_t> model{static_cast<int64_t>(x << chain.input_shift)};
  walk_terms(chain, model);
  int64_t v = model.value;
  for (const int k : factors) v += k > 0 ? floor_shift_by(v, k) : v * (int64_t{1} << -k);
  return v;
}

AffineBound walk_bound(const Chain& chain, const Factors& factors, const BigInt& max_input) {
  AffineBound bound = chain_bound(chain);
  const BigInt one = BigInt::power_of_two(kBoundScale);
  for (const int k : factors) {
    if (k < 0) {
      const BigInt times = BigInt::power_of_two(-k) + 1;
      bound.slope *= times;
      bound.low_intercept *= times;
      bound.high_intercept *= times;
      continue;
    }
    // v + floor(v / 2^k) lies in [v + v / 2^k - (1 - 2^-k), v + v / 2^k]; each of the three
    // terms divided by 2^k is rounded outward when the fixed point cannot hold it exactly.
    const BigInt slope_part = bound.slope >> k;
    const BigInt slope_rest = bound.slope - (slope_part << k);
    const BigInt low_part = bound.low_intercept >> k;
    const BigInt high_part = -((-bound.high_intercept) >> k);
    bound.slope += slope_part;
    bound.low_intercept += low_part - (one - (one >> k));
    bound.high_intercept += high_part;
    // The slope's lost fraction: below 1 per 2^k of the scale, times at most max_input.
    if (!slope_rest.is_zero())
      bound.high_intercept += ceil_div_scaled(slope_rest * max_input, 1, k);
  }
  return bound;
}

}  // namespace tarvek
