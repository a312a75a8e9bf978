// Fixed-point text of real numbers for the comment block of a generated routine.
//
// The comment block prints real numbers the way "%f" and "%.0f" do, except that at most 17
// significant digits are shown: digits further right print as zeros. So 2^64 prints as
// 18446744073709552000, while every value whose digits up to the requested decimals fit in 17
// significant digits (every power of two up to 2^56, every constant the form accepts with six
// decimals) prints exactly as printf rounds it.
#ifndef TARVEK_CODEGEN_NUMBER_FORMAT_H
#define TARVEK_CODEGEN_NUMBER_FORMAT_H

#include <string>

namespace tarvek {

// Most significant digits a formatted number shows; the rest print as zeros.
inline constexpr int kSignificantDigits = 17;

// `value` in fixed notation with `decimals` digits after the point ("%.*f"), limited to
// kSignificantDigits significant digits (correctly rounded at the last one shown).
// Requires: decimals between 0 and 30.
std::string format_fixed(double value, int decimals);

}  // namespace tarvek

#endif  // TARVEK_CODEGEN_NUMBER_FORMAT_H
