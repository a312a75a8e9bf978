// The first half of code generation: the constant as signed binary digits, the terms chosen
// to meet the allowed error, and the comment block that explains them.
//
// Guarantees: after decompose(), every digit is -1, 0 or +1; `term_count` is the number of
// nonzero digits below `term_end`, and when it is at least 1 the digit at term_end - 1 is
// the last chosen term.
#ifndef TARVEK_CODEGEN_DECOMPOSITION_H
#define TARVEK_CODEGEN_DECOMPOSITION_H

#include <array>
#include <cstdint>
#include <ostream>

#include "codegen/generator.h"
#include "codegen/register.h"

namespace tarvek {

// Index k has the weight 2^(31 - k): index 0 is 2^31, index 31 the units position, index 95
// is 2^-64.
using DigitString = std::array<int8_t, 96>;

// What program assembly needs from the decomposition.
struct Decomposition {
  // The recoded digits; program assembly clears one of them.
  DigitString digits{};
  // Number of nonzero digits chosen as terms.
  int term_count = 0;
  // One past the index of the last chosen term; digits from here on are ignored.
  int term_end = 0;
  // (input width + 7) / 8.
  int input_bytes = 0;
  // (output bits + 7) / 8.
  int output_bytes = 0;
  // The error of the chosen terms in percent of the constant, as the comment block states it
  // before rounding it to six decimals.
  double error_percent = 0;
  // The chosen terms meet the allowed error. When they do not, the input is too narrow for
  // further terms to tell apart, and the comment block carries a WARNING.
  bool within_error = false;
};

// The constant's plain binary digits, each 0 or 1: digit k is 1 when what is left of the
// constant is strictly greater than 2^(31 - k), which is then taken off. A value equal to a
// weight thus gives 0 there and ones at every lower index; bits below 2^-64 are dropped.
// Requires: 0 < constant <= 2^31.
DigitString expand_binary(double constant);

// Rewrites every run of three or more ones as +1 above the run, zeros and -1 at its least
// significant digit, walking from the least significant end; runs of one or two ones stay.
// Requires: every digit is 0 or 1. Leaves every digit -1, 0 or +1, same value.
void recode_runs(DigitString& digits);

// Expands, recodes and selects the terms of request.const_value and writes the comment block
// (title, algorithm, warning, error, Input and Output lines, no line break after the last)
// to `out`. `acc` is the input register: its name and width are read.
Decomposition decompose(std::ostream& out, const GeneratorRequest& request, const Register& acc);

}  // namespace tarvek

#endif  // TARVEK_CODEGEN_DECOMPOSITION_H
