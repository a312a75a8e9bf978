// Adds a constant to a multi-byte register: the offset step of the exact routines (x + c,
// or the half that turns a truncation into a rounding).
//
// Like the register addition it keeps the descriptor and the writer's carry state true: the
// register grows by the bit the sum may need, and a carry out of its top byte is left pending
// in C exactly when the sum may not fit the register's value bytes.
#ifndef TARVEK_CODEGEN_CONSTANT_ADD_H
#define TARVEK_CODEGEN_CONSTANT_ADD_H

#include <cstdint>
#include <string>

#include "codegen/code_writer.h"
#include "codegen/register.h"

namespace tarvek {

// reg += value. A pending carry (of any register) is stored first; reg gains cleared top
// bytes when the constant has more bytes than its value. Empties the writer's text first and
// returns it.
// Requires: reg is not signed; value > 0.
const std::string& add_constant(CodeWriter& writer, Register& reg, uint64_t value);

}  // namespace tarvek

#endif  // TARVEK_CODEGEN_CONSTANT_ADD_H
