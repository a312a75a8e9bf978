// How far a routine's results lie from the exact product the user asked for (input times
// the constant K, or input divided by the divisor D), truncation included.
//
// The exact product is a rational number: a double is m * 2^e with an integer m, so
// x * K = x * m * 2^e and x / D = x / (m * 2^e). Every deviation is formed exactly over a
// common denominator in 128-bit integers and only the final quotient is rounded (to long
// double), so a product near 2^63 still shows a deviation of a fraction of one correctly.
#ifndef TARVEK_CLI_DEVIATION_H
#define TARVEK_CLI_DEVIATION_H

#include <cstdint>
#include <optional>

#include "sim/reference_model.h"

namespace tarvek {

// The exact product x * numerator / denominator the results are measured against.
class ExactTarget {
 public:
  // x * k. Requires: 2^-32 < k <= 2^31, the constants a valid request can have.
  static ExactTarget times(double k);
  // x / d. Requires: 2^-32 < d < 2^33, which holds whenever 1/d, rounded to a double, is
  // such a constant (the rounding may carry d a little past 2^-31 or 2^32).
  static ExactTarget divided_by(double d);
  // x * numerator / denominator. Requires: both from 1 to 2^64 - 1.
  static ExactTarget fraction(uint64_t numerator, uint64_t denominator);

  // result - exact product, for an input x of magnitude at most 2^32 and a result of
  // magnitude below 2^63 (negative ones come from signed routines).
  long double deviation(WideInt x, WideInt result) const;
  // The exact product, rounded to long double.
  long double exact(WideInt x) const;

 private:
  ExactTarget(WideInt numerator, WideInt denominator)
      : numerator_(numerator), denominator_(denominator) {}

  // Both positive and below 2^86: one is a power of two, the other an odd integer below
  // 2^53 times a power of two.
  WideInt numerator_;
  WideInt denominator_;
};

// One extreme: its value and the input where it first occurs.
struct Extreme {
  long double value = 0;
  WideInt input = 0;
};

// The largest deviations among the results it is shown, by magnitude; of equal magnitudes
// the first shown counts.
class DeviationTracker {
 public:
  explicit DeviationTracker(ExactTarget target) : target_(target) {}

  // Inputs and results as values, signed where the routine's are.
  void observe(WideInt x, WideInt result);

  // Largest |result - exact|, signed; empty before any result. Inputs are reported as the
  // values they stand for.
  const std::optional<Extreme>& worst_absolute() const { return worst_absolute_; }
  // Largest |result - exact| / exact, signed, in percent; inputs whose exact product is 0
  // (only x = 0) have no relative deviation and are left out; empty when no other input
  // was shown.
  const std::optional<Extreme>& worst_relative() const { return worst_relative_; }
  // Some input with an exact product of 0 was shown and left out of the relative figure.
  bool skipped_zero() const { return skipped_zero_; }

 private:
  ExactTarget target_;
  std::optional<Extreme> worst_absolute_;
  std::optional<Extreme> worst_relative_;
  bool skipped_zero_ = false;
};

}  // namespace tarvek

#endif  // TARVEK_CLI_DEVIATION_H
