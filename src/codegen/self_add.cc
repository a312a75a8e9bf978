#include "codegen/self_add.h"

#include <algorithm>
#include <cassert>

namespace tarvek {
namespace {}  // namespace

const Code& add_upper_bytes(CodeWriter& writer, Register& reg, int byte_shift) {
  assert(!reg.is_signed && byte_shift >= 1);
  writer.clear_code();
  writer.flush_carry();
  const int count = reg.value_bytes();
  if (count <= byte_shift) return writer.code;  // the shifted value is 0
  // The paired bytes: byte k takes byte k + byte_shift, with the carry of the byte below
  // taken in by the register addition's idiom (W = addend + 1; a wrap to 0 skips the add and
  // passes the carry on), or by addwfc on the enhanced core.
  const bool enhanced = writer.carry_arithmetic();
  for (int k = 0; k < count - byte_shift; ++k) {
    Register& source = reg;
    const int from = byte_from_low(reg, count, k + byte_shift);
    const int to = byte_from_low(reg, count, k);
    writer.movf_w(source, from);
    if (k > 0 && enhanced) {
      writer.addwfc_f(reg, to);
      continue;
    }
    if (k > 0) {
      writer.skpnc();
      writer.incfsz_w(source, from);
    }
    writer.addwf_f(reg, to);
  }
  // The bytes with nothing above them to take in: only the carry ripples on, as a one added
  // under a skip, or a zero added with the carry.
  if (byte_shift > 0) {
    writer.movlw(enhanced ? 0 : 1);
    for (int k = count - byte_shift; k < count; ++k) {
      if (enhanced) {
        writer.addwfc_f(reg, byte_from_low(reg, count, k));
        continue;
      }
      writer.skpnc();
      writer.addwf_f(reg, byte_from_low(reg, count, k));
    }
  }
  // v + v / 2^(8m) < 2 v: one bit more, which the spare bits may hold.
  writer.set_carry_known(true, reg);
  writer.set_carry_overflow(false, reg);
  if (reg.spare >= 1) {
    reg.width += 1;
    reg.spare -= 1;
  } else {
    writer.set_carry_overflow(true, reg);
  }
  return writer.code;
}

const Code& add_nibble_down(CodeWriter& writer, Register& reg, Register& scratch) {
  assert(!reg.is_signed && &reg != &scratch);
  writer.clear_code();
  writer.flush_carry();
  const int count = reg.value_bytes();
  if (count == 0 || reg.width <= 4) return writer.code;  // the shifted value is 0
  scratch.bytes = std::max(scratch.bytes, 1);
  const bool enhanced = writer.carry_arithmetic();
  // Bytes of v / 16; above them only the carry ripples on.
  const int addend_bytes = (reg.width - 4 + 7) / 8;
  for (int k = 0; k < count; ++k) {
    const int at = byte_from_low(reg, count, k);
    if (k >= addend_bytes) {
      if (k == addend_bytes) writer.movlw(enhanced ? 0 : 1);
      if (enhanced) {
        writer.addwfc_f(reg, at);
      } else {
        writer.skpnc();
        writer.addwf_f(reg, at);
      }
      continue;
    }
    // The byte's own high nibble, low in W.
    writer.swapf_w(reg, at);
    writer.andlw(0x0F);
    if (reg.width <= 8 * (k + 1)) {
      // Nothing above: the addend is below 16, so the carry in cannot wrap it.
      if (k > 0 && enhanced) {
        writer.addwfc_f(reg, at);
        continue;
      }
      if (k > 0 && writer.baseline()) {
        // No addlw: the carry goes into the nibble in the scratch byte.
        writer.movwf(scratch, 0);
        writer.skpnc();
        writer.incf_f(scratch, 0);
        writer.movf_w_always(scratch, 0);
      } else if (k > 0) {
        writer.skpnc();
        writer.addlw(1);
      }
      writer.addwf_f(reg, at);
      continue;
    }
    // With the low nibble of the byte above as its high nibble.
    writer.movwf(scratch, 0);
    writer.swapf_w(reg, byte_from_low(reg, count, k + 1));
    writer.andlw(0xF0);
    if (k == 0 || enhanced) {
      writer.iorwf_w(scratch, 0);
      if (k == 0) {
        writer.addwf_f(reg, at);
      } else {
        writer.addwfc_f(reg, at);
      }
      continue;
    }
    // The register addition's idiom: W = addend + 1 under a carry, a wrap to 0 skipping the
    // add and passing the carry on.
    writer.iorwf_f(scratch, 0);
    writer.movf_w(scratch, 0);
    writer.skpnc();
    writer.incfsz_w(scratch, 0);
    writer.addwf_f(reg, at);
  }
  // v + v / 16 < 2 v: one bit more, which the spare bits may hold.
  writer.set_carry_known(true, reg);
  writer.set_carry_overflow(false, reg);
  if (reg.spare >= 1) {
    reg.width += 1;
    reg.spare -= 1;
  } else {
    writer.set_carry_overflow(true, reg);
  }
  return writer.code;
}

}  // namespace tarvek
