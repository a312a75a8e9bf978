#include "codegen/correction.h"

#include <cassert>
#include <utility>

namespace tarvek {
namespace {

// target := source * m modulo 256 (one byte each; different bytes), by the bits of m from the
// top: double, then add the source where the bit is set.
void multiply_byte(CodeWriter& writer, Register& target, Register& source, int source_byte, int m) {
  assert(m >= 0 && m <= 255);
  if (m == 0) {
    writer.clrf(target, 0);
    return;
  }
  int bit = 7;
  while (((m >> bit) & 1) == 0) --bit;
  writer.movf_w(source, source_byte);
  writer.movwf(target, 0);
  if (writer.enhanced()) {
    // lslf doubles in one instruction and leaves W alone, as addwf into a file does, so W
    // holds the source from the copy on (the W record names the target, which lslf then
    // changes, so the record cannot say so).
    for (--bit; bit >= 0; --bit) {
      writer.lslf_f(target, 0);
      if (((m >> bit) & 1) != 0) writer.addwf_f(target, 0);
    }
    return;
  }
  for (--bit; bit >= 0; --bit) {
    writer.movf_w(target, 0);
    writer.addwf_f(target, 0);
    if (((m >> bit) & 1) != 0) {
      writer.movf_w(source, source_byte);
      writer.addwf_f(target, 0);
    }
  }
}

// target -= W, or W = target - W with `into_w`.
void subtract(CodeWriter& writer, Register& target, bool into_w) {
  if (into_w) {
    writer.subwf_w(target, 0);
  } else {
    writer.subwf_f(target, 0);
  }
}

// target -= source * m modulo 256, by the bits of m from the bottom: W holds source * 2^j,
// subtracted where bit j is set, and doubled between the set bits: the first time by adding
// the source byte itself, which W then still equals, later through the scratch byte (movwf,
// addwf into W). With `last_into_w` the last subtraction leaves the difference in W instead
// of target.
void subtract_multiple(CodeWriter& writer, Register& target, Register& source, int source_byte,
                       Register& scratch, int m, bool last_into_w) {
  assert(m >= 1 && m <= 255);
  writer.movf_w(source, source_byte);
  const int top = 31 - __builtin_clz(static_cast<unsigned>(m));
  for (int bit = 0; bit <= top; ++bit) {
    if (bit == top) {
      subtract(writer, target, last_into_w);
      break;
    }
    if (((m >> bit) & 1) != 0) writer.subwf_f(target, 0);
    if (bit == 0) {
      writer.addwf_w(source, source_byte);
    } else {
      writer.movwf(scratch, 0);
      writer.addwf_w(scratch, 0);
    }
  }
}

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
  if (writer.enhanced() && bytes >= 2) {
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
Comparison comparison_of(const CodeWriter& writer, const CorrectionStep& step) {
  if (step.steps > 1) return Comparison::kSubtractLiteral;
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

  // r = a (x mod 256) + b - d (q mod 256), modulo 256; with the sign test r - d instead.
  const Comparison comparison = comparison_of(writer, step);
  const int b = comparison == Comparison::kSignOfDifference ? step.b - step.d : step.b;
  Register* r = &remainder;
  Register* spare = &scratch;
  if ((step.a & 0xFF) != 1) {
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
    subtract(writer, *r, into_w);
  } else {
    subtract_multiple(writer, *r, quotient, low, *spare, step.d, into_w);
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
        // C = (r >= d); the difference stays in W, and becomes r while another step follows.
        writer.movlw(step.d);
        writer.subwf_w(*r, 0);
        if (i + 1 < step.steps) {
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
