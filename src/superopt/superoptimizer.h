// The superoptimizer: a pass over a finished exact routine that replaces stretches of it by
// shorter ones doing the same for everything read afterwards. First the learned rules
// (rewrite_rule.h), cheap enough for every request; then, when the effort asks for it, the
// window search (window_search.h) over every stretch up to a length. Both repeat until nothing
// more changes.
//
// What the routine promises is its output bytes (liveness.h): every replacement keeps every
// place live after it exactly, proven for every state of its inputs, so the routine leaves the
// same output bytes from every starting state. A routine holding an instruction the model does
// not run is returned as it is. Deterministic: the same routine and effort give the same
// result.
#ifndef TARVEK_SUPEROPT_SUPEROPTIMIZER_H
#define TARVEK_SUPEROPT_SUPEROPTIMIZER_H

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "codegen/code.h"
#include "codegen/core.h"
#include "superopt/liveness.h"
#include "superopt/rewrite_rule.h"
#include "superopt/window_search.h"

namespace tarvek {

// What a routine promises: the bytes it leaves its result in, and the core it runs on; and what
// its callers promise it: bits of bytes that are zero when it starts (an input byte's bits
// above the input's width).
struct RoutineContract {
  std::vector<ByteRef> outputs;
  Core core = Core::kMidrange;
  std::vector<std::pair<ByteRef, uint8_t>> zero_at_start;
};

struct SuperoptEffort {
  // The rule pass (rule_pass.h): unread instructions dropped and the learned rules applied.
  // Without it the routine is left as it is unless the window search runs.
  bool rule_pass = true;
  // Search windows of up to this many instructions (0: no window search).
  int longest_window = 0;
  WindowSearchLimits search;
  // Routines longer than this are left to the rules alone: the search's cost grows with the
  // routine's length.
  int longest_searched_routine = 2000;
  // Routines longer than this are left as they are. A long routine loses a few instructions of
  // hundreds to the rule pass, which would cost a web request as much as a tenth of its time;
  // the exact room's cleanup draws the line at the same length.
  int longest_routine = 400;
  // Sweeps of the rule pass (rule_pass.h): one more after each that fires a rule, up to this.
  int rule_sweeps = 2;
};

// The effort of the exact modes' level (1 to 9): the rules at every level, on routines of up to
// 400 instructions; from level 6 on, the window search and no limit on the length, longer
// windows and replacements further up.
SuperoptEffort superopt_effort(int level);

// The routine with its stretches replaced as the effort allows.
Code superoptimize(const Code& code, const RoutineContract& contract,
                   const SuperoptEffort& effort = SuperoptEffort{});

// The same with the given rules instead of the learned ones (for the learner and tests).
Code superoptimize_with(const Code& code, const RoutineContract& contract,
                        const SuperoptEffort& effort, std::span<const RewriteRule> rules);

// A replacement the window search made: the window as it was and what took its place.
struct FoundReplacement {
  Window window;
  std::vector<SlotInstruction> replacement;
};

// What the window search found for each window it has looked at (its instructions and what is
// read after it), so that a window seen again, in this routine or another, costs nothing.
class WindowMemo {
 public:
  // The search's answer for `window`, searched now when it is new.
  const std::optional<std::vector<SlotInstruction>>& find(const Window& window, Core core,
                                                          const WindowSearchLimits& limits);

 private:
  std::map<std::string, std::optional<std::vector<SlotInstruction>>> answers_;
};

// What a caller may learn of a run: every replacement the window search made, how often each
// rule fired (sized to the rules), and a memo shared with other runs. Each may be null.
struct SuperoptTrace {
  std::vector<FoundReplacement>* found = nullptr;
  std::vector<long>* fired = nullptr;
  WindowMemo* memo = nullptr;
};

// superoptimize_with, telling `trace` what it did.
Code superoptimize_traced(const Code& code, const RoutineContract& contract,
                          const SuperoptEffort& effort, std::span<const RewriteRule> rules,
                          const SuperoptTrace& trace);

}  // namespace tarvek

#endif  // TARVEK_SUPEROPT_SUPEROPTIMIZER_H
