// One way of computing an exact result with an 8 x 8 hardware multiplier, described by what it
// computes rather than by the code that computes it:
//
//   v = the sum of the partial products x_i * m_j * 2^(8 (i + j)) with i + j >= kept_from,
//       plus offset,
//   q = floor(v / 2^shift),
//
// x_i being the input's bytes and m_j the multiplier's, least significant first. With every
// partial product kept, v = x * M + offset exactly; each one left out makes v smaller by at
// most x_i's largest value times m_j at its place, an error the proof bounds like any other
// (product_proof.h). The offset is a multiple of 2^(8 kept_from), so the bytes below the kept
// partial products never take part.
//
// The first step of the multiplier's pipeline: plans are made from the target alone, then
// proven (each gets the least offset that holds), priced by emitting them, and the cheapest
// one's routine is written.
#ifndef TARVEK_MULTIPLY_PRODUCT_PLAN_H
#define TARVEK_MULTIPLY_PRODUCT_PLAN_H

#include <string>
#include <vector>

#include "exact/big_int.h"
#include "exact/target.h"

namespace tarvek {

struct ProductPlan {
  // M >= 1, at most kLargestMultiplierBytes bytes.
  BigInt multiplier = 1;
  // 0 to kLongestProductShift.
  int shift = 0;
  // >= 0, a multiple of 2^(8 kept_from).
  BigInt offset = 0;
  // 0 to the highest byte place of a partial product.
  int kept_from = 0;
};

// Multipliers of up to 8 bytes: 8 x 4 partial products for a 32-bit input already cost more
// than a walk of shifts and adds. So v, with a 32-bit input, stays below 2^120.
inline constexpr int kLargestMultiplierBytes = 8;
inline constexpr int kLongestProductShift = 8 * kLargestMultiplierBytes + 32;

// Byte k of a value >= 0 (least significant first).
int byte_of(const BigInt& value, int k);
// The multiplier's byte k.
int multiplier_byte(const ProductPlan& plan, int k);
// How many bytes the multiplier has.
int multiplier_bytes(const ProductPlan& plan);
// The input's largest byte i: 255, or less for the top byte of a narrower input.
int largest_input_byte(const ResultTarget& target, int i);
// The most that the partial products left out can take off v.
BigInt most_left_out(const ProductPlan& plan, const ResultTarget& target);

// "x * M + c, products from byte k, / 2^s", for traces and test messages.
std::string describe(const ProductPlan& plan);

// The plans for `target` in a fixed order: for each shift, the multipliers just above and
// below K * 2^shift, with every partial product kept; offsets are 0 until proven. Leaving
// out low partial products (kept_from) is for the search to try on the plans that hold.
std::vector<ProductPlan> make_product_plans(const ResultTarget& target);

}  // namespace tarvek

#endif  // TARVEK_MULTIPLY_PRODUCT_PLAN_H
