// Multiples of a constant modulo a power of 256: the arithmetic of remainders, where only the
// low bytes of a x + b - d q are wanted because the true value is known to fit them.
//
// The one-byte forms keep the multiplicand in W and double it there (or, on the enhanced
// core, double the target in place with lslf); the multi-byte form shifts a copy of the
// multiplicand in place, by whole bytes where it can, and adds or subtracts it at each nonzero
// digit of the constant's signed binary form, so a constant such as 1000 = 1024 - 32 + 8
// costs three additions. Every sum wraps modulo 2^(8 bytes); nothing here keeps a register
// descriptor's width, and the writer's carry state is left alone (the caller knows C is
// changed).
#ifndef TARVEK_CODEGEN_MODULAR_MULTIPLE_H
#define TARVEK_CODEGEN_MODULAR_MULTIPLE_H

#include <cstdint>

#include "codegen/code_writer.h"
#include "codegen/register.h"

namespace tarvek {

// target := source * m modulo 256, one byte each (different bytes), by the bits of m from the
// top: double, then add the source where the bit is set. Appends to the writer's code.
// Requires: 0 <= m <= 255.
void multiply_byte(CodeWriter& writer, Register& target, Register& source, int source_byte, int m);

// target -= source * m modulo 256 (byte 0 of target and of scratch, `source_byte` of source),
// by the bits of m from the bottom: W holds source * 2^j, subtracted where bit j is set, and
// doubled between the set bits, the first time by adding the source byte itself, later through
// the scratch byte. With `last_into_w` the last subtraction leaves the difference in W instead
// of target. Appends to the writer's code.
// Requires: 1 <= m <= 255; three different bytes.
void subtract_byte_multiple(CodeWriter& writer, Register& target, Register& source, int source_byte,
                            Register& scratch, int m, bool last_into_w);

// The low `bytes` bytes of target += source (or -= with `subtract`), modulo 2^(8 bytes), in
// the core's carry idiom. C ends as the carry (no borrow) out of the top byte. Appends to the
// writer's code.
// Requires: 1 <= bytes <= 8, both registers with at least `bytes` value bytes, apart.
void add_bytes(CodeWriter& writer, Register& target, Register& source, int bytes, bool subtract);

// The low `bytes` bytes of multiplicand shifted left by n modulo 2^(8 bytes), in place.
// Appends to the writer's code.
void shift_bytes_left(CodeWriter& writer, Register& reg, int bytes, int n);

// target += multiplicand * m (or -= with `subtract`) modulo 2^(8 bytes), low `bytes` bytes of
// each; the multiplicand is shifted in place and left as it ends. Appends to the writer's code.
// Requires: 1 <= bytes <= 8; m >= 1; the registers apart.
void add_multiple_in_place(CodeWriter& writer, Register& target, Register& multiplicand, int bytes,
                           uint64_t m, bool subtract);

}  // namespace tarvek

#endif  // TARVEK_CODEGEN_MODULAR_MULTIPLE_H
