#include "codegen/code_writer.h"

#include <cassert>

#include "codegen/instruction_set.h"

namespace tarvek {

void CodeWriter::set_carry_overflow(bool value, Register& reg) {
  carry_overflow = value;
  carry_register = &reg;
}

void CodeWriter::set_carry_known(bool value, Register& reg) {
  carry_known = value;
  carry_register = &reg;
}

bool CodeWriter::carry_overflow_of(const Register& reg) const {
  return carry_register == &reg && carry_overflow;
}

bool CodeWriter::carry_known_of(const Register& reg) const {
  return carry_register == &reg && carry_known;
}

const Code& CodeWriter::flush_carry() {
  if (carry_register == nullptr || !carry_overflow_of(*carry_register)) return code;
  Register& reg = *carry_register;
  const int count = reg.value_bytes();
  int top = count;
  if (!reg.little_endian) {
    // The new top byte is byte 0, so every byte moves one index up, highest first.
    for (int k = count - 1; k >= 0; --k) {
      movf_w(reg, k);
      movwf(reg, k + 1);
    }
    top = 0;
  }
  if (reg.is_signed && carry_arithmetic()) {
    // The carry is the inverse of the sign. Whatever W holds, stored and then subtracted from
    // itself with the borrow, leaves 0 - !C: 0x00 with the carry set, 0xFF without (and C as
    // it was).
    movwf(reg, top);
    subwfb_f(reg, top);
  } else if (reg.is_signed) {
    // The same byte from a cleared one: set leaves 0x00, clear makes 0xFF.
    clrf(reg, top);
    skpc();
    comf_f(reg, top);
  } else {
    clrf(reg, top);
    rlf_f(reg, top);
  }
  set_carry_overflow(false, reg);
  set_carry_known(false, reg);
  const int sign = reg.is_signed ? 1 : 0;
  reg.set_width(reg.width + 1 - sign, 7 + sign);
  return code;
}

bool CodeWriter::w_holds(const Register& reg, int byte) const {
  // Compared by the byte's name, not by descriptor: two descriptors can name the same byte
  // (a register and a view of its low bytes), and a write through either must forget W.
  if (w_register == nullptr) return false;
  if (w_register == &reg) return w_byte == byte;
  return w_register->base + w_byte == reg.base + byte && w_register->name == reg.name;
}

const Code& CodeWriter::emit(Op op, Register& reg, int byte, bool to_w, int bit, WEffect effect,
                             bool reads) {
  assert(byte >= 0);
  Instruction in;
  in.op = op;
  in.file = code.register_number(reg.name);
  in.to_w = to_w;
  in.byte = static_cast<int16_t>(reg.base + byte);
  in.value = static_cast<int16_t>(bit);
  code.push_back(in);
  switch (effect) {
    case WEffect::kUnchanged:
      break;
    case WEffect::kForget:
      w_register = nullptr;
      break;
    case WEffect::kForgetIfSame:
      if (w_holds(reg, byte)) w_register = nullptr;
      break;
    case WEffect::kLoad:
      w_register = &reg;
      w_byte = byte;
      break;
  }
  if (reads) reg.used = true;
  return code;
}

const Code& CodeWriter::emit_enhanced(Op op, Register& reg, int byte, bool to_w, WEffect effect) {
  assert(instruction_set(core_).runs(op));
  return emit(op, reg, byte, to_w, 0, effect, true);
}

const Code& CodeWriter::emit_literal(Op op, int literal) {
  Instruction in;
  in.op = op;
  in.value = static_cast<int16_t>(static_cast<int8_t>(literal));
  code.push_back(in);
  w_register = nullptr;
  return code;
}

const Code& CodeWriter::emit_bare(Op op) {
  Instruction in;
  in.op = op;
  code.push_back(in);
  return code;
}

const Code& CodeWriter::movwf(Register& reg, int byte) {
  return emit(Op::kMovwf, reg, byte, false, 0, WEffect::kLoad, false);
}

const Code& CodeWriter::movf_w(Register& reg, int byte) {
  if (w_holds(reg, byte)) return code;
  return movf_w_always(reg, byte);
}

const Code& CodeWriter::movf_w_always(Register& reg, int byte) {
  return emit(Op::kMovf, reg, byte, true, 0, WEffect::kLoad, true);
}

const Code& CodeWriter::movlw(int literal) {
  return emit_literal(Op::kMovlw, literal);
}
const Code& CodeWriter::andlw(int literal) {
  return emit_literal(Op::kAndlw, literal);
}
const Code& CodeWriter::iorlw(int literal) {
  return emit_literal(Op::kIorlw, literal);
}
const Code& CodeWriter::addlw(int literal) {
  assert(!baseline());
  return emit_literal(Op::kAddlw, literal);
}

const Code& CodeWriter::clrf(Register& reg, int byte) {
  return emit(Op::kClrf, reg, byte, false, 0, WEffect::kForgetIfSame, false);
}

const Code& CodeWriter::swapf_w(Register& reg, int byte) {
  return emit(Op::kSwapf, reg, byte, true, 0, WEffect::kForget, true);
}

const Code& CodeWriter::swapf_f(Register& reg, int byte) {
  return emit(Op::kSwapf, reg, byte, false, 0, WEffect::kForgetIfSame, true);
}

const Code& CodeWriter::btfsc(Register& reg, int byte, int bit) {
  assert(bit >= 0 && bit <= 7);
  return emit(Op::kBtfsc, reg, byte, false, bit, WEffect::kUnchanged, true);
}

const Code& CodeWriter::btfss(Register& reg, int byte, int bit) {
  assert(bit >= 0 && bit <= 7);
  return emit(Op::kBtfss, reg, byte, false, bit, WEffect::kUnchanged, true);
}

const Code& CodeWriter::bsf(Register& reg, int byte, int bit) {
  assert(bit >= 0 && bit <= 7);
  return emit(Op::kBsf, reg, byte, false, bit, WEffect::kForgetIfSame, true);
}

const Code& CodeWriter::comf_f(Register& reg, int byte) {
  return emit(Op::kComf, reg, byte, false, 0, WEffect::kForgetIfSame, true);
}

const Code& CodeWriter::rlf_f(Register& reg, int byte) {
  return emit(Op::kRlf, reg, byte, false, 0, WEffect::kForgetIfSame, true);
}

const Code& CodeWriter::rlf_w(Register& reg, int byte) {
  return emit(Op::kRlf, reg, byte, true, 0, WEffect::kForget, true);
}

const Code& CodeWriter::rrf_f(Register& reg, int byte) {
  return emit(Op::kRrf, reg, byte, false, 0, WEffect::kForgetIfSame, true);
}

const Code& CodeWriter::rrf_w(Register& reg, int byte) {
  return emit(Op::kRrf, reg, byte, true, 0, WEffect::kForget, true);
}

const Code& CodeWriter::addwf_f(Register& reg, int byte) {
  return emit(Op::kAddwf, reg, byte, false, 0, WEffect::kForgetIfSame, true);
}

const Code& CodeWriter::subwf_f(Register& reg, int byte) {
  return emit(Op::kSubwf, reg, byte, false, 0, WEffect::kForgetIfSame, true);
}

const Code& CodeWriter::addwf_w(Register& reg, int byte) {
  return emit(Op::kAddwf, reg, byte, true, 0, WEffect::kForget, true);
}

const Code& CodeWriter::subwf_w(Register& reg, int byte) {
  return emit(Op::kSubwf, reg, byte, true, 0, WEffect::kForget, true);
}

const Code& CodeWriter::movwf_skippable(Register& reg, int byte) {
  return emit(Op::kMovwf, reg, byte, false, 0, WEffect::kForgetIfSame, false);
}

const Code& CodeWriter::iorwf_f(Register& reg, int byte) {
  return emit(Op::kIorwf, reg, byte, false, 0, WEffect::kForgetIfSame, true);
}

const Code& CodeWriter::andwf_f(Register& reg, int byte) {
  return emit(Op::kAndwf, reg, byte, false, 0, WEffect::kForgetIfSame, true);
}

const Code& CodeWriter::iorwf_w(Register& reg, int byte) {
  return emit(Op::kIorwf, reg, byte, true, 0, WEffect::kForget, true);
}

const Code& CodeWriter::xorwf_f(Register& reg, int byte) {
  return emit(Op::kXorwf, reg, byte, false, 0, WEffect::kForgetIfSame, true);
}

const Code& CodeWriter::incf_f(Register& reg, int byte) {
  return emit(Op::kIncf, reg, byte, false, 0, WEffect::kForgetIfSame, true);
}

const Code& CodeWriter::incfsz_w(Register& reg, int byte) {
  return emit(Op::kIncfsz, reg, byte, true, 0, WEffect::kForget, true);
}

const Code& CodeWriter::decf_f(Register& reg, int byte) {
  return emit(Op::kDecf, reg, byte, false, 0, WEffect::kForgetIfSame, true);
}

const Code& CodeWriter::decfsz_f(Register& reg, int byte) {
  return emit(Op::kDecfsz, reg, byte, false, 0, WEffect::kForgetIfSame, true);
}

const Code& CodeWriter::bcf(Register& reg, int byte, int bit) {
  assert(bit >= 0 && bit <= 7);
  return emit(Op::kBcf, reg, byte, false, bit, WEffect::kForgetIfSame, true);
}

const Code& CodeWriter::clrc() {
  return emit_bare(Op::kClrc);
}
const Code& CodeWriter::setc() {
  return emit_bare(Op::kSetc);
}
const Code& CodeWriter::skpc() {
  return emit_bare(Op::kSkpc);
}
const Code& CodeWriter::skpnc() {
  return emit_bare(Op::kSkpnc);
}
const Code& CodeWriter::skpnz() {
  return emit_bare(Op::kSkpnz);
}

const Code& CodeWriter::toggle_carry() {
  // "xorwf STATUS, f" would not do: when STATUS is the destination of an instruction that
  // affects Z, the processor does not write C, DC or Z from the result. Going through W does
  // it: xorwf into W, then movwf back, which affects no flag, so C comes out inverted and Z,
  // DC and the bank bits as they were.
  movlw(1);
  code.push_back(Instruction{Op::kXorwf, kStatusFile, true, 0, 0});
  code.push_back(Instruction{Op::kMovwf, kStatusFile, false, 0, 0});
  w_register = nullptr;
  return code;
}

const Code& CodeWriter::label(const std::string& name) {
  Instruction in;
  in.op = Op::kLabel;
  in.value = code.label_number(name);
  code.push_back(in);
  w_register = nullptr;
  carry_register = nullptr;
  carry_overflow = false;
  carry_known = false;
  return code;
}

const Code& CodeWriter::goto_label(const std::string& name) {
  Instruction in;
  in.op = Op::kGoto;
  in.value = code.label_number(name);
  code.push_back(in);
  return code;
}

const Code& CodeWriter::mullw(int literal) {
  assert(instruction_set(core_).has_multiplier());
  Instruction in;
  in.op = Op::kMullw;
  in.value = static_cast<int16_t>(static_cast<int8_t>(literal));
  code.push_back(in);
  return code;
}

const Code& CodeWriter::product_op(Op op, bool high, bool to_w) {
  assert(instruction_set(core_).has_multiplier());
  code.push_back(Instruction{op, high ? kProdhFile : kProdlFile, to_w, 0, 0});
  if (to_w) w_register = nullptr;
  return code;
}

const Code& CodeWriter::addwfc_f(Register& reg, int byte) {
  return emit_enhanced(Op::kAddwfc, reg, byte, false, WEffect::kForgetIfSame);
}

const Code& CodeWriter::subwfb_f(Register& reg, int byte) {
  return emit_enhanced(Op::kSubwfb, reg, byte, false, WEffect::kForgetIfSame);
}

const Code& CodeWriter::lslf_f(Register& reg, int byte) {
  return emit_enhanced(Op::kLslf, reg, byte, false, WEffect::kForgetIfSame);
}

const Code& CodeWriter::lsrf_f(Register& reg, int byte) {
  return emit_enhanced(Op::kLsrf, reg, byte, false, WEffect::kForgetIfSame);
}

const Code& CodeWriter::lsrf_w(Register& reg, int byte) {
  return emit_enhanced(Op::kLsrf, reg, byte, true, WEffect::kForget);
}

const Code& CodeWriter::asrf_f(Register& reg, int byte) {
  return emit_enhanced(Op::kAsrf, reg, byte, false, WEffect::kForgetIfSame);
}

const Code& CodeWriter::asrf_w(Register& reg, int byte) {
  return emit_enhanced(Op::kAsrf, reg, byte, true, WEffect::kForget);
}

}  // namespace tarvek
