// The add, subtract and negate generators on multi-byte registers: the accumulator `acc`
// (which may become negative) and the temporary register `temp` (a non-negative, shifted
// copy of the input). Each keeps acc's width, spare and bytes and the writer's carry state
// true to what the emitted code leaves behind.
#ifndef TARVEK_CODEGEN_ARITHMETIC_H
#define TARVEK_CODEGEN_ARITHMETIC_H

#include <string>

#include "codegen/code_writer.h"
#include "codegen/register.h"

namespace tarvek {

// Gives acc at least as many value bytes as temp (after flushing a pending carry), clearing
// or sign-extending the new top bytes. Appends to the writer's code.
void extend_to(CodeWriter& writer, Register& acc, Register& temp);

// acc += temp. Returns the writer's code (emptied first).
const Code& add_register(CodeWriter& writer, Register& acc, Register& temp);

// acc -= temp. Returns the writer's code (emptied first).
const Code& subtract_register(CodeWriter& writer, Register& acc, Register& temp);

// reg := -reg in two's complement, widening first when no bit is left for the sign. The carry
// is left alone, except on the enhanced core for four or more bytes, where the one is added
// through the carry: a pending carry of another register is then stored first, and the carry
// state names reg with nothing known. Returns the writer's code (emptied first).
const Code& negate_register(CodeWriter& writer, Register& reg);

}  // namespace tarvek

#endif  // TARVEK_CODEGEN_ARITHMETIC_H
