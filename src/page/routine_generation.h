// Chooses the generator a valid request asks for: the approximating one, or the search for
// a proven exact routine.
#ifndef TARVEK_PAGE_ROUTINE_GENERATION_H
#define TARVEK_PAGE_ROUTINE_GENERATION_H

#include <ostream>

#include "codegen/generator.h"
#include "codegen/register.h"

namespace tarvek {

// Writes the generated block for `request` (validated) and returns 0, or writes nothing and
// returns the numbered error that refuses it after all (11: no exact routine could be proven).
// `acc` is the input register (width = input bits), `temp` the temporary register (width 0).
int generate_routine(std::ostream& out, const GeneratorRequest& request, Register& acc,
                     Register& temp);

}  // namespace tarvek

#endif  // TARVEK_PAGE_ROUTINE_GENERATION_H
