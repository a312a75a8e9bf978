// What an exact request asks for over its whole input range (unsigned, or two's complement
// when signed), and the forms in which an unsigned routine can compute it:
//
// - direct: the input is unsigned; the routine computes the result itself.
// - biased: a signed x becomes u = x + 2^(n-1), from 0 to 2^n - 1. floor((a x + b) / d) is
//   floor((a u + b') / d) - m with b' = b - a 2^(n-1) + m d, m chosen so that 0 <= b' < d:
//   the routine computes the unsigned target and m is taken off the result.
// - magnitude: trunc(x K) is sign(x) floor(|x| K): the routine computes floor(u K) for
//   u = |x| (at most 2^(n-1)), and the sign is put back on the result.
#ifndef TARVEK_EXACT_SIGNED_FORM_H
#define TARVEK_EXACT_SIGNED_FORM_H

#include <vector>

#include "exact/target.h"

namespace tarvek {

struct ExactSpec {
  Fraction constant;
  // kFloor, kNearest or kTrunc.
  ResultMode mode = ResultMode::kFloor;
  int input_bits = 0;
  bool is_signed = false;
  // The input range: 0 to 2^n - 1, or -2^(n-1) to 2^(n-1) - 1 when signed.
  BigInt min_input;
  BigInt max_input;
  // The results at the two ends of the input range (the result never decreases with x).
  BigInt min_result;
  BigInt max_result;
  // The width the results need: their bit length, or their two's-complement width when
  // signed; 0 when every result is 0.
  int result_bits = 0;
};

// Requires: constant > 0, mode exact, 1 <= input_bits <= 32.
ExactSpec make_spec(const Fraction& constant, ResultMode mode, int input_bits, bool is_signed);

// The exact result for x. Requires: x within the request's input range.
BigInt spec_value(const ExactSpec& spec, const BigInt& x);

enum class FormKind { kDirect, kBiased, kMagnitude };

struct Form {
  FormKind kind = FormKind::kDirect;
  // What the unsigned routine computes from u.
  ResultTarget inner;
  // Taken off the unsigned routine's result (the biased form's m); 0 otherwise.
  BigInt offset;
};

// The forms worth pricing for the request, in a fixed order: direct for an unsigned input;
// biased for a signed floor or nearest, and for a signed trunc whose constant is an integer
// (where trunc is floor); magnitude for a signed trunc.
std::vector<Form> forms_of(const ExactSpec& spec);

// Whether the form's identity holds at the ends of the input range and at zero: the result
// spec_value gives and the one the form computes from u, in exact arithmetic. The forms are
// exact by construction; this guards their construction.
bool form_agrees(const Form& form, const ExactSpec& spec);

}  // namespace tarvek

#endif  // TARVEK_EXACT_SIGNED_FORM_H
