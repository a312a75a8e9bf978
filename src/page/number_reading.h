// Conversion of form texts into numbers, accepting plain decimal notation only.
//
// The C library's own conversions also accept hexadecimal, infinity and not-a-number forms,
// which a form value must never reach; these readers scan the accepted form themselves and
// only hand text already known to be plain decimal to the library.
#ifndef TARVEK_PAGE_NUMBER_READING_H
#define TARVEK_PAGE_NUMBER_READING_H

#include <string_view>

namespace tarvek {

// A decimal real number: leading white space (space, tab, line feed, vertical tab, form
// feed, carriage return), an optional sign, digits with an optional decimal point, and an
// optional exponent (e or E, an optional sign, digits). Reading stops at the first character
// that does not fit; a text without digits reads as 0. A value too small for a double reads
// as 0 (or the nearest subnormal); one too large reads as an infinity of its sign.
double read_decimal_real(std::string_view text);

// A decimal integer: leading white space, an optional sign, digits; reading stops at the
// first other character and a text without digits reads as 0. Values beyond the range of
// long long saturate at its ends.
long long read_decimal_integer(std::string_view text);

}  // namespace tarvek

#endif  // TARVEK_PAGE_NUMBER_READING_H
