// The deep verification run: the sweep of verify_sweep.h with more constants, more error
// limits and more inputs than the test suite's, for scripts/verify-deep.
//
// Options (all optional): --random-constants N, --errors-per-width N (0: all), --exhaustive-bits
// N, --random-inputs N, --seed N, --shard I/N, --core midrange|enhanced|baseline|both|all
// (default midrange; both is the two mid-range cores); --suite sets the test suite's values (later
// options override them). Prints a summary line and every failure shown; exit status 0 when every
// routine kept its promise, 1 otherwise, 64 on a usage error.
#include <cstdlib>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "verify_sweep.h"

namespace {

bool read_number(const char* text, long& value) {
  char* end = nullptr;
  value = std::strtol(text, &end, 10);
  return end != text && *end == '\0' && value >= 0;
}

}  // namespace

int main(int argc, char** argv) {
  long random_constants = 2000;
  long errors_per_width = 0;
  long exhaustive_bits = 16;
  long random_inputs = 1000;
  long seed = 1;
  long shard = 0;
  long shard_count = 1;
  std::vector<tarvek::Core> cores = {tarvek::Core::kMidrange};
  for (int i = 1; i < argc; ++i) {
    const std::string_view option = argv[i];
    long* target = nullptr;
    if (option == "--random-constants") target = &random_constants;
    if (option == "--errors-per-width") target = &errors_per_width;
    if (option == "--exhaustive-bits") target = &exhaustive_bits;
    if (option == "--random-inputs") target = &random_inputs;
    if (option == "--seed") target = &seed;
    if (option == "--suite") {
      // The test suite's own sweep (verify_sweep.h), e.g. to count what a change affects.
      random_constants = tarvek::kSuiteRandomConstants;
      seed = static_cast<long>(tarvek::kSuiteSeed);
      errors_per_width = 0;
      exhaustive_bits = tarvek::kSuiteInputs.exhaustive_bits;
      random_inputs = tarvek::kSuiteInputs.random_count;
      continue;
    }
    bool ok = i + 1 < argc;
    if (ok && option == "--core") {
      ok = tarvek::read_cores(argv[++i], cores);
    } else if (ok && option == "--shard") {
      const std::string value = argv[++i];
      const std::size_t slash = value.find('/');
      ok = slash != std::string::npos && read_number(value.substr(0, slash).c_str(), shard) &&
           read_number(value.substr(slash + 1).c_str(), shard_count) && shard < shard_count;
    } else if (ok && target != nullptr) {
      ok = read_number(argv[++i], *target);
    } else {
      ok = false;
    }
    if (!ok || random_constants > 1000000 || exhaustive_bits > 24 || random_inputs > 1000000) {
      std::cerr << "usage: verify_deep [--suite] [--random-constants N] [--errors-per-width N]\n"
                   "       [--exhaustive-bits N (<= 24)] [--random-inputs N] [--seed N]"
                   " [--shard I/N]\n"
                   "       [--core midrange|enhanced|baseline|both|all]\n";
      return 64;
    }
  }
  using namespace tarvek;
  const std::vector<RoutineRequest> requests =
      sweep_requests(sweep_constants(static_cast<int>(random_constants), seed),
                     RequestPlan{static_cast<int>(errors_per_width), {}, cores});
  long reported = 0;
  const SweepOutcome outcome = run_sweep(
      requests, InputPlan{static_cast<int>(exhaustive_bits), static_cast<int>(random_inputs)},
      static_cast<uint64_t>(seed), static_cast<int>(shard), static_cast<int>(shard_count),
      [&](const SweepOutcome& so_far) {
        if (so_far.requests % 10000 == 0) {
          std::cerr << "  " << so_far.requests << " requests, " << so_far.failed << " failed\n";
        }
        while (reported < static_cast<long>(so_far.failures.size())) {
          std::cout << "FAIL " << so_far.failures[static_cast<std::size_t>(reported++)] << "\n";
        }
      });
  std::cout << "shard " << shard << "/" << shard_count << ": " << outcome.requests << " requests, "
            << outcome.runs << " runs, " << outcome.no_term_requests << " without a term, "
            << outcome.failed << " failed\n";
  return outcome.failed == 0 ? 0 : 1;
}
