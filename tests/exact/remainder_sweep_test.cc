// The remainder's contract, checked by running every routine: for every input (all of them up
// to the width checked exhaustively, edges and random ones above) from arbitrary bytes, W and
// flags, the output bytes hold the result and the remainder's bytes a x - d q, computed here
// from the title line's constant, in [0, d) for floor and zero or of x's sign for a signed
// trunc, sign-extended through its bytes.
//
// The quick tests sample the family in every build; the family tests (label slow) run every
// divisor at every width from 1 to 16 with every input, floor of unsigned and signed inputs and
// trunc of signed ones, both byte orders, every core.
#include <gtest/gtest.h>

#include "exact_sweep.h"

namespace tarvek {
namespace {

void expect_clean(const ExactOutcome& outcome, const std::string& what) {
  EXPECT_GT(outcome.requests, 0) << what;
  EXPECT_EQ(outcome.failed, 0) << what << ": " << outcome.failed << " of " << outcome.requests
                               << " requests failed";
  for (const std::string& failure : outcome.failures) ADD_FAILURE() << what << ": " << failure;
}

TEST(RemainderSweepTest, QuickSample) {
  // Every seventh constant of the family, and the long ones, at a few widths.
  const auto family = remainder_sweep_constants();
  std::vector<std::pair<std::string, std::string>> sample;
  for (std::size_t i = 0; i < family.size(); i += 7) sample.push_back(family[i]);
  for (std::size_t i = family.size() - 6; i < family.size(); ++i) sample.push_back(family[i]);
  expect_clean(run_exact_sweep(remainder_requests(sample, {1, 5, 8, 12, 16, 24, 32}), 12, 64, 3),
               "quick sample");
  expect_clean(run_exact_sweep(remainder_requests(sample, {2, 7, 9, 16, 17, 32}, Core::kEnhanced),
                               12, 64, 4),
               "quick enhanced sample");
  expect_clean(
      run_exact_sweep(remainder_requests(sample, {1, 3, 8, 11, 16, 23, 32}, Core::kBaseline), 12,
                      64, 8),
      "quick baseline sample");
  expect_clean(run_exact_sweep(remainder_requests(sample, {2, 6, 8, 13, 16, 25, 32}, Core::kPic18),
                               12, 64, 9),
               "quick PIC18 sample");
}

TEST(RemainderSweepTest, RemainderBitsAndBytes) {
  // The register has the bytes its values need, unsigned or signed, declared and named.
  struct Case {
    const char* name;
    ExactSweepRequest request;
    const char* line;
  };
  const Case cases[] = {
      {"x % 10", {"1", "10", "floor", 16, false, false}, "; Remainder: REM0\t(4 bits)"},
      {"signed x % 10", {"1", "10", "trunc", 16, false, true}, "; Remainder: REM0\t(5 bits)"},
      {"x % 256", {"1", "256", "floor", 12, false, false}, "; Remainder: REM0\t(8 bits)"},
      {"signed x % 200",
       {"1", "200", "trunc", 12, true, true},
       "; Remainder: REM0 .. REM1\t(9 bits)"},
      {"x % 3600", {"1", "3600", "floor", 24, true, false}, "; Remainder: REM0 .. REM1\t(12 bits)"},
      {"5000/1023",
       {"5000/1023", "", "floor", 16, false, false},
       "; Remainder: REM0 .. REM1\t(10 bits)"},
  };
  for (Case c : cases) {
    c.request.remainder = true;
    int refusal = 0;
    const std::string block = generate_exact_block(c.request, refusal);
    ASSERT_EQ(refusal, 0) << c.name;
    EXPECT_NE(block.find(std::string("\n") + c.line + "\n"), std::string::npos) << c.name;
    EXPECT_NE(block.find("\tREM0\n"), std::string::npos) << c.name;
    EXPECT_NE(block.find("; Identity: x * "), std::string::npos) << c.name;
  }
}

class RemainderWidth : public ::testing::TestWithParam<int> {};

TEST_P(RemainderWidth, EveryDivisorEveryInput) {
  const int bits = GetParam();
  expect_clean(run_exact_sweep(remainder_requests(remainder_sweep_constants(), {bits}), 16, 0, 5),
               std::to_string(bits) + " bits");
}

TEST_P(RemainderWidth, EveryDivisorEveryInputEnhanced) {
  const int bits = GetParam();
  expect_clean(
      run_exact_sweep(remainder_requests(remainder_sweep_constants(), {bits}, Core::kEnhanced), 16,
                      0, 6),
      std::to_string(bits) + " bits, enhanced core");
}

TEST_P(RemainderWidth, EveryDivisorEveryInputBaseline) {
  const int bits = GetParam();
  expect_clean(
      run_exact_sweep(remainder_requests(remainder_sweep_constants(), {bits}, Core::kBaseline), 16,
                      0, 9),
      std::to_string(bits) + " bits, baseline core");
}

TEST_P(RemainderWidth, EveryDivisorEveryInputPic18) {
  const int bits = GetParam();
  expect_clean(
      run_exact_sweep(remainder_requests(remainder_sweep_constants(), {bits}, Core::kPic18), 16, 0,
                      10),
      std::to_string(bits) + " bits, PIC18 core");
}

INSTANTIATE_TEST_SUITE_P(Slow, RemainderWidth, ::testing::Range(1, 17));

// Above 16 bits: the edges and a sample, every divisor, every core.
class RemainderWideWidth : public ::testing::TestWithParam<int> {};

TEST_P(RemainderWideWidth, EveryDivisorAtTheEdges) {
  const int bits = GetParam();
  for (const Core core : {Core::kMidrange, Core::kEnhanced, Core::kBaseline, Core::kPic18}) {
    expect_clean(
        run_exact_sweep(remainder_requests(remainder_sweep_constants(), {bits}, core), 16, 200, 7),
        std::to_string(bits) + " bits");
  }
}

INSTANTIATE_TEST_SUITE_P(Slow, RemainderWideWidth, ::testing::Range(17, 33));

}  // namespace
}  // namespace tarvek
