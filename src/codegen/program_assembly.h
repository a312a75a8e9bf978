// Program assembly: turns the chosen terms of a constant into the multiplication routine.
//
// From the signed digits it decides the order of shifts, the copy of the accumulator into
// the temporary register, the additions, subtractions and the negation, runs those
// generators through one CodeWriter, and returns the register declarations followed by the
// collected instructions. The writer lives only for one call, so nothing carries over from
// one routine to the next.
#ifndef TARVEK_CODEGEN_PROGRAM_ASSEMBLY_H
#define TARVEK_CODEGEN_PROGRAM_ASSEMBLY_H

#include <string>
#include <string_view>

#include "codegen/code_writer.h"
#include "codegen/core.h"
#include "codegen/decomposition.h"
#include "codegen/register.h"

namespace tarvek {

// Returns "\n\n\tcblock\n", the declarations of the accumulator and of the registers the routine
// reads,
// "\tendc\n\n", the instructions and a closing "\n". `acc` holds the input (width = input
// bits) and receives the product; `temp` is the temporary register (width 0). Both are left
// as the generation left them; one digit of `decomposition` may be cleared. The instructions
// are those of `core`; the computation is the same on every core.
// Requires: output_bits between 1 and 63; the decomposition comes from decompose() for acc.
// `opening` stands in for the first "\n\n\tcblock\n" (generator.h's cblock_opening).
std::string assemble_program(Decomposition& decomposition, int output_bits, Register& acc,
                             Register& temp, Core core = Core::kMidrange,
                             std::string_view opening = "\n\n\tcblock\n");

// The instructions alone, written through `writer` (whose W record and carry state carry on
// into whatever the caller emits next): the walk over the digits, the flush of a pending
// carry when `output_bits` exceeds the width proven, and, when `output_bytes` is positive,
// the fit of the value onto bytes 0 to output_bytes - 1. A copy into `temp` that nothing read
// is replaced by one load, so `temp.used` tells whether temp still holds the copy.
// Requires: output_bits between 1 and 127; the decomposition's digits, term_count, term_end
// and input_bytes consistent with `acc` as decompose() leaves them.
Code assemble_instructions(CodeWriter& writer, Decomposition& decomposition, int output_bits,
                           int output_bytes, Register& acc, Register& temp);

}  // namespace tarvek

#endif  // TARVEK_CODEGEN_PROGRAM_ASSEMBLY_H
