// The digits mode's contract, checked by running every routine: for every input (all of them
// up to the width checked exhaustively, edges and random ones above) from arbitrary bytes, W
// and flags, the output bytes hold the input's digits in the form asked, every digit kept.
//
// The quick tests sample bases and widths in every build; the width tests (label slow) run
// every width from 1 to 16 with every input in the bases 2, 3, 7, 10, 16, 60, 100 and 256 in
// every form each allows, and the widths 17 to 32 at the edges and a sample, every core.
#include "digits_sweep.h"

#include <gtest/gtest.h>

namespace tarvek {
namespace {

const std::vector<int> kBases = {2, 3, 7, 10, 16, 60, 100, 256};

void expect_clean(const ExactOutcome& outcome, const std::string& what) {
  EXPECT_GT(outcome.requests, 0) << what;
  EXPECT_EQ(outcome.failed, 0) << what << ": " << outcome.failed << " of " << outcome.requests
                               << " requests failed";
  for (const std::string& failure : outcome.failures) ADD_FAILURE() << what << ": " << failure;
}

TEST(DigitsSweepTest, QuickSample) {
  expect_clean(run_digits_sweep(digits_requests(kBases, {1, 4, 8, 11}), 12, 64, 1), "narrow");
  expect_clean(run_digits_sweep(digits_requests({10, 60, 7}, {16, 17, 24, 32}), 12, 64, 2), "wide");
  expect_clean(
      run_digits_sweep(digits_requests({3, 10, 100}, {5, 13, 16, 32}, Core::kEnhanced), 12, 64, 3),
      "enhanced");
  expect_clean(
      run_digits_sweep(digits_requests({2, 10, 60, 256}, {3, 8, 12, 16, 24, 32}, Core::kBaseline),
                       12, 64, 6),
      "baseline");
  expect_clean(
      run_digits_sweep(digits_requests({2, 10, 16, 100}, {4, 8, 14, 16, 20, 32}, Core::kPic18), 12,
                       64, 7),
      "PIC18");
}

class DigitsWidth : public ::testing::TestWithParam<int> {};

TEST_P(DigitsWidth, EveryBaseEveryInput) {
  const int bits = GetParam();
  for (const Core core : {Core::kMidrange, Core::kEnhanced, Core::kBaseline, Core::kPic18}) {
    expect_clean(run_digits_sweep(digits_requests(kBases, {bits}, core), 16, 0, 4),
                 std::to_string(bits) + " bits");
  }
}

INSTANTIATE_TEST_SUITE_P(Slow, DigitsWidth, ::testing::Range(1, 17));

class DigitsWideWidth : public ::testing::TestWithParam<int> {};

TEST_P(DigitsWideWidth, EveryBaseAtTheEdges) {
  const int bits = GetParam();
  for (const Core core : {Core::kMidrange, Core::kEnhanced, Core::kBaseline, Core::kPic18}) {
    expect_clean(run_digits_sweep(digits_requests(kBases, {bits}, core), 16, 2000, 5),
                 std::to_string(bits) + " bits");
  }
}

INSTANTIATE_TEST_SUITE_P(Slow, DigitsWideWidth, ::testing::Range(17, 33));

}  // namespace
}  // namespace tarvek
