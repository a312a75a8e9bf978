// A rational number held exactly, and its decimal and fraction texts.
//
// A Fraction is always in lowest terms with a positive denominator; the sign lives in the
// numerator.
#ifndef TARVEK_EXACT_FRACTION_H
#define TARVEK_EXACT_FRACTION_H

#include <string>

#include "exact/big_int.h"

namespace tarvek {

struct Fraction {
  BigInt numerator = 0;
  BigInt denominator = 1;

  // Requires: denominator != 0. Reduces and moves the sign to the numerator.
  static Fraction of(BigInt numerator, BigInt denominator);
  friend bool operator==(const Fraction&, const Fraction&) = default;
};

// a / b. Requires: b != 0.
Fraction divide(const Fraction& a, const Fraction& b);
// The double nearest to `value` (ties to even); an infinity of its sign when it is too large.
double nearest_double(const Fraction& value);
// a < b, exactly.
bool less_than(const Fraction& a, const Fraction& b);

// Decimal text of a positive value: every digit when the expansion ends within
// `max_digits` significant digits, otherwise the first `max_digits` significant digits
// followed by "...". Requires: value > 0, max_digits >= 1.
std::string decimal_text(const Fraction& value, int max_digits);

// "p/q", or "p" when the denominator is 1.
std::string fraction_text(const Fraction& value);

}  // namespace tarvek

#endif  // TARVEK_EXACT_FRACTION_H
