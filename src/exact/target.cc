#include "exact/target.h"

#include <cassert>

namespace tarvek {

ResultTarget make_target(const Fraction& constant, ResultMode mode, int input_bits) {
  assert(constant.numerator.sign() > 0);
  assert(mode == ResultMode::kFloor || mode == ResultMode::kNearest);
  assert(input_bits >= 1 && input_bits <= 32);
  ResultTarget target;
  target.constant = constant;
  target.mode = mode;
  target.input_bits = input_bits;
  const BigInt& p = constant.numerator;
  const BigInt& q = constant.denominator;
  if (mode == ResultMode::kFloor) {
    target.a = p;
    target.b = 0;
    target.d = q;
  } else {
    target.a = p * 2;
    target.b = q;
    target.d = q * 2;
  }
  const BigInt common = BigInt::gcd(BigInt::gcd(target.a, target.b), target.d);
  target.a = floor_div(target.a, common);
  target.b = floor_div(target.b, common);
  target.d = floor_div(target.d, common);
  BigInt quotient;
  BigInt remainder;
  BigInt::floor_divide(target.a, target.d, quotient, remainder);
  if (remainder.is_zero()) {
    target.a = quotient;
    target.b = floor_div(target.b, target.d);
    target.d = 1;
  }
  target.max_input = BigInt::power_of_two(input_bits) - 1;
  target.max_result = target_value(target, target.max_input);
  target.result_bits = target.max_result.bit_length();
  return target;
}

BigInt target_value(const ResultTarget& target, const BigInt& x) {
  return floor_div(target.a * x + target.b, target.d);
}

}  // namespace tarvek
