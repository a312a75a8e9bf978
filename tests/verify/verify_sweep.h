// The space of requests the verification sweep covers, and the loop that checks each
// generated routine against what its comment block promises.
//
// Constants come in families: powers of two from 2^-31 to 2^31 and values just above and
// below them, simple fractions, long runs of ones, long mixed constants, large integers and
// seeded random ones. Each is combined with every input width the form accepts for it, both
// byte orders and allowed errors from 0 to 50 %; requests the program would refuse are left
// out, as the page would answer them with an error message.
#ifndef TARVEK_TESTS_VERIFY_VERIFY_SWEEP_H
#define TARVEK_TESTS_VERIFY_VERIFY_SWEEP_H

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "routine_runner.h"

namespace tarvek {

// A constant and the family it was taken from, for messages.
struct SweepConstant {
  double value;
  std::string family;
};

// The fixed families, then `random_count` seeded random constants spread evenly in
// magnitude from 2^-31 to 2^31 (a quarter of them integers, some with short mantissas).
std::vector<SweepConstant> sweep_constants(int random_count, uint64_t seed);

// The error limits the sweep draws from: 0, small ones and up to 50 %.
const std::vector<double>& sweep_errors();

// Which requests are made of each constant: every width in `widths` (all of 1 to 32 when
// empty), both byte orders, and `errors_per_width` error limits per width: 0 % and the others
// in turn, so that every limit meets every constant across the widths; 0 means all limits.
// Each of them for every core in `cores`.
struct RequestPlan {
  int errors_per_width = 0;
  std::vector<int> widths;
  std::vector<Core> cores = {Core::kMidrange};
};

// The families of sweep_constants(), in order.
const std::vector<std::string>& sweep_families();

// Every valid request of `constants` under `plan`.
std::vector<RoutineRequest> sweep_requests(const std::vector<SweepConstant>& constants,
                                           const RequestPlan& plan);

// Inputs per request: every value up to `exhaustive_bits`, else the edges and
// `random_count` random ones.
struct InputPlan {
  int exhaustive_bits = 12;
  int random_count = 64;
};

struct SweepOutcome {
  long requests = 0;
  long runs = 0;
  // Requests whose routine failed, and the first few failures in full.
  long failed = 0;
  std::vector<std::string> failures;
  // Requests for which no term could be chosen (the comment block's precision warning
  // before any term): their routines must leave 0.
  long no_term_requests = 0;
};

// The test suite's sweep: the fixed families and this many random constants from this seed,
// every width, every error limit, inputs exhaustive up to 12 bits and 48 random ones above
// (with the edges). scripts/verify-deep goes further.
inline constexpr int kSuiteRandomConstants = 200;
inline constexpr uint64_t kSuiteSeed = 2024;
inline constexpr InputPlan kSuiteInputs{12, 48};

// Checks every request; `shard`/`shard_count` takes every shard_count-th request only, for
// parallel runs. `progress`, when set, is called after every request with the running
// outcome.
SweepOutcome run_sweep(const std::vector<RoutineRequest>& requests, const InputPlan& inputs,
                       uint64_t seed, int shard = 0, int shard_count = 1,
                       const std::function<void(const SweepOutcome&)>& progress = nullptr);

}  // namespace tarvek

#endif  // TARVEK_TESTS_VERIFY_VERIFY_SWEEP_H
