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

std::string byte_lines(const std::string& name, int count) {
  std::string lines;
  for (int k = 0; k < count; ++k) lines += "\t" + name + std::to_string(k) + "\n";
  return lines;
}

}  // namespace

EmittedRoutine emit_candidate(const Candidate& c, const ResultTarget& target,
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
  routine.acc_bytes = acc.bytes;
  // A copy into temp that nothing read was dropped, and nothing else writes temp.
  routine.temp_bytes = temp.used ? temp.bytes : 0;
  routine.code = std::move(code);
  return routine;
}

std::string declaration_lines(const EmittedRoutine& routine, const RoutineNames& names) {
  return byte_lines(names.acc, std::max(routine.output_bytes, routine.acc_bytes)) +
         byte_lines(names.temp, routine.temp_bytes);
}

}  // namespace tarvek
