#include "codegen/code.h"

#include <cassert>
#include <cstdint>

namespace tarvek {
namespace {

// Byte numbers print as signed 8-bit decimals. Appended digit by digit: this runs for every
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
void append_literal(std::string& text, int value) {
  const int byte = static_cast<int8_t>(value);
  if (byte >= 0 && byte <= 9) {
    text += static_cast<char>('0' + byte);
    return;
  }
  text += "D'";
  append_signed_byte(text, byte);
  text += '\'';
}

}  // namespace

void append_instruction_text(std::string& out, const Instruction& in,
                             std::string_view register_name) {
  out += '\t';
  out += mnemonic(in.op);
  const OperandKind kind = operand_kind(in.op);
  if (kind == OperandKind::kNone) {
    out += '\n';
    return;
  }
  out += '\t';
  if (kind == OperandKind::kLiteral) {
    append_literal(out, in.value);
    out += '\n';
    return;
  }
  if (in.file == kStatusFile) {
    out += "STATUS";
  } else if (in.file == kProdlFile) {
    out += "PRODL";
  } else if (in.file == kProdhFile) {
    out += "PRODH";
  } else if (in.file == kWregFile) {
    out += "WREG";
  } else {
    out += register_name;
    append_signed_byte(out, in.byte);
  }
  if (kind == OperandKind::kFileDest) {
    out += in.to_w ? ", w" : ", f";
  } else if (kind == OperandKind::kFileBit) {
    out += ", ";
    out += static_cast<char>('0' + in.value);
  }
  out += '\n';
}

uint8_t Code::register_number(const std::string& name) {
  for (std::size_t i = 0; i < registers_.size(); ++i) {
    if (registers_[i] == name) return static_cast<uint8_t>(i);
  }
  assert(registers_.size() < 200);
  registers_.push_back(name);
  return static_cast<uint8_t>(registers_.size() - 1);
}

uint8_t Code::label_number(const std::string& name) {
  for (std::size_t i = 0; i < labels_.size(); ++i) {
    if (labels_[i] == name) return static_cast<uint8_t>(i);
  }
  assert(labels_.size() < 200);
  labels_.push_back(name);
  return static_cast<uint8_t>(labels_.size() - 1);
}

bool Code::has_labels() const {
  for (const Instruction& in : instructions_) {
    if (operand_kind(in.op) == OperandKind::kLabel) return true;
  }
  return false;
}

int Code::words() const {
  int count = 0;
  for (const Instruction& in : instructions_) count += takes_word(in.op) ? 1 : 0;
  return count;
}

int Code::find_register(std::string_view name) const {
  for (std::size_t i = 0; i < registers_.size(); ++i) {
    if (registers_[i] == name) return static_cast<int>(i);
  }
  return -1;
}

std::vector<Instruction> Code::renumbered(const Code& other) {
  std::vector<uint8_t> numbers(other.registers_.size());
  bool same = other.registers_.size() <= registers_.size();
  for (std::size_t i = 0; i < numbers.size(); ++i) {
    numbers[i] = register_number(other.registers_[i]);
    same = same && numbers[i] == i;
  }
  std::vector<uint8_t> label_numbers(other.labels_.size());
  for (std::size_t i = 0; i < label_numbers.size(); ++i) {
    label_numbers[i] = label_number(other.labels_[i]);
    same = same && label_numbers[i] == i;
  }
  if (same) return other.instructions_;
  std::vector<Instruction> moved = other.instructions_;
  for (Instruction& in : moved) {
    if (operand_kind(in.op) == OperandKind::kLabel) {
      in.value = label_numbers[static_cast<std::size_t>(in.value)];
    } else if (in.file < numbers.size()) {
      in.file = numbers[in.file];
    }
  }
  return moved;
}

Code& Code::operator+=(const Code& other) {
  if (&other == this) {
    const Code copy = other;
    return *this += copy;
  }
  const std::vector<Instruction> moved = renumbered(other);
  instructions_.insert(instructions_.end(), moved.begin(), moved.end());
  return *this;
}

void Code::insert_front(const Code& other) {
  replace(0, 0, other);
}

void Code::replace(std::size_t start, std::size_t end, const Code& with) {
  assert(start <= end && end <= instructions_.size());
  const std::vector<Instruction> moved = renumbered(with);
  const auto first = instructions_.begin() + static_cast<std::ptrdiff_t>(start);
  instructions_.erase(first, instructions_.begin() + static_cast<std::ptrdiff_t>(end));
  instructions_.insert(instructions_.begin() + static_cast<std::ptrdiff_t>(start), moved.begin(),
                       moved.end());
}

std::string Code::text() const {
  std::string out;
  out.reserve(instructions_.size() * 16);
  for (const Instruction& in : instructions_) {
    if (operand_kind(in.op) == OperandKind::kLabel) {
      if (in.op != Op::kLabel) {
        out += '\t';
        out += mnemonic(in.op);
        out += '\t';
      }
      out += labels_[static_cast<std::size_t>(in.value)];
      out += '\n';
      continue;
    }
    const bool named = in.file < registers_.size();
    append_instruction_text(out, in, named ? std::string_view(registers_[in.file]) : "");
  }
  return out;
}

}  // namespace tarvek
