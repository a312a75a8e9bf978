// The remainder an exact quotient can leave beside it: with K = a / d in lowest terms (d > 1)
// and q the routine's result, r = a x - d q in a register of its own.
//
// - floor (of an unsigned or a signed input): 0 <= r < d, an unsigned value;
// - trunc of a signed input: r is zero or of the sign of x and |r| < d, two's complement
//   sign-extended through the remainder's bytes (C's % for a = 1).
//
// Why it is exact: every form's unsigned routine computes q' = floor((a u + b) / d), proven,
// and its remainder r' = a u + b - d q' lies in [0, d). The direct and biased forms have
// r = r' (for the biased form b = m d - a 2^(n-1) makes a u + b - d q' = a x - d (q' - m));
// the magnitude form has r = sign(x) r'. r' is made modulo 2^(8 bytes) (the correction steps
// keep it modulo 256), and since it lies in [0, d) with d <= 2^(8 bytes), that is r' itself.
#ifndef TARVEK_EXACT_REMAINDER_H
#define TARVEK_EXACT_REMAINDER_H

#include <string>

#include "exact/signed_form.h"

namespace tarvek {

struct RemainderSpec {
  // K = a / d in lowest terms, d >= 2.
  BigInt a;
  BigInt d;
  // A signed trunc's remainder, of x's sign.
  bool is_signed = false;
  // Bits its values need: those of d - 1, and one more for the sign.
  int bits = 0;
  // (bits + 7) / 8, 1 to 9.
  int bytes = 0;
  // The bytes r' = |r| needs, 1 to 8: those the unsigned routine computes; the bytes above
  // them are cleared before the sign is put back.
  int magnitude_bytes = 0;
};

// Requires: spec.mode floor, or trunc with a signed input; spec.constant's denominator >= 2.
RemainderSpec make_remainder_spec(const ExactSpec& spec);

// Whether a form's unsigned routine leaves r' in [0, d) for the remainder's bytes: its
// target divides by the same d, and d fits those bytes. The search emits remainders only for
// forms where this holds.
bool remainder_fits(const RemainderSpec& remainder, const ResultTarget& inner);

// The comment block's line of the identity the remainder register `rem_name` keeps with the
// input x and the result.
std::string remainder_identity_line(const RemainderSpec& remainder, const std::string& rem_name);

}  // namespace tarvek

#endif  // TARVEK_EXACT_REMAINDER_H
