// What a column plan's chunks hold, for every input: the range of each chunk's value and the
// restoring comparisons that split it, shared by the search that makes plans, the proof that
// checks them and the emission that writes them, so the three cannot drift apart.
//
// A chunk's raw value R is what its terms, the carries into it (a column's first chunk) and
// the remainder before it (a later chunk) add up to, held in W modulo 256; V = R + constant
// must lie in 0..255. Each level i, from the chunk's levels down to 1, takes the quotient by
// base^i one bit at a time from the top: W = W - K with K = base^i 2^j, the carry (no borrow)
// is the bit, and W gets K back when it is clear (addlw -K, rlf Q, btfss Q 0, addlw K); the
// first comparison can take the constant in as well (addlw constant - K), when the byte
// arithmetic then still tells every bit right. What W ends with is the remainder.
//
// The ranges are intervals: each source from 0 to its largest value, each quotient from the
// quotient of the lowest value to that of the highest; or, for a plan that says so, the
// ranges the values take over every input (every_input.h). Either way they hold for every
// input.
#ifndef TARVEK_DIGITS_PLAN_ANALYSIS_H
#define TARVEK_DIGITS_PLAN_ANALYSIS_H

#include <cstdint>
#include <optional>
#include <vector>

#include "digits/column_plan.h"
#include "digits/digit_spec.h"

namespace tarvek {

// Where a chunk's quotient of one level goes: column `column`'s first chunk.
struct Carry {
  // The chunk it comes from.
  int from_column = 0;
  int from_chunk = 0;
  // 1 to the chunk's levels; 0 for the carry of a fresh chunk's remainder added to the one
  // before it (into column + 1, 0 or 1).
  int level = 1;
  // Its range.
  int64_t low = 0;
  int64_t high = 0;
};

// How one chunk's value is split.
struct ChunkShape {
  // R, without the constant.
  int64_t raw_low = 0;
  int64_t raw_high = 0;
  int constant = 0;
  int levels = 0;
  // Bits of each level's quotient, level 1 first.
  std::vector<int> level_bits;
  // The constant is taken in by the first comparison.
  bool folded = false;
  // Each level's quotient range, level 1 first.
  std::vector<std::pair<int64_t, int64_t>> quotients;
};

// base^i 2^j of the comparison of bit j of level i.
int comparison_value(int base, int level, int bit);

// The shape of a chunk with these ranges; nullopt when V would leave 0..255 or the comparisons
// would not tell every bit right (shape_holds). For the top column (levels 0) no range is
// required: the digit it holds is known from the others.
std::optional<ChunkShape> make_shape(int base, int levels, int64_t raw_low, int64_t raw_high,
                                     int constant);

// The byte arithmetic of the chunk's comparisons, run for every raw value from raw_low to
// raw_high: every quotient is floor(V_i / base^i) of the value left at its level and W ends
// with V mod base (for levels 0, with V itself). Requires: raw_high - raw_low < 2^16.
bool shape_holds(int base, const ChunkShape& shape);

// The byte arithmetic that adds a fresh chunk's remainder r (in W) to the remainder s before
// it (in a byte), run for every pair below the base: addlw -b and addwf leave the carry set
// exactly when r + s >= b, W holding r + s - b then, and W given b back (addlw b) holding
// r + s otherwise.
bool remainders_add_up(int base);

struct PlanAnalysis {
  // [column][chunk].
  std::vector<std::vector<ChunkShape>> shapes;
  // The carries into each column's first chunk, in the order they are made.
  std::vector<std::vector<Carry>> carries;
};

// The shapes of every chunk of a plan, the columns from the lowest up; nullopt when some chunk
// has none, or a carry would leave the top column. Requires: the plan well formed
// (plan_proof.h).
std::optional<PlanAnalysis> analyze(const ColumnPlan& plan, const DigitSpec& spec);

// The range of the raw terms of a chunk alone.
std::pair<int64_t, int64_t> term_range(const ColumnPlan& plan, const Chunk& chunk);

}  // namespace tarvek

#endif  // TARVEK_DIGITS_PLAN_ANALYSIS_H
