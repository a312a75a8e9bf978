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
#include <span>
#include <string>
#include <vector>

#include "sim/vectors.h"

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

// The documented computation of one set of terms, made ready once for the many inputs of a
// check: the terms sorted, those at and above the units summed into one multiplier, the
// fractional ones turned into the shifts and additions of Horner's rule. Gives what
// documented_product gives, in plain machine integers: the fractional accumulator stays
// within 2 x + 2 in magnitude (each step halves it at least, then adds or takes x), so 64
// bits hold it for any 32-bit input and 32 bits for one below 2^29.
class DocumentedProduct {
 public:
  // Requires: the terms as for documented_product.
  explicit DocumentedProduct(std::vector<Term> terms);

  // documented_product(terms, x). Requires: x < 2^32.
  WideInt operator()(uint64_t x) const;

  // Inputs below this bound go through products(), many at a time.
  static constexpr uint64_t kBatchInputLimit = uint64_t{1} << 29;
  // products[k] = (*this)(inputs[k]) for every k, a term at a time over all the inputs, in
  // 32-bit lanes that the compiler vectorises with `vectors` (vectors.h).
  // Requires: every input below kBatchInputLimit, products.size() >= inputs.size(),
  // vectors kSse2 or best_vectors().
  void products(std::span<const uint64_t> inputs, std::span<int64_t> products,
                Vectors vectors = best_vectors()) const;

  // One step of Horner's rule: shift right by `shift` (the distance to the next term,
  // at most 63, which takes any accumulator here to its sign), then add `sign` times the
  // input (sign 0 after the last term's shift onto the units).
  struct Step {
    int shift;
    int sign;
  };

 private:
  // The sum of sign * 2^exponent over the terms at and above the units: below 2^32 in
  // magnitude.
  int64_t multiplier_ = 0;
  // The steps after the least significant fractional term, which starts the accumulator as
  // the input; empty without fractional terms.
  std::vector<Step> steps_;
  // The least significant fractional term is subtracted: the accumulator is negated after
  // the first step's shift.
  bool negate_first_ = false;
};

// Decimal text of `value`, with a leading '-' when negative.
std::string to_decimal(WideInt value);

}  // namespace tarvek

#endif  // TARVEK_SIM_REFERENCE_MODEL_H
