// The proof that a column plan leaves every digit right for every input, in exact integer
// arithmetic, done before any routine is printed. A composition of steps, each proven with the
// invariant the next one relies on:
//
//   (a) the parts are the input's bits, each once: x = sum of part_p 2^low_p;
//   (b) the terms keep the value: for every part, the coefficients of the terms it reaches
//       (through groups, and through a group's half and low bit, whose coefficients must be
//       as 2 to 1 so that they add up to the group) sum to 2^low_p over the columns' places
//       b^k, and the constants sum to 0, so x = sum of column_k b^k for every input;
//   (c) every chunk's value lies in 0..255 (plan_analysis.h, by intervals), every group
//       fits its byte, and the byte arithmetic of every chunk's comparisons gives its
//       quotients and remainder for every value it can take (each checked one by one);
//   (d) so each normalisation keeps sum of column_k b^k = x with digit k in 0..b-1 for
//       every k below the top, and the top column, x minus the lower digits over
//       b^(count-1), lies in 0..b-1 because x < b^count.
//
// Where the input is narrow enough every input is also evaluated one by one with an exact
// model of the plan (integers, not bytes), against the digits of x.
#ifndef TARVEK_DIGITS_PLAN_PROOF_H
#define TARVEK_DIGITS_PLAN_PROOF_H

#include <cstdint>
#include <optional>
#include <string>

#include "digits/column_plan.h"
#include "digits/digit_spec.h"
#include "digits/plan_analysis.h"

namespace tarvek {

struct DigitProof {
  bool holds = false;
  // Inputs evaluated one by one with the exact model (0 when the input was too wide).
  uint64_t inputs_evaluated = 0;
  // Why it does not hold; empty when it does.
  std::string failure;
  // What (c) found, when the proof got that far: the emission writes these shapes.
  std::optional<PlanAnalysis> analysis;
};

// Whether the plan's fields are in their documented ranges for the request (the search
// makes nothing else, but the proof must not take that on trust).
bool is_well_formed(const ColumnPlan& plan, const DigitSpec& spec);

// (a) to (d); every input evaluated too when the input has at most `exhaustive_bits` bits.
DigitProof prove_plan(const ColumnPlan& plan, const DigitSpec& spec, int exhaustive_bits);

}  // namespace tarvek

#endif  // TARVEK_DIGITS_PLAN_PROOF_H
