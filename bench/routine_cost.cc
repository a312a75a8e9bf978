// Prints what the generated routines of a fixed list of requests cost: instruction words and
// instruction cycles (straight-line code: one cycle per instruction, a skipped one included),
// measured by running each routine on the simulator, which also checks it against its
// comment block. bench/routine_cost builds and runs it.
#include <cstdio>
#include <string>
#include <vector>

#include "routine_runner.h"

namespace {

struct BenchRequest {
  double constant;
  int bits;
  double error;
};

// Typical requests: small and wide inputs, exact and approximated constants, divisions.
const BenchRequest kRequests[] = {
    {10, 8, 0},          {7, 8, 0},
    {1024, 8, 0},        {0.1, 8, 1},
    {0.1, 16, 0},        {1.0 / 3, 16, 0},
    {0.75, 12, 0},       {1.75, 9, 0},
    {3.3, 16, 0.5},      {3.14159265, 24, 0.01},
    {3.14159265, 32, 0}, {2.71828, 32, 0},
    {0.0488, 12, 0},     {1000, 10, 0},
    {65535, 24, 0},      {123456.78, 32, 0},
    {1.0 / 10, 32, 0},   {1.0 / 1000, 32, 0.01},
    {0.6, 4, 0},         {2147483647.0, 32, 0},
};

}  // namespace

int main() {
  using namespace tarvek;
  std::printf("%-34s %-6s %12s %7s %8s\n", "request", "order", "instructions", "cycles", "checked");
  int failures = 0;
  long total_instructions = 0;
  for (const BenchRequest& b : kRequests) {
    for (bool little_endian : {false, true}) {
      const RoutineRequest request{b.constant, b.bits, b.error, little_endian};
      char name[64];
      std::snprintf(name, sizeof name, "%.10g x %d bits, %g %%", b.constant, b.bits, b.error);
      const CheckReport report = check_request(request, sample_inputs(b.bits, 12, 64, 1), 1);
      std::printf("%-34s %-6s %12ld %7ld %8s\n", name, little_endian ? "little" : "big",
                  report.instructions, report.cycles, report.passed ? "ok" : "FAILED");
      if (!report.passed) {
        std::fprintf(stderr, "%s: %s\n", describe(request).c_str(), report.failure.c_str());
        ++failures;
      }
      total_instructions += report.instructions;
    }
  }
  std::printf("total instructions: %ld\n", total_instructions);
  return failures == 0 ? 0 : 1;
}
