#include "codegen/number_format.h"

#include <array>
#include <cassert>
#include <charconv>
#include <cmath>
#include <string_view>

namespace tarvek {
namespace {

// Room for any finite double in fixed notation with up to 30 decimals (309 integer digits).
using Buffer = std::array<char, 360>;

// `value` correctly rounded to `precision` in `format`, as printf writes it.
std::string_view to_text(Buffer& buffer, double value, std::chars_format format, int precision) {
  const auto [end, error] =
      std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, format, precision);
  assert(error == std::errc());
  return std::string_view(buffer.data(), static_cast<size_t>(end - buffer.data()));
}

// Digits of `text` from its first nonzero digit on, ignoring sign and point.
int significant_digit_count(std::string_view text) {
  int count = 0;
  for (char c : text) {
    if (c < '0' || c > '9') continue;
    if (count == 0 && c == '0') continue;
    ++count;
  }
  return count;
}

}  // namespace

std::string format_fixed(double value, int decimals) {
  assert(decimals >= 0 && decimals <= 30);
  Buffer buffer;
  const std::string_view exact = to_text(buffer, value, std::chars_format::fixed, decimals);
  // When every digit down to the last decimal fits in 17 significant digits nothing is cut,
  // and the text is printf's own (rounded once, at the last decimal).
  if (!std::isfinite(value) || significant_digit_count(exact) <= kSignificantDigits) {
    return std::string(exact);
  }

  // "d.dddddddddddddddde+XX": the 17 leading digits, correctly rounded, and the exponent of
  // the first one (after any carry of the rounding).
  const std::string_view scientific =
      to_text(buffer, value, std::chars_format::scientific, kSignificantDigits - 1);
  std::string result;
  std::string digits;
  size_t i = 0;
  if (scientific[i] == '-') {
    result += '-';
    ++i;
  }
  for (; scientific[i] != 'e'; ++i) {
    if (scientific[i] != '.') digits += scientific[i];
  }
  int exponent = 0;
  std::string_view exponent_text = scientific.substr(i + 1);
  if (exponent_text.front() == '+') exponent_text.remove_prefix(1);
  std::from_chars(exponent_text.data(), exponent_text.data() + exponent_text.size(), exponent);
  // Here the number has more digits than fit, so its first digit lies at least 16 places
  // above the last decimal asked for: all 17 digits land in the text.
  assert(exponent - (kSignificantDigits - 1) >= -decimals);
  const auto digit_at = [&](int position) {
    const int index = exponent - position;
    return index >= 0 && index < kSignificantDigits ? digits[static_cast<size_t>(index)] : '0';
  };
  for (int position = exponent < 0 ? 0 : exponent; position >= 0; --position) {
    result += digit_at(position);
  }
  if (decimals > 0) {
    result += '.';
    for (int position = -1; position >= -decimals; --position) result += digit_at(position);
  }
  return result;
}

}  // namespace tarvek
