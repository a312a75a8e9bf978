// The search for the routine with the fewest program words: the straight-line routine the
// speed search finds (always a candidate, so a routine for size never has more words than
// the one for speed), then for each form of the request every loop plan of its unsigned
// target, priced by emitting it inside the form's wrapping and proven when it would win (an
// unproven plan is never kept). The fewest
// words win, ties going to the fewer cycles in the worst case and then to the candidate met
// first (the straight-line routine, then the forms and plans in their fixed order), so the
// same request always gives the same routine.
#ifndef TARVEK_SIZE_SIZE_SEARCH_H
#define TARVEK_SIZE_SIZE_SEARCH_H

#include <optional>
#include <string>

#include "exact/search.h"
#include "exact/signed_form.h"
#include "size/loop_emission.h"
#include "size/loop_plan.h"
#include "size/loop_proof.h"

namespace tarvek {

struct SizeResult {
  // The straight-line routine won: `speed` is the routine, printed as for speed.
  bool straight = false;
  std::optional<SpecResult> speed;
  // The loop routine otherwise: its form, its plan and proof, the whole routine (program
  // words in `instructions`) and its cycles at both ends.
  Form form;
  LoopPlan plan;
  LoopProof proof;
  EmittedRoutine routine;
  long fewest_cycles = 0;
  long most_cycles = 0;
};

// Nullopt when neither a straight-line routine nor a loop could be proven.
std::optional<SizeResult> find_smallest_routine(const ExactSpec& spec, const RoutineNames& names,
                                                const std::string& label_prefix,
                                                const SearchEffort& effort = SearchEffort{});

}  // namespace tarvek

#endif  // TARVEK_SIZE_SIZE_SEARCH_H
