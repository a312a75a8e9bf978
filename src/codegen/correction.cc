#include "codegen/correction.h"

#include <cassert>
#include <utility>

#include "codegen/modular_multiple.h"

namespace tarvek {
namespace {

// q += 1 over the low `bytes` bytes of `quotient`, written behind a skip that leaves out the
// first increment. Z must be clear whenever that skip is taken: each further byte is then
// incremented only when the one below wrapped to zero.
void increment_behind_skip(CodeWriter& writer, Register& quotient, int bytes) {
  const int count = quotient.value_bytes();
  writer.incf_f(quotient, byte_from_low(quotient, count, 0));
  for (int k = 1; k < bytes; ++k) {
    writer.skpnz();
    writer.incf_f(quotient, byte_from_low(quotient, count, k));
  }
}

// q += C over the low `bytes` bytes of `quotient`. A borrow (C clear) leaves a nonzero
// difference, so Z is clear exactly when the increment of the low byte was skipped. On the
// enhanced core, from two bytes on, zero added with the carry through every byte is shorter.
void add_carry(CodeWriter& writer, Register& quotient, int bytes) {
  const int count = quotient.value_bytes();
  if (writer.carry_arithmetic() && bytes >= 2) {
    writer.movlw(0);
    for (int k = 0; k < bytes; ++k) writer.addwfc_f(quotient, byte_from_low(quotient, count, k));
    return;
  }
  writer.skpnc();
  increment_behind_skip(writer, quotient, bytes);
}

// How a step tells whether r >= d.
enum class Comparison {
  // r is only in W: adding 256 - d sets C exactly when r >= d (not on the baseline core).
  kAddToW,
  // r - d is made in place of r (d taken off with the target's b): in [-d, d), as d <= 128
  // for a single step, so its bit 7 is clear exactly when r >= d, and btfss tests it.
  kSignOfDifference,
  // d loaded and subtracted from r into W: C is set exactly when r >= d, and W holds r - d.
  kSubtractLiteral,
};

// A single step compares in W on the cores with addlw (whose routines stay as they always
// were). The baseline core has none: where the target adds its b anyway, taking d off with it
// costs nothing and one btfss stands for addlw and skpnc; otherwise d is loaded, one
// instruction more than addlw (the sign test would add b = -d for two, and save one).
// A remainder that is kept needs r - d stored where r >= d, which only the subtraction from r
// leaves in W.
Comparison comparison_of(const CodeWriter& writer, const CorrectionStep& step) {
  if (step.steps > 1 || step.keep_remainder) return Comparison::kSubtractLiteral;
  if (!writer.baseline()) return Comparison::kAddToW;
  return (step.b & 0xFF) != 0 ? Comparison::kSignOfDifference : Comparison::kSubtractLiteral;
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

  // r = a (x mod 256) + b - d (q mod 256), modulo 256; with the sign test r - d instead. A
  // remainder that is kept is made in `remainder`, from x in `scratch` when a is not 1.
  const Comparison comparison = comparison_of(writer, step);
  const int b = comparison == Comparison::kSignOfDifference ? step.b - step.d : step.b;
  Register* r = &remainder;
  Register* spare = &scratch;
  if ((step.a & 0xFF) != 1) {
    if (step.keep_remainder) std::swap(r, spare);
    multiply_byte(writer, *spare, *r, 0, step.a & 0xFF);
    std::swap(r, spare);
  }
  if ((b & 0xFF) != 0) {
    writer.movlw(b & 0xFF);
    writer.addwf_f(*r, 0);
  }
  // r -= d (q mod 256). For d of L bits, P of them set, doubling W through the scratch byte
  // takes 2 L + P - 1 instructions; the enhanced core's lslf doubles the scratch byte in place,
  // so the product made there and subtracted once takes L + P + 2, fewer from four bits on.
  // The last subtraction sets Z from r - d for the sign test, whose skip needs it clear.
  const bool into_w = comparison == Comparison::kAddToW;
  if (writer.enhanced() && step.d >= 8) {
    multiply_byte(writer, *spare, quotient, low, step.d);
    writer.movf_w(*spare, 0);
    into_w ? writer.subwf_w(*r, 0) : writer.subwf_f(*r, 0);
  } else {
    subtract_byte_multiple(writer, *r, quotient, low, *spare, step.d, into_w);
  }

  for (int i = 0; i < step.steps; ++i) {
    switch (comparison) {
      case Comparison::kAddToW:
        writer.addlw(256 - step.d);
        add_carry(writer, quotient, quotient_bytes);
        break;
      case Comparison::kSignOfDifference:
        writer.btfss(*r, 0, 7);
        increment_behind_skip(writer, quotient, quotient_bytes);
        break;
      case Comparison::kSubtractLiteral:
        // C = (r >= d); the difference stays in W, and becomes r while another step follows,
        // and after the last one too when the remainder is kept.
        writer.movlw(step.d);
        writer.subwf_w(*r, 0);
        if (i + 1 < step.steps || step.keep_remainder) {
          writer.skpnc();
          writer.movwf_skippable(*r, 0);
        }
        add_carry(writer, quotient, quotient_bytes);
        break;
    }
  }
  // The quotient is no longer what the carry state described.
  writer.set_carry_known(false, quotient);
  writer.set_carry_overflow(false, quotient);
  return writer.code;
}

}  // namespace tarvek
