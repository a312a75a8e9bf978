// One way of turning the input into its digits, described by what it computes rather than by
// the code that computes it: column sums, normalised column by column.
//
// The input is split into parts, bit fields of one input byte each (a whole byte, a nibble, a
// bit...): x = sum of part_p * 2^low_p. Writing each weight 2^low_p in base b (with digits
// that may be negative or above b - 1) makes column k, the digit place b^k, a sum of terms
// coefficient * source, where a source is a part, a group (the sum of some parts, kept in a
// byte), or the half or the low bit of a group (g = 2 (g >> 1) + (g & 1), which turns w g into
// (w - b/2) g + (b/2) (g & 1) plus (g >> 1) one column up: 6 g into g + 5 (g & 1) + 10 (g >> 1)).
// Then x = sum of column_k * b^k.
//
// Columns are normalised from the lowest up, each in one or more chunks that fit a byte: a
// chunk's value V (the remainder the chunk before left, its terms, in a column's first chunk
// the carries from below, and a constant) is split by restoring comparisons into quotients
// floor(V / b^i) for `levels` places, each carried into column k + i, and a remainder, which
// the next chunk takes on or which is digit k. A fresh chunk leaves the remainder before it
// aside instead (for a base above 128 it may leave no room in a byte) and adds its own
// remainder to it afterwards: a sum of b or more gives b up as one more carry into k + 1. The top
// column is the top digit as it is: once every lower digit is in 0..b-1, x < b^count leaves it in
// 0..b-1 too. Constants (which make every chunk's value non-negative) add up to 0 over the columns.
//
// A plan is a plain value: the proof (plan_proof.h) checks it and the emission (digit_emission.h)
// writes its code.
#ifndef TARVEK_DIGITS_COLUMN_PLAN_H
#define TARVEK_DIGITS_COLUMN_PLAN_H

#include <string>
#include <vector>

namespace tarvek {

// Input bits low to low + bits - 1, within one input byte.
struct InputPart {
  int low = 0;
  int bits = 1;
};

enum class SourceKind {
  // A part of the input.
  kPart,
  // A group: the sum of its parts.
  kGroup,
  // floor(group / 2).
  kHalf,
  // group mod 2.
  kOdd,
};

struct Source {
  SourceKind kind = SourceKind::kPart;
  // Into the plan's parts for kPart, into its groups otherwise.
  int index = 0;
  friend bool operator==(const Source&, const Source&) = default;
};

struct ColumnTerm {
  Source source;
  // Nonzero.
  int coefficient = 1;
};

// Some parts summed in a byte of their own.
struct Group {
  std::vector<int> parts;
};

struct Chunk {
  std::vector<ColumnTerm> terms;
  // Added to the chunk's value.
  int constant = 0;
  // Quotients by base^1 .. base^levels carried up; 0 for the top column.
  int levels = 1;
  // Leaves the remainder before it aside (never a column's first chunk).
  bool fresh = false;
};

struct Column {
  // At least one, the top column's exactly one.
  std::vector<Chunk> chunks;
};

// The choices a plan is made from (plan_families.h).
struct PlanChoices {
  // 8 (one part when the input has at most 8 bits), 4 or 1.
  int part_bits = 4;
  // The weights' digits above this become digit - base, one carried up; the base for none.
  int balance_above = 256;
  // Terms whose coefficient is this or more in size are halved (even bases from 4); 0 for none.
  int halve_from = 0;
  bool deep_levels = false;
  // The chunks' ranges taken over every input (inputs of at most kEveryInputBits bits).
  bool every_input = false;
};

struct ColumnPlan {
  std::vector<InputPart> parts;
  std::vector<Group> groups;
  // One a digit, the least significant first.
  std::vector<Column> columns;
  // A short name of the way it was made, for the comment block and the search's trace.
  std::string name;
  PlanChoices choices;
  // The chunks' ranges are those their values take over every input (every_input.h), not
  // bounds by intervals; only for inputs of at most kEveryInputBits bits.
  bool every_input = false;
};

// The largest value a source takes.
int source_max(const ColumnPlan& plan, const Source& source);

// "p3", "g1", "g1/2", "g1%2".
std::string source_text(const Source& source);

// The plan's terms and chunks, one line a column, for test messages.
std::string describe(const ColumnPlan& plan);

}  // namespace tarvek

#endif  // TARVEK_DIGITS_COLUMN_PLAN_H
