// The product a generated multiplication routine promises, computed from its chosen terms
// with exact integer arithmetic and nothing else: the oracle a routine's run on the
// simulator is compared with. It knows nothing of how the code generator works.
//
// The documented computation, for an input x and terms +-2^e:
// - Terms below the units position (e < 0) are combined by Horner's rule, least significant
//   first: the accumulator starts as x; before each further fractional term it is shifted
//   right by the distance to that term (division by a power of two, rounding toward minus
//   infinity, as an arithmetic right shift does) and then gets x added or subtracted; a final
//   shift brings it onto the units position. When the least significant term is negative,
//   the accumulator is negated right after its first shift.
// - Terms at and above the units position are added exactly, +-x * 2^e.
// All arithmetic is exact: a 32-bit input times a weight up to 2^31, summed over at most 96
// terms, stays far inside 128 bits.
#ifndef TARVEK_SIM_REFERENCE_MODEL_H
#define TARVEK_SIM_REFERENCE_MODEL_H

#include <cstdint>
#include <string>
#include <vector>

namespace tarvek {

// Exact signed integers wide enough for every product and intermediate sum.
__extension__ typedef __int128 WideInt;

// Lowest and highest term exponent a comment block can name: input / 2^64 to input * 2^31.
constexpr int kMinTermExponent = -64;
constexpr int kMaxTermExponent = 31;

// One chosen term: sign * 2^exponent times the input.
struct Term {
  int exponent = 0;
  // +1 for an addition, -1 for a subtraction.
  int sign = 1;
};

// Requires: every sign is +1 or -1, every exponent between kMinTermExponent and
// kMaxTermExponent, no exponent twice, x < 2^32. The terms may come in any order; no terms
// gives 0.
WideInt documented_product(std::vector<Term> terms, uint64_t x);

// Decimal text of `value`, with a leading '-' when negative.
std::string to_decimal(WideInt value);

}  // namespace tarvek

#endif  // TARVEK_SIM_REFERENCE_MODEL_H
