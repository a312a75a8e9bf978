// Turns a proven product plan into instructions for a core with the 8 x 8 multiplier: the
// partial products added up byte by byte in the temporary register, then the result's bits
// taken out of v into the accumulator, with one CodeWriter so that what W holds carries over.
//
// The same call prices a plan (its instruction count) and writes the chosen one, so the price
// is always that of the code printed. The input's bytes are only read until every partial
// product is made; the result is written over them at the end.
#ifndef TARVEK_MULTIPLY_PRODUCT_EMISSION_H
#define TARVEK_MULTIPLY_PRODUCT_EMISSION_H

#include "exact/emission.h"
#include "multiply/product_plan.h"

namespace tarvek {

// The order the partial products are added in: by byte place upwards (a carry mostly meets a
// byte not yet written, which takes it in one step), downwards (the high bytes are written
// first, without additions), or row by row: one input byte's products together, equal
// multiplier bytes back to back, so that a product made once is added at each of its places.
enum class ProductOrder { kUpwards, kDownwards, kRows };

// How the result's bits below a byte boundary are taken out: rotating v right through the
// carry, or multiplying each byte by 2^(8 - r), which puts its two parts in PRODH and PRODL.
enum class ResultShift { kRotate, kMultiply };

struct ProductLayout {
  ProductOrder order = ProductOrder::kUpwards;
  ResultShift shift = ResultShift::kRotate;
  // When one multiplication makes every partial product, its bytes stay in PRODL and PRODH
  // as bytes of v instead of being copied out, and the offset is added after it.
  bool in_product = false;
};

// Every layout, in the order the search prices them (the first of equal routines wins).
inline constexpr ProductLayout kProductLayouts[] = {
    {ProductOrder::kUpwards, ResultShift::kRotate},
    {ProductOrder::kUpwards, ResultShift::kMultiply},
    {ProductOrder::kDownwards, ResultShift::kRotate},
    {ProductOrder::kDownwards, ResultShift::kMultiply},
    {ProductOrder::kRows, ResultShift::kRotate},
    {ProductOrder::kRows, ResultShift::kMultiply},
    {ProductOrder::kUpwards, ResultShift::kRotate, true},
    {ProductOrder::kDownwards, ResultShift::kRotate, true},
};

// `output_bytes` as emit_candidate takes it. Requires: the plan proven for the target; the
// core of `names` has the multiplier; output_bytes 0 or at least the bytes the result needs.
EmittedRoutine emit_product(const ProductPlan& plan, const ResultTarget& target,
                            const RoutineNames& names, int output_bytes, ProductLayout layout);

}  // namespace tarvek

#endif  // TARVEK_MULTIPLY_PRODUCT_EMISSION_H
