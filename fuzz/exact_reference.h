// What an exact request must give, worked out by the routine fuzz target from the fraction it
// made itself: K = p/q, the input's width and signedness, and the kind of result. Nothing here
// comes from the generator or from the simulator's reading of a title line, so both the
// routine and its title are held to arithmetic done on the fuzzer's side.
//
// Values are 128-bit integers. An input lies within -2^31 .. 2^32 - 1 and p is below 2^64, so
// every product this module forms (2 |x| p + 2 q at most) stays below 2^98.
#ifndef TARVEK_FUZZ_EXACT_REFERENCE_H
#define TARVEK_FUZZ_EXACT_REFERENCE_H

#include <cstdint>
#include <span>
#include <vector>

#include "exact/big_int.h"

namespace tarvek::fuzz {

enum class Rounding {
  // floor(x K): down, toward minus infinity.
  kFloor,
  // floor(x K + 1/2): to the nearest integer, a tie upward (toward plus infinity).
  kNearest,
  // x K rounded toward zero, as C's integer division rounds.
  kTrunc,
};

struct ExactAsk {
  // K = p / q in lowest terms, both positive.
  UInt128 p = 1;
  UInt128 q = 1;
  Rounding rounding = Rounding::kFloor;
  // The input is two's complement, -2^(bits-1) .. 2^(bits-1) - 1, when set; 0 .. 2^bits - 1
  // otherwise.
  bool is_signed = false;
  // 1 to 32.
  int bits = 1;
};

// Bits of a non-negative value: 0 for 0.
int bit_length(UInt128 value);

Int128 lowest_input(const ExactAsk& ask);
Int128 highest_input(const ExactAsk& ask);

// The value an input's bits stand for, and the bits that hold a value (a negative x is
// written as x + 2^bits). Requires: pattern below 2^bits; x within the input range.
Int128 input_value(const ExactAsk& ask, uint64_t pattern);
uint64_t input_pattern(const ExactAsk& ask, Int128 x);

// The result for x. Requires: p and q below 2^64, x within the input range.
Int128 exact_value(const ExactAsk& ask, Int128 x);

// Bits the results need: the bit length of the largest, or for a signed input the
// two's-complement width that holds both the smallest and the largest; 0 when every result is
// 0. The result never decreases as x grows, so the two ends of the input range decide.
// Requires: p and q below 2^64.
int result_width(const ExactAsk& ask);

// Output bytes of the routine: as many as the input has, more when the results are wider.
int output_bytes(const ExactAsk& ask);

// The value the output bytes must hold for `result`: the result itself, or for a signed input
// its two's complement over every output byte, the sign copied into each bit above the
// result's width. Requires: result within the results' width.
uint64_t output_image(const ExactAsk& ask, Int128 result);

// The refusal the constant calls for, in the order the page checks it: 5 when K exceeds 2^31,
// 7 when K is at most 2^-bits, 10 when p or q reaches 2^64, 7 when every result is 0; 0 for
// none.
int constant_refusal(const ExactAsk& ask);

// The input patterns worth running, ascending and without repeats: the ends of the range, 0,
// 1, 2, -1, -2 and the neighbours of 2^(bits-1) (the ends of the signed range, the middle of
// the unsigned one); the first steps of the result away from 0 on either side (|x| around
// q/p, q/(2p) and q); for a nearest result the ties (x K half an odd integer) nearest to 0 and
// nearest to each end; and `extra`, masked to the width. Requires: p and q below 2^64.
std::vector<uint64_t> inputs_to_run(const ExactAsk& ask, std::span<const uint64_t> extra);

}  // namespace tarvek::fuzz

#endif  // TARVEK_FUZZ_EXACT_REFERENCE_H
