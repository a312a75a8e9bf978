// The families of candidates the search draws from, made from the target alone, in a fixed
// order: the first step of the exact pipeline (then the offset each needs and its proof,
// pricing by emitting the proven ones, and the chosen one's emission).
//
// - plain walks: multipliers just below and above K * 2^s for shifts around the precision
//   the input width and the divisor ask for, with guard bits, and without guard bits also
//   with one or two correction steps; the constant itself when it is an integer or a dyadic
//   fraction; exact products that truncate only at the end;
// - factored forms: a short walk followed by factors 1 + 2^-k from the periodic binary
//   expansion of the constant, or exact products whose multiplier splits into factors
//   2^k + 1.
// Nothing here is proven or priced; every candidate is only well formed.
#ifndef TARVEK_EXACT_CANDIDATE_FAMILIES_H
#define TARVEK_EXACT_CANDIDATE_FAMILIES_H

#include <vector>

#include "exact/candidate.h"
#include "exact/chain.h"
#include "exact/proof.h"
#include "exact/target.h"

namespace tarvek {

// The plain candidates for `target` (a walk, guard bits, an offset, corrections), in the
// order they are made; `exhaustive_bits` as the proofs will use it (fewer guard bits can only
// be proven where every input is evaluated).
std::vector<Candidate> make_candidates(const ResultTarget& target,
                                       int exhaustive_bits = kDefaultExhaustiveBits);

// The factored candidates: a shorter walk followed by factors (1 + 2^-k) from the periodic
// binary expansion of the constant, or by integer factors 2^k + 1 that divide a multiplier.
std::vector<Candidate> make_factored_candidates(const ResultTarget& target);

}  // namespace tarvek

#endif  // TARVEK_EXACT_CANDIDATE_FAMILIES_H
