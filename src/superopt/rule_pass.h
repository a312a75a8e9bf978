// The cheap pass of the superoptimizer, run on every routine: one backward sweep that drops
// every instruction whose results nothing reads and puts each learned rule's replacement where
// its pattern matches, the demand on each bit (liveness.h) worked out as it goes, so that a
// sweep costs one step per instruction whatever it changes.
//
// An instruction is dropped only when it is no skip, follows no skip (which would then skip
// something else) and no bit it writes is read afterwards; a rule fires only where it holds
// (rewrite_rule.h). Going backward, what a change frees before it is seen when that part is
// swept, so one sweep drops every unread line; sweeps repeat while rules fire.
#ifndef TARVEK_SUPEROPT_RULE_PASS_H
#define TARVEK_SUPEROPT_RULE_PASS_H

#include <vector>

#include "codegen/code.h"
#include "codegen/core.h"
#include "superopt/known_bits.h"
#include "superopt/liveness.h"
#include "superopt/rewrite_rule.h"

namespace tarvek {

// A routine while the superoptimizer rewrites it: its instructions, each line's pins (liveness.h:
// the bits replacements made so far rely on being known), and what is read at its end (the
// output bytes, and any bits pinned there).
struct Rewriting {
  Code code;
  std::vector<LinePins> pins;
  Demand at_end{};
};

// Drops the routine's unread instructions and applies the rules, sweep after sweep while rules
// fire, at most `max_sweeps` sweeps; `fired` (when not null, sized to `rules`) counts each
// rule's replacements. A rule whose
// replacement `core` cannot run is passed over; one with a precondition fires only where
// known_bits.h's analysis, from `at_start`, knows what it requires, and pins it there.
// Requires: modelled(routine.code, bytes, core), `bytes` those of the code.
void apply_rules(Rewriting& routine, const RoutineBytes& bytes, Core core, const Known& at_start,
                 std::span<const RewriteRule> rules, std::vector<long>* fired,
                 int max_sweeps = 1000);

}  // namespace tarvek

#endif  // TARVEK_SUPEROPT_RULE_PASS_H
