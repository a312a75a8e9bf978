// The search for the cheapest exact routine. For each form of the request (signed_form.h), the
// candidates of its unsigned target are made from the target alone and ordered by a rough
// estimate of their cost; in that order each gets the offset it needs, is proven (a candidate
// that cannot be proven is never priced) and is priced by emitting it, until a few have been
// priced; the cheapest proven one wins, and the cheapest whole routine over the forms (on the
// baseline core, at equal cost the one with fewer bytes of RAM: better_routine). Ties go to
// the candidate and the form met first, and both the making and the ordering are fixed, so
// the same request always gives the same routine.
#ifndef TARVEK_EXACT_SEARCH_H
#define TARVEK_EXACT_SEARCH_H

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "exact/candidate.h"
#include "exact/candidate_families.h"
#include "exact/emission.h"
#include "exact/form_emission.h"
#include "exact/proof.h"
#include "exact/target.h"
#include "superopt/superoptimizer.h"

namespace tarvek {

// What the searches of one request have proven: each candidate with the offset it needs and
// its proof, or that none holds, by candidate and target. The enhanced core's search runs the
// mid-range one too, over the same candidates: proven once, priced for each core.
class ProofMemo {
 public:
  using Proven = std::optional<std::pair<Candidate, ProofOutcome>>;

  // The entry of `key`, or null when there is none.
  const Proven* find(const std::string& key) const;
  void add(const std::string& key, Proven proven);

 private:
  std::map<std::string, Proven> entries_;
};

struct SearchResult {
  // The walk, unless `method` is set.
  Candidate candidate;
  ProofOutcome proof;
  EmittedRoutine routine;
  // Candidates made, proven and priced along the way.
  int made = 0;
  int proven = 0;
  int priced = 0;
  // For a routine of another kind than a walk (`other` below): the comment block's lines on
  // how it computes its result from the input named by the argument.
  std::function<std::string(const std::string&)> method = {};
};

// Another search for the same target, whose routine replaces the walks' when it is better
// (the hardware multiplier's, on a core that has one); nullopt when it has none.
using OtherSearch = std::function<std::optional<SearchResult>(
    const ResultTarget& target, const RoutineNames& names, int output_bytes, int exhaustive_bits)>;

// How hard to look. The defaults keep a web request cheap.
struct SearchEffort {
  // Inputs up to this width are evaluated one by one in every proof.
  int exhaustive_bits = kDefaultExhaustiveBits;
  // Proven candidates priced, cheapest estimate first; the rest are never emitted. Pricing
  // also stops once the routines priced add up to `priced_instructions` instructions.
  int priced = 4;
  int priced_instructions = 700;
  // Also search factored forms (a second group, with a budget of its own).
  bool factored = true;
  // What the superoptimizer does to each form's finished routine.
  SuperoptEffort superopt;
  // Proofs already made for this request (null: none kept).
  ProofMemo* proofs = nullptr;
  // Weighed after the walks (none: the walks alone).
  OtherSearch other = {};
};

// The effort of `tarvek-asm --effort N` (1 to 9; the web form always uses 1, the default):
// more candidates priced per group, a larger budget of priced instructions and more inputs
// evaluated one by one up to 5; from 6 on, the search of level 5 and the superoptimizer's
// window search over each form's routine, wider as the level rises.
SearchEffort search_effort(int level);

// A rough instruction count for the candidate's routine, from its digits and widths alone:
// only the order it gives matters.
int estimate_cost(const Candidate& candidate, const ResultTarget& target);

// What leaving the remainder in names.rem adds to the estimate (0 without one).
int remainder_estimate(const Candidate& candidate, const ResultTarget& target,
                       const RoutineNames& names);

// The candidate with the smallest offset that its walk's bound (and the inputs evaluated one
// by one) allows for its corrections; nullopt when none does. Not yet proven.
std::optional<Candidate> with_offset(const Candidate& candidate, const ResultTarget& target,
                                     const SearchEffort& effort = SearchEffort{});

// The whole routine a routine of the search ends up in, when that is what it is judged by.
using WholeRoutine = std::function<EmittedRoutine(const EmittedRoutine&)>;

// The cheapest proven candidate, emitted (with `output_bytes` as emit_candidate takes it);
// nullopt when none could be proven. With `whole`, each routine is judged as the whole routine
// that makes of it.
std::optional<SearchResult> find_cheapest(const ResultTarget& target, const RoutineNames& names,
                                          const SearchEffort& effort = SearchEffort{},
                                          int output_bytes = 0, const WholeRoutine& whole = {});

struct SpecResult {
  Form form;
  // The search's result for the form's inner target.
  SearchResult inner;
  // The whole routine.
  EmittedRoutine routine;
};

// Searches every form of the request and keeps the cheapest whole routine (the first of equal
// ones); nullopt when no form has a proven routine.
std::optional<SpecResult> find_cheapest_form(const ExactSpec& spec, const RoutineNames& names,
                                             const SearchEffort& effort = SearchEffort{});

// find_cheapest_form; on the enhanced core the mid-range search's routine instead when it is
// shorter (that core runs it too).
std::optional<SpecResult> find_cheapest_form_on_core(const ExactSpec& spec,
                                                     const RoutineNames& names,
                                                     const SearchEffort& effort = SearchEffort{});

// find_cheapest_form_on_core, and when it finds nothing for an input wider than the effort
// evaluates one by one, again with every input up to 16 bits evaluated.
std::optional<SpecResult> find_cheapest_routine(const ExactSpec& spec, const RoutineNames& names,
                                                const SearchEffort& effort = SearchEffort{});

}  // namespace tarvek

#endif  // TARVEK_EXACT_SEARCH_H
