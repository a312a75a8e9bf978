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
#include "superopt/liveness.h"
#include "superopt/rewrite_rule.h"

namespace tarvek {

// The routine with unread instructions dropped and the rules applied until nothing changes;
// `fired` (when not null, sized to `rules`) counts each rule's replacements. A rule whose
// replacement `core` cannot run is passed over.
// Requires: modelled(code, bytes, core), `bytes` those of `code`.
Code apply_rules(const Code& code, const RoutineBytes& bytes, Core core, const Demand& at_end,
                 const std::vector<RewriteRule>& rules, std::vector<long>* fired);

}  // namespace tarvek

#endif  // TARVEK_SUPEROPT_RULE_PASS_H
