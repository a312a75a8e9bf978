// Generates the routine for one request, with registers named ACC and TEMP, and checks it on
// the simulator against what its comment block promises (sim/routine_check.h).
#ifndef TARVEK_TESTS_ROUTINE_ROUTINE_RUNNER_H
#define TARVEK_TESTS_ROUTINE_ROUTINE_RUNNER_H

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "codegen/core.h"
#include "sim/routine_check.h"

namespace tarvek {

struct RoutineRequest {
  double constant;
  int bits;
  double error;
  bool little_endian;
  Core core = Core::kMidrange;
};

// "10 x 8 bits, error 0 %, big-endian" (", enhanced core" or ", baseline core" added for those
// cores): how failures name their request.
std::string describe(const RoutineRequest& request);

// The product's width, input bits plus the constant's integer bits, as the request driver
// computes it.
int output_bits_of(const RoutineRequest& request);

// True when the request driver would accept the request (constant and product width in
// range).
bool is_valid(const RoutineRequest& request);

// The whole generated block: comment block, declarations, instructions, with the
// registers named `acc_name` and `temp_name`.
// Requires: is_valid(request), valid names that do not collide.
std::string generate_block(const RoutineRequest& request, const std::string& acc_name = "ACC",
                           const std::string& temp_name = "TEMP");

// The routine check of a block generated for `request` with registers ACC and TEMP.
RoutineUnderCheck under_check(const RoutineRequest& request, const std::string& block);

// Generates the routine and checks it for `inputs`; run i starts from the arbitrary values
// of seed + i.
CheckReport check_request(const RoutineRequest& request, const std::vector<uint64_t>& inputs,
                          uint64_t seed);

// The cores a deep run's --core value names: "midrange", "enhanced", "baseline", "both" (the
// two mid-range ones) or "all". False, and `cores` untouched, for anything else.
bool read_cores(std::string_view value, std::vector<Core>& cores);

}  // namespace tarvek

#endif  // TARVEK_TESTS_ROUTINE_ROUTINE_RUNNER_H
