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

#include "codegen/code.h"
#include "codegen/core.h"
#include "exact/candidate.h"
#include "exact/target.h"

namespace tarvek {

// The registers a routine works on, as the request names them, and the core it is written
// for: every writer of the routine is made for that core, so its price is that core's.
struct RoutineNames {
  std::string acc;
  std::string temp;
  bool little_endian = false;
  Core core = Core::kMidrange;
  // The register that also receives the remainder a u + b - d q of the routine's target (empty
  // for none), how many of its low bytes hold it, and the byte number of the first of those
  // (a big-endian register of more bytes has its low ones last).
  std::string rem = {};
  int rem_bytes = 0;
  int rem_base = 0;
};

struct EmittedRoutine {
  // The instructions.
  Code code;
  // Instructions in `code` (its program words: label lines take none); for straight-line
  // code also its cycle count.
  int instructions = 0;
  // Bytes the Output line names: the input bytes, more when the result is wider.
  int output_bytes = 0;
  // Bytes of each register the code touches: every register keeps all the bytes it ever
  // held allocated (0 for a temporary register the code never reads).
  int acc_bytes = 0;
  int temp_bytes = 0;
};

// `output_bytes`, when positive, puts the result on that many bytes instead of the input
// bytes and those the result's width needs (a caller that goes on working on a wider value).
// Requires: prove(candidate, target) holds; output_bytes 0 or at least the bytes the result
// needs.
EmittedRoutine emit_candidate(const Candidate& candidate, const ResultTarget& target,
                              const RoutineNames& names, int output_bytes = 0);

// Lets the routine's temporary bytes share RAM (byte_sharing.h) and counts those left. The
// baseline core's routines get this once they are whole and cleaned up: the cleanup tells a
// byte's values apart only while they are in bytes of their own.
void share_bytes(EmittedRoutine& routine, const RoutineNames& names);

// The cblock lines of a routine: every accumulator byte from 0 up to the highest one its code
// or its Output line names, then the remainder's bytes (`rem_bytes`, which a signed
// remainder's sign may make more than names.rem_bytes), then every temporary byte its code
// touches.
std::string declaration_lines(const EmittedRoutine& routine, const RoutineNames& names,
                              int rem_bytes = 0);
// The names of those lines, in the same order.
std::vector<std::string> declared_names(const EmittedRoutine& routine, const RoutineNames& names,
                                        int rem_bytes = 0);
// How many of them are accumulator bytes.
int declared_acc_bytes(const EmittedRoutine& routine);

// Whether `a` is the better of two routines that compute the same for the core of `names`:
// fewer instructions (each one cycle), and on the baseline core, whose smallest parts have 16
// bytes of RAM, at equal instructions fewer bytes once their temporary bytes share RAM. The
// other cores' choices do not look at RAM.
bool better_routine(const EmittedRoutine& a, const EmittedRoutine& b, const RoutineNames& names);

}  // namespace tarvek

#endif  // TARVEK_EXACT_EMISSION_H
