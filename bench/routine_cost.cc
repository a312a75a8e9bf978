// Prints what the generated routines of a fixed list of requests cost: instruction words and
// instruction cycles (straight-line code: one cycle per instruction, a skipped one included),
// measured by running each routine on the simulator, which also checks it against its
// comment block. Each request is generated for the mid-range and for the enhanced mid-range
// core, side by side, and the closing lines give the totals and what the enhanced core saves.
// A second list does the same for the exact results' anchors (the divisions and scalings the
// exact modes are measured by, and their signed forms), and a third holds the anchors' baseline
// routines to within a tenth of their mid-range cycles and gives the RAM each takes.
// bench/routine_cost builds and runs it.
#include <cstdio>
#include <string>
#include <vector>

#include "exact_sweep.h"
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

// The exact anchors: what firmware divides and scales by most.
const tarvek::ExactSweepRequest kExactRequests[] = {
    {"1", "10", "floor", 8},
    {"1", "10", "floor", 16},
    {"1", "10", "floor", 32},
    {"1", "3", "floor", 16},
    {"1", "7", "floor", 16},
    {"0.6", "", "nearest", 8},
    {"1", "10", "trunc", 8, false, true},
    {"1", "10", "trunc", 16, false, true},
    {"0.6", "", "floor", 8, false, true},
    {"0.6", "", "floor", 16, false, true},
};

// The instructions saved, in percent of `before`.
double saving(long before, long after) {
  return before == 0 ? 0
                     : 100.0 * static_cast<double>(before - after) / static_cast<double>(before);
}

// How much more `after` is than `before`, in percent of `before`.
double more_in_percent(long before, long after) {
  return before == 0 ? 0
                     : 100.0 * static_cast<double>(after - before) / static_cast<double>(before);
}

// The exact anchors on the baseline core beside the mid-range core, with the RAM each baseline
// routine's comment block gives: each must stay within kBaselineMargin of its mid-range cycles.
// Returns the failures.
int baseline_anchors() {
  using namespace tarvek;
  constexpr double kBaselineMargin = 0.10;
  std::printf("\n%-34s %-6s %18s %18s %8s %8s %8s\n", "exact request", "order", "mid-range cyc",
              "baseline cyc", "more", "RAM", "checked");
  int failures = 0;
  long total[2] = {0, 0};
  for (const ExactSweepRequest& anchor : kExactRequests) {
    for (bool little_endian : {false, true}) {
      long cycles[2] = {0, 0};
      bool passed = true;
      for (const Core core : {Core::kMidrange, Core::kBaseline}) {
        const int k = core == Core::kBaseline ? 1 : 0;
        ExactSweepRequest request = anchor;
        request.little_endian = little_endian;
        request.core = core;
        const ExactOutcome outcome = run_exact_sweep({request}, 16, 4096, 1);
        passed = passed && outcome.failed == 0 && outcome.requests == 1;
        for (const std::string& failure : outcome.failures)
          std::fprintf(stderr, "%s\n", failure.c_str());
        cycles[k] = outcome.instructions;
        total[k] += outcome.instructions;
      }
      ExactSweepRequest request = anchor;
      request.little_endian = little_endian;
      request.core = Core::kBaseline;
      int refusal = 0;
      const PromiseOutcome read =
          read_promise(generate_exact_block(request, refusal), "ACC", "TEMP");
      const int ram = read.promise ? read.promise->ram_bytes : -1;
      const double more = more_in_percent(cycles[0], cycles[1]);
      if (more > 100 * kBaselineMargin) passed = false;
      if (!passed) ++failures;
      std::string name = anchor.result + "(x";
      name += anchor.divide_by.empty() ? " * " + anchor.constant : " / " + anchor.divide_by;
      name += "), " + std::to_string(anchor.bits) + " bits" + (anchor.is_signed ? ", signed" : "");
      std::printf("%-34s %-6s %18ld %18ld %7.1f%% %8d %8s\n", name.c_str(),
                  little_endian ? "little" : "big", cycles[0], cycles[1], more, ram,
                  passed ? "ok" : "FAILED");
    }
  }
  std::printf("exact total cycles: mid-range %ld, baseline %ld, %.1f %% more\n", total[0], total[1],
              more_in_percent(total[0], total[1]));
  return failures;
}

}  // namespace

int main() {
  using namespace tarvek;
  std::printf("%-34s %-6s %18s %18s %8s %8s\n", "request", "order", "mid-range in/cyc",
              "enhanced in/cyc", "saving", "checked");
  int failures = 0;
  long total[2] = {0, 0};
  long total_cycles[2] = {0, 0};
  for (const BenchRequest& b : kRequests) {
    for (bool little_endian : {false, true}) {
      char name[64];
      std::snprintf(name, sizeof name, "%.10g x %d bits, %g %%", b.constant, b.bits, b.error);
      CheckReport reports[2];
      bool passed = true;
      for (const Core core : {Core::kMidrange, Core::kEnhanced}) {
        const int k = core == Core::kEnhanced ? 1 : 0;
        const RoutineRequest request{b.constant, b.bits, b.error, little_endian, core};
        reports[k] = check_request(request, sample_inputs(b.bits, 12, 64, 1), 1);
        if (!reports[k].passed) {
          std::fprintf(stderr, "%s: %s\n", describe(request).c_str(), reports[k].failure.c_str());
          ++failures;
          passed = false;
        }
        total[k] += reports[k].instructions;
        total_cycles[k] += reports[k].cycles;
      }
      char midrange[32];
      char enhanced[32];
      std::snprintf(midrange, sizeof midrange, "%ld/%ld", reports[0].instructions,
                    reports[0].cycles);
      std::snprintf(enhanced, sizeof enhanced, "%ld/%ld", reports[1].instructions,
                    reports[1].cycles);
      std::printf("%-34s %-6s %18s %18s %7.1f%% %8s\n", name, little_endian ? "little" : "big",
                  midrange, enhanced, saving(reports[0].instructions, reports[1].instructions),
                  passed ? "ok" : "FAILED");
    }
  }
  std::printf("total instructions: mid-range %ld, enhanced %ld, saving %.1f %%\n", total[0],
              total[1], saving(total[0], total[1]));
  std::printf("total cycles:       mid-range %ld, enhanced %ld, saving %.1f %%\n", total_cycles[0],
              total_cycles[1], saving(total_cycles[0], total_cycles[1]));

  // The exact anchors, each checked on every input up to 16 bits and on edges and a sample
  // above. Their cycles equal their instructions: straight-line code, skips counted.
  std::printf("\n%-34s %-6s %18s %18s %8s %8s\n", "exact request", "order", "mid-range in",
              "enhanced in", "saving", "checked");
  long exact_total[2] = {0, 0};
  for (const ExactSweepRequest& anchor : kExactRequests) {
    for (bool little_endian : {false, true}) {
      long instructions[2] = {0, 0};
      bool passed = true;
      for (const Core core : {Core::kMidrange, Core::kEnhanced}) {
        const int k = core == Core::kEnhanced ? 1 : 0;
        ExactSweepRequest request = anchor;
        request.little_endian = little_endian;
        request.core = core;
        const ExactOutcome outcome = run_exact_sweep({request}, 16, 4096, 1);
        if (outcome.failed != 0 || outcome.requests != 1) {
          for (const std::string& failure : outcome.failures) {
            std::fprintf(stderr, "%s\n", failure.c_str());
          }
          ++failures;
          passed = false;
        }
        instructions[k] = outcome.instructions;
        exact_total[k] += outcome.instructions;
      }
      std::string name = anchor.result + "(x";
      name += anchor.divide_by.empty() ? " * " + anchor.constant : " / " + anchor.divide_by;
      name += "), " + std::to_string(anchor.bits) + " bits" + (anchor.is_signed ? ", signed" : "");
      std::printf("%-34s %-6s %18ld %18ld %7.1f%% %8s\n", name.c_str(),
                  little_endian ? "little" : "big", instructions[0], instructions[1],
                  saving(instructions[0], instructions[1]), passed ? "ok" : "FAILED");
    }
  }
  std::printf("exact total instructions: mid-range %ld, enhanced %ld, saving %.1f %%\n",
              exact_total[0], exact_total[1], saving(exact_total[0], exact_total[1]));
  failures += baseline_anchors();
  return failures == 0 ? 0 : 1;
}
