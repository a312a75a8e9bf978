#include "codegen/correction.h"

#include <cassert>
#include <utility>

#include "codegen/modular_multiple.h"

namespace tarvek {
namespace {

// q += C over the low `bytes` bytes of `quotient`. A borrow (C clear) leaves a nonzero
// difference, so Z is clear exactly when the increment of the low byte was skipped, and each
// further byte is incremented only when the one below wrapped to zero. On the enhanced core,
// from two bytes on, zero added with the carry through every byte is shorter.
void add_carry(CodeWriter& writer, Register& quotient, int bytes) {
  const int count = quotient.value_bytes();
  if (writer.enhanced() && bytes >= 2) {
    writer.movlw(0);
    for (int k = 0; k < bytes; ++k) writer.addwfc_f(quotient, byte_from_low(quotient, count, k));
    return;
  }
  writer.skpnc();
  writer.incf_f(quotient, byte_from_low(quotient, count, 0));
  for (int k = 1; k < bytes; ++k) {
    writer.skpnz();
    writer.incf_f(quotient, byte_from_low(quotient, count, k));
  }
}

}  // namespace

const Code& correct_quotient(CodeWriter& writer, Register& quotient, int quotient_bytes,
                             Register& remainder, Register& scratch, const CorrectionStep& step) {
  assert(step.d >= 2 && step.d <= 255 && step.steps >= 1 && (step.steps + 1) * step.d <= 256);
  assert(quotient_bytes >= 1 && quotient_bytes <= quotient.value_bytes());
  writer.clear_code();
  // A pending carry belongs to some register's value: store it before the flags are used.
  writer.flush_carry();
  const int count = quotient.value_bytes();
  const int low = byte_from_low(quotient, count, 0);

  // r = a (x mod 256) + b - d (q mod 256), modulo 256. A remainder that is kept is made in
  // `remainder`, from x in `scratch` when a is not 1.
  Register* r = &remainder;
  Register* spare = &scratch;
  if ((step.a & 0xFF) != 1) {
    if (step.keep_remainder) std::swap(r, spare);
    multiply_byte(writer, *spare, *r, 0, step.a & 0xFF);
    std::swap(r, spare);
  }
  if ((step.b & 0xFF) != 0) {
    writer.movlw(step.b & 0xFF);
    writer.addwf_f(*r, 0);
  }
  // r -= d (q mod 256). For d of L bits, P of them set, doubling W through the scratch byte
  // takes 2 L + P - 1 instructions; the enhanced core's lslf doubles the scratch byte in place,
  // so the product made there and subtracted once takes L + P + 2, fewer from four bits on.
  // A single step needs r only in W, unless it is kept: adding 256 - d to it then sets C
  // exactly when r >= d.
  const bool single = step.steps == 1 && !step.keep_remainder;
  if (writer.enhanced() && step.d >= 8) {
    multiply_byte(writer, *spare, quotient, low, step.d);
    writer.movf_w(*spare, 0);
    single ? writer.subwf_w(*r, 0) : writer.subwf_f(*r, 0);
  } else {
    subtract_byte_multiple(writer, *r, quotient, low, *spare, step.d, single);
  }

  for (int i = 0; i < step.steps; ++i) {
    // C = (r >= d); the difference stays in W.
    if (single) {
      writer.addlw(256 - step.d);
    } else {
      writer.movlw(step.d);
      writer.subwf_w(*r, 0);
    }
    // The difference replaces r when r >= d: for every step but the last, and for the last
    // too when the remainder is kept.
    if (i + 1 < step.steps || step.keep_remainder) {
      writer.skpnc();
      writer.movwf_skippable(*r, 0);
    }
    add_carry(writer, quotient, quotient_bytes);
  }
  // The quotient is no longer what the carry state described.
  writer.set_carry_known(false, quotient);
  writer.set_carry_overflow(false, quotient);
  return writer.code;
}

}  // namespace tarvek
