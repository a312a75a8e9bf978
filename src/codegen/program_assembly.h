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

#include "codegen/decomposition.h"
#include "codegen/register.h"

namespace tarvek {

// Returns "\n\n\tcblock\n", the declarations of the registers the routine reads,
// "\tendc\n\n", the instructions and a closing "\n". `acc` holds the input (width = input
// bits) and receives the product; `temp` is the temporary register (width 0). Both are left
// as the generation left them; one digit of `decomposition` may be cleared.
// Requires: output_bits between 1 and 63; the decomposition comes from decompose() for acc.
std::string assemble_program(Decomposition& decomposition, int output_bits, Register& acc,
                             Register& temp);

}  // namespace tarvek

#endif  // TARVEK_CODEGEN_PROGRAM_ASSEMBLY_H
