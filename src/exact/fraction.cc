#include "exact/fraction.h"

#include <algorithm>
#include <cassert>
#include <cmath>

#include "form/characters.h"

namespace tarvek {
namespace {

BigInt power_of_ten(int n) {
  BigInt result = 1;
  for (int i = 0; i < n; ++i) result *= 10;
  return result;
}

// Digits from `i` on; leaves `i` after them. Returns the run as written (possibly empty).
std::string_view take_digits(std::string_view text, std::size_t& i) {
  const std::size_t start = i;
  while (i < text.size() && is_digit(text[i])) ++i;
  return text.substr(start, i - start);
}

std::string_view strip_leading_zeros(std::string_view digits) {
  while (!digits.empty() && digits.front() == '0') digits.remove_prefix(1);
  return digits;
}

BigInt integer_of(std::string_view digits) {
  BigInt value = 0;
  for (char c : digits) value = value * 10 + (c - '0');
  return value;
}

ExactReading number(Fraction value) {
  return ExactReading{ExactReading::Kind::kNumber, std::move(value)};
}

ExactReading kind_only(ExactReading::Kind kind) {
  return ExactReading{kind, Fraction{}};
}

// Magnitude beyond which a value is reported as huge or tiny rather than built: 10^40 is far
// outside every range a request accepts, and keeps every product well inside BigInt.
constexpr int kMagnitudeLimit = 40;

// Mantissa digits (integer and fraction digits joined, leading zeros removed) times
// 10^exponent.
ExactReading decimal_value(std::string mantissa, long long exponent) {
  std::string_view digits = strip_leading_zeros(mantissa);
  if (digits.empty()) return number(Fraction{});
  // Trailing zeros belong to the exponent, so that 1000 and 1e3 count the same digits.
  while (digits.back() == '0') {
    digits.remove_suffix(1);
    ++exponent;
  }
  const long long significant = static_cast<long long>(digits.size());
  // 10^(significant - 1 + exponent) <= value < 10^(significant + exponent).
  if (significant - 1 + exponent >= kMagnitudeLimit) return kind_only(ExactReading::Kind::kHuge);
  if (significant + exponent <= -kMagnitudeLimit) return kind_only(ExactReading::Kind::kTiny);
  if (significant > kMaxSignificantDigits) return kind_only(ExactReading::Kind::kTooPrecise);
  BigInt numerator = integer_of(digits);
  BigInt denominator = 1;
  if (exponent >= 0) {
    numerator *= power_of_ten(static_cast<int>(exponent));
  } else {
    denominator = power_of_ten(static_cast<int>(-exponent));
  }
  return number(Fraction::of(numerator, denominator));
}

}  // namespace

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

namespace {

ExactReading read_unsigned(std::string_view text, bool& negative);

}  // namespace

ExactReading read_exact_number(std::string_view text) {
  bool negative = false;
  ExactReading reading = read_unsigned(text, negative);
  const bool zero =
      reading.kind == ExactReading::Kind::kNumber && reading.value.numerator.is_zero();
  if (negative && !zero && reading.kind != ExactReading::Kind::kMalformed) {
    return kind_only(ExactReading::Kind::kNegative);
  }
  return reading;
}

namespace {

// The number without its sign, which is reported in `negative`.
ExactReading read_unsigned(std::string_view text, bool& negative) {
  std::size_t i = 0;
  while (i < text.size() && is_space(text[i])) ++i;
  std::size_t end = text.size();
  while (end > i && is_space(text[end - 1])) --end;
  text = text.substr(0, end);

  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  const std::string_view whole = take_digits(text, i);

  if (i < text.size() && text[i] == '/') {
    ++i;
    const std::string_view below = take_digits(text, i);
    if (whole.empty() || below.empty() || i != text.size()) {
      return kind_only(ExactReading::Kind::kMalformed);
    }
    const std::string_view top = strip_leading_zeros(whole);
    const std::string_view bottom = strip_leading_zeros(below);
    if (bottom.empty()) return kind_only(ExactReading::Kind::kMalformed);
    if (top.size() > kMaxSignificantDigits || bottom.size() > kMaxSignificantDigits) {
      return kind_only(ExactReading::Kind::kTooPrecise);
    }
    return number(Fraction::of(integer_of(top), integer_of(bottom)));
  }

  std::string_view fraction;
  if (i < text.size() && text[i] == '.') {
    ++i;
    fraction = take_digits(text, i);
  }
  if (whole.empty() && fraction.empty()) return kind_only(ExactReading::Kind::kMalformed);
  long long exponent = 0;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    bool exponent_negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
      exponent_negative = text[i++] == '-';
    }
    const std::string_view exponent_digits = take_digits(text, i);
    if (exponent_digits.empty()) return kind_only(ExactReading::Kind::kMalformed);
    // Saturates far beyond the magnitude limit: only its size matters from there on.
    for (char c : exponent_digits) exponent = std::min(exponent * 10 + (c - '0'), 1000000LL);
    if (exponent_negative) exponent = -exponent;
  }
  if (i != text.size()) return kind_only(ExactReading::Kind::kMalformed);
  // Bounds the mantissa before it is copied: digits beyond the limit only matter when they
  // are zeros, which the reading of the value drops again.
  std::string mantissa(whole);
  mantissa.append(fraction);
  return decimal_value(std::move(mantissa), exponent - static_cast<long long>(fraction.size()));
}

}  // namespace

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
