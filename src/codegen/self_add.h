// reg += reg >> 8m in place: each byte takes in the byte m places above it, least
// significant first, so every byte is read before the step that changes it. A shift by whole
// bytes costs nothing but the addition: no copy, no shift. On the enhanced core each byte
// above the lowest takes the carry in with addwfc.
#ifndef TARVEK_CODEGEN_SELF_ADD_H
#define TARVEK_CODEGEN_SELF_ADD_H

#include <string>

#include "codegen/code_writer.h"
#include "codegen/register.h"

namespace tarvek {

// reg += floor(reg / 2^(8 byte_shift)) for an unsigned reg, keeping its width, spare and the
// writer's carry state true as the register addition does (a carry out of the top byte is
// left pending exactly when the sum may not fit). A pending carry is stored first. Empties
// the writer's code first and returns it.
// Requires: reg not signed; 1 <= byte_shift.
const Code& add_upper_bytes(CodeWriter& writer, Register& reg, int byte_shift);

// reg += floor(reg / 16) in place, keeping reg's width, spare and the writer's carry state true
// as add_upper_bytes does. Each byte takes in the nibbles on either side of its high nibble,
// built in W (through byte 0 of `scratch`, which it overwrites), least significant byte first,
// so every byte is read before the step that changes it; the top byte's addend is a nibble,
// so the carry from below goes into it with addlw 1 (or addwfc) and no copy is kept.
// Requires: reg not signed; scratch another register.
const Code& add_nibble_down(CodeWriter& writer, Register& reg, Register& scratch);

}  // namespace tarvek

#endif  // TARVEK_CODEGEN_SELF_ADD_H
