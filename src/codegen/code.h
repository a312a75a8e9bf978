// The instructions of a routine or of a piece of one, with the names of the registers they
// work on.
//
// Instructions name their file operand by register number (instruction.h); the Code keeps
// which name each number stands for. A register is known by its name as the request gave it:
// every view of a variable (its low bytes, a later variable kept under the same name at
// higher byte numbers) carries that name, and the request's names never spell the same byte
// twice (the request is refused when they would), so two operands are the same byte exactly
// when their register numbers and byte numbers are equal. Names are compared whole when a
// register is numbered and printed at the end; nothing ever reads them apart.
//
// Labels are kept the same way: a goto and a label line name a label by its number here, and
// the label's text (the routine's label prefix and a suffix) is printed only at the end. A
// routine with labels has a label line before the instruction a jump lands on; label lines
// take no program word.
//
// Appending one Code to another renumbers the appended registers and labels into the first
// one's numbering, so pieces made by different writers join into one routine.
#ifndef TARVEK_CODEGEN_CODE_H
#define TARVEK_CODEGEN_CODE_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "codegen/instruction.h"

namespace tarvek {

class Code {
 public:
  // The number of the register called `name`, numbered now when it is new.
  // Requires: fewer than 200 registers in one routine.
  uint8_t register_number(const std::string& name);
  // The number of the register called `name`, or -1 when no instruction here was given it.
  int find_register(std::string_view name) const;
  // Requires: number < register_count().
  const std::string& register_name(uint8_t number) const { return registers_[number]; }
  std::size_t register_count() const { return registers_.size(); }

  // The number of the label called `name`, numbered now when it is new.
  // Requires: fewer than 200 labels in one routine.
  uint8_t label_number(const std::string& name);
  // Requires: number < label_count().
  const std::string& label_name(uint8_t number) const { return labels_[number]; }
  std::size_t label_count() const { return labels_.size(); }
  // Whether some instruction is a goto or a label line: the routine is not straight-line.
  bool has_labels() const;

  void push_back(const Instruction& instruction) { instructions_.push_back(instruction); }
  const std::vector<Instruction>& instructions() const { return instructions_; }
  std::vector<Instruction>& instructions() { return instructions_; }
  std::size_t size() const { return instructions_.size(); }
  // Program words: the instructions without the label lines.
  int words() const;
  bool empty() const { return instructions_.empty(); }
  // Drops every instruction; the register numbers stay.
  void clear() { instructions_.clear(); }

  Code& operator+=(const Code& other);
  // Puts `other` in front of every instruction here.
  void insert_front(const Code& other);
  // Replaces instructions [start, end) by `with`.
  void replace(std::size_t start, std::size_t end, const Code& with);

  // One line per instruction, "\tmnemonic\toperands\n": file operands as the register's name
  // followed by the byte number, STATUS by name, literals as number_format's literal_text;
  // "\tgoto\tNAME\n" for a jump and "NAME\n", in the first column, for a label line.
  std::string text() const;

 private:
  // `other`'s instructions with their registers and labels renumbered into this numbering.
  std::vector<Instruction> renumbered(const Code& other);

  std::vector<Instruction> instructions_;
  // Register names by number.
  std::vector<std::string> registers_;
  // Label names by number, each printed whole.
  std::vector<std::string> labels_;
};

// Appends the text of one instruction (as Code::text prints it) to `out`; `register_name` is
// the name of its file operand's register (unused for STATUS and for no file operand).
void append_instruction_text(std::string& out, const Instruction& instruction,
                             std::string_view register_name);

}  // namespace tarvek

#endif  // TARVEK_CODEGEN_CODE_H
