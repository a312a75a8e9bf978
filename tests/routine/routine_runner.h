// Generates the routine for one request and runs it on the simulator for chosen inputs,
// comparing what it leaves in the bytes named by its Output line with the documented
// product (reference_model.h).
#ifndef TARVEK_TESTS_ROUTINE_ROUTINE_RUNNER_H
#define TARVEK_TESTS_ROUTINE_ROUTINE_RUNNER_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "reference_model.h"
#include "sim/pic_program.h"

namespace tarvek {

struct RoutineRequest {
  double constant;
  int bits;
  double error;
  bool little_endian;
};

// "10 x 8 bits, error 0 %, big-endian": how failures name their request.
std::string describe(const RoutineRequest& request);

// The integer bits of the constant and the product's width, as the request driver
// computes them.
int output_bits_of(const RoutineRequest& request);

struct GeneratedRoutine {
  // The whole generated block: comment block, declarations, instructions.
  std::string block;
  // The chosen terms, for the reference model.
  std::vector<Term> terms;
  int input_bytes = 0;
  int output_bytes = 0;
  int output_bits = 0;
  bool little_endian = false;
  // The routine, parsed with every input and output byte declared (the routine itself need
  // not declare a byte it never touches); empty when `error` says why.
  std::optional<PicProgram> program;
  std::string error;
};

// Registers named ACC and TEMP.
GeneratedRoutine generate_routine(const RoutineRequest& request);

// The boundary values of a `bits`-bit input and `random_count` seeded pseudo-random ones,
// or every value when there are at most 2^10 of them.
std::vector<uint64_t> sample_inputs(int bits, int random_count, uint64_t seed);

// Runs the routine once per input, with arbitrary values in every other byte, W and the
// flags. Returns "" when each run leaves the documented product in the output bytes (bits
// above the output width zero); otherwise what went wrong, naming the first failing input.
std::string check_routine(const GeneratedRoutine& routine, const std::vector<uint64_t>& inputs,
                          uint64_t seed);

}  // namespace tarvek

#endif  // TARVEK_TESTS_ROUTINE_ROUTINE_RUNNER_H
