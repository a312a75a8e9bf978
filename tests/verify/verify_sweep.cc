#include "verify_sweep.h"

#include <cmath>
#include <sstream>

namespace tarvek {
namespace {

uint64_t next_random(uint64_t& state) {
  uint64_t z = (state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

// A uniform double in [0, 1).
double unit(uint64_t& state) {
  return static_cast<double>(next_random(state) >> 11) * 0x1p-53;
}

void add_powers_of_two(std::vector<SweepConstant>& constants) {
  for (int k = -31; k <= 31; ++k) {
    const double power = std::ldexp(1.0, k);
    constants.push_back({power, "power of two"});
    // The nearest doubles, whose expansion has the longest runs of ones or zeros, and values
    // a little further off.
    constants.push_back({std::nextafter(power, 0.0), "just below a power of two"});
    constants.push_back({power * (1 - 0x1p-20), "just below a power of two"});
    // Above 2^31 a constant has 32 integer bits, which the form refuses.
    if (k < 31) {
      constants.push_back({std::nextafter(power, 1e300), "just above a power of two"});
      constants.push_back({power * (1 + 0x1p-20), "just above a power of two"});
    }
  }
}

void add_fractions(std::vector<SweepConstant>& constants) {
  const double fractions[] = {0.1,     1.0 / 3, 0.75,  0.4375,  1.75,    0.2,          2.0 / 3,
                              0.6,     0.9,     0.125, 1.0 / 7, 0.625,   1.5,          0.3,
                              1.25,    0.05,    0.01,  0.001,   1.0 / 9, 1.0 / 10,     3.0 / 7,
                              5.0 / 3, 2.5,     0.375, 0.99,    1.01,    0.5 + 0x1p-30};
  for (double f : fractions) constants.push_back({f, "simple fraction"});
}

void add_runs_of_ones(std::vector<SweepConstant>& constants) {
  // Integers 2^n - 1, the same runs moved below the units position, runs just below 1, and
  // runs inside a constant.
  for (int n = 2; n <= 31; n += 1) {
    const double run = std::ldexp(1.0, n) - 1;
    constants.push_back({run, "run of ones"});
    if (n % 3 == 0) constants.push_back({std::ldexp(run, -n - 3), "run of ones"});
    if (n % 4 == 1) constants.push_back({std::ldexp(run, -12), "run of ones"});
  }
  for (int n = 3; n <= 52; n += 7) constants.push_back({1 - std::ldexp(1.0, -n), "run of ones"});
  const double inside[] = {6141.0 /* 1011111111101b */,
                           4193280.0 /* 3FFC00h */,
                           0x7F7F7F7F / 65536.0,
                           0.999999,
                           0x1FFFFFp-22,
                           0x5555p-16,
                           0xAAAAAAAAp-31,
                           0xFFF000FFFp-18};
  for (double c : inside) constants.push_back({c, "run of ones"});
}

void add_mixed(std::vector<SweepConstant>& constants) {
  const double mixed[] = {3.14159265, 2.71828,   0.0488,     1.41421356, 0.70710678,
                          9.80665,    6.2831853, 57.2957795, 0.01745329, 25.4,
                          0.45359237, 0.3048,    1.8,        299.792458, 0.0254,
                          1.60217663, 4.1868,    0.62137119, 1.0 / 3.3,  3.3};
  for (double c : mixed) constants.push_back({c, "long mixed constant"});
}

void add_large_integers(std::vector<SweepConstant>& constants) {
  const double large[] = {
      2147483647.0, 2147483648.0,     1e9,        123456789.0, 1073741825.0,
      0x55555555,   0x7FFF0001,       1e6,        65535,       65536,
      65537,        16777215,         16777217,   1000,        1023,
      1025,         4294967295.0 / 2, 0x40000001, 0x12345678,  3000000000.0 / 2};
  for (double c : large) constants.push_back({c, "large integer"});
}

}  // namespace

std::vector<SweepConstant> sweep_constants(int random_count, uint64_t seed) {
  std::vector<SweepConstant> constants;
  add_powers_of_two(constants);
  add_fractions(constants);
  add_runs_of_ones(constants);
  add_mixed(constants);
  add_large_integers(constants);
  uint64_t state = seed;
  for (int i = 0; i < random_count; ++i) {
    double c = std::ldexp(1.0, -31 + static_cast<int>(62 * unit(state))) * (1 + unit(state));
    if (i % 4 == 0) {
      c = std::max(1.0, std::round(c));
    } else if (i % 4 == 1) {
      // A short mantissa: few nonzero digits, long zero stretches between terms.
      int exponent = 0;
      const double mantissa = std::frexp(c, &exponent);
      const int keep = 1 + static_cast<int>(next_random(state) % 12);
      c = std::ldexp(std::round(std::ldexp(mantissa, keep)), exponent - keep);
    }
    constants.push_back({c, "random"});
  }
  return constants;
}

const std::vector<std::string>& sweep_families() {
  static const std::vector<std::string> families = {"power of two",
                                                    "just below a power of two",
                                                    "just above a power of two",
                                                    "simple fraction",
                                                    "run of ones",
                                                    "long mixed constant",
                                                    "large integer",
                                                    "random"};
  return families;
}

const std::vector<double>& sweep_errors() {
  static const std::vector<double> errors = {0, 0.0001, 0.001, 0.01, 0.1, 0.5, 1, 3, 10, 25, 50};
  return errors;
}

std::vector<RoutineRequest> sweep_requests(const std::vector<SweepConstant>& constants,
                                           const RequestPlan& plan) {
  const std::vector<double>& errors = sweep_errors();
  const int error_count = static_cast<int>(errors.size());
  const int per_width = plan.errors_per_width <= 0 || plan.errors_per_width > error_count
                            ? error_count
                            : plan.errors_per_width;
  std::vector<int> widths = plan.widths;
  if (widths.empty()) {
    for (int bits = 1; bits <= 32; ++bits) widths.push_back(bits);
  }
  std::vector<RoutineRequest> requests;
  int rotation = 0;
  for (const SweepConstant& constant : constants) {
    for (int bits : widths) {
      for (int e = 0; e < per_width; ++e) {
        // Error 0 always; the others in turn.
        const double error =
            e == 0 ? errors[0] : errors[1 + (rotation + e - 1) % (error_count - 1)];
        for (bool little_endian : {false, true}) {
          for (const Core core : plan.cores) {
            const RoutineRequest request{constant.value, bits, error, little_endian, core};
            if (is_valid(request)) requests.push_back(request);
          }
        }
      }
      rotation += per_width - 1;
    }
  }
  return requests;
}

SweepOutcome run_sweep(const std::vector<RoutineRequest>& requests, const InputPlan& inputs,
                       uint64_t seed, int shard, int shard_count,
                       const std::function<void(const SweepOutcome&)>& progress) {
  SweepOutcome outcome;
  for (std::size_t i = static_cast<std::size_t>(shard); i < requests.size();
       i += static_cast<std::size_t>(shard_count)) {
    const RoutineRequest& request = requests[i];
    const std::string block = generate_block(request);
    const RoutineUnderCheck routine = under_check(request, block);
    const std::vector<uint64_t> values =
        sample_inputs(request.bits, inputs.exhaustive_bits, inputs.random_count, seed + i);
    const PrepareOutcome prepared = prepare_routine(routine);
    CheckReport report;
    if (prepared.routine) {
      if (prepared.routine->promise.terms.empty()) ++outcome.no_term_requests;
      report = check_prepared(*prepared.routine, values, seed ^ i);
    } else {
      report.failure = prepared.error;
    }
    ++outcome.requests;
    outcome.runs += report.inputs_checked;
    if (!report.passed) {
      ++outcome.failed;
      if (outcome.failures.size() < 20) {
        outcome.failures.push_back(describe(request) + ": " + report.failure);
      }
    }
    if (progress) progress(outcome);
  }
  return outcome;
}

}  // namespace tarvek
