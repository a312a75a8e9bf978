#include "page/exact_number.h"

#include <algorithm>

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

}  // namespace tarvek
