// Adds a constant to a multi-byte register: the offset step of the exact routines (x + c,
// or the half that turns a truncation into a rounding).
//
// Like the register addition it keeps the descriptor and the writer's carry state true: the
// register grows by the bit the sum may need, and a carry out of its top byte is left pending
// in C exactly when the sum may not fit the register's value bytes.
//
// The constant's lowest nonzero byte is added with addwf and starts the carry. On the
// mid-range core each further byte takes the carry in by a skip (the constant's byte plus one
// in W, or a lone one, or nothing for 255 with a carry); on the enhanced core each further
// byte is one addwfc, with W loaded only when the constant's byte changes.
#ifndef TARVEK_CODEGEN_CONSTANT_ADD_H
#define TARVEK_CODEGEN_CONSTANT_ADD_H

#include <cstdint>
#include <string>

#include "codegen/code_writer.h"
#include "codegen/register.h"

namespace tarvek {

// reg += value. A pending carry (of any register) is stored first; reg gains cleared top
// bytes when the constant has more bytes than its value. Empties the writer's code first and
// returns it.
// Requires: reg is not signed; value > 0.
const Code& add_constant(CodeWriter& writer, Register& reg, uint64_t value);

// The byte chain of the low `bytes` bytes of reg += value, modulo 2^(8 bytes), in the
// writer's core's cheapest way: C ends as the carry out of the top byte (clear when value is
// 0, which writes nothing). Appends to the writer's code; the descriptor is left as it was.
// Requires: 1 <= bytes <= reg's value bytes.
void add_literal_bytes(CodeWriter& writer, Register& reg, int bytes, uint64_t value);

}  // namespace tarvek

#endif  // TARVEK_CODEGEN_CONSTANT_ADD_H
