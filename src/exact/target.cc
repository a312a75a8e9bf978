#include "exact/target.h"

#include <cassert>

namespace tarvek {

ResultTarget make_target(const Fraction& constant, ResultMode mode, int input_bits) {
  assert(constant.numerator.sign() > 0);
  assert(mode != ResultMode::kApprox);
  assert(input_bits >= 1 && input_bits <= 32);
  const BigInt& p = constant.numerator;
  const BigInt& q = constant.denominator;
  const BigInt max_input = BigInt::power_of_two(input_bits) - 1;
  if (mode == ResultMode::kNearest) {
    return make_affine_target(p * 2, q, q * 2, input_bits, max_input, constant, mode);
  }
  return make_affine_target(p, 0, q, input_bits, max_input, constant, mode);
}

ResultTarget make_affine_target(BigInt a, BigInt b, BigInt d, int input_bits,
                                const BigInt& max_input, const Fraction& constant,
                                ResultMode mode) {
  assert(a.sign() > 0 && b.sign() >= 0 && d.sign() > 0);
  assert(input_bits >= 1 && input_bits <= 32);
  assert(max_input.sign() > 0 && max_input < BigInt::power_of_two(input_bits));
  ResultTarget target;
  target.constant = constant;
  target.mode = mode;
  target.input_bits = input_bits;
  const BigInt common = BigInt::gcd(BigInt::gcd(a, b), d);
  target.a = floor_div(a, common);
  target.b = floor_div(b, common);
  target.d = floor_div(d, common);
  BigInt quotient;
  BigInt remainder;
  BigInt::floor_divide(target.a, target.d, quotient, remainder);
  if (remainder.is_zero()) {
    target.a = quotient;
    target.b = floor_div(target.b, target.d);
    target.d = 1;
  }
  target.max_input = max_input;
  target.max_result = target_value(target, target.max_input);
  target.result_bits = target.max_result.bit_length();
  return target;
}

BigInt target_value(const ResultTarget& target, const BigInt& x) {
  return floor_div(target.a * x + target.b, target.d);
}

}  // namespace tarvek
