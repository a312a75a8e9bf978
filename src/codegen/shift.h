// The shift generators: straight-line PIC code that multiplies or divides a multi-byte
// register by a power of two, keeping the register descriptor true to the value the code
// leaves behind.
#ifndef TARVEK_CODEGEN_SHIFT_H
#define TARVEK_CODEGEN_SHIFT_H

#include <string>

#include "codegen/code_writer.h"
#include "codegen/register.h"

namespace tarvek {

// Shifts `reg` left by n bits, growing it at the top so no value bit is lost; width grows
// by n. Returns the writer's text (emptied first).
// Requires: 1 <= n <= 31.
const std::string& shift_left(CodeWriter& writer, Register& reg, int n);

// Shifts `reg` right by n bits, dropping the bits shifted out (arithmetically when the
// register is signed) and taking in a pending carry at the top. When n >= width no code is
// written: the register becomes zero and an empty text is returned while the writer's text
// keeps its content.
// Requires: n >= 1.
std::string shift_right(CodeWriter& writer, Register& reg, int n);

}  // namespace tarvek

#endif  // TARVEK_CODEGEN_SHIFT_H
