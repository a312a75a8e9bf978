// Turns a loop plan into PIC instructions, with the existing generators where they fit (the
// exact product's straight-line search, the constant addition) and the loops written here.
// The same call prices a plan (its program words and cycles) and writes the chosen one, so
// the price is always that of the code printed.
//
// The loops keep their remainder, counter and any product part in temporary bytes numbered
// from 0 up (after those a straight-line product uses), and jump only to labels made of the
// request's label prefix and a word: `div` (division), `count` (counting), `mul` and `next`
// (multiply loop).
#ifndef TARVEK_SIZE_LOOP_EMISSION_H
#define TARVEK_SIZE_LOOP_EMISSION_H

#include <optional>
#include <string>

#include "exact/emission.h"
#include "exact/search.h"
#include "exact/target.h"
#include "size/loop_plan.h"

namespace tarvek {

struct LoopRoutine {
  // The code, its program words in `instructions`, and the bytes it names.
  EmittedRoutine routine;
  // Cycles of a run at both ends: over every input, counted from the loops' passes.
  long fewest_cycles = 0;
  long most_cycles = 0;
};

// The most ones an input from 0 to max_input has.
int most_ones_up_to(uint64_t max_input);

// The plan's routine for `target`, its result on `output_bytes` bytes of the accumulator (at
// least those of the input and of the result); nullopt when the plan cannot be written (a
// product it needs has no proven straight-line routine).
// Requires: the plan made for the target (make_loop_plans); what it writes computes the target
// only when the plan is proven (loop_proof.h), which the search asks before keeping it.
std::optional<LoopRoutine> emit_plan(const LoopPlan& plan, const ResultTarget& target,
                                     const RoutineNames& names, const std::string& label_prefix,
                                     int output_bytes, const SearchEffort& effort);

}  // namespace tarvek

#endif  // TARVEK_SIZE_LOOP_EMISSION_H
