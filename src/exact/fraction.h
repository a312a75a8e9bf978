// A rational number held exactly, and the reading of a form value into one: a decimal number
// ("0.1" is exactly 1/10, "3.3e-2" is 33/1000) or a fraction of two integers ("5000/1023").
//
// A Fraction is always in lowest terms with a positive denominator; the sign lives in the
// numerator. Reading bounds the size of what it builds (digits and exponent), so a hostile
// value costs no more than a short one.
#ifndef TARVEK_EXACT_FRACTION_H
#define TARVEK_EXACT_FRACTION_H

#include <string>
#include <string_view>

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

// What a form value holds when read exactly.
struct ExactReading {
  enum class Kind {
    // `value` holds the number, zero or positive.
    kNumber,
    // Below zero, of any size; `value` is not set.
    kNegative,
    // Not a decimal number or a fraction of two integers, or a fraction with denominator 0.
    kMalformed,
    // Positive and certainly above 10^40; `value` is not set.
    kHuge,
    // Positive and certainly below 10^-40; `value` is not set.
    kTiny,
    // More than kMaxSignificantDigits significant digits in a part; `value` is not set.
    kTooPrecise,
  };
  Kind kind = Kind::kMalformed;
  Fraction value;
};

// Significant digits a decimal mantissa or a fraction's part may have. Far beyond what an
// exact routine can use; it only bounds the work.
inline constexpr int kMaxSignificantDigits = 60;

// Reads the whole of `text`: optional white space, an optional sign, then either a decimal
// number (digits with an optional point, at least one digit, an optional exponent e or E with
// an optional sign and digits) or two runs of digits joined by "/", then optional white
// space. Anything else is kMalformed.
ExactReading read_exact_number(std::string_view text);

// Decimal text of a positive value: every digit when the expansion ends within
// `max_digits` significant digits, otherwise the first `max_digits` significant digits
// followed by "...". Requires: value > 0, max_digits >= 1.
std::string decimal_text(const Fraction& value, int max_digits);

// "p/q", or "p" when the denominator is 1.
std::string fraction_text(const Fraction& value);

}  // namespace tarvek

#endif  // TARVEK_EXACT_FRACTION_H
