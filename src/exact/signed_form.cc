#include "exact/signed_form.h"

#include <cassert>

namespace tarvek {
namespace {

// Bits a two's-complement value needs, its sign included.
int signed_width(const BigInt& value) {
  return value.is_negative() ? (-value - 1).bit_length() + 1 : value.bit_length() + 1;
}

// floor((a x + b) / d) for the rounding of an unsigned mode: a, b, d of floor and nearest.
struct Affine {
  BigInt a;
  BigInt b;
  BigInt d;
};

Affine affine_of(const Fraction& k, ResultMode mode) {
  if (mode == ResultMode::kNearest) {
    return Affine{k.numerator * 2, k.denominator, k.denominator * 2};
  }
  return Affine{k.numerator, 0, k.denominator};
}

}  // namespace

ExactSpec make_spec(const Fraction& constant, ResultMode mode, int input_bits, bool is_signed) {
  assert(constant.numerator.sign() > 0 && mode != ResultMode::kApprox);
  assert(input_bits >= 1 && input_bits <= 32);
  ExactSpec spec;
  spec.constant = constant;
  spec.mode = mode;
  spec.input_bits = input_bits;
  spec.is_signed = is_signed;
  if (is_signed) {
    spec.min_input = -BigInt::power_of_two(input_bits - 1);
    spec.max_input = BigInt::power_of_two(input_bits - 1) - 1;
  } else {
    spec.min_input = 0;
    spec.max_input = BigInt::power_of_two(input_bits) - 1;
  }
  spec.min_result = spec_value(spec, spec.min_input);
  spec.max_result = spec_value(spec, spec.max_input);
  if (!is_signed) {
    spec.result_bits = spec.max_result.bit_length();
  } else if (!spec.min_result.is_zero() || !spec.max_result.is_zero()) {
    spec.result_bits = std::max(signed_width(spec.min_result), signed_width(spec.max_result));
  }
  return spec;
}

BigInt spec_value(const ExactSpec& spec, const BigInt& x) {
  const BigInt& p = spec.constant.numerator;
  const BigInt& q = spec.constant.denominator;
  switch (spec.mode) {
    case ResultMode::kNearest:
      return floor_div(p * 2 * x + q, q * 2);
    case ResultMode::kTrunc:
      // Toward zero: the magnitude rounded down, with x's sign.
      return x.is_negative() ? -floor_div(-x * p, q) : floor_div(x * p, q);
    default:
      return floor_div(p * x, q);
  }
}

std::vector<Form> forms_of(const ExactSpec& spec) {
  const int n = spec.input_bits;
  const BigInt all_inputs = BigInt::power_of_two(n) - 1;
  std::vector<Form> forms;
  if (!spec.is_signed) {
    const ResultMode mode = spec.mode == ResultMode::kTrunc ? ResultMode::kFloor : spec.mode;
    forms.push_back(Form{FormKind::kDirect, make_target(spec.constant, mode, n), 0});
    return forms;
  }
  const bool trunc = spec.mode == ResultMode::kTrunc;
  if (!trunc || spec.constant.denominator == 1) {
    const Affine f = affine_of(spec.constant, trunc ? ResultMode::kFloor : spec.mode);
    // b' = b - a 2^(n-1) + m d in [0, d): m = ceil((a 2^(n-1) - b) / d), never negative.
    const BigInt shift = f.a * BigInt::power_of_two(n - 1) - f.b;
    const BigInt m = shift.sign() > 0 ? ceil_div(shift, f.d) : BigInt(0);
    const BigInt b = f.d * m - shift;
    forms.push_back(Form{FormKind::kBiased,
                         make_affine_target(f.a, b, f.d, n, all_inputs, spec.constant, spec.mode),
                         m});
  }
  if (trunc) {
    // |x| is at most 2^(n-1), an n-bit unsigned value.
    forms.push_back(
        Form{FormKind::kMagnitude,
             make_affine_target(spec.constant.numerator, 0, spec.constant.denominator, n,
                                BigInt::power_of_two(n - 1), spec.constant, ResultMode::kFloor),
             0});
  }
  return forms;
}

bool form_agrees(const Form& form, const ExactSpec& spec) {
  for (const BigInt& x :
       {spec.min_input, BigInt(0), spec.max_input, spec.min_input + 1, spec.max_input - 1}) {
    if (x < spec.min_input || x > spec.max_input) continue;
    BigInt computed;
    switch (form.kind) {
      case FormKind::kDirect:
        computed = target_value(form.inner, x);
        break;
      case FormKind::kBiased:
        computed =
            target_value(form.inner, x + BigInt::power_of_two(spec.input_bits - 1)) - form.offset;
        break;
      case FormKind::kMagnitude: {
        const BigInt magnitude = target_value(form.inner, x.is_negative() ? -x : x);
        computed = x.is_negative() ? -magnitude : magnitude;
        break;
      }
    }
    if (computed != spec_value(spec, x)) return false;
  }
  return true;
}

}  // namespace tarvek
