// The shift generators: straight-line PIC code that multiplies or divides a multi-byte
// register by a power of two, keeping the register descriptor true to the value the code
// leaves behind.
#ifndef TARVEK_CODEGEN_SHIFT_H
#define TARVEK_CODEGEN_SHIFT_H

#include "codegen/code.h"
#include "codegen/code_writer.h"
#include "codegen/register.h"

namespace tarvek {

// Shifts `reg` left by n bits, growing it at the top so no value bit is lost; width grows
// by n. Returns the writer's code (emptied first).
// Requires: 1 <= n <= 31.
const Code& shift_left(CodeWriter& writer, Register& reg, int n);

// Shifts `reg` right by n bits, dropping the bits shifted out (arithmetically when the
// register is signed) and taking in a pending carry at the top; afterwards `reg` is the
// writer's carry register with both flags clear. When an unsigned register's n >= width no
// code is written: the register becomes zero (is_zero; a pending carry stays pending only when
// n == width, as the value's one bit) and no instruction is returned while the writer's code
// keeps its content. A signed register never becomes zero: it is shifted by at most the bits
// below its sign, keeping 0 or -1, and one holding nothing but its sign gets no code at all.
// Requires: n >= 1.
Code shift_right(CodeWriter& writer, Register& reg, int n);

}  // namespace tarvek

#endif  // TARVEK_CODEGEN_SHIFT_H
