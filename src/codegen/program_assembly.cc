#include "codegen/program_assembly.h"

#include <algorithm>
#include <cassert>
#include <cstddef>

#include "codegen/arithmetic.h"
#include "codegen/code_writer.h"
#include "codegen/output_fit.h"
#include "codegen/shift.h"

namespace tarvek {
namespace {

// Digit index of the units position; larger indexes are fractional weights.
constexpr int kUnits = 31;

// Where the copy into the temporary register sits in the collected instructions, so that it
// can be taken out again when nothing ever read the copy.
struct CopySpan {
  std::size_t start = 0;
  std::size_t end = 0;
};

// The walk over the chosen digits, from the one just above the last term upwards. Terms
// below the units position are combined by Horner's rule in the accumulator (shift right,
// then add or subtract the input held in the temporary register); terms at and above it by
// shifting the temporary register left to the next term and adding or subtracting it.
void walk_digits(CodeWriter& writer, DigitString& digits, int term_end, Register& acc,
                 Register& temp, Code& code) {
  const int last = term_end - 1;
  int p = term_end - 2;
  while (p >= 0) {
    // The nearest nonzero digit at or above p; the units position stops the scan even when
    // its digit is 0, so that the accumulator is brought onto it.
    int q = p;
    int count = 1;
    while (digits[q] == 0 && q != kUnits) {
      --q;
      ++count;
      if (q < 0) return;
    }
    if (p + 1 > kUnits) code += shift_right(writer, acc, count);
    if (digits[last] == -1) {
      // A negative last term: the accumulator starts as minus the input. Clearing the digit
      // makes this happen only in the first pass.
      digits[last] = 0;
      code += negate_register(writer, acc);
      acc.is_signed = true;
    }
    if (p + 1 <= kUnits) code += shift_left(writer, temp, count);
    if (digits[q] == 1) {
      code += add_register(writer, acc, temp);
      if (acc.is_signed) {
        // The carry out of a two's-complement sum is no bit of the value.
        writer.set_carry_known(false, acc);
        writer.set_carry_overflow(false, acc);
      }
      acc.is_signed = false;
    } else if (digits[q] == -1) {
      code += subtract_register(writer, acc, temp);
      acc.is_signed = true;
    }
    p = q - 1;
  }
}

}  // namespace

Code assemble_instructions(CodeWriter& writer, Decomposition& decomposition, int output_bits,
                           int output_bytes, Register& acc, Register& temp) {
  assert(output_bits >= 1 && output_bits <= 127);
  assert(decomposition.term_end >= 1 && decomposition.term_end <= 96);
  assert(decomposition.input_bytes == (acc.width + 7) / 8);
  // The collected instructions.
  Code code;

  const int term_count = decomposition.term_count;
  const int term_end = decomposition.term_end;
  if (term_count == 0) {
    // No term could be chosen (the constant is too small for the input width; the comment
    // block says so and gives an error of 100 %). The routine then does what that comment
    // promises, an accumulator of 0, instead of shifting the input by an arbitrary amount.
    writer.clear_code();
    for (int k = 0; k < decomposition.input_bytes; ++k) writer.clrf(acc, k);
    code = writer.code;
  } else {
    if (term_end <= kUnits) code += shift_left(writer, acc, kUnits + 1 - term_end);
    CopySpan copy;
    if (term_count != 1) {
      copy.start = code.size();
      code += temp.copy_from(writer, acc);
      copy.end = code.size();
    }
    walk_digits(writer, decomposition.digits, term_end, acc, temp, code);
    if (output_bits > acc.width) {
      writer.clear_code();
      code += writer.flush_carry();
    }
    if (output_bytes > 0) code += fit_output_bytes(writer, acc, output_bytes);
    if (!temp.used && term_count != 1) {
      // No instruction read the temporary register: every use of it found the copied byte
      // still in W. Loading that byte is all the copy has to do; this load is written even
      // when the W record at the end of the routine would leave it out.
      writer.clear_code();
      writer.movf_w_always(acc, decomposition.input_bytes - 1);
      code.replace(copy.start, copy.end, writer.code);
      // That load stands near the start of the routine, so it tells nothing about W at the
      // end; nor does the record the walk left, which may name the byte the copy would have
      // written. Whatever the caller emits next must load W afresh.
      writer.w_register = nullptr;
    }
  }
  // A routine that only writes the accumulator (a whole-byte left shift, or the clearing
  // above) must still declare it, or its source would not assemble.
  if (!code.empty()) acc.used = true;
  return code;
}

std::string assemble_program(Decomposition& decomposition, int output_bits, Register& acc,
                             Register& temp, Core core, std::string_view opening) {
  assert(output_bits >= 1 && output_bits <= 63);
  CodeWriter writer(core);
  const Code code =
      assemble_instructions(writer, decomposition, output_bits, (output_bits + 7) / 8, acc, temp);
  // The Output line names the result bytes whatever the instructions touch, and the code
  // around the routine reads the result there: a constant of 1 has no instructions at all,
  // yet its result bytes must be declared for that code to assemble.
  acc.used = true;
  std::string block(opening);
  block += acc.cblock_listing();
  block += temp.cblock_listing();
  block += "\tendc\n\n";
  block += code.text();
  block += '\n';
  return block;
}

}  // namespace tarvek
