// The exact modes' sweep: requests over a family of constants, every width, both modes and
// byte orders, each routine generated the way the program generates it (the form's fields,
// its checks, its generator) and run on our simulator against the result its title line
// states, computed here with plain integer arithmetic.
#ifndef TARVEK_TESTS_EXACT_EXACT_SWEEP_H
#define TARVEK_TESTS_EXACT_EXACT_SWEEP_H

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "codegen/core.h"
#include "codegen/generator.h"
#include "sim/routine_check.h"

namespace tarvek {

// A request of an exact mode, as the form states it.
struct ExactSweepRequest {
  std::string constant;
  // Empty for none.
  std::string divide_by;
  // "floor", "nearest" or "trunc".
  std::string result;
  int bits = 8;
  bool little_endian = false;
  // Sent as Signed=1: a two's-complement input.
  bool is_signed = false;
  // Sent as Core=enhanced or Core=baseline for those cores, and not at all for the mid-range
  // one.
  Core core = Core::kMidrange;
  // Sent as Optimize=size for size, and not at all for speed.
  Optimize optimize = Optimize::kSpeed;
  // Sent as Label when not empty.
  std::string label = {};
  // Sent as Rem=REM: the remainder is left in REM too.
  bool remainder = false;
};

// ", enhanced core" or ", baseline core" for those cores, nothing for the mid-range one.
std::string core_suffix(Core core);

// "1/10 floor, 16 bits, big-endian" (with the core's suffix, and ", size" for a routine written
// for size): how failures name their request.
std::string describe(const ExactSweepRequest& request);

// The constants of the sweep as (Const, DivideBy) texts: the divisors 1 to 100 and 1000,
// 1/3, 2/3, 0.6, 1.2, 5000/1023, 3.14159265, 0.0488, the integers 10, 100, 1000, 45, 255 and
// 2^k - 1, 2^k + 1 for k = 2 to 12, each once.
std::vector<std::pair<std::string, std::string>> exact_sweep_constants();

// The numerator and denominator of K = Const / DivideBy, read here from the texts with no
// help from the program (decimal texts of at most 18 digits, or a/b).
ExactPromise expected_promise(const ExactSweepRequest& request);

// The bits the remainder's values need: those of d - 1, one more for a signed trunc.
int expected_remainder_bits(const ExactSweepRequest& request);

// The whole block as the program writes it, or the numbered error it refuses the request with
// (in `refusal`, 0 when there is a block); the registers are named `acc_name`, `temp_name` and,
// for a remainder, `rem_name`.
// Requires: valid register names that do not collide.
std::string generate_exact_block(const ExactSweepRequest& request, int& refusal,
                                 const std::string& acc_name = "ACC",
                                 const std::string& temp_name = "TEMP",
                                 const std::string& rem_name = "REM");

// A request and the whole block the program writes for it.
struct Made {
  ExactSweepRequest request;
  std::string block;
};

// The blocks of `requests` in their order, those the program refuses left out.
std::vector<Made> generate_exact_blocks(const std::vector<ExactSweepRequest>& requests);

struct ExactOutcome {
  long requests = 0;
  // Requests refused other than with 7 for a result that is always 0, by numbered error.
  long refused = 0;
  std::map<int, long> refusals;
  long runs = 0;
  long failed = 0;
  // Instructions of every routine made, summed: the figure the cost search is judged by.
  long instructions = 0;
  // The first few failures in full.
  std::vector<std::string> failures;
};

// Adds the counts of `part` to `total` and keeps the first few of their failures.
void add_outcome(ExactOutcome& total, const ExactOutcome& part);

// Generates and checks every request for its inputs (sample_inputs with `exhaustive_bits`
// and `random_count`, the inputs of request i drawn with seed + i + 1); a request the program
// refuses counts as a failure unless `refusals_allowed`. Every input of an exhaustive width is
// run, a slice at a time, so that no width needs a list of all its inputs.
ExactOutcome run_exact_sweep(const std::vector<ExactSweepRequest>& requests, int exhaustive_bits,
                             int random_count, uint64_t seed, bool refusals_allowed = false);

// Every request of the constants for the widths given, both byte orders, and either the
// unsigned modes floor and nearest or the signed modes floor, nearest and trunc, for `core`,
// written for `optimize`.
std::vector<ExactSweepRequest> exact_requests(
    const std::vector<std::pair<std::string, std::string>>& constants,
    const std::vector<int>& widths, bool is_signed = false, Core core = Core::kMidrange,
    Optimize optimize = Optimize::kSpeed);

// The constants of the remainder's sweep: the divisors 2 to 100, 1000 and 3600, and the
// fractions 5/9, 2/3, 5000/1023 and 10/7.
std::vector<std::pair<std::string, std::string>> remainder_sweep_constants();

// Every request with a remainder of the constants for the widths given, both byte orders,
// floor of an unsigned and of a signed input and trunc of a signed input, for `core`.
std::vector<ExactSweepRequest> remainder_requests(
    const std::vector<std::pair<std::string, std::string>>& constants,
    const std::vector<int>& widths, Core core = Core::kMidrange);

}  // namespace tarvek

#endif  // TARVEK_TESTS_EXACT_EXACT_SWEEP_H
