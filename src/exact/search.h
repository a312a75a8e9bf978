// The search for the cheapest exact routine: candidates are made from the target alone,
// each is proven (a candidate that cannot be proven is never priced), priced by emitting it,
// and the cheapest proven one wins. Ties go to the candidate made first, and candidates are
// made in a fixed order, so the same request always gives the same routine.
#ifndef TARVEK_EXACT_SEARCH_H
#define TARVEK_EXACT_SEARCH_H

#include <optional>
#include <vector>

#include "exact/candidate.h"
#include "exact/emission.h"
#include "exact/proof.h"
#include "exact/target.h"

namespace tarvek {

// How hard to look. The defaults keep a web request cheap.
struct SearchEffort {
  // Inputs up to this width are evaluated one by one in every proof.
  int exhaustive_bits = kDefaultExhaustiveBits;
};

struct SearchResult {
  Candidate candidate;
  ProofOutcome proof;
  EmittedRoutine routine;
  // Candidates made, proven and priced along the way.
  int made = 0;
  int proven = 0;
  int priced = 0;
};

// The candidates for `target`, in the search's fixed order.
std::vector<Candidate> make_candidates(const ExactTarget& target);

// The cheapest proven candidate, emitted; nullopt when none could be proven.
std::optional<SearchResult> find_cheapest(const ExactTarget& target, const RoutineNames& names,
                                          const SearchEffort& effort = SearchEffort{});

}  // namespace tarvek

#endif  // TARVEK_EXACT_SEARCH_H
