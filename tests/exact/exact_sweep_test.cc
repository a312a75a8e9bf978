// The exact modes' contract, checked by running every routine: for every input (all of them
// up to 16 bits, edges and random ones above) from arbitrary bytes, W and flags, the output
// bytes hold floor(x * K) or floor(x * K + 1/2) with zero bits above the result's width, and
// every byte the routine touches is declared.
//
// The quick tests sample the space in every build; the family tests (label slow) cover every
// width of every constant of the family. Both run for every core, the enhanced core's family
// tests with every input up to 14 bits, the baseline core's, whose routines differ from the
// mid-range ones in fewer places but run on the smallest parts, up to 16; and for routines
// written for size as well as speed.
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

TEST(ExactSweepTest, QuickSampleEnhancedCore) {
  // Other constants of the family than the mid-range sample's, at other widths.
  const auto family = exact_sweep_constants();
  std::vector<std::pair<std::string, std::string>> sample;
  for (std::size_t i = 2; i < family.size(); i += 5) sample.push_back(family[i]);
  expect_clean(
      run_exact_sweep(exact_requests(sample, {1, 4, 8, 12, 16, 20, 32}, false, Core::kEnhanced), 11,
                      64, 9),
      "quick enhanced sample");
  expect_clean(
      run_exact_sweep(exact_requests(sample, {1, 3, 8, 10, 16, 17, 32}, true, Core::kEnhanced), 11,
                      64, 10),
      "quick enhanced signed sample");
}

TEST(ExactSweepTest, QuickSampleBaselineCore) {
  // Other constants of the family than the other cores' samples, at other widths.
  const auto family = exact_sweep_constants();
  std::vector<std::pair<std::string, std::string>> sample;
  for (std::size_t i = 4; i < family.size(); i += 5) sample.push_back(family[i]);
  expect_clean(
      run_exact_sweep(exact_requests(sample, {1, 2, 8, 9, 16, 21, 32}, false, Core::kBaseline), 11,
                      64, 15),
      "quick baseline sample");
  expect_clean(
      run_exact_sweep(exact_requests(sample, {1, 4, 8, 13, 16, 25, 32}, true, Core::kBaseline), 11,
                      64, 16),
      "quick baseline signed sample");
}

TEST(ExactSweepTest, QuickSamplePic18Core) {
  // Multiplier routines and walks of shifts and adds alike, on constants none of the other
  // cores' samples has.
  const auto family = exact_sweep_constants();
  std::vector<std::pair<std::string, std::string>> sample;
  for (std::size_t i = 1; i < family.size(); i += 5) sample.push_back(family[i]);
  expect_clean(
      run_exact_sweep(exact_requests(sample, {1, 5, 8, 12, 16, 19, 32}, false, Core::kPic18), 12,
                      64, 21),
      "quick PIC18 sample");
  expect_clean(
      run_exact_sweep(exact_requests(sample, {1, 3, 8, 11, 16, 24, 32}, true, Core::kPic18), 12, 64,
                      22),
      "quick PIC18 signed sample");
}

// Routines written for size, loops among them, on every core: other constants of the family
// than the samples above, every input up to 11 bits, edges and random ones above.
TEST(ExactSweepTest, QuickSampleForSize) {
  const auto family = exact_sweep_constants();
  std::vector<std::pair<std::string, std::string>> sample;
  for (std::size_t i = 4; i < family.size(); i += 7) sample.push_back(family[i]);
  for (const Core core : {Core::kMidrange, Core::kEnhanced, Core::kBaseline, Core::kPic18}) {
    const std::string what = core_suffix(core) + " ";
    expect_clean(run_exact_sweep(exact_requests(sample, {1, 3, 8, 11, 16, 24, 32}, false, core,
                                                Optimize::kSize),
                                 11, 64, 15),
                 "quick " + what + "size sample");
    expect_clean(run_exact_sweep(
                     exact_requests(sample, {1, 2, 8, 10, 16, 17, 32}, true, core, Optimize::kSize),
                     10, 64, 16),
                 "quick " + what + "signed size sample");
  }
}

// Instruction lines of a block: the lines after its declarations that start with a tab.
long instruction_count(const std::string& block) {
  std::size_t at = block.find("\tendc\n");
  if (at == std::string::npos) return 0;
  long count = 0;
  for (at += 6; at < block.size(); at = block.find('\n', at) + 1) {
    if (block[at] == '\t') ++count;
    if (block.find('\n', at) == std::string::npos) break;
  }
  return count;
}

TEST(ExactSweepTest, EnhancedRoutinesAreNeverLonger) {
  // Every candidate's enhanced routine is at most as long as its mid-range one, and the
  // search prices the same candidates, so no request may get a longer routine.
  const auto family = exact_sweep_constants();
  std::vector<std::pair<std::string, std::string>> sample;
  for (std::size_t i = 1; i < family.size(); i += 5) sample.push_back(family[i]);
  long midrange_total = 0;
  long enhanced_total = 0;
  for (const bool is_signed : {false, true}) {
    for (ExactSweepRequest request : exact_requests(sample, {8, 16, 32}, is_signed)) {
      int refusal = 0;
      const long midrange = instruction_count(generate_exact_block(request, refusal));
      request.core = Core::kEnhanced;
      const long enhanced = instruction_count(generate_exact_block(request, refusal));
      EXPECT_LE(enhanced, midrange) << describe(request);
      midrange_total += midrange;
      enhanced_total += enhanced;
    }
  }
  // And over the sample it is shorter by far.
  EXPECT_LT(enhanced_total * 5, midrange_total * 4);
}

TEST(ExactSweepTest, BaselineRoutinesCostLittleMore) {
  // A candidate's baseline routine differs from its mid-range one where a step has no addlw:
  // a single correction step (one instruction more without an offset b, fewer with one), a
  // nibble step's carry into its top byte (one more), and the finished routine's rewrites
  // that add a literal to W. Each stays within a tenth, and the sample within a fiftieth.
  const auto family = exact_sweep_constants();
  std::vector<std::pair<std::string, std::string>> sample;
  for (std::size_t i = 1; i < family.size(); i += 5) sample.push_back(family[i]);
  long midrange_total = 0;
  long baseline_total = 0;
  for (const bool is_signed : {false, true}) {
    for (ExactSweepRequest request : exact_requests(sample, {8, 16, 32}, is_signed)) {
      int refusal = 0;
      const long midrange = instruction_count(generate_exact_block(request, refusal));
      request.core = Core::kBaseline;
      const long baseline = instruction_count(generate_exact_block(request, refusal));
      EXPECT_LE(baseline * 10, midrange * 11 + 20) << describe(request);
      midrange_total += midrange;
      baseline_total += baseline;
    }
  }
  EXPECT_LE(baseline_total * 100, midrange_total * 102)
      << baseline_total << " for " << midrange_total;
}

TEST(ExactSweepTest, BaselineAnchorsTakeAtMostATenthMoreAndFitAPic10f200) {
  // What firmware divides and scales by most, as bench/routine_cost lists it: on the baseline
  // core within a tenth of the mid-range cycles (straight-line code: one cycle per
  // instruction), and in the 16 bytes of RAM of the smallest part.
  const ExactSweepRequest anchors[] = {
      {"1", "10", "floor", 8},
      {"1", "10", "floor", 16},
      {"1", "10", "floor", 32},
      {"1", "3", "floor", 16},
      {"1", "7", "floor", 16},
      {"0.6", "", "nearest", 8},
      {"1", "10", "trunc", 8, false, true},
      {"1", "10", "trunc", 16, false, true},
  };
  for (const ExactSweepRequest& anchor : anchors) {
    for (const bool little : {false, true}) {
      ExactSweepRequest request = anchor;
      request.little_endian = little;
      int refusal = 0;
      const long midrange = instruction_count(generate_exact_block(request, refusal));
      request.core = Core::kBaseline;
      const std::string block = generate_exact_block(request, refusal);
      const long baseline = instruction_count(block);
      EXPECT_GT(midrange, 0) << describe(request);
      EXPECT_LE(baseline * 10, midrange * 11)
          << describe(request) << ": " << baseline << " for " << midrange;
      const PromiseOutcome read = read_promise(block, "ACC", "TEMP");
      ASSERT_TRUE(read.promise) << describe(request) << ": " << read.error;
      EXPECT_GT(read.promise->ram_bytes, 0) << describe(request);
      EXPECT_LE(read.promise->ram_bytes, 16) << describe(request);
    }
  }
}

TEST(ExactSweepTest, SameRequestSameRoutine) {
  // The search carries nothing from one request to the next: generating a sample forwards and
  // then backwards gives every request the same text both times.
  const auto family = exact_sweep_constants();
  std::vector<std::pair<std::string, std::string>> sample;
  for (std::size_t i = 3; i < family.size(); i += 9) sample.push_back(family[i]);
  const auto requests = exact_requests(sample, {7, 16, 32}, false);
  std::vector<std::string> forwards;
  for (const ExactSweepRequest& request : requests) {
    int refusal = 0;
    forwards.push_back(generate_exact_block(request, refusal));
  }
  for (std::size_t i = requests.size(); i-- > 0;) {
    int refusal = 0;
    EXPECT_EQ(generate_exact_block(requests[i], refusal), forwards[i]) << describe(requests[i]);
  }
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

// The enhanced core's routines: every input up to 14 bits, edges and random ones above.
TEST_P(Slow, EveryConstantAtThisWidthEnhanced) {
  const int bits = GetParam();
  expect_clean(
      run_exact_sweep(exact_requests(exact_sweep_constants(), {bits}, false, Core::kEnhanced), 14,
                      400, 13),
      std::to_string(bits) + " bits, enhanced core");
}

TEST_P(Slow, EveryConstantAtThisWidthSignedEnhanced) {
  const int bits = GetParam();
  expect_clean(
      run_exact_sweep(exact_requests(exact_sweep_constants(), {bits}, true, Core::kEnhanced), 14,
                      400, 14),
      std::to_string(bits) + " bits, signed, enhanced core");
}

// The baseline core's routines: every input up to 16 bits, edges and random ones above.
TEST_P(Slow, EveryConstantAtThisWidthBaseline) {
  const int bits = GetParam();
  expect_clean(
      run_exact_sweep(exact_requests(exact_sweep_constants(), {bits}, false, Core::kBaseline), 16,
                      400, 17),
      std::to_string(bits) + " bits, baseline core");
}

TEST_P(Slow, EveryConstantAtThisWidthSignedBaseline) {
  const int bits = GetParam();
  expect_clean(
      run_exact_sweep(exact_requests(exact_sweep_constants(), {bits}, true, Core::kBaseline), 16,
                      400, 18),
      std::to_string(bits) + " bits, signed, baseline core");
}

// The PIC18 core's routines: every input up to 16 bits, edges and random ones above.
TEST_P(Slow, EveryConstantAtThisWidthPic18) {
  const int bits = GetParam();
  for (const bool is_signed : {false, true}) {
    expect_clean(
        run_exact_sweep(exact_requests(exact_sweep_constants(), {bits}, is_signed, Core::kPic18),
                        16, 400, 23),
        std::to_string(bits) + (is_signed ? " bits, signed, PIC18 core" : " bits, PIC18 core"));
  }
}

// Routines written for size: every input up to 16 bits (14 on the enhanced core), edges and
// random ones above; a loop runs one input at a time, on PicMachine.
TEST_P(Slow, EveryConstantAtThisWidthForSize) {
  const int bits = GetParam();
  expect_clean(run_exact_sweep(exact_requests(exact_sweep_constants(), {bits}, false,
                                              Core::kMidrange, Optimize::kSize),
                               16, 400, 17),
               std::to_string(bits) + " bits, size");
}

TEST_P(Slow, EveryConstantAtThisWidthSignedForSize) {
  const int bits = GetParam();
  expect_clean(run_exact_sweep(exact_requests(exact_sweep_constants(), {bits}, true,
                                              Core::kMidrange, Optimize::kSize),
                               16, 400, 18),
               std::to_string(bits) + " bits, signed, size");
}

TEST_P(Slow, EveryConstantAtThisWidthEnhancedForSize) {
  const int bits = GetParam();
  for (const bool is_signed : {false, true}) {
    expect_clean(run_exact_sweep(exact_requests(exact_sweep_constants(), {bits}, is_signed,
                                                Core::kEnhanced, Optimize::kSize),
                                 14, 400, 19),
                 std::to_string(bits) + " bits, enhanced core, size");
  }
}

INSTANTIATE_TEST_SUITE_P(Width, Slow, ::testing::Range(1, 33));

}  // namespace
}  // namespace tarvek
