// What an exact routine must leave in its output bytes: Q(x) = floor((a * x + b) / d) for
// every input x from 0 to 2^input_bits - 1.
//
// floor(x * p/q) is a = p, b = 0, d = q; floor(x * p/q + 1/2) is a = 2p, b = q, d = 2q. The
// three are kept in lowest terms, and when d divides a the target is the plain product
// (a/d) * x + floor(b/d) with d = 1, so an integer constant needs no division at all.
// Q never decreases as x grows, so its largest value is Q(2^input_bits - 1).
#ifndef TARVEK_EXACT_TARGET_H
#define TARVEK_EXACT_TARGET_H

#include "codegen/generator.h"
#include "exact/big_int.h"
#include "exact/fraction.h"

namespace tarvek {

struct ResultTarget {
  // a > 0, b >= 0, d > 0.
  BigInt a;
  BigInt b;
  BigInt d;
  // The constant K itself and how the result is rounded, for the comment block.
  Fraction constant;
  ResultMode mode = ResultMode::kFloor;
  // 1 to 32.
  int input_bits = 0;
  // 2^input_bits - 1.
  BigInt max_input;
  // Q(max_input), and its bit length (0 when every result is 0).
  BigInt max_result;
  int result_bits = 0;
};

// Requires: constant > 0, mode kFloor or kNearest (or kTrunc, which is kFloor for the
// unsigned inputs of a target), 1 <= input_bits <= 32.
ResultTarget make_target(const Fraction& constant, ResultMode mode, int input_bits);

// floor((a x + b) / d) for x from 0 to max_input, in lowest terms as make_target keeps them;
// `constant` and `mode` are only carried along for the comment block.
// Requires: a > 0, b >= 0, d > 0, 1 <= input_bits <= 32, 0 < max_input < 2^input_bits.
ResultTarget make_affine_target(BigInt a, BigInt b, BigInt d, int input_bits,
                                const BigInt& max_input, const Fraction& constant, ResultMode mode);

// Q(x). Requires: 0 <= x <= target.max_input.
BigInt target_value(const ResultTarget& target, const BigInt& x);

}  // namespace tarvek

#endif  // TARVEK_EXACT_TARGET_H
