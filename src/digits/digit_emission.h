// Turns a proven column plan into PIC instructions through one CodeWriter, so that what W holds
// carries over between the steps.
//
// First every term a chunk cannot take into W by itself is summed, from the input as it
// arrived, into a scratch byte of the chunk's own (a part is loaded once and added to every
// group and chunk that has it; a group's half is shifted out of it into W). Then the columns
// are normalised from the lowest up: W takes the chunk's byte, the groups and carries it adds
// as they are, its one-bit terms by a bit test and a literal (a first chunk may load a part
// of the input that no digit has overwritten yet), and the restoring comparisons shift each
// quotient bit into its carry's byte, which is the digit's own output byte where that digit
// has no other carry to hold. The remainder is the digit, stored as the form wants it.
//
// A part of the input the columns read after a digit has overwritten its byte is either summed
// beforehand with the chunk's other terms, or read from a copy of the byte made first; both are
// written and the shorter kept. The same call prices a plan (its instruction count) and writes
// the chosen one.
#ifndef TARVEK_DIGITS_DIGIT_EMISSION_H
#define TARVEK_DIGITS_DIGIT_EMISSION_H

#include <string>

#include "codegen/code.h"
#include "codegen/core.h"
#include "digits/column_plan.h"
#include "digits/digit_spec.h"
#include "digits/plan_analysis.h"

namespace tarvek {

// The registers a digits routine works on, as the request names them.
struct DigitNames {
  std::string acc;
  std::string temp;
  Core core = Core::kMidrange;
};

struct EmittedDigits {
  Code code;
  // Instructions in `code`; straight-line code, so also its cycle count.
  int instructions = 0;
  // Bytes of the scratch register the code uses.
  int temp_bytes = 0;
};

// Requires: prove_plan(plan, spec) holds; `analysis` is analyze(plan, spec), as the proof
// found it.
EmittedDigits emit_plan(const ColumnPlan& plan, const DigitSpec& spec, const DigitNames& names,
                        const PlanAnalysis& analysis);

// The same, the analysis made here.
EmittedDigits emit_plan(const ColumnPlan& plan, const DigitSpec& spec, const DigitNames& names);

}  // namespace tarvek

#endif  // TARVEK_DIGITS_DIGIT_EMISSION_H
