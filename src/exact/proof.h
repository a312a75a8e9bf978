// The proof that a candidate computes its target for every input, in exact integer
// arithmetic, done before any routine is printed.
//
// With v the walk's value plus the offset and q = floor(v / 2^guard) before corrections, the
// candidate holds when, for every input x:
//   (a) v >= 0, so the walk's result is the non-negative value the following steps take it
//       for;
//   (b) q <= Q(x), so corrections, which only add, never have to take anything back;
//   (c) Q(x) - q <= corrections.
// Small inputs (all of them when the input is narrow, else those below the point from which
// the affine bound shows (a)) are evaluated one by one with the walk's exact model; the rest
// follow from the affine bound of the walk at the two ends of their range, since every
// inequality there is affine in x.
#ifndef TARVEK_EXACT_PROOF_H
#define TARVEK_EXACT_PROOF_H

#include <cstdint>
#include <string>

#include "exact/candidate.h"
#include "exact/target.h"

namespace tarvek {

struct ProofOutcome {
  // (a), (b) and (c) hold for every input.
  bool holds = false;
  // (a) and (b) hold for every input; corrections_needed is then meaningful.
  bool never_above = false;
  // The smallest number of corrections for which (c) holds.
  int corrections_needed = 0;
  // Inputs evaluated one by one; the others, if any, were covered by the affine bound.
  uint64_t inputs_evaluated = 0;
  // What was shown, or the first thing that could not be.
  std::string reason;
};

// Inputs up to this width are always evaluated one by one: cheaper than it sounds, and
// exact where the affine bound is loose.
inline constexpr int kDefaultExhaustiveBits = 10;

// Requires: the candidate's fields within their documented ranges for target.input_bits.
ProofOutcome prove(const Candidate& candidate, const ResultTarget& target,
                   int exhaustive_bits = kDefaultExhaustiveBits);

// Whether the candidate's fields lie in their documented ranges for this target (the
// search makes nothing else, but the proof must not take that on trust).
bool is_well_formed(const Candidate& candidate, const ResultTarget& target);

}  // namespace tarvek

#endif  // TARVEK_EXACT_PROOF_H
