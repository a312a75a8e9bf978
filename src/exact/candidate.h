// One way of computing an exact result, described by what it computes rather than by the
// code that computes it:
//
//   v = x * multiplier / 2^(shift - guard), by the digit walk (truncating as it goes),
//   v = v * (1 + 2^-k) for each of the `factors` (truncating; see chain.h),
//   v = v + offset,
//   q = floor(v / 2^guard),
//   then `corrections` correction steps: q = q + 1 while the remainder shows q too small.
//
// So the multiplier approximates K * 2^shift; `guard` bits below the units position are kept
// until the offset has been added, which lets the offset round (nearest) or absorb the walk's
// truncation; with guard == shift the product is exact and only the last shift truncates.
#ifndef TARVEK_EXACT_CANDIDATE_H
#define TARVEK_EXACT_CANDIDATE_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "exact/big_int.h"

namespace tarvek {

// Correction steps keep their remainder in one byte (codegen/correction.h): it must hold
// (corrections + 1) * d, the largest value it takes before the last comparison.
inline constexpr int kRemainderLimit = 256;

// Factors shift by 1 to 64 places right (a truncating factor 1 + 2^-k) or 1 to 16 left (an
// exact one, 2^k + 1): the walk's value, below 2^(31 + 33), times eight such factors stays
// below the 2^120 that its exact model holds.
inline constexpr int kLeftmostFactor = -16;
inline constexpr int kRightmostFactor = 64;
inline constexpr std::size_t kMostFactors = 8;

struct Candidate {
  // M >= 1, below 2^(31 + shift - guard).
  BigInt multiplier = 1;
  // 0 to 64 + guard.
  int shift = 0;
  // 0 to shift, and shift - guard at most 64.
  int guard = 0;
  // Added at the scale of v, before the guard bits are dropped.
  uint64_t offset = 0;
  // Correction steps after the guard bits are dropped.
  int corrections = 0;
  // Applied to the walk's value in order (chain.h): the multiplier approximates
  // K * 2^shift / the factors' product.
  std::vector<int> factors;
  // The walk runs on x * 2^input_shift with M / 2^(shift - guard + input_shift): the same
  // product, for a multiplier whose integer part the walk's digits could not hold.
  int input_shift = 0;
};

// "M / 2^s, guard g, offset c, corrections e", for test messages and the search's trace.
std::string describe(const Candidate& candidate);

struct Chain;

// The walk the candidate's multiplier, guard bits and input shift make for `input_bits`-bit
// inputs. Requires: the candidate well formed (proof.h).
Chain candidate_chain(const Candidate& candidate, int input_bits);

}  // namespace tarvek

#endif  // TARVEK_EXACT_CANDIDATE_H
