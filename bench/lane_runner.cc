// Prints what checking a generated routine costs per input on the simulator: one input after
// the other on PicMachine (start from the seeded state, write the input, run, read the
// output), the same work 256 inputs at a time on LaneMachine, their ratio, and the whole
// check_prepared (which runs on the lane runner, and adds the reference results and their
// comparison). The inputs are those of a check: every input up to 12 bits, otherwise the
// edges and 256 seeded random ones. Both runners must give the same output for every input;
// the program fails otherwise, when a routine does not pass its check, or when the lanes do not
// run it (a routine with jumps, or for PIC18).
//
// Usage: lane_runner FILE...   each FILE a block as tarvek-asm prints it, for the default
// register names ACC and TEMP and byte 0 most significant.
// bench/lane_runner builds and runs it.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "sim/lane_machine.h"
#include "sim/pic_machine.h"
#include "sim/routine_check.h"

namespace {

using namespace tarvek;

constexpr uint64_t kSeed = 7;
constexpr int kBatchLanes = 256;

// Nanoseconds per input of `work`, which handles `inputs` inputs per call: the best of five
// measurements of at least 50 ms each, the least disturbed by whatever else the machine does.
double nanoseconds_per_input(std::size_t inputs, const std::function<void()>& work) {
  using Clock = std::chrono::steady_clock;
  double best = 0;
  for (int measurement = 0; measurement < 5; ++measurement) {
    long calls = 0;
    const Clock::time_point start = Clock::now();
    Clock::duration elapsed{};
    do {
      work();
      ++calls;
      elapsed = Clock::now() - start;
    } while (elapsed < std::chrono::milliseconds(50));
    const double ns = std::chrono::duration<double, std::nano>(elapsed).count() /
                      (static_cast<double>(calls) * static_cast<double>(inputs));
    if (measurement == 0 || ns < best) best = ns;
  }
  return best;
}

std::string read_file(const char* path) {
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Benchmarks one routine; false when it cannot be read, fails its check, or the runners
// disagree.
bool bench(const char* path) {
  const std::string block = read_file(path);
  const PromiseOutcome read = read_promise(block, "ACC");
  if (!read.promise) {
    std::fprintf(stderr, "%s: %s\n", path, read.error.c_str());
    return false;
  }
  const RoutinePromise& promise = *read.promise;
  const RoutineUnderCheck routine{
      block, "ACC", "TEMP", false, promise.input_bits, promise.output_bits, promise.core};
  const PrepareOutcome prepared = prepare_routine(routine);
  if (!prepared.routine) {
    std::fprintf(stderr, "%s: %s\n", path, prepared.error.c_str());
    return false;
  }
  const PreparedRoutine& r = *prepared.routine;
  if (!r.program.straight_line) {
    // A routine with jumps, or for PIC18, runs on PicMachine alone: there is nothing to compare.
    std::fprintf(stderr, "%s: not a routine the lanes run\n", path);
    return false;
  }
  const std::vector<uint64_t> inputs = sample_inputs(promise.input_bits, 12, 256, 1);
  const CheckReport report = check_prepared(r, inputs, kSeed);
  if (!report.passed) {
    std::fprintf(stderr, "%s: %s\n", path, report.failure.c_str());
    return false;
  }

  std::vector<uint64_t> one_by_one(inputs.size());
  PicMachine machine(r.program);
  const auto run_one_by_one = [&]() {
    for (std::size_t i = 0; i < inputs.size(); ++i) {
      machine.fill(kSeed + i);
      machine.write_value(r.input_indexes, inputs[i]);
      machine.run();
      one_by_one[i] = machine.read_value(r.output_indexes);
    }
  };
  std::vector<uint64_t> in_lanes(inputs.size());
  LaneMachine lanes(r.program, kBatchLanes);
  const auto run_in_lanes = [&]() {
    for (std::size_t start = 0; start < inputs.size(); start += kBatchLanes) {
      const std::size_t count = std::min<std::size_t>(kBatchLanes, inputs.size() - start);
      lanes.fill_lanes(static_cast<int>(count), kSeed + start);
      lanes.write_values(r.input_indexes, std::span(inputs).subspan(start, count));
      lanes.run(static_cast<int>(count));
      lanes.read_values(r.output_indexes, std::span(in_lanes).subspan(start, count));
    }
  };
  const double machine_ns = nanoseconds_per_input(inputs.size(), run_one_by_one);
  const double lanes_ns = nanoseconds_per_input(inputs.size(), run_in_lanes);
  const double check_ns =
      nanoseconds_per_input(inputs.size(), [&]() { check_prepared(r, inputs, kSeed); });
  if (one_by_one != in_lanes) {
    std::fprintf(stderr, "%s: the runners disagree\n", path);
    return false;
  }

  // The title line names the routine; the widths say which request it was.
  const std::string title = block.substr(0, block.find('\n'));
  char name[96];
  std::snprintf(name, sizeof name, "%s, %d bits%s", title.c_str(), promise.input_bits,
                promise.core == PicCore::kEnhanced ? ", enhanced" : "");
  std::printf("%-60s %6ld %7zu %12.1f %10.1f %7.1fx %11.1f\n", name, report.instructions,
              inputs.size(), machine_ns, lanes_ns, machine_ns / lanes_ns, check_ns);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::printf("%-60s %6s %7s %12s %10s %8s %11s\n", "routine", "instr", "inputs", "PicMachine",
              "lanes", "ratio", "check");
  std::printf("%-60s %6s %7s %12s %10s %8s %11s\n", "", "", "", "ns/input", "ns/input", "",
              "ns/input");
  bool passed = true;
  for (int i = 1; i < argc; ++i) passed = bench(argv[i]) && passed;
  return passed ? 0 : 1;
}
