#include "cli/deviation.h"

#include <cassert>
#include <cmath>

namespace tarvek {
namespace {

// `value` as odd_part * 2^exponent.
struct Dyadic {
  WideInt odd_part;
  int exponent;
};

// Requires: value finite and greater than 0.
Dyadic dyadic_of(double value) {
  assert(std::isfinite(value) && value > 0);
  int exponent = 0;
  const double fraction = std::frexp(value, &exponent);
  // A double's significand has 53 bits, so this is an exact integer.
  auto odd_part = static_cast<WideInt>(std::ldexp(fraction, 53));
  exponent -= 53;
  while (odd_part % 2 == 0) {
    odd_part /= 2;
    ++exponent;
  }
  return {odd_part, exponent};
}

WideInt power_of_two(int exponent) {
  assert(exponent >= 0 && exponent < 126);
  return static_cast<WideInt>(1) << exponent;
}

}  // namespace

ExactTarget ExactTarget::times(double k) {
  assert(k > std::ldexp(1.0, -32) && k <= std::ldexp(1.0, 31));
  const Dyadic d = dyadic_of(k);
  if (d.exponent >= 0) return ExactTarget(d.odd_part * power_of_two(d.exponent), 1);
  return ExactTarget(d.odd_part, power_of_two(-d.exponent));
}

ExactTarget ExactTarget::divided_by(double d) {
  assert(d > std::ldexp(1.0, -32) && d < std::ldexp(1.0, 33));
  const Dyadic v = dyadic_of(d);
  if (v.exponent >= 0) return ExactTarget(1, v.odd_part * power_of_two(v.exponent));
  return ExactTarget(power_of_two(-v.exponent), v.odd_part);
}

ExactTarget ExactTarget::fraction(uint64_t numerator, uint64_t denominator) {
  assert(numerator >= 1 && denominator >= 1);
  return ExactTarget(static_cast<WideInt>(numerator), static_cast<WideInt>(denominator));
}

long double ExactTarget::deviation(WideInt x, WideInt result) const {
  [[maybe_unused]] const WideInt limit = static_cast<WideInt>(1) << 32;
  assert(x <= limit && x >= -limit);
  assert(result < (static_cast<WideInt>(1) << 63) && result >= -(static_cast<WideInt>(1) << 63));
  // x * numerator stays below 2^118; result * denominator can exceed 2^127 only for a result
  // far beyond the exact product, whose deviation then needs no exact fraction.
  const WideInt scaled_exact = static_cast<WideInt>(x) * numerator_;
  WideInt scaled_result = 0;
  if (__builtin_mul_overflow(static_cast<WideInt>(result), denominator_, &scaled_result)) {
    return static_cast<long double>(result) - exact(x);
  }
  return static_cast<long double>(scaled_result - scaled_exact) /
         static_cast<long double>(denominator_);
}

long double ExactTarget::exact(WideInt x) const {
  return static_cast<long double>(static_cast<WideInt>(x) * numerator_) /
         static_cast<long double>(denominator_);
}

void DeviationTracker::observe(WideInt x, WideInt result) {
  const long double deviation = target_.deviation(x, result);
  if (!worst_absolute_ || std::fabs(deviation) > std::fabs(worst_absolute_->value)) {
    worst_absolute_ = Extreme{deviation, x};
  }
  const long double exact = target_.exact(x);
  if (exact == 0) {
    skipped_zero_ = true;
    return;
  }
  const long double relative = deviation / exact * 100;
  if (!worst_relative_ || std::fabs(relative) > std::fabs(worst_relative_->value)) {
    worst_relative_ = Extreme{relative, x};
  }
}

}  // namespace tarvek
