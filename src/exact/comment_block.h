// The comment block of an exact routine: what it computes, exactly and plainly (the constant
// as a fraction and a decimal, the rounding, the input range it holds for, the range of the
// results), how (the form around the unsigned routine and the candidate's steps), why it is
// right (how the proof covered the inputs) and what it costs, then the Input and Output lines
// in the same format as every routine's, and for the enhanced core the line that names it.
#ifndef TARVEK_EXACT_COMMENT_BLOCK_H
#define TARVEK_EXACT_COMMENT_BLOCK_H

#include <string>

#include "codegen/core.h"
#include "exact/search.h"

namespace tarvek {

// Everything up to and including the Output line (the Remainder line after it for a routine
// that leaves its remainder in names.rem, and the core's line after those for a routine of the
// enhanced core), without a line break after it (the declarations that follow begin with
// their own).
std::string exact_comment_block(const ExactSpec& spec, const SpecResult& found,
                                const RoutineNames& names, Core core = Core::kMidrange);

}  // namespace tarvek

#endif  // TARVEK_EXACT_COMMENT_BLOCK_H
