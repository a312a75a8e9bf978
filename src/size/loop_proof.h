// The proof that a loop plan computes its target for every input, in exact integer
// arithmetic, before any routine is printed; and the plan's exact model, which follows the
// loop's registers bit by bit as the emitted code does.
//
// Where the input is narrow enough (the effort's exhaustive bits), the model is run for every
// input and compared with the target. Wider inputs rest on the loop's invariant, checked at
// both ends of the input range (the model run there too):
// - division: n = a' u + b' grows with u, so n below 2^L at the largest input holds for all;
//   the remainder r stays below the compared divisor before each shift, so 2r + 1 fits its
//   byte (divisor at most 128); then shift-and-subtract division is exact, every pass adding
//   one quotient bit, and the identity of the reduced target holds for every u.
// - multiply: the loop leaves u M + c exactly (the high part holds at most max(c, M) + M
//   before each shift, and the product fits both parts); with M >= a' 2^s / d' and
//   d' (u M + c) < 2^s (a' u + b' + 1) at both ends, both affine in u, floor((u M + c) / 2^s)
//   is floor((a' u + b') / d') everywhere.
// - counting: n = u + b' below 256 at the largest input; every pass takes d' off n and adds
//   one to the count, which ends one pass after n falls below d'.
#ifndef TARVEK_SIZE_LOOP_PROOF_H
#define TARVEK_SIZE_LOOP_PROOF_H

#include <cstdint>
#include <optional>

#include "exact/big_int.h"
#include "exact/target.h"
#include "size/loop_plan.h"

namespace tarvek {

struct LoopProof {
  bool holds = false;
  // Every input was run through the model; otherwise the invariant was checked at both ends.
  bool every_input = false;
};

// What the plan's loop leaves for input u: the result's bits (the quotient of a division
// with its skipped bits cleared, the product's high part shifted down), or nullopt when some
// register would not hold its value.
// Requires: the plan made for the target; 0 <= u <= target.max_input.
std::optional<UInt128> loop_model(const LoopPlan& plan, const ResultTarget& target, uint64_t u);

LoopProof prove_plan(const LoopPlan& plan, const ResultTarget& target, int exhaustive_bits);

}  // namespace tarvek

#endif  // TARVEK_SIZE_LOOP_PROOF_H
