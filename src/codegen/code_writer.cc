#include "codegen/code_writer.h"

#include <cassert>
#include <cstdint>

namespace tarvek {
namespace {

// Byte indexes print as signed 8-bit decimals. Appended digit by digit: this runs for every
// line of every routine, and a temporary string each time shows in the cost of a request.
void append_signed_byte(std::string& text, int value) {
  int byte = static_cast<int8_t>(value);
  if (byte < 0) {
    text += '-';
    byte = -byte;
  }
  if (byte >= 100) text += static_cast<char>('0' + byte / 100);
  if (byte >= 10) text += static_cast<char>('0' + byte / 10 % 10);
  text += static_cast<char>('0' + byte % 10);
}

// Literals are signed 8-bit decimals (0xF0 is -16). A bare number is read in the assembler's
// default radix, which is hexadecimal unless the including project says otherwise, so only a
// single digit, which reads the same in every radix, is written bare; every other literal
// carries the decimal radix: D'15', D'-16'.
std::string literal_text(int value) {
  const int byte = static_cast<int8_t>(value);
  if (byte >= 0 && byte <= 9) return std::to_string(byte);
  return "D'" + std::to_string(byte) + "'";
}

}  // namespace

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

const std::string& CodeWriter::flush_carry() {
  if (carry_register == nullptr || !carry_overflow_of(*carry_register)) return text;
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
  if (reg.is_signed && enhanced()) {
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
  return text;
}

bool CodeWriter::w_holds(const Register& reg, int byte) const {
  // Compared by the byte's name, not by descriptor: two descriptors can name the same byte
  // (a register and a view of its low bytes), and a write through either must forget W.
  if (w_register == nullptr) return false;
  if (w_register == &reg) return w_byte == byte;
  return w_register->base + w_byte == reg.base + byte && w_register->name == reg.name;
}

const std::string& CodeWriter::emit(const char* mnemonic, Register& reg, int byte,
                                    const char* suffix, WEffect effect, bool reads) {
  assert(byte >= 0);
  text += '\t';
  text += mnemonic;
  text += '\t';
  text += reg.name;
  append_signed_byte(text, reg.base + byte);
  text += suffix;
  text += '\n';
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
  return text;
}

const std::string& CodeWriter::emit_enhanced(const char* mnemonic, Register& reg, int byte,
                                             const char* suffix, WEffect effect) {
  assert(enhanced());
  return emit(mnemonic, reg, byte, suffix, effect, true);
}

const std::string& CodeWriter::emit_literal(const char* mnemonic, int literal) {
  text += '\t';
  text += mnemonic;
  text += '\t';
  text += literal_text(literal);
  text += '\n';
  w_register = nullptr;
  return text;
}

const std::string& CodeWriter::emit_bare(const char* mnemonic) {
  text += '\t';
  text += mnemonic;
  text += '\n';
  return text;
}

const std::string& CodeWriter::movwf(Register& reg, int byte) {
  return emit("movwf", reg, byte, "", WEffect::kLoad, false);
}

const std::string& CodeWriter::movf_w(Register& reg, int byte) {
  if (w_holds(reg, byte)) return text;
  return movf_w_always(reg, byte);
}

const std::string& CodeWriter::movf_w_always(Register& reg, int byte) {
  return emit("movf", reg, byte, ", w", WEffect::kLoad, true);
}

const std::string& CodeWriter::movlw(int literal) {
  return emit_literal("movlw", literal);
}
const std::string& CodeWriter::andlw(int literal) {
  return emit_literal("andlw", literal);
}
const std::string& CodeWriter::iorlw(int literal) {
  return emit_literal("iorlw", literal);
}
const std::string& CodeWriter::addlw(int literal) {
  return emit_literal("addlw", literal);
}

const std::string& CodeWriter::clrf(Register& reg, int byte) {
  return emit("clrf", reg, byte, "", WEffect::kForgetIfSame, false);
}

const std::string& CodeWriter::swapf_w(Register& reg, int byte) {
  return emit("swapf", reg, byte, ", w", WEffect::kForget, true);
}

const std::string& CodeWriter::swapf_f(Register& reg, int byte) {
  return emit("swapf", reg, byte, ", f", WEffect::kForgetIfSame, true);
}

const std::string& CodeWriter::btfsc(Register& reg, int byte, int bit) {
  assert(bit >= 0 && bit <= 7);
  return emit("btfsc", reg, byte, (", " + std::to_string(bit)).c_str(), WEffect::kUnchanged, true);
}

const std::string& CodeWriter::bsf(Register& reg, int byte, int bit) {
  assert(bit >= 0 && bit <= 7);
  return emit("bsf", reg, byte, (", " + std::to_string(bit)).c_str(), WEffect::kForgetIfSame, true);
}

const std::string& CodeWriter::comf_f(Register& reg, int byte) {
  return emit("comf", reg, byte, ", f", WEffect::kForgetIfSame, true);
}

const std::string& CodeWriter::rlf_f(Register& reg, int byte) {
  return emit("rlf", reg, byte, ", f", WEffect::kForgetIfSame, true);
}

const std::string& CodeWriter::rlf_w(Register& reg, int byte) {
  return emit("rlf", reg, byte, ", w", WEffect::kForget, true);
}

const std::string& CodeWriter::rrf_f(Register& reg, int byte) {
  return emit("rrf", reg, byte, ", f", WEffect::kForgetIfSame, true);
}

const std::string& CodeWriter::rrf_w(Register& reg, int byte) {
  return emit("rrf", reg, byte, ", w", WEffect::kForget, true);
}

const std::string& CodeWriter::addwf_f(Register& reg, int byte) {
  return emit("addwf", reg, byte, ", f", WEffect::kForgetIfSame, true);
}

const std::string& CodeWriter::subwf_f(Register& reg, int byte) {
  return emit("subwf", reg, byte, ", f", WEffect::kForgetIfSame, true);
}

const std::string& CodeWriter::addwf_w(Register& reg, int byte) {
  return emit("addwf", reg, byte, ", w", WEffect::kForget, true);
}

const std::string& CodeWriter::subwf_w(Register& reg, int byte) {
  return emit("subwf", reg, byte, ", w", WEffect::kForget, true);
}

const std::string& CodeWriter::movwf_skippable(Register& reg, int byte) {
  return emit("movwf", reg, byte, "", WEffect::kForgetIfSame, false);
}

const std::string& CodeWriter::iorwf_f(Register& reg, int byte) {
  return emit("iorwf", reg, byte, ", f", WEffect::kForgetIfSame, true);
}

const std::string& CodeWriter::xorwf_f(Register& reg, int byte) {
  return emit("xorwf", reg, byte, ", f", WEffect::kForgetIfSame, true);
}

const std::string& CodeWriter::incf_f(Register& reg, int byte) {
  return emit("incf", reg, byte, ", f", WEffect::kForgetIfSame, true);
}

const std::string& CodeWriter::incfsz_w(Register& reg, int byte) {
  return emit("incfsz", reg, byte, ", w", WEffect::kForget, true);
}

const std::string& CodeWriter::clrc() {
  return emit_bare("clrc");
}
const std::string& CodeWriter::skpc() {
  return emit_bare("skpc");
}
const std::string& CodeWriter::skpnc() {
  return emit_bare("skpnc");
}
const std::string& CodeWriter::skpnz() {
  return emit_bare("skpnz");
}

const std::string& CodeWriter::toggle_carry() {
  // "xorwf STATUS, f" would not do: when STATUS is the destination of an instruction that
  // affects Z, the processor does not write C, DC or Z from the result. Going through W does
  // it: xorwf into W, then movwf back, which affects no flag, so C comes out inverted and Z,
  // DC and the bank bits as they were.
  movlw(1);
  text += "\txorwf\tSTATUS, w\n\tmovwf\tSTATUS\n";
  w_register = nullptr;
  return text;
}

const std::string& CodeWriter::addwfc_f(Register& reg, int byte) {
  return emit_enhanced("addwfc", reg, byte, ", f", WEffect::kForgetIfSame);
}

const std::string& CodeWriter::subwfb_f(Register& reg, int byte) {
  return emit_enhanced("subwfb", reg, byte, ", f", WEffect::kForgetIfSame);
}

const std::string& CodeWriter::lslf_f(Register& reg, int byte) {
  return emit_enhanced("lslf", reg, byte, ", f", WEffect::kForgetIfSame);
}

const std::string& CodeWriter::lsrf_f(Register& reg, int byte) {
  return emit_enhanced("lsrf", reg, byte, ", f", WEffect::kForgetIfSame);
}

const std::string& CodeWriter::lsrf_w(Register& reg, int byte) {
  return emit_enhanced("lsrf", reg, byte, ", w", WEffect::kForget);
}

const std::string& CodeWriter::asrf_f(Register& reg, int byte) {
  return emit_enhanced("asrf", reg, byte, ", f", WEffect::kForgetIfSame);
}

const std::string& CodeWriter::asrf_w(Register& reg, int byte) {
  return emit_enhanced("asrf", reg, byte, ", w", WEffect::kForget);
}

}  // namespace tarvek
