// The steps that let an unsigned routine serve a signed (two's-complement) input: bias the
// input into the unsigned range, take its magnitude and put the sign back, and add a constant
// to the result modulo its bytes.
//
// All of them work on a fixed number of bytes, wrapping modulo 2^(8 bytes), and need nothing
// from the writer's W record or carry state; what they leave in W is recorded as usual. On the
// enhanced core the multi-byte additions take their carry in with addwfc.
#ifndef TARVEK_CODEGEN_SIGNED_STEPS_H
#define TARVEK_CODEGEN_SIGNED_STEPS_H

#include <cstdint>
#include <string>

#include "codegen/code_writer.h"
#include "codegen/register.h"

namespace tarvek {

// x + 2^(bits - 1) for an input of `bits` bits held sign-extended through its bytes: adding
// the sign bit's weight to the top byte flips that bit and, for a negative x, carries the sign
// copies above it out of the byte, so the result is the unsigned value with zeros above.
// Requires: 1 <= bits <= 32; reg has (bits + 7) / 8 value bytes.
const Code& bias_signed_input(CodeWriter& writer, Register& reg, int bits);

// The low `bytes` bytes of reg += value, modulo 2^(8 bytes).
// Requires: 1 <= bytes <= 8, bytes at most reg's value bytes.
const Code& add_constant_wrapping(CodeWriter& writer, Register& reg, int bytes, uint64_t value);

// sign := 0x00 when the value held in reg's `bytes` bytes is not negative, else 0xFF.
// Requires: sign names one byte apart from reg's.
const Code& save_sign(CodeWriter& writer, Register& reg, int bytes, Register& sign);

// reg := (reg + s) xor s over its low `bytes` bytes, with s the saved sign repeated in every
// byte: the magnitude of a negative value, or the negation of a non-negative one; unchanged
// when the sign byte is 0.
const Code& negate_if_signed(CodeWriter& writer, Register& reg, int bytes, Register& sign);

}  // namespace tarvek

#endif  // TARVEK_CODEGEN_SIGNED_STEPS_H
