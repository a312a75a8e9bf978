// The correction step of an exact routine: from a quotient q that is at most `steps` below
// the true one, the true quotient, found with a one-byte remainder.
//
// For the target floor((a x + b) / d) and q within steps of it from below, the remainder
// r = a x + b - d q lies in [0, (steps + 1) d). When that range fits a byte, r is known from
// the low bytes alone: r = a (x mod 256) + b - d (q mod 256), all modulo 256. Each step then
// compares r with d and, while r >= d, takes d off r and adds one to q. On the enhanced core
// a product is doubled in place with lslf (d q is made so from d = 8 on, and subtracted once),
// and the carry is added to a quotient of two or more bytes with addwfc. On the baseline core,
// which has no addlw, a single step tests the sign of r - d instead of the carry of r + 256 - d.
#ifndef TARVEK_CODEGEN_CORRECTION_H
#define TARVEK_CODEGEN_CORRECTION_H

#include <string>

#include "codegen/code_writer.h"
#include "codegen/register.h"

namespace tarvek {

struct CorrectionStep {
  // The target's a, b and d modulo 256; d from 2 to 255.
  int a = 1;
  int b = 0;
  int d = 2;
  // Correction steps, 1 or more, with (steps + 1) * d <= 256.
  int steps = 1;
  // The final remainder a x + b - d q, from 0 to d - 1, is left in `remainder`.
  bool keep_remainder = false;
};

// Corrects the quotient held in the low `quotient_bytes` bytes of `quotient` (unsigned; its
// value below 2^(8 quotient_bytes) also after the steps). `remainder` is one byte holding
// x mod 256 on entry; `scratch` is one byte. Both are overwritten. When the remainder is kept,
// x mod 256 is in `scratch` on entry instead if a mod 256 is not 1 (the product a x is made
// in `remainder`), and `remainder` holds the final remainder on exit. Empties the writer's
// code first and returns it.
// Requires: the descriptors name three different bytes for remainder, scratch and every
// quotient byte; quotient_bytes >= 1 and at most quotient's value bytes.
const Code& correct_quotient(CodeWriter& writer, Register& quotient, int quotient_bytes,
                             Register& remainder, Register& scratch, const CorrectionStep& step);

}  // namespace tarvek

#endif  // TARVEK_CODEGEN_CORRECTION_H
