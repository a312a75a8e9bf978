// The comment block of an exact routine: what it computes, exactly and plainly (the constant
// as a fraction and a decimal, the rounding, the input range it holds for, the range of the
// results), how (the form around the unsigned routine and the candidate's steps), why it is
// right (how the proof covered the inputs) and what it costs, then the Input and Output lines
// in the same format as every routine's, and for another core than the mid-range one the
// lines that name it (and the RAM the routine takes on the baseline core).
#ifndef TARVEK_EXACT_COMMENT_BLOCK_H
#define TARVEK_EXACT_COMMENT_BLOCK_H

#include <string>

#include "codegen/core.h"
#include "exact/search.h"

namespace tarvek {

// Everything up to and including the Output line (the Remainder line after it for a routine
// that leaves its remainder in names.rem, and the core's lines after those for a routine of
// another core than the mid-range one), without a line break after it (the declarations that
// follow begin with their own). A `ram_bytes` of 0 or more is told on the Routine line after
// the cycles ("; Routine: 54 instructions, 54 cycles, 7 bytes of RAM", or "1 byte"); -1
// leaves that line as it was.
std::string exact_comment_block(const ExactSpec& spec, const SpecResult& found,
                                const RoutineNames& names, int ram_bytes = -1);

// Its parts, which a routine written another way (size/) shares:
// the title line, the constant, the rounding, the input range and the results, and an empty
// comment line;
std::string exact_heading(const ExactSpec& spec, const std::string& acc_name);
// "; METHOD:" and the lines of the form around the unsigned routine's own `inner_lines`
// (which name its input u, or x for the direct form), and for a magnitude form the line that
// says the remainder register `rem` (empty for none) is negated with the result;
std::string form_method_lines(const ExactSpec& spec, const Form& form,
                              const std::string& inner_lines, const std::string& rem = {});
// ", 7 bytes of RAM" ("1 byte") for a `ram_bytes` of 0 or more, what the Routine line ends
// with before its line break; empty for -1;
std::string ram_text(int ram_bytes);
// the Input and Output lines of `routine`, the Remainder line when names.rem is set, and the
// lines of the core it is written for (the RAM it takes on the baseline core), each after a
// line break (two before the Input line), without one after the last.
std::string io_lines(const ExactSpec& spec, const EmittedRoutine& routine,
                     const RoutineNames& names);

}  // namespace tarvek

#endif  // TARVEK_EXACT_COMMENT_BLOCK_H
