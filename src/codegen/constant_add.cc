#include "codegen/constant_add.h"

#include <bit>
#include <cassert>

#include "codegen/arithmetic.h"

namespace tarvek {
namespace {

int bit_length(uint64_t value) {
  return 64 - std::countl_zero(value);
}

// The mid-range core's byte chain of reg += value over the low `bytes` bytes: each byte above
// the constant's lowest nonzero one takes the carry in by a skip. C ends as the carry out of
// the top byte.
void add_constant_by_skips(CodeWriter& writer, Register& reg, int bytes, uint64_t value) {
  const int count = reg.value_bytes();
  // Whether C holds the carry into the byte being added: not before the first nonzero byte,
  // whose own add starts the chain.
  bool carry_live = false;
  // W holds 1 from an earlier ripple step (addwf into a file leaves W as it was).
  bool w_is_one = false;
  for (int k = 0; k < bytes; ++k) {
    const int index = byte_from_low(reg, count, k);
    const int byte = k < 8 ? static_cast<int>((value >> (8 * k)) & 0xFF) : 0;
    if (!carry_live) {
      if (byte == 0) continue;
      writer.movlw(byte);
      writer.addwf_f(reg, index);
      carry_live = true;
      continue;
    }
    if (byte == 0) {
      // Adds the carry alone; skipped when there is none, which leaves C clear.
      if (!w_is_one) writer.movlw(1);
      w_is_one = true;
      writer.skpnc();
      writer.addwf_f(reg, index);
    } else if (byte == 0xFF) {
      // 255 plus a carry is 256: the byte stays, and the carry goes on.
      writer.movlw(byte);
      w_is_one = false;
      writer.skpc();
      writer.addwf_f(reg, index);
    } else {
      writer.movlw(byte);
      writer.skpnc();
      writer.movlw(byte + 1);
      w_is_one = false;
      writer.addwf_f(reg, index);
    }
  }
}

}  // namespace

const Code& add_constant(CodeWriter& writer, Register& reg, uint64_t value) {
  assert(!reg.is_signed && value > 0);
  writer.clear_code();
  const int value_bits = bit_length(value);
  // Only the constant's byte count matters to the widening; a shape with that many bytes
  // lets the register addition's own widening do it.
  Register shape(reg.name, 0, reg.little_endian);
  shape.set_width(value_bits, (8 - value_bits % 8) % 8);
  extend_to(writer, reg, shape);
  reg.is_zero = false;

  const int count = reg.value_bytes();
  const int total = reg.width + reg.spare;
  const int needed = (reg.width > value_bits ? reg.width : value_bits) + 1;
  // On the enhanced core the carry chain of a one is count + 2 instructions from two bytes on:
  // shorter than the ripple by Z from four bytes on.
  if (value == 1 && needed <= total && !(writer.carry_arithmetic() && count >= 4)) {
    // Adding one that cannot overflow the value bytes: incf ripples it on by Z, one
    // instruction less per byte than by the carry. C is not touched, so nothing is known of
    // it afterwards.
    for (int k = 0; k < count; ++k) {
      if (k > 0) writer.skpnz();
      writer.incf_f(reg, byte_from_low(reg, count, k));
    }
    writer.set_carry_known(false, reg);
    writer.set_carry_overflow(false, reg);
    reg.width = needed;
    reg.spare = total - needed;
    return writer.code;
  }
  add_literal_bytes(writer, reg, count, value);

  // The sum is below 2^width + value, which needs at most `needed` bits.
  writer.set_carry_known(true, reg);
  writer.set_carry_overflow(false, reg);
  if (needed > total) {
    // One bit more than the value bytes hold: it stays in C until a right shift takes it in
    // or flush_carry stores it.
    writer.set_carry_overflow(true, reg);
    reg.width = total;
    reg.spare = 0;
  } else {
    reg.width = needed;
    reg.spare = total - needed;
  }
  return writer.code;
}

namespace {

// The enhanced core's byte chain: each byte above the lowest nonzero one takes the carry in
// with addwfc, W reloaded only when the literal changes.
void add_constant_with_carry(CodeWriter& writer, Register& reg, int bytes, uint64_t value) {
  assert(writer.carry_arithmetic() && bytes >= 1 && bytes <= reg.value_bytes());
  const int count = reg.value_bytes();
  bool carry_live = false;
  // The literal W holds from an earlier byte (addwf and addwfc into a file leave W as it
  // was); -1 before the first load.
  int w_literal = -1;
  for (int k = 0; k < bytes; ++k) {
    const int byte = k < 8 ? static_cast<int>((value >> (8 * k)) & 0xFF) : 0;
    // Below the lowest nonzero byte there is nothing to add and no carry yet.
    if (!carry_live && byte == 0) continue;
    if (byte != w_literal) writer.movlw(byte);
    w_literal = byte;
    const int index = byte_from_low(reg, count, k);
    carry_live ? writer.addwfc_f(reg, index) : writer.addwf_f(reg, index);
    carry_live = true;
  }
}

}  // namespace

void add_literal_bytes(CodeWriter& writer, Register& reg, int bytes, uint64_t value) {
  assert(bytes >= 1 && bytes <= reg.value_bytes());
  if (writer.carry_arithmetic()) {
    add_constant_with_carry(writer, reg, bytes, value);
  } else {
    add_constant_by_skips(writer, reg, bytes, value);
  }
}

}  // namespace tarvek
