// Turns a candidate into PIC instructions with the existing generators: the digit walk of
// program assembly, the constant addition, the right shift and the output fit, all through
// one CodeWriter so that what W holds and what the carry means carry over between them.
//
// The same call prices a candidate (its instruction count) and writes the chosen one, so the
// price is always that of the code printed.
#ifndef TARVEK_EXACT_EMISSION_H
#define TARVEK_EXACT_EMISSION_H

#include <string>
#include <vector>

#include "exact/candidate.h"
#include "exact/target.h"

namespace tarvek {

// The registers a routine works on, as the request names them.
struct RoutineNames {
  std::string acc;
  std::string temp;
  bool little_endian = false;
};

struct EmittedRoutine {
  // The instruction lines, "\tmnemonic\toperands\n" each.
  std::string code;
  // Lines of `code`; straight-line code, so also its cycle count.
  int instructions = 0;
  // Bytes the Output line names: the input bytes, more when the result is wider.
  int output_bytes = 0;
  // The cblock lines: every accumulator byte from 0 up to the highest one the routine or its
  // Output line names, then every temporary byte from 0 up to the highest one the routine
  // names.
  std::string declarations;
};

// Requires: prove(candidate, target) holds.
EmittedRoutine emit_candidate(const Candidate& candidate, const ExactTarget& target,
                              const RoutineNames& names);

}  // namespace tarvek

#endif  // TARVEK_EXACT_EMISSION_H
