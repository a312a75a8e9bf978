// The digit walk of program assembly applied to a dyadic multiplier M / 2^f: the digits it
// takes, and exactly what it computes.
//
// The walk (shared with the approximating mode, and verified against the same computation
// there) evaluates x * M / 2^f by Horner's rule over signed binary digits: terms at and above
// the units position are added exactly; the fractional ones are combined from the least
// significant up, the accumulator shifted right (truncating toward minus infinity) before each
// further term and once more onto the units position. Two models of that computation live
// here: its exact value for one input, and an affine bound that holds for every input, which
// the proofs use.
#ifndef TARVEK_EXACT_CHAIN_H
#define TARVEK_EXACT_CHAIN_H

#include <cstdint>
#include <vector>

#include "codegen/decomposition.h"
#include "exact/big_int.h"

namespace tarvek {

// One term of the walk: sign * x * 2^exponent.
struct ChainTerm {
  int exponent = 0;
  int sign = 1;
};

struct Chain {
  // What program assembly takes: the recoded digits, term_count, term_end, input_bytes.
  Decomposition decomposition;
  // The nonzero digits, least significant first.
  std::vector<ChainTerm> terms;
  // The walk runs on x * 2^input_shift: an exact shift left first, which lets a multiplier
  // too large for the walk's digits keep its precision (x * M / 2^f is (x * 2^j) * M /
  // 2^(f + j)). The models below take x itself.
  int input_shift = 0;
};

// Fixed-point scale of the affine bounds: values are held multiplied by 2^kBoundScale, enough
// for every right shift a walk can make (its lowest digit weighs 2^-64, so at most 64 places
// in all).
inline constexpr int kBoundScale = 64;

// For every input x from 0 up: low(x) <= value(x) <= high(x), where
//   low(x)  = (slope * x + low_intercept) / 2^kBoundScale,
//   high(x) = (slope * x + high_intercept) / 2^kBoundScale.
struct AffineBound {
  BigInt slope;
  BigInt low_intercept;
  BigInt high_intercept;
};

// Whether the walk's digits can hold M / 2^f: at most 2^31, the weight of its top digit.
bool fits_walk(const BigInt& multiplier, int fraction_bits);

// The walk for M / 2^f, with digits as the approximating mode recodes them (runs of three or
// more ones become +1 ... -1), on inputs shifted left by `input_shift`; input_bits is the
// input's own width.
// Requires: M >= 1, fits_walk(M, f), 0 <= f <= 64, 1 <= input_bits <= 32,
// 0 <= input_shift <= 31.
Chain make_chain(const BigInt& multiplier, int fraction_bits, int input_bits, int input_shift = 0);

// What the walk computes for x, exactly. Requires: x < 2^32.
Int128 chain_value(const Chain& chain, uint64_t x);

// An affine bound of chain_value over every input: each truncating shift by n loses between 0
// and 1 - 2^-n of a unit at its position (none when the value shifted is known to be a
// multiple of 2^n), and a negation turns that loss into a gain.
AffineBound chain_bound(const Chain& chain);

// Factors applied to the walk's value v, in order: a factor k > 0 is v = v + floor(v / 2^k)
// (times 1 + 2^-k, truncating), k < 0 is v = v + v * 2^-k (times 2^-k + 1, exactly). The
// partial sums of a product reuse each other: 1/(1 - 2^-p) is (1 + 2^-p)(1 + 2^-2p)... and
// x * 45 is (x * 5) * 9.
using Factors = std::vector<int>;

// What the walk followed by the factors computes for x, exactly. Requires: x < 2^32, and the
// value stays below 2^120.
Int128 walk_value(const Chain& chain, const Factors& factors, uint64_t x);

// Whether walk_value fits 63 bits for every input of `input_bits` bits, so that
// walk_value_64 may compute it: the exhaustive proofs' fast path.
bool walk_fits_64_bits(const Chain& chain, const Factors& factors, int input_bits);
// walk_value in 64-bit arithmetic. Requires: walk_fits_64_bits for an input of x's width.
int64_t walk_value_64(const Chain& chain, const Factors& factors, uint64_t x);

// An affine bound of walk_value for every input from 0 to max_input: each truncating factor
// loses between 0 and 1 - 2^-k; where the bound's own fixed point cannot hold a scaled term
// exactly, the bound is widened outward by what that can amount to at max_input.
AffineBound walk_bound(const Chain& chain, const Factors& factors, const BigInt& max_input);

}  // namespace tarvek

#endif  // TARVEK_EXACT_CHAIN_H
