#include "exact/emission.h"

#include <algorithm>
#include <cassert>

#include "codegen/code_writer.h"
#include "codegen/constant_add.h"
#include "codegen/output_fit.h"
#include "codegen/program_assembly.h"
#include "codegen/register.h"
#include "codegen/shift.h"
#include "exact/chain.h"

namespace tarvek {
namespace {

// The byte index `operand` stands for when it is `name` followed by an index as the writer
// prints one (no sign, no leading zero); -1 otherwise.
int byte_index(std::string_view operand, std::string_view name) {
  if (!operand.starts_with(name)) return -1;
  operand.remove_prefix(name.size());
  if (operand.empty() || operand.size() > 3 || (operand.size() > 1 && operand[0] == '0')) {
    return -1;
  }
  int index = 0;
  for (char c : operand) {
    if (c < '0' || c > '9') return -1;
    index = index * 10 + (c - '0');
  }
  return index;
}

// One past the highest index of `name`'s bytes among the operands of `code`.
int bytes_named(const std::string& code, std::string_view name) {
  int count = 0;
  std::size_t start = 0;
  while (start < code.size()) {
    std::size_t end = code.find('\n', start);
    if (end == std::string::npos) end = code.size();
    const std::string_view line(code.data() + start, end - start);
    // "\tmnemonic\toperand[, suffix]"
    const std::size_t tab = line.find('\t', 1);
    if (tab != std::string_view::npos) {
      std::string_view operand = line.substr(tab + 1);
      operand = operand.substr(0, operand.find(','));
      const int index = byte_index(operand, name);
      if (index >= 0) count = std::max(count, index + 1);
    }
    start = end + 1;
  }
  return count;
}

// What the proof's bound knows of a non-negative register that the generators' own
// bookkeeping cannot: its value stays below 2^bits. The bits above are then spare (zero), and
// a carry left pending above the top byte is a zero.
void narrow(CodeWriter& writer, Register& reg, int bits) {
  if (reg.width > bits) {
    reg.spare += reg.width - bits;
    reg.width = bits;
  }
  if (bits <= reg.width && writer.carry_overflow_of(reg)) writer.set_carry_overflow(false, reg);
}

std::string declaration_lines(const std::string& name, int count) {
  std::string lines;
  for (int k = 0; k < count; ++k) lines += "\t" + name + std::to_string(k) + "\n";
  return lines;
}

}  // namespace

EmittedRoutine emit_candidate(const Candidate& c, const ExactTarget& target,
                              const RoutineNames& names) {
  Register acc(names.acc, target.input_bits, names.little_endian);
  Register temp(names.temp, 0, names.little_endian);
  CodeWriter writer;
  Chain chain = make_chain(c.multiplier, c.shift - c.guard, target.input_bits);

  // The walk's largest value, from its bound at the largest input, decides whether a carry it
  // leaves pending is a bit of the value.
  const AffineBound bound = chain_bound(chain);
  const BigInt walk_high = (bound.slope * target.max_input + bound.high_intercept) >> kBoundScale;
  const int walk_bits = std::max(1, walk_high.bit_length());
  std::string code = assemble_instructions(writer, chain.decomposition, walk_bits, 0, acc, temp);
  narrow(writer, acc, walk_bits);
  BigInt high = walk_high;
  if (c.offset != 0) {
    code += add_constant(writer, acc, c.offset);
    high += BigInt::from_unsigned(c.offset);
    narrow(writer, acc, std::max(1, high.bit_length()));
  }
  if (c.guard > 0) {
    code += shift_right(writer, acc, c.guard);
    high >>= c.guard;
    narrow(writer, acc, std::max(1, high.bit_length()));
  }
  // From here on the value is the result, which the proof bounds by the largest result.
  narrow(writer, acc, std::max(1, target.result_bits));
  if (writer.carry_overflow_of(acc)) {
    writer.clear_text();
    code += writer.flush_carry();
  }
  assert(c.corrections == 0);

  EmittedRoutine routine;
  const int input_bytes = (target.input_bits + 7) / 8;
  routine.output_bytes = std::max(input_bytes, (target.result_bits + 7) / 8);
  code += fit_output_bytes(writer, acc, routine.output_bytes);
  routine.instructions = static_cast<int>(std::count(code.begin(), code.end(), '\n'));
  routine.declarations =
      declaration_lines(names.acc, std::max(routine.output_bytes, bytes_named(code, names.acc))) +
      declaration_lines(names.temp, bytes_named(code, names.temp));
  routine.code = std::move(code);
  return routine;
}

}  // namespace tarvek
