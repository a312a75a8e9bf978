// The comment block of an exact routine: what it computes, exactly and plainly (the constant
// as a fraction and a decimal, the rounding, the input range it holds for, the range of the
// results), how (the form around the unsigned routine and the candidate's steps), why it is
// right (how the proof covered the inputs) and what it costs, then the Input and Output lines
// in the same format as every routine's, and the core's lines (core_lines.h).
#ifndef TARVEK_EXACT_COMMENT_BLOCK_H
#define TARVEK_EXACT_COMMENT_BLOCK_H

#include <string>

#include "exact/search.h"

namespace tarvek {

// Everything up to and including the Output line and the core's lines after it, without a
// line break after them (the declarations that follow begin with their own).
std::string exact_comment_block(const ExactSpec& spec, const SpecResult& found,
                                const RoutineNames& names);

}  // namespace tarvek

#endif  // TARVEK_EXACT_COMMENT_BLOCK_H
