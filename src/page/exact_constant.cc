#include "page/exact_constant.h"

#include <limits>
#include <string>

#include "page/exact_number.h"
#include "page/number_reading.h"

namespace tarvek {
namespace {

bool below_two_to_64(const BigInt& value) {
  return value.bit_length() <= 64;
}

}  // namespace

ExactConstant read_exact_constant(std::string_view const_text, std::string_view divide_by_text,
                                  long long input_bits) {
  using Kind = ExactReading::Kind;
  ExactConstant result;
  Fraction divisor;
  if (!divide_by_text.empty()) {
    const ExactReading reading = read_exact_number(divide_by_text);
    switch (reading.kind) {
      case Kind::kNumber:
        if (reading.value.numerator.sign() <= 0) return ExactConstant{9, {}};
        divisor = reading.value;
        break;
      case Kind::kMalformed:
      case Kind::kNegative:
        return ExactConstant{9, {}};
      case Kind::kHuge:
        // K is then below 10^-40 times a constant below 10^40: too small for any width.
        return ExactConstant{7, {}};
      case Kind::kTiny:
        return ExactConstant{5, {}};
      case Kind::kTooPrecise:
        return ExactConstant{10, {}};
    }
  }
  const ExactReading reading = read_exact_number(const_text);
  switch (reading.kind) {
    case Kind::kNumber:
      if (reading.value.numerator.sign() <= 0) return ExactConstant{2, {}};
      break;
    case Kind::kMalformed:
    case Kind::kNegative:
      return ExactConstant{2, {}};
    case Kind::kHuge:
      // A divisor above 10^40 was refused already, so K is above 1 and, mostly, far above.
      return ExactConstant{divide_by_text.empty() ? 5 : 10, {}};
    case Kind::kTiny:
      return ExactConstant{divide_by_text.empty() ? 7 : 10, {}};
    case Kind::kTooPrecise:
      return ExactConstant{10, {}};
  }
  const Fraction k = divide_by_text.empty() ? reading.value : divide(reading.value, divisor);
  // Magnitude first, so that a constant far out of range is told so rather than that its
  // fraction is too long.
  if (less_than(Fraction{BigInt::power_of_two(31), 1}, k)) return ExactConstant{5, {}};
  const long long bits = input_bits < 1 ? 1 : (input_bits > 32 ? 32 : input_bits);
  if (!less_than(Fraction{1, BigInt::power_of_two(static_cast<int>(bits))}, k)) {
    return ExactConstant{7, {}};
  }
  if (!below_two_to_64(k.numerator) || !below_two_to_64(k.denominator)) {
    return ExactConstant{10, {}};
  }
  result.value = k;
  return result;
}

bool is_fraction_text(std::string_view text) {
  const DecimalPrefix prefix = read_decimal_prefix(text);
  return prefix.has_digits && prefix.end < text.size() && text[prefix.end] == '/';
}

double approximate_constant(std::string_view text) {
  if (!is_fraction_text(text)) return read_decimal_real(text);
  const ExactReading reading = read_exact_number(text);
  switch (reading.kind) {
    case ExactReading::Kind::kNumber:
      return nearest_double(reading.value);
    case ExactReading::Kind::kMalformed:
      return std::numeric_limits<double>::quiet_NaN();
    case ExactReading::Kind::kNegative:
    case ExactReading::Kind::kHuge:
    case ExactReading::Kind::kTiny:
    case ExactReading::Kind::kTooPrecise:
      break;
  }
  // Well formed but with no exact value at hand: each part is a sign and digits (or digits),
  // whose quotient in double precision is as near as an approximation needs, and has the
  // sign and magnitude the checks judge.
  const std::size_t slash = text.find('/');
  return read_decimal_real(text.substr(0, slash)) / read_decimal_real(text.substr(slash + 1));
}

std::optional<double> approximate_divisor(std::string_view text) {
  const ExactReading reading = read_exact_number(text);
  if (reading.kind == ExactReading::Kind::kMalformed ||
      reading.kind == ExactReading::Kind::kNegative) {
    return std::nullopt;
  }
  if (reading.kind == ExactReading::Kind::kNumber && reading.value.numerator.sign() <= 0) {
    return std::nullopt;
  }
  const std::size_t slash = text.find('/');
  if (slash == std::string_view::npos) return read_decimal_real(text);
  // Each part is a plain run of digits (the exact reading said so), which the decimal reading
  // takes to the nearest double.
  return read_decimal_real(text.substr(0, slash)) / read_decimal_real(text.substr(slash + 1));
}

}  // namespace tarvek
