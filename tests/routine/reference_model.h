// The product a generated multiplication routine is documented to leave, computed with plain
// integer arithmetic from the chosen terms, independently of the code generator.
//
// Terms below the units position are combined by Horner's rule from the least significant
// one upwards: the accumulator starts as the input x, is negated after the first shift when
// that last term is negative, and before each further term is shifted right (truncating
// toward minus infinity) by the distance to it, then gets x added or subtracted; a final
// shift brings it onto the units position. Terms at and above the units position are added
// exactly.
#ifndef TARVEK_TESTS_ROUTINE_REFERENCE_MODEL_H
#define TARVEK_TESTS_ROUTINE_REFERENCE_MODEL_H

#include <cstdint>
#include <vector>

namespace tarvek {

// Wide enough for any product of a 32-bit input and a constant below 2^32, with room for
// the intermediate sums.
__extension__ typedef __int128 WideInt;

// One chosen term: digit (+1 or -1) at a digit index, whose weight is 2^(31 - index).
struct Term {
  int index;
  int digit;
};

// Requires: every digit is +1 or -1, indexes between 0 and 95, each index at most once.
// No terms gives 0.
WideInt documented_product(std::vector<Term> terms, uint64_t x);

}  // namespace tarvek

#endif  // TARVEK_TESTS_ROUTINE_REFERENCE_MODEL_H
