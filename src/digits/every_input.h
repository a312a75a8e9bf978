// Every input's values through a column plan, for the plans whose chunk ranges are taken over
// every input rather than bounded by intervals: inputs up to kEveryInputBits bits. The chunks
// are split one after the other, the columns from the lowest up, exactly as the routine splits
// them, so the range a chunk's value takes is known exactly when it is made; ranges that are
// only as wide as they need be save the constants and comparisons that wider bounds would ask
// for.
#ifndef TARVEK_DIGITS_EVERY_INPUT_H
#define TARVEK_DIGITS_EVERY_INPUT_H

#include <cstdint>
#include <utility>
#include <vector>

#include "digits/column_plan.h"
#include "digits/digit_spec.h"

namespace tarvek {

// The widest input whose every value a plan's ranges are taken over: 2^16 inputs.
inline constexpr int kEveryInputBits = 16;

class EveryInput {
 public:
  // The plan's parts and groups are read as they are when this is made; its columns as they
  // are split. Requires: spec.input_bits <= kEveryInputBits.
  EveryInput(const ColumnPlan& plan, const DigitSpec& spec);

  // The least and largest raw value over every input of `chunk` as chunk c of column k: its
  // terms, and the carries into a first chunk or the remainder before a later (not fresh) one.
  std::pair<int64_t, int64_t> raw_range(int k, int c, const Chunk& chunk) const;

  // The chunk's raw value of every input, term by term.
  std::vector<int32_t> raw_values(int k, int c, const Chunk& chunk) const;

  // Splits every input's value of the chunk, its constant and levels as given, passing the
  // carries on to the columns above and keeping the remainder for the next chunk; returns the
  // raw range, as raw_range would. `values` are its raw values when known already.
  // Requires: the chunks before it split, in order; k below the top column.
  std::pair<int64_t, int64_t> split(int k, int c, const Chunk& chunk,
                                    std::vector<int32_t> values = {});

 private:
  const ColumnPlan& plan_;
  const DigitSpec& spec_;
  // [group][input]: each group's value, summed once.
  std::vector<std::vector<int16_t>> groups_;
  // [column][input]: the carries into each column so far.
  std::vector<std::vector<int32_t>> carried_;
  // [input]: the remainder the column's last split chunk left.
  std::vector<int32_t> remainder_;
};

}  // namespace tarvek

#endif  // TARVEK_DIGITS_EVERY_INPUT_H
