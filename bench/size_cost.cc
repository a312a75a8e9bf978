// What routines written for size cost beside those written for speed: for the requests that
// hand-written loops are measured by and for the exact anchors, the program words and the
// cycles (fewest and most over every input) of the routine for speed and of the routine for
// size, on the mid-range and the enhanced mid-range core, beside the hand-written loops'
// figures (mid-range) and the textbook restoring loop that divides a 16-bit value by an 8-bit
// one (21 words, 196 cycles). Every routine is run on our simulator against its promise (every
// input up to 16 bits, edges and a sample above); the cycles printed are those its Routine
// line states, which must agree with the runs: the same where every input ran, and within
// them where a sample ran. bench/size_cost builds and runs it; exit status 1 when a routine is
// wrong or its Routine line disagrees with its runs.
#include <cstdio>
#include <regex>
#include <string>
#include <vector>

#include "exact_sweep.h"
#include "sim/routine_check.h"

namespace {

using tarvek::Core;
using tarvek::ExactSweepRequest;
using tarvek::Optimize;

struct HandWritten {
  int words;
  long fewest;
  long most;
  // A second, faster loop; 0 words for none.
  int fast_words = 0;
  long fast_cycles = 0;
};

struct Row {
  const char* name;
  ExactSweepRequest request;
  // 0 words for none known.
  HandWritten hand;
  // The most words the size routine may have; 0 for no goal.
  int goal_words;
};

const Row kGoals[] = {
    {"floor(x / 10), 8 bits", {"1", "10", "floor", 8}, {6, 6, 131, 11, 74}, 6},
    {"floor(x / 10), 16 bits", {"1", "10", "floor", 16}, {12, 162, 162, 14, 149}, 12},
    {"floor(x / 10), 32 bits", {"1", "10", "floor", 32}, {14, 386, 386}, 14},
    {"floor(x / 1000), 32 bits", {"1", "1000", "floor", 32}, {15, 363, 363}, 15},
    {"floor(5000 x / 1023), 10 bits", {"5000/1023", "", "floor", 10}, {19, 332, 512}, 19},
    {"nearest(x * 3.14159265), 32 bits", {"3.14159265", "", "nearest", 32}, {}, 40},
};

const Row kAnchors[] = {
    {"floor(x / 3), 16 bits", {"1", "3", "floor", 16}, {}, 0},
    {"floor(x / 7), 16 bits", {"1", "7", "floor", 16}, {}, 0},
    {"nearest(x * 0.6), 8 bits", {"0.6", "", "nearest", 8}, {}, 0},
    {"trunc(x / 10), 8 bits, signed", {"1", "10", "trunc", 8, false, true}, {}, 0},
    {"trunc(x / 10), 16 bits, signed", {"1", "10", "trunc", 16, false, true}, {}, 0},
    {"floor(x * 0.6), 8 bits, signed", {"0.6", "", "floor", 8, false, true}, {}, 0},
    {"floor(x * 0.6), 16 bits, signed", {"0.6", "", "floor", 16, false, true}, {}, 0},
};

struct Cost {
  bool ok = false;
  int words = 0;
  long fewest = 0;
  long most = 0;
};

// The routine's words and documented cycles, checked against its runs.
Cost cost_of(ExactSweepRequest request, Core core, Optimize optimize) {
  request.core = core;
  request.optimize = optimize;
  int refusal = 0;
  const std::string block = tarvek::generate_exact_block(request, refusal);
  Cost cost;
  std::smatch m;
  static const std::regex line(
      R"(; Routine: (\d+) (?:words|instructions), (\d+)(?: to (\d+))? cycles)");
  if (refusal != 0 || !std::regex_search(block, m, line)) {
    std::fprintf(stderr, "%s: refused with #%d\n", tarvek::describe(request).c_str(), refusal);
    return cost;
  }
  cost.words = std::stoi(m[1].str());
  cost.fewest = std::stol(m[2].str());
  cost.most = m[3].matched ? std::stol(m[3].str()) : cost.fewest;
  // The Output line's width is the one the request asks for: the sweep checks that.
  const tarvek::PromiseOutcome read = tarvek::read_promise(block, "ACC");
  const tarvek::RoutineUnderCheck checked{
      block,
      "ACC",
      "TEMP",
      false,
      request.bits,
      read.promise ? read.promise->output_bits : 1,
      core == Core::kEnhanced ? tarvek::PicCore::kEnhanced : tarvek::PicCore::kMidrange};
  const bool every = request.bits <= 16;
  const std::vector<uint64_t> inputs = tarvek::sample_inputs(request.bits, 16, 4096, 3);
  const tarvek::CheckReport report = tarvek::check_routine(checked, inputs, 3);
  const bool agrees = report.instructions == cost.words &&
                      (every ? report.fewest_cycles == cost.fewest && report.cycles == cost.most
                             : report.fewest_cycles >= cost.fewest && report.cycles <= cost.most);
  if (!report.passed || !agrees) {
    std::fprintf(
        stderr, "%s: %s (runs: %ld words, %ld to %ld cycles)\n", tarvek::describe(request).c_str(),
        report.passed ? "the Routine line disagrees with the runs" : report.failure.c_str(),
        report.instructions, report.fewest_cycles, report.cycles);
    return cost;
  }
  cost.ok = true;
  return cost;
}

std::string cycles_text(long fewest, long most) {
  return fewest == most ? std::to_string(most)
                        : std::to_string(fewest) + "-" + std::to_string(most);
}

std::string cost_text(const Cost& cost) {
  if (!cost.ok) return "FAILED";
  return std::to_string(cost.words) + " / " + cycles_text(cost.fewest, cost.most);
}

std::string hand_text(const HandWritten& hand) {
  if (hand.words == 0) return "-";
  std::string text = std::to_string(hand.words) + " / " + cycles_text(hand.fewest, hand.most);
  if (hand.fast_words > 0) {
    text += "; " + std::to_string(hand.fast_words) + " / " + std::to_string(hand.fast_cycles);
  }
  return text;
}

// Prints one table; returns the number of routines that failed.
int print_table(const char* title, const Row* rows, std::size_t count, bool goals) {
  std::printf("\n%s\n", title);
  std::printf("%-34s %14s %16s %14s %16s %22s %s\n", "request (words / cycles)", "speed midrange",
              "size midrange", "speed enhanced", "size enhanced", "hand-written midrange",
              goals ? "goal" : "");
  int failures = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const Row& row = rows[i];
    const Cost speed = cost_of(row.request, Core::kMidrange, Optimize::kSpeed);
    const Cost size = cost_of(row.request, Core::kMidrange, Optimize::kSize);
    const Cost speed_e = cost_of(row.request, Core::kEnhanced, Optimize::kSpeed);
    const Cost size_e = cost_of(row.request, Core::kEnhanced, Optimize::kSize);
    failures += !speed.ok + !size.ok + !speed_e.ok + !size_e.ok;
    std::string goal;
    if (goals && row.goal_words > 0) {
      // At most the words; with as many words, no more cycles in the worst case.
      const bool met =
          size.ok &&
          (size.words < row.goal_words ||
           (size.words == row.goal_words && (row.hand.words == 0 || size.most <= row.hand.most)));
      goal =
          (met ? "met (at most " : "missed (at most ") + std::to_string(row.goal_words) + " words)";
    }
    std::printf("%-34s %14s %16s %14s %16s %22s %s\n", row.name, cost_text(speed).c_str(),
                cost_text(size).c_str(), cost_text(speed_e).c_str(), cost_text(size_e).c_str(),
                hand_text(row.hand).c_str(), goal.c_str());
  }
  return failures;
}

}  // namespace

int main() {
  std::printf(
      "Program words and cycles (fewest-most over every input) of the routines for speed "
      "and for size\n");
  int failures = print_table("The hand-written loops' requests", kGoals, std::size(kGoals), true);
  failures += print_table("The exact anchors", kAnchors, std::size(kAnchors), false);
  std::printf(
      "\nTextbook restoring loop dividing a 16-bit value by an 8-bit one: 21 words, 196 "
      "cycles\n");
  return failures == 0 ? 0 : 1;
}
