#include "codegen/portable_text.h"

#include <cstdint>

namespace tarvek {
namespace {

constexpr int16_t kCarryBit = 0;
constexpr int16_t kZeroBit = 2;

Instruction status_bit(Op op, int16_t bit) {
  return Instruction{op, kStatusFile, false, 0, bit};
}

void append_hex_digit(std::string& out, int digit) {
  out += static_cast<char>(digit < 10 ? '0' + digit : 'A' + digit - 10);
}

}  // namespace

Instruction without_status_macro(const Instruction& instruction) {
  switch (instruction.op) {
    case Op::kClrc:
      return status_bit(Op::kBcf, kCarryBit);
    case Op::kSetc:
      return status_bit(Op::kBsf, kCarryBit);
    case Op::kSkpc:
      return status_bit(Op::kBtfss, kCarryBit);
    case Op::kSkpnc:
      return status_bit(Op::kBtfsc, kCarryBit);
    case Op::kSkpz:
      return status_bit(Op::kBtfss, kZeroBit);
    case Op::kSkpnz:
      return status_bit(Op::kBtfsc, kZeroBit);
    default:
      return instruction;
  }
}

std::string portable_text(const Code& code) {
  std::string out;
  out.reserve(code.size() * 16);
  for (const Instruction& original : code.instructions()) {
    if (operand_kind(original.op) == OperandKind::kLabel) {
      // pic-as takes a label only with its colon; gpasm reads it so too.
      const std::string& label = code.label_name(static_cast<uint8_t>(original.value));
      if (original.op == Op::kLabel) {
        out += label;
        out += ":\n";
      } else {
        out += '\t';
        out += mnemonic(original.op);
        out += '\t';
        out += label;
        out += '\n';
      }
      continue;
    }
    const Instruction in = without_status_macro(original);
    if (operand_kind(in.op) != OperandKind::kLiteral) {
      const bool named = in.file < code.register_count();
      append_instruction_text(out, in, named ? std::string_view(code.register_name(in.file)) : "");
      continue;
    }
    out += '\t';
    out += mnemonic(in.op);
    out += '\t';
    // A negative literal is its byte: D'-16' is 0xF0.
    const int byte = static_cast<uint8_t>(in.value);
    if (byte <= 9) {
      out += static_cast<char>('0' + byte);
    } else {
      out += "0x";
      append_hex_digit(out, byte / 16);
      append_hex_digit(out, byte % 16);
    }
    out += '\n';
  }
  return out;
}

}  // namespace tarvek
