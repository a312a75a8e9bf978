// dst := src >> k for an unsigned register, in one pass over the bytes instead of a copy
// followed by a shift: whole bytes are read from their new places, a shift by four takes
// each byte's nibbles from two source bytes with swapf, and any other shift takes its first
// bit straight from src into dst (on the enhanced core with lsrf, which needs no clrc); a
// shift by 8 m - L with few L is L shifts left of the bytes one place up instead, the byte
// below feeding them through one more scratch byte of dst's, when that is shorter.
#ifndef TARVEK_CODEGEN_SHIFTED_COPY_H
#define TARVEK_CODEGEN_SHIFTED_COPY_H

#include <string>

#include "codegen/code_writer.h"
#include "codegen/register.h"

namespace tarvek {

// Sets dst (its name, byte order and base kept) to src's value shifted right by k bits,
// truncating, and its width, spare, bytes (one past the value's when the scratch byte is used)
// and flags to match; src is left as it was. A pending
// carry is stored first. Empties the writer's code first and returns it.
// Requires: src not signed; dst names bytes apart from src's; k >= 1.
const Code& copy_shifted_right(CodeWriter& writer, Register& dst, Register& src, int k);

}  // namespace tarvek

#endif  // TARVEK_CODEGEN_SHIFTED_COPY_H
