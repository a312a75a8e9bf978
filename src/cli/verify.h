// --verify: runs a generated routine on our PIC16 simulator and describes, as comment lines
// that can follow the routine in an assembly file, what the runs showed.
//
// The runs and their judgement belong to the routine check (sim/routine_check.h): every
// result must equal the computation the routine's own comment block documents. On top of
// that this measures what the comment block does not say: how far the results lie from the
// exact product the user asked for.
#ifndef TARVEK_CLI_VERIFY_H
#define TARVEK_CLI_VERIFY_H

#include <cstdint>
#include <string>

#include "cli/deviation.h"
#include "sim/routine_check.h"

namespace tarvek {

// Every input is run up to this width; wider inputs are sampled.
inline constexpr int kExhaustiveBits = 20;
// Pseudo-random inputs run, besides the edge values, for a wider input.
inline constexpr int kRandomInputs = 1 << 20;

// What the verification is measured against.
struct VerifyTarget {
  ExactTarget exact;
  // How the comment lines name the exact product: "input * 10", "input / 3".
  std::string description;
  // The routine reads a two's-complement input and writes a two's-complement result.
  bool is_signed = false;
  // The routine writes digits, not a product: no deviation from one is told (`exact` and
  // `description` are not read).
  bool digits = false;
};

struct VerifyOutcome {
  // Every run left the documented product.
  bool passed = false;
  // The comment lines, each starting with ';' and ending in a line break.
  std::string comment;
};

// Runs `routine` for the inputs described above, each from arbitrary starting values, and
// reports: the inputs checked, that every result matched (or the first mismatch), the
// instruction and cycle counts, and the worst absolute and relative deviation from `target`.
// Requires: routine.input_bits between 1 and 32.
VerifyOutcome verify_routine(const RoutineUnderCheck& routine, const VerifyTarget& target);

// `value` in the shortest decimal form that reads back as the same double ("10", "0.1").
std::string shortest_decimal(double value);

// `value` with up to six decimals, trailing zeros dropped ("0", "-0.5", "12.345679"); a
// nonzero value that would print as 0 is printed in scientific notation instead.
std::string deviation_text(long double value);

}  // namespace tarvek

#endif  // TARVEK_CLI_VERIFY_H
