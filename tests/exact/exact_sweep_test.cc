// The exact modes' contract, checked by running every routine: for every input (all of them
// up to 16 bits, edges and random ones above) from arbitrary bytes, W and flags, the output
// bytes hold floor(x * K) or floor(x * K + 1/2) with zero bits above the result's width, and
// every byte the routine touches is declared.
//
// The quick test samples the space in every build; the family tests (label slow) cover every
// width of every constant of the family.
#include "exact_sweep.h"

#include <gtest/gtest.h>

namespace tarvek {
namespace {

void expect_clean(const ExactOutcome& outcome, const std::string& what) {
  EXPECT_GT(outcome.requests, 0) << what;
  EXPECT_EQ(outcome.failed, 0) << what << ": " << outcome.failed << " of " << outcome.requests
                               << " requests failed";
  for (const std::string& failure : outcome.failures) ADD_FAILURE() << what << ": " << failure;
}

TEST(ExactSweepTest, QuickSample) {
  // Every fifth constant of the family at a few widths, both modes and byte orders.
  const auto family = exact_sweep_constants();
  std::vector<std::pair<std::string, std::string>> sample;
  for (std::size_t i = 0; i < family.size(); i += 5) sample.push_back(family[i]);
  expect_clean(run_exact_sweep(exact_requests(sample, {1, 3, 8, 11, 16, 24, 32}), 11, 64, 7),
               "quick sample");
  expect_clean(run_exact_sweep(exact_requests(sample, {1, 2, 8, 11, 16, 24, 32}, true), 11, 64, 8),
               "quick signed sample");
}

class Slow : public ::testing::TestWithParam<int> {};

TEST_P(Slow, EveryConstantAtThisWidth) {
  const int bits = GetParam();
  expect_clean(run_exact_sweep(exact_requests(exact_sweep_constants(), {bits}), 16, 400, 11),
               std::to_string(bits) + " bits");
}

TEST_P(Slow, EveryConstantAtThisWidthSigned) {
  const int bits = GetParam();
  expect_clean(run_exact_sweep(exact_requests(exact_sweep_constants(), {bits}, true), 16, 400, 12),
               std::to_string(bits) + " bits, signed");
}

INSTANTIATE_TEST_SUITE_P(Width, Slow, ::testing::Range(1, 33));

}  // namespace
}  // namespace tarvek
