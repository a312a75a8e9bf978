#include "codegen/remainder_step.h"

#include <algorithm>
#include <cassert>

#include "codegen/constant_add.h"
#include "codegen/modular_multiple.h"

namespace tarvek {
namespace {

uint64_t modulo_bytes(uint64_t value, int bytes) {
  return bytes >= 8 ? value : value & ((uint64_t{1} << (8 * bytes)) - 1);
}

// r -= d q modulo 256 for a one-byte remainder: W doubled through the scratch byte, or on the
// enhanced core, from d = 8 on, the product made in the scratch byte by lslf and subtracted
// once (as the correction step does).
void subtract_byte_product(CodeWriter& writer, Register& remainder, Register& quotient, int low,
                           Register& scratch, int d) {
  if (writer.enhanced() && d >= 8) {
    multiply_byte(writer, scratch, quotient, low, d);
    writer.movf_w(scratch, 0);
    writer.subwf_f(remainder, 0);
    return;
  }
  subtract_byte_multiple(writer, remainder, quotient, low, scratch, d, false);
}

}  // namespace

bool saves_input_in_remainder(const RemainderStep& step) {
  return modulo_bytes(step.a, step.bytes) == 1;
}

const Code& compute_remainder(CodeWriter& writer, Register& remainder, Register& saved,
                              Register& quotient, int quotient_bytes, int quotient_count,
                              Register& scratch, const RemainderStep& step) {
  const int bytes = step.bytes;
  assert(bytes >= 1 && bytes <= 8);
  assert(quotient_bytes >= 1 && quotient_bytes <= quotient_count);
  writer.clear_code();
  const uint64_t a = modulo_bytes(step.a, bytes);
  const uint64_t b = modulo_bytes(step.b, bytes);
  const uint64_t d = modulo_bytes(step.d, bytes);
  if (bytes == 1) {
    if (a != 1) multiply_byte(writer, remainder, saved, 0, static_cast<int>(a));
    if (b != 0) {
      writer.movlw(static_cast<int>(b));
      writer.addwf_f(remainder, 0);
    }
    if (d != 0) {
      const int low = byte_from_low(quotient, quotient_count, 0);
      subtract_byte_product(writer, remainder, quotient, low, scratch, static_cast<int>(d));
    }
    return writer.code;
  }
  if (a != 1) {
    for (int k = 0; k < bytes; ++k) writer.clrf(remainder, k);
    if (a != 0) add_multiple_in_place(writer, remainder, saved, bytes, a, false);
  }
  if (b != 0) add_literal_bytes(writer, remainder, bytes, b);
  if (d != 0) {
    // The quotient's low bytes, copied to be shifted; bytes above the quotient are 0.
    for (int k = 0; k < bytes; ++k) {
      const int to = byte_from_low(scratch, bytes, k);
      if (k < quotient_bytes) {
        writer.movf_w(quotient, byte_from_low(quotient, quotient_count, k));
        writer.movwf(scratch, to);
      } else {
        writer.clrf(scratch, to);
      }
    }
    add_multiple_in_place(writer, remainder, scratch, bytes, d, true);
  }
  return writer.code;
}

}  // namespace tarvek
