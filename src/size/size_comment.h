// The comment block of a routine written for size with a loop: the heading every exact
// routine has (what it computes, exactly), the method (the form around the unsigned routine
// and the loop's steps), how the proof covered the inputs (every input through the loop's
// model, or the loop's invariant at both ends of the range), and the Routine line with the
// program words and the cycles, fewest and most where the input decides them; then the
// Input and Output lines and, for the enhanced core, the line that names it.
#ifndef TARVEK_SIZE_SIZE_COMMENT_H
#define TARVEK_SIZE_SIZE_COMMENT_H

#include <string>

#include "codegen/core.h"
#include "exact/signed_form.h"
#include "size/size_search.h"

namespace tarvek {

// "; Routine: 12 words, 162 cycles" for a routine whose runs all take as long, else
// "; Routine: 7 words, 7 to 132 cycles (depending on the input)".
std::string routine_line(int words, long fewest_cycles, long most_cycles);

// Everything up to the Output line (and the core's line), without a line break after it.
// Requires: found is a loop routine (not found.straight).
std::string size_comment_block(const ExactSpec& spec, const SizeResult& found,
                               const RoutineNames& names);

}  // namespace tarvek

#endif  // TARVEK_SIZE_SIZE_COMMENT_H
