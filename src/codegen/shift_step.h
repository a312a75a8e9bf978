// The first step of a shift pass over a multi-byte register: the end byte shifted with a
// known bit coming in, in the cheapest form the writer's core has.
//
// The mid-range core rotates through the carry, so it first sets the carry up (clrc for a
// zero, rlf of the byte into W for the sign); the enhanced core shifts the byte directly
// (lslf, lsrf, asrf). Both forms leave the same byte and the bit shifted out in the carry,
// which the rest of the pass rotates on; W is changed only by the mid-range sign step, which
// the W record then forgets.
#ifndef TARVEK_CODEGEN_SHIFT_STEP_H
#define TARVEK_CODEGEN_SHIFT_STEP_H

#include "codegen/code_writer.h"
#include "codegen/register.h"

namespace tarvek {

// Byte `byte` of `reg` shifted left in place with a zero into bit 0.
void shift_left_from_zero(CodeWriter& writer, Register& reg, int byte);

// Byte `byte` of `reg` shifted right with a copy of bit 7 into bit 7 when `reg` is signed, a
// zero otherwise; the result goes to W when `to_w`, else back to the byte.
void shift_right_top(CodeWriter& writer, Register& reg, int byte, bool to_w);

}  // namespace tarvek

#endif  // TARVEK_CODEGEN_SHIFT_STEP_H
