#include "page/number_reading.h"

#include <cstddef>
#include <cstdlib>
#include <limits>
#include <string>

#include "form/characters.h"

namespace tarvek {
namespace {

// Position of the first character after the leading white space.
std::size_t skip_space(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && is_space(text[i])) ++i;
  return i;
}

// Appends the digits from position `i` to `out` and returns the position after them.
std::size_t take_digits(std::string_view text, std::size_t i, std::string& out) {
  while (i < text.size() && is_digit(text[i])) out.push_back(text[i++]);
  return i;
}

}  // namespace

double read_decimal_real(std::string_view text) {
  return read_decimal_prefix(text).value;
}

DecimalPrefix read_decimal_prefix(std::string_view text) {
  std::size_t i = skip_space(text);
  std::string accepted;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) accepted.push_back(text[i++]);
  const std::size_t before_digits = accepted.size();
  i = take_digits(text, i, accepted);
  std::size_t digits = accepted.size() - before_digits;
  if (i < text.size() && text[i] == '.') {
    accepted.push_back('.');
    const std::size_t before_fraction = accepted.size();
    i = take_digits(text, i + 1, accepted);
    digits += accepted.size() - before_fraction;
  }
  // A sign or a point without any digit is no number: "", "+", "-.", ".".
  if (digits == 0) return {};
  // The exponent belongs to the number only when at least one digit follows its letter and
  // optional sign; otherwise the reading ends before the letter ("8e" reads as 8).
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    std::size_t j = i + 1;
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
    if (j < text.size() && is_digit(text[j])) {
      accepted.push_back('e');
      accepted.append(text.substr(i + 1, j - i - 1));
      i = take_digits(text, j, accepted);
    }
  }
  // The text is plain decimal now, so strtod reads all of it the same way in every locale
  // that uses "." as the point (the program never changes the "C" locale). Overflow gives
  // HUGE_VAL, which is infinity; underflow gives 0 or a subnormal. errno is of no interest.
  return {std::strtod(accepted.c_str(), nullptr), i, true};
}

namespace {

bool only_space_from(std::string_view text, std::size_t i) {
  return skip_space(text.substr(i)) == text.size() - i;
}

}  // namespace

bool is_whole_decimal_real(std::string_view text) {
  const DecimalPrefix prefix = read_decimal_prefix(text);
  return prefix.has_digits && only_space_from(text, prefix.end);
}

bool is_whole_decimal_integer(std::string_view text) {
  std::size_t i = skip_space(text);
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  const std::size_t digits_start = i;
  while (i < text.size() && is_digit(text[i])) ++i;
  return i > digits_start && only_space_from(text, i);
}

long long read_decimal_integer(std::string_view text) {
  std::size_t i = skip_space(text);
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  constexpr long long kMax = std::numeric_limits<long long>::max();
  constexpr long long kMin = std::numeric_limits<long long>::min();
  long long value = 0;
  // Accumulated toward the value's own sign so that the most negative value is reachable.
  for (; i < text.size() && is_digit(text[i]); ++i) {
    const int digit = text[i] - '0';
    if (negative) {
      value = value < (kMin + digit) / 10 ? kMin : value * 10 - digit;
    } else {
      value = value > (kMax - digit) / 10 ? kMax : value * 10 + digit;
    }
  }
  return value;
}

}  // namespace tarvek
