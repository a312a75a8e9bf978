// The proof that a product plan computes its target for every input, in exact integer
// arithmetic, done before any routine is printed.
//
// With Q(x) = floor((a x + b) / d) the target and D(x) >= 0 what the partial products left out
// take off (at most Dmax), the plan holds when for every input x
//   Q(x) 2^s <= M x + c - D(x)   and   M x + c - D(x) < (Q(x) + 1) 2^s.
// Narrow inputs are evaluated one by one, D(x) exactly. For the others, writing
// a x + b = d Q(x) + r with 0 <= r < d, both inequalities are affine in x once r is taken at
// its worst (0 for the first, d - 1 for the second) and D(x) at its worst, so they hold for
// every input when they hold at both ends of the input range.
#ifndef TARVEK_MULTIPLY_PRODUCT_PROOF_H
#define TARVEK_MULTIPLY_PRODUCT_PROOF_H

#include <cstdint>
#include <optional>

#include "exact/proof.h"
#include "multiply/product_plan.h"

namespace tarvek {

// The offsets c, as bounds (c may be any value in [low, high]) for which the inequalities hold,
// whatever offset the plan has; empty when low > high.
struct ProductOffsets {
  BigInt low;
  BigInt high;
  // Inputs evaluated one by one (0 when the affine bounds decided).
  uint64_t inputs_evaluated = 0;

  bool is_empty() const { return low > high; }
};

// Requires: plan within its documented ranges but for the offset; 1 <= target.input_bits.
ProductOffsets product_offsets(const ProductPlan& plan, const ResultTarget& target,
                               int exhaustive_bits);

// The plan with the least offset that holds (a multiple of 2^(8 kept_from), at least 0), and
// its proof; nullopt when none holds.
std::optional<ProductPlan> with_least_offset(const ProductPlan& plan, const ResultTarget& target,
                                             int exhaustive_bits, ProofOutcome& proof);

// The proof of the plan with its own offset.
ProofOutcome prove_product(const ProductPlan& plan, const ResultTarget& target,
                           int exhaustive_bits);

}  // namespace tarvek

#endif  // TARVEK_MULTIPLY_PRODUCT_PROOF_H
