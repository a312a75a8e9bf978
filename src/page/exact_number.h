// The reading of a form value into an exact number: a decimal number ("0.1" is exactly 1/10,
// "3.3e-2" is 33/1000) or a fraction of two integers ("5000/1023").
//
// Reading bounds the size of what it builds (digits and exponent), so a hostile value costs no
// more than a short one.
#ifndef TARVEK_PAGE_EXACT_NUMBER_H
#define TARVEK_PAGE_EXACT_NUMBER_H

#include <string_view>

#include "exact/fraction.h"

namespace tarvek {

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

}  // namespace tarvek

#endif  // TARVEK_PAGE_EXACT_NUMBER_H
