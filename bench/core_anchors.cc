// The exact anchors on every core side by side: instructions (cycles, in straight-line code)
// on the mid-range, enhanced and PIC18 cores, the PIC18 routine's share of multiplier
// instructions, and the PIC18 goal where there is one. Every routine is run on our simulator
// against its promise first (every input up to 16 bits, edges and a sample above).
//
// bench/core_anchors builds and runs it. Exit status 1 when a routine is wrong or refused.
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "exact_sweep.h"

namespace {

using tarvek::Core;
using tarvek::ExactSweepRequest;

struct Anchor {
  const char* name;
  ExactSweepRequest request;
  // The most cycles the PIC18 routine should take; 0 when no goal is set.
  int pic18_goal;
};

const Anchor kAnchors[] = {
    {"floor(x / 10), 8 bits", {"1", "10", "floor", 8}, 8},
    {"floor(x / 10), 16 bits", {"1", "10", "floor", 16}, 30},
    {"floor(x / 10), 32 bits", {"1", "10", "floor", 32}, 80},
    {"floor(x / 3), 16 bits", {"1", "3", "floor", 16}, 30},
    {"floor(x / 7), 16 bits", {"1", "7", "floor", 16}, 30},
    {"nearest(x * 0.6), 8 bits", {"0.6", "", "nearest", 8}, 8},
    {"floor(x / 100), 16 bits", {"1", "100", "floor", 16}, 0},
    {"floor(x / 1000), 32 bits", {"1", "1000", "floor", 32}, 0},
    {"floor(x * 5000/1023), 10 bits", {"5000/1023", "", "floor", 10}, 0},
    {"nearest(x * 3.14159265), 32 bits", {"3.14159265", "", "nearest", 32}, 0},
    {"trunc(x / 10), signed 16 bits", {"1", "10", "trunc", 16, false, true}, 0},
};

// Instructions of a checked routine, or -1 (with a message) when it is wrong or refused.
long checked_instructions(const ExactSweepRequest& request) {
  const tarvek::ExactOutcome outcome = tarvek::run_exact_sweep({request}, 16, 256, 1);
  if (outcome.failed != 0 || outcome.runs == 0) {
    std::fprintf(stderr, "%s: %s\n", tarvek::describe(request).c_str(),
                 outcome.failures.empty() ? "refused" : outcome.failures.front().c_str());
    return -1;
  }
  return outcome.instructions;
}

// Multiplier instructions among the instruction lines of a block.
int multiplications(const std::string& block) {
  std::istringstream lines(block);
  std::string line;
  int count = 0;
  while (std::getline(lines, line)) {
    if (line.rfind("\tmullw\t", 0) == 0 || line.rfind("\tmulwf\t", 0) == 0) ++count;
  }
  return count;
}

}  // namespace

int main() {
  bool failed = false;
  std::printf("%-36s %9s %9s %7s %11s %6s\n", "request", "mid-range", "enhanced", "PIC18",
              "multiplier", "goal");
  for (const Anchor& anchor : kAnchors) {
    long cycles[3] = {};
    const Core cores[3] = {Core::kMidrange, Core::kEnhanced, Core::kPic18};
    for (int k = 0; k < 3; ++k) {
      ExactSweepRequest request = anchor.request;
      request.core = cores[k];
      cycles[k] = checked_instructions(request);
      failed = failed || cycles[k] < 0;
    }
    ExactSweepRequest pic18 = anchor.request;
    pic18.core = Core::kPic18;
    int refusal = 0;
    const int multiplied = multiplications(tarvek::generate_exact_block(pic18, refusal));
    const std::string share = cycles[2] > 0
                                  ? std::to_string(multiplied) + " (" +
                                        std::to_string(100 * multiplied / cycles[2]) + " %)"
                                  : "-";
    const std::string goal =
        anchor.pic18_goal > 0
            ? (cycles[2] <= anchor.pic18_goal ? "<= " : "> ") + std::to_string(anchor.pic18_goal)
            : "";
    std::printf("%-36s %9ld %9ld %7ld %11s %6s\n", anchor.name, cycles[0], cycles[1], cycles[2],
                share.c_str(), goal.c_str());
  }
  return failed ? 1 : 0;
}
