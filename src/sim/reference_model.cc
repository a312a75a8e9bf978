#include "sim/reference_model.h"

#include <algorithm>
#include <cassert>

namespace tarvek {
namespace {

// Division by 2^n rounding toward minus infinity, as an arithmetic right shift does.
WideInt floor_shift(WideInt value, int n) {
  assert(n >= 0 && n < 120);
  const WideInt divisor = static_cast<WideInt>(1) << n;
  WideInt quotient = value / divisor;
  if (value % divisor != 0 && value < 0) quotient -= 1;
  return quotient;
}

}  // namespace

WideInt documented_product(std::vector<Term> terms, uint64_t x) {
  assert(x <= 0xFFFFFFFFull);
  // Least significant first.
  std::sort(terms.begin(), terms.end(), [](Term a, Term b) { return a.exponent < b.exponent; });
  const WideInt input = static_cast<WideInt>(x);
  WideInt exact = 0;
  std::vector<Term> fractional;
  for (std::size_t i = 0; i < terms.size(); ++i) {
    const Term& t = terms[i];
    assert(t.sign == 1 || t.sign == -1);
    assert(t.exponent >= kMinTermExponent && t.exponent <= kMaxTermExponent);
    assert(i == 0 || terms[i - 1].exponent != t.exponent);
    if (t.exponent >= 0) {
      exact += t.sign * (input << t.exponent);
    } else {
      fractional.push_back(t);
    }
  }
  if (fractional.empty()) return exact;

  WideInt acc = input;
  bool negate_pending = fractional.front().sign < 0;
  int position = fractional.front().exponent;
  for (std::size_t i = 1; i <= fractional.size(); ++i) {
    const int next = i < fractional.size() ? fractional[i].exponent : 0;
    acc = floor_shift(acc, next - position);
    if (negate_pending) {
      acc = -acc;
      negate_pending = false;
    }
    if (i < fractional.size()) acc += fractional[i].sign * input;
    position = next;
  }
  return acc + exact;
}

std::string to_decimal(WideInt value) {
  if (value == 0) return "0";
  const bool negative = value < 0;
  std::string digits;
  while (value != 0) {
    const int digit = static_cast<int>(value % 10);
    digits += static_cast<char>('0' + (negative ? -digit : digit));
    value /= 10;
  }
  if (negative) digits += '-';
  std::reverse(digits.begin(), digits.end());
  return digits;
}

}  // namespace tarvek
