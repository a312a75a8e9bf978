// A wide sweep of generated routines on the simulator: many constants, every width, both
// byte orders, several error bounds. Slow; the quick cases live in routine_test.cc.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "routine_runner.h"

namespace tarvek {
namespace {

// Constants spread over the whole range: small fractions, values near 1, exact and odd
// integers, and large ones.
std::vector<double> sweep_constants() {
  std::vector<double> constants = {0.1,   0.3,   0.55,     0.7071, 0.9,     1.0,  1.01, 1.5,
                                   1.999, 2.0,   2.718,    3.3,    7.0,     10.0, 13.7, 60.0,
                                   99.99, 127.0, 1000.001, 4096.0, 32767.0, 1e5,  3e6,  123456.78};
  return constants;
}

TEST(RoutineSweepTest, ConstantsByWidthAndOrder) {
  int failures = 0;
  int requests = 0;
  for (double constant : sweep_constants()) {
    for (int bits = 1; bits <= 32; ++bits) {
      for (double error : {0.0, 0.5, 5.0}) {
        for (bool little_endian : {false, true}) {
          const RoutineRequest request{constant, bits, error, little_endian};
          if (!is_valid(request)) continue;
          ++requests;
          const CheckReport report =
              check_request(request, sample_inputs(bits, 10, 24, 5 + bits), 3);
          if (!report.passed) {
            ++failures;
            ADD_FAILURE() << describe(request) << ": " << report.failure;
          }
        }
      }
    }
  }
  EXPECT_EQ(failures, 0) << "of " << requests << " requests";
}

// The PIC18 core computes the same documented product in its own instruction forms.
TEST(RoutineSweepTest, Pic18ConstantsByWidthAndOrder) {
  int failures = 0;
  int requests = 0;
  for (double constant : sweep_constants()) {
    for (int bits = 1; bits <= 32; bits += 3) {
      for (bool little_endian : {false, true}) {
        const RoutineRequest request{constant, bits, 0.5, little_endian, Core::kPic18};
        if (!is_valid(request)) continue;
        ++requests;
        const CheckReport report = check_request(request, sample_inputs(bits, 16, 64, bits), 4);
        if (!report.passed) {
          ++failures;
          ADD_FAILURE() << describe(request) << ": " << report.failure;
        }
      }
    }
  }
  EXPECT_EQ(failures, 0) << "of " << requests << " requests";
}

uint64_t next_random(uint64_t& state) {
  state += 0x9E3779B97F4A7C15ull;
  uint64_t z = state;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

// Constants spread evenly in magnitude from 2^-10 to 2^31 (a quarter of them rounded to
// integers), with any width, byte order and error bound the form accepts.
TEST(RoutineSweepTest, RandomRequests) {
  const double errors[] = {0, 0.001, 0.01, 0.1, 1, 5, 10, 25, 50};
  uint64_t state = 2024;
  int failures = 0;
  int requests = 0;
  while (requests < 20000) {
    const double unit = static_cast<double>(next_random(state) >> 11) * 0x1p-53;
    double constant = std::pow(2.0, -10 + 41 * unit);
    if (next_random(state) % 4 == 0) constant = std::round(constant);
    const int bits = 1 + static_cast<int>(next_random(state) % 32);
    const double error = errors[next_random(state) % 9];
    const bool little_endian = next_random(state) % 2 == 1;
    const RoutineRequest request{constant, bits, error, little_endian};
    if (!is_valid(request)) continue;
    ++requests;
    const CheckReport report =
        check_request(request, sample_inputs(bits, 10, 16, state), static_cast<uint64_t>(requests));
    if (!report.passed) {
      ++failures;
      ADD_FAILURE() << describe(request) << ": " << report.failure;
    }
  }
  EXPECT_EQ(failures, 0) << "of " << requests << " requests";
}

}  // namespace
}  // namespace tarvek
