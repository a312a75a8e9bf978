#include "exact/fraction.h"

#include <algorithm>
#include <cassert>
#include <cmath>

namespace tarvek {

Fraction Fraction::of(BigInt numerator, BigInt denominator) {
  assert(!denominator.is_zero());
  if (denominator.is_negative()) {
    numerator = -numerator;
    denominator = -denominator;
  }
  const BigInt common = BigInt::gcd(numerator, denominator);
  if (!(common == 1) && !common.is_zero()) {
    numerator = floor_div(numerator, common);
    denominator = floor_div(denominator, common);
  }
  return Fraction{numerator, denominator};
}

Fraction divide(const Fraction& a, const Fraction& b) {
  assert(!b.numerator.is_zero());
  return Fraction::of(a.numerator * b.denominator, a.denominator * b.numerator);
}

bool less_than(const Fraction& a, const Fraction& b) {
  return a.numerator * b.denominator < b.numerator * a.denominator;
}

double nearest_double(const Fraction& value) {
  if (value.numerator.is_zero()) return 0;
  if (value.numerator.is_negative()) {
    return -nearest_double(Fraction{-value.numerator, value.denominator});
  }
  const int bp = value.numerator.bit_length();
  const int bq = value.denominator.bit_length();
  // Scale so that the quotient has 55 or 56 bits: 53 to keep, the rest and the remainder to
  // round with.
  const int k = 55 + bq - bp;
  const BigInt n = k >= 0 ? value.numerator << k : value.numerator;
  const BigInt d = k >= 0 ? value.denominator : value.denominator << -k;
  BigInt quotient;
  BigInt remainder;
  BigInt::floor_divide(n, d, quotient, remainder);
  const int drop = quotient.bit_length() - 53;
  assert(drop >= 2 && drop <= 3);
  BigInt kept = quotient >> drop;
  const BigInt dropped = quotient - (kept << drop);
  const BigInt half = BigInt::power_of_two(drop - 1);
  const bool above_half = dropped > half || (dropped == half && !remainder.is_zero());
  const bool at_half = dropped == half && remainder.is_zero();
  if (above_half || (at_half && kept.bit(0))) kept += 1;
  return std::ldexp(static_cast<double>(*kept.to_u64()), drop - k);
}

std::string decimal_text(const Fraction& value, int max_digits) {
  assert(value.numerator.sign() > 0 && max_digits >= 1);
  BigInt whole;
  BigInt rest;
  BigInt::floor_divide(value.numerator, value.denominator, whole, rest);
  std::string text = whole.to_decimal();
  int significant = whole.is_zero() ? 0 : static_cast<int>(text.size());
  if (rest.is_zero()) return text;
  text += '.';
  while (!rest.is_zero()) {
    if (significant >= max_digits) return text + "...";
    BigInt digit;
    BigInt::floor_divide(rest * 10, value.denominator, digit, rest);
    text += static_cast<char>('0' + *digit.to_u64());
    if (significant > 0 || !digit.is_zero()) ++significant;
  }
  return text;
}

std::string fraction_text(const Fraction& value) {
  if (value.denominator == 1) return value.numerator.to_decimal();
  return value.numerator.to_decimal() + "/" + value.denominator.to_decimal();
}

}  // namespace tarvek
