// The constant of a request read exactly, K = Const / DivideBy, and the divisor of the
// approximating mode: the checks and numbered errors that belong to the two optional ways of
// stating a constant.
#ifndef TARVEK_PAGE_EXACT_CONSTANT_H
#define TARVEK_PAGE_EXACT_CONSTANT_H

#include <optional>
#include <string_view>

#include "exact/fraction.h"

namespace tarvek {

// The constant of an exact request, or the numbered error that refuses it.
struct ExactConstant {
  // 0, or 2 (not a positive number), 5 (above 2^31), 7 (the product of every input is below
  // 1: K at most 2^-input_bits), 9 (a divisor that is not a positive number), 10 (numerator
  // or denominator of K, in lowest terms, not below 2^64).
  int error_code = 0;
  // K in lowest terms when error_code is 0; numerator and denominator then below 2^64.
  Fraction value;
};

// Reads both texts exactly (decimal numbers or fractions of two integers; an empty divisor is
// 1) and checks K. `input_bits` is as read, at full width; values outside 1 to 32 only mean
// that the width check will refuse the request anyway.
ExactConstant read_exact_constant(std::string_view const_text, std::string_view divide_by_text,
                                  long long input_bits);

// Whether `text` is meant as a fraction: its decimal reading (read_decimal_real) stops at a
// "/" after at least one digit ("22/7", "22/7x"; not "/7" or "22 /7").
bool is_fraction_text(std::string_view text);

// The constant of an approximating request, as a double. A fraction, text whose decimal
// reading (read_decimal_real) stops at a "/", is read whole as the exact modes read it and
// taken to the double nearest to it: 22/7 is 3.142857..., never 22. A fraction that is not
// two runs of digits (22/7x, 1.5/3, 1/0) reads as not a number, which the checks refuse
// (error 2). Any other text reads as far as it is decimal, as it always has.
double approximate_constant(std::string_view text);

// The divisor of an approximating request as the double nearest to its value (an infinity or
// zero when it is out of a double's range), or nullopt when the text is not a positive decimal
// number or fraction (error 9).
std::optional<double> approximate_divisor(std::string_view text);

}  // namespace tarvek

#endif  // TARVEK_PAGE_EXACT_CONSTANT_H
