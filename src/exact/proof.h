// The proof that a candidate computes its target for every input, in exact integer
// arithmetic, done before any routine is printed.
//
// With v the walk's value (chain.h) plus the offset c and q = floor(v / 2^guard) before the
// e corrections, the candidate holds when, for every input x:
//   (a) v >= 0, so the walk's result is the non-negative value the following steps take it
//       for;
//   (b) q <= Q(x), so corrections, which only add, never have to take anything back;
//   (c) Q(x) - q <= e.
// (b) and (c) bound the offset from both sides, and allowed_offsets() gives those bounds; the
// search takes the smallest offset they allow, and the proof checks the candidate's own offset
// against the same bounds, so the two cannot drift apart. Small inputs (all of them when the
// input is narrow, else those below the point from which the affine bound shows (a)) are
// evaluated one by one with the walk's exact model; the rest follow from the affine bound of
// the walk at the two ends of their range, since every inequality there is affine in x.
#ifndef TARVEK_EXACT_PROOF_H
#define TARVEK_EXACT_PROOF_H

#include <cstdint>

#include "exact/big_int.h"
#include "exact/candidate.h"
#include "exact/target.h"

namespace tarvek {

struct ProofOutcome {
  // (a), (b) and (c) hold for every input.
  bool holds = false;
  // Inputs evaluated one by one; the others, if any, were covered by the affine bound.
  uint64_t inputs_evaluated = 0;
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

// The offsets c in [low, high] for which (b) and (c) hold, whatever offset the candidate has:
// the inputs below `split` evaluated one by one, the rest from the walk's affine bound at both
// ends of [split, max_input]. Empty when low > high. `least_walk` is the least walk value over
// the inputs evaluated, for (a): v + c >= 0 there exactly when c >= -least_walk.
struct OffsetRange {
  BigInt low;
  BigInt high;
  Int128 least_walk = 0;

  bool is_empty() const { return low > high; }
};

// Requires: is_well_formed(candidate, target); split <= max_input + 1.
OffsetRange allowed_offsets(const Candidate& candidate, const ResultTarget& target, uint64_t split);

// The proof from the offsets allowed_offsets gave with every input evaluated (split =
// max_input + 1): the candidate's offset lies within them and (a) holds at the least walk
// value. What prove() decides for a narrow input, without evaluating the inputs again.
ProofOutcome prove_every_input(const Candidate& candidate, const ResultTarget& target,
                               const OffsetRange& range);

}  // namespace tarvek

#endif  // TARVEK_EXACT_PROOF_H
