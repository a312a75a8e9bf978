#include "codegen/signed_steps.h"

#include <cassert>

#include "codegen/constant_add.h"

namespace tarvek {
namespace {}  // namespace

const Code& bias_signed_input(CodeWriter& writer, Register& reg, int bits) {
  assert(bits >= 1 && bits <= 32);
  writer.clear_code();
  const int count = (bits + 7) / 8;
  assert(reg.value_bytes() >= count);
  writer.movlw(1 << ((bits - 1) % 8));
  writer.addwf_f(reg, byte_from_low(reg, count, count - 1));
  return writer.code;
}

const Code& add_constant_wrapping(CodeWriter& writer, Register& reg, int bytes, uint64_t value) {
  assert(bytes >= 1 && bytes <= 8 && bytes <= reg.value_bytes());
  writer.clear_code();
  add_literal_bytes(writer, reg, bytes, value);
  return writer.code;
}

const Code& save_sign(CodeWriter& writer, Register& reg, int bytes, Register& sign) {
  writer.clear_code();
  writer.clrf(sign, 0);
  writer.btfsc(reg, byte_from_low(reg, reg.value_bytes(), bytes - 1), 7);
  writer.comf_f(sign, 0);
  return writer.code;
}

const Code& negate_if_signed(CodeWriter& writer, Register& reg, int bytes, Register& sign) {
  assert(bytes >= 1 && bytes <= reg.value_bytes());
  writer.clear_code();
  const int count = reg.value_bytes();
  // reg + s, s being 0 or -1 in every byte: the register addition's carry idiom with the
  // sign byte as every byte of the addend. The enhanced core takes the carry in with addwfc,
  // which leaves W holding the sign for every byte and for the xor that follows.
  for (int k = 0; k < bytes; ++k) {
    const int index = byte_from_low(reg, count, k);
    writer.movf_w(sign, 0);
    if (k > 0 && writer.carry_arithmetic()) {
      writer.addwfc_f(reg, index);
      continue;
    }
    if (k > 0) {
      writer.skpnc();
      writer.incfsz_w(sign, 0);
    }
    writer.addwf_f(reg, index);
  }
  for (int k = 0; k < bytes; ++k) {
    writer.movf_w(sign, 0);
    writer.xorwf_f(reg, byte_from_low(reg, count, k));
  }
  return writer.code;
}

}  // namespace tarvek
