// Chooses the generator a valid request asks for: the approximating one, or the search for
// a proven exact routine.
#ifndef TARVEK_PAGE_ROUTINE_GENERATION_H
#define TARVEK_PAGE_ROUTINE_GENERATION_H

#include <ostream>
#include <string_view>

#include "codegen/generator.h"
#include "codegen/register.h"
#include "page/printed_check.h"

namespace tarvek {

// Writes the generated block for `request` (validated) in its packaging and returns 0, or
// writes nothing and returns the numbered error that refuses it after all: 11 when no exact
// routine could be proven, or when the routine as printed (read back from its text,
// packaged_reading.h) fails on the simulator (printed_check.h); 4 when the register names
// print some byte of the routine twice; 44 when a pic-as routine's registers would reach 0x80
// from its address; 45 when a PIC18 routine's would reach past the access bank.
// `acc` is the input register (width = input bits), `temp` the temporary register (width 0).
int generate_routine(std::ostream& out, const GeneratorRequest& request, Register& acc,
                     Register& temp);

// Writes `routine.block` and returns 0 when the routine in it holds (printed_check.h, every
// input up to `exhaustive_bits` bits); otherwise writes nothing and returns 4 when its names
// clash, 11 when it fails.
int print_checked(std::ostream& out, const PrintedRoutine& routine, int exhaustive_bits);
// The same, writing `text` (whose block `routine.block` is) when the routine holds.
int print_checked_as(std::ostream& out, const PrintedRoutine& routine, std::string_view text,
                     int exhaustive_bits);

}  // namespace tarvek

#endif  // TARVEK_PAGE_ROUTINE_GENERATION_H
