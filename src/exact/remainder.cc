#include "exact/remainder.h"

#include <cassert>

namespace tarvek {

RemainderSpec make_remainder_spec(const ExactSpec& spec) {
  assert(spec.mode == ResultMode::kFloor || (spec.mode == ResultMode::kTrunc && spec.is_signed));
  assert(spec.constant.denominator >= 2);
  RemainderSpec remainder;
  remainder.a = spec.constant.numerator;
  remainder.d = spec.constant.denominator;
  remainder.is_signed = spec.is_signed && spec.mode == ResultMode::kTrunc;
  const int magnitude_bits = (remainder.d - 1).bit_length();
  remainder.bits = magnitude_bits + (remainder.is_signed ? 1 : 0);
  remainder.bytes = (remainder.bits + 7) / 8;
  remainder.magnitude_bytes = (magnitude_bits + 7) / 8;
  return remainder;
}

bool remainder_fits(const RemainderSpec& remainder, const ResultTarget& inner) {
  // r' < d <= 2^(8 magnitude_bytes): the low bytes are the whole of it.
  return inner.d == remainder.d && inner.a == remainder.a &&
         (remainder.d - 1).bit_length() <= 8 * remainder.magnitude_bytes;
}

std::string remainder_identity_line(const RemainderSpec& remainder, const std::string& rem_name) {
  const std::string a = remainder.a.to_decimal();
  const std::string d = remainder.d.to_decimal();
  const std::string& r = rem_name;
  std::string line = "; Identity: x * " + a + " = " + d + " * result + " + r + ", ";
  if (remainder.is_signed) {
    return line + "|" + r + "| < " + d + ", " + r + " zero or of the sign of x\n";
  }
  return line + "0 <= " + r + " < " + d + "\n";
}

}  // namespace tarvek
