#include "reference_model.h"

#include <algorithm>
#include <cassert>

namespace tarvek {
namespace {

constexpr int kUnits = 31;

// Division by 2^n rounding toward minus infinity, as an arithmetic right shift does.
WideInt floor_shift(WideInt value, int n) {
  assert(n >= 0 && n < 100);
  const WideInt divisor = static_cast<WideInt>(1) << n;
  WideInt quotient = value / divisor;
  if (value % divisor != 0 && value < 0) quotient -= 1;
  return quotient;
}

}  // namespace

WideInt documented_product(std::vector<Term> terms, uint64_t x) {
  // Least significant (largest index) first.
  std::sort(terms.begin(), terms.end(), [](Term a, Term b) { return a.index > b.index; });
  const WideInt input = static_cast<WideInt>(x);
  WideInt exact = 0;
  std::vector<Term> fractional;
  for (const Term& t : terms) {
    assert(t.digit == 1 || t.digit == -1);
    if (t.index <= kUnits) {
      exact += t.digit * (input << (kUnits - t.index));
    } else {
      fractional.push_back(t);
    }
  }
  if (fractional.empty()) return exact;

  WideInt acc = input;
  bool negate_pending = fractional.front().digit < 0;
  int position = fractional.front().index;
  for (std::size_t i = 1; i <= fractional.size(); ++i) {
    const int next = i < fractional.size() ? fractional[i].index : kUnits;
    acc = floor_shift(acc, position - next);
    if (negate_pending) {
      acc = -acc;
      negate_pending = false;
    }
    if (i < fractional.size()) acc += fractional[i].digit * input;
    position = next;
  }
  return acc + exact;
}

}  // namespace tarvek
