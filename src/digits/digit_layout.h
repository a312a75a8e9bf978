// Where a digits routine keeps what it works on, decided before any code is written: how each
// term of each chunk reaches W, which scratch byte sums the terms W cannot take by itself,
// which byte holds each carry (the digit's own output byte where that digit has no other
// carry to hold), and which input bytes are copied because a digit overwrites them before the
// columns are done reading them.
//
// Bytes are decided in the order the columns are normalised, which is also the order of the
// writes: a part is read from the input only while no digit or carry has been written over
// its byte.
#ifndef TARVEK_DIGITS_DIGIT_LAYOUT_H
#define TARVEK_DIGITS_DIGIT_LAYOUT_H

#include <map>
#include <tuple>
#include <vector>

#include "digits/column_plan.h"
#include "digits/digit_spec.h"
#include "digits/plan_analysis.h"

namespace tarvek {

// How a term of a chunk reaches W.
enum class Route {
  // Summed into the chunk's scratch byte before the columns are normalised.
  kScratch,
  // A group added as it is: addwf.
  kAdd,
  // A bit tested and the coefficient added as a literal: btfsc, addlw.
  kLiteral,
  // The chunk's first load, a part of the input still unchanged.
  kLoad,
};

// A byte of the accumulator (the input and the digits) or of the scratch register.
struct Place {
  bool scratch = false;
  int byte = 0;
};

struct ChunkLayout {
  // One for each of the chunk's terms.
  std::vector<Route> routes;
  // The chunk's scratch byte; -1 when no term is summed there.
  int sum_byte = -1;
};

// (column, chunk, level) of a carry; level 0 for the carry of a fresh chunk's remainders.
using CarryKey = std::tuple<int, int, int>;

struct DigitLayout {
  // The scratch byte of each group.
  std::vector<int> group_bytes;
  // [column][chunk].
  std::vector<std::vector<ChunkLayout>> chunks;
  std::map<CarryKey, Place> carries;
  // Input byte (from the low end) to the scratch byte that copies it.
  std::map<int, int> copies;
  // Scratch bytes taken, 0 to temp_bytes - 1.
  int temp_bytes = 0;
};

// With `copy_inputs`, input a digit overwrites too early is read from a copy; without, the
// terms that read it are summed beforehand. Requires: analysis is analyze(plan, spec).
DigitLayout lay_out(const ColumnPlan& plan, const DigitSpec& spec, const PlanAnalysis& analysis,
                    bool copy_inputs);

// Whether part p is summed in some group (and so loaded before the columns anyway).
bool in_group(const ColumnPlan& plan, int p);

}  // namespace tarvek

#endif  // TARVEK_DIGITS_DIGIT_LAYOUT_H
