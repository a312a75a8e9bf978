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

// Everything up to and including the Output line (and the core's line after it for a routine
// of the enhanced core), without a line break after it (the declarations that follow begin
// with their own). A `ram_bytes` of 0 or more is told on the Routine line after the cycles
// ("; Routine: 54 instructions, 54 cycles, 7 bytes of RAM", or "1 byte"); -1 leaves that line as
// it was.
std::string exact_comment_block(const ExactSpec& spec, const SpecResult& found,
                                const std::string& acc_name, Core core = Core::kMidrange,
                                int ram_bytes = -1);

}  // namespace tarvek

#endif  // TARVEK_EXACT_COMMENT_BLOCK_H
