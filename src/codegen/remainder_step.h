// The remainder of an exact quotient, r = a x + b - d q, made after the quotient q from the
// input's low bytes saved before the quotient's routine overwrote them.
//
// Only r modulo 2^(8 bytes) is computed: when the caller knows the true r to lie in
// [0, 2^(8 bytes)) (for a proven quotient floor((a x + b) / d) it lies in [0, d)), that is r
// itself. a x and d q are made by the modular multiples of codegen/modular_multiple.h, which
// cost a few additions for constants of few signed binary digits.
#ifndef TARVEK_CODEGEN_REMAINDER_STEP_H
#define TARVEK_CODEGEN_REMAINDER_STEP_H

#include <cstdint>

#include "codegen/code_writer.h"
#include "codegen/register.h"

namespace tarvek {

struct RemainderStep {
  // The target's a, b and d; only their values modulo 2^(8 bytes) matter.
  uint64_t a = 1;
  uint64_t b = 0;
  uint64_t d = 2;
  // The remainder's bytes, 1 to 8.
  int bytes = 1;
};

// Whether the input is saved into the remainder register itself (a is 1 modulo 2^(8 bytes):
// r = x + b - d q is made in place), rather than apart from it.
bool saves_input_in_remainder(const RemainderStep& step);

// remainder := a x + b - d q modulo 2^(8 bytes). x's low `bytes` bytes are on entry in
// `remainder` when saves_input_in_remainder(step), else in `saved` (then overwritten). q is
// the low `quotient_bytes` bytes of `quotient`, which has `quotient_count` bytes in its byte
// order (the bytes above q's are taken as 0). `scratch` has `bytes` bytes (one byte for a
// one-byte remainder), overwritten; it may be `saved`. Empties the writer's code first and
// returns it; C is changed.
// Requires: 1 <= bytes <= 8; 1 <= quotient_bytes <= quotient_count; remainder, the input copy,
// scratch and quotient bytes apart (scratch and saved may be one register).
const Code& compute_remainder(CodeWriter& writer, Register& remainder, Register& saved,
                              Register& quotient, int quotient_bytes, int quotient_count,
                              Register& scratch, const RemainderStep& step);

}  // namespace tarvek

#endif  // TARVEK_CODEGEN_REMAINDER_STEP_H
