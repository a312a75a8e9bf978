// Conversion of form texts into numbers, accepting plain decimal notation only.
//
// The C library's own conversions also accept hexadecimal, infinity and not-a-number forms,
// which a form value must never reach; these readers scan the accepted form themselves and
// only hand text already known to be plain decimal to the library.
#ifndef TARVEK_PAGE_NUMBER_READING_H
#define TARVEK_PAGE_NUMBER_READING_H

#include <cstddef>
#include <string_view>

namespace tarvek {

// How far read_decimal_real reads into a text, and what it reads there.
struct DecimalPrefix {
  // The number read; 0 when the text holds no digit where a number would start.
  double value = 0;
  // The position just after the characters read (0 when there is no digit).
  std::size_t end = 0;
  bool has_digits = false;
};

// The reading of read_decimal_real with where it stopped.
DecimalPrefix read_decimal_prefix(std::string_view text);

// Whether `text` is one number as read_decimal_real (or read_decimal_integer) reads it, with
// at least one digit and nothing after it but white space.
bool is_whole_decimal_real(std::string_view text);
bool is_whole_decimal_integer(std::string_view text);

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
