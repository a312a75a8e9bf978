// The verification sweep: every generated routine of a broad space of requests keeps, on our
// simulator, what its comment block promises (sim/routine_check.h): the documented product
// in exactly the bytes of the Output line with zero bits above its bit count, from arbitrary
// bytes, W and flags, every byte it touches declared, 0 when no term could be chosen.
//
// The quick test samples the space for every build; the family tests (label slow) cover it
// all: every width, every error limit, both byte orders, inputs exhaustive up to 12 bits.
#include "verify_sweep.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <ostream>
#include <string>
#include <vector>

namespace tarvek {
namespace {

std::vector<SweepConstant> suite_constants(const std::string& family) {
  std::vector<SweepConstant> chosen;
  for (const SweepConstant& c : sweep_constants(kSuiteRandomConstants, kSuiteSeed)) {
    if (c.family == family) chosen.push_back(c);
  }
  return chosen;
}

void expect_clean(const SweepOutcome& outcome, const std::string& what) {
  EXPECT_GT(outcome.requests, 0) << what;
  EXPECT_EQ(outcome.failed, 0) << what << ": " << outcome.failed << " of " << outcome.requests
                               << " requests failed";
  for (const std::string& failure : outcome.failures) ADD_FAILURE() << what << ": " << failure;
}

TEST(VerifySweepTest, ConstantFamiliesAreWhatTheyClaim) {
  const std::vector<SweepConstant> constants = sweep_constants(kSuiteRandomConstants, kSuiteSeed);
  int powers = 0;
  for (const SweepConstant& c : constants) {
    EXPECT_GT(c.value, 0) << c.family;
    EXPECT_LE(c.value, 0x1p31) << c.family;
    int exponent = 0;
    const double mantissa = std::frexp(c.value, &exponent);
    if (c.family == "power of two") {
      EXPECT_EQ(mantissa, 0.5) << c.value;
      ++powers;
    } else if (c.family == "just below a power of two") {
      EXPECT_GT(mantissa, 0.99) << c.value;
    } else if (c.family == "just above a power of two") {
      EXPECT_LT(mantissa, 0.51) << c.value;
      EXPECT_GT(mantissa, 0.5) << c.value;
    }
  }
  EXPECT_EQ(powers, 63);  // 2^-31 to 2^31
  for (const std::string& family : sweep_families()) {
    EXPECT_FALSE(suite_constants(family).empty()) << family;
  }
  EXPECT_EQ(suite_constants("random").size(), static_cast<std::size_t>(kSuiteRandomConstants));
}

TEST(VerifySweepTest, RequestsCoverEveryWidthErrorAndOrder) {
  const std::vector<RoutineRequest> requests =
      sweep_requests({{0.75, "simple fraction"}}, RequestPlan{0, {}});
  // 0.75 is valid with every width; 32 widths, 11 limits, 2 orders.
  ASSERT_EQ(requests.size(), 32u * sweep_errors().size() * 2);
  const std::vector<RoutineRequest> rotated =
      sweep_requests({{0.75, "simple fraction"}}, RequestPlan{2, {}});
  ASSERT_EQ(rotated.size(), 32u * 2 * 2);
  std::vector<int> seen(sweep_errors().size(), 0);
  for (const RoutineRequest& r : rotated) {
    for (std::size_t e = 0; e < sweep_errors().size(); ++e) seen[e] += r.error == sweep_errors()[e];
  }
  for (std::size_t e = 0; e < seen.size(); ++e) EXPECT_GT(seen[e], 0) << sweep_errors()[e];
  // Requests the form refuses are left out: 2^-31 needs all 32 bits.
  EXPECT_EQ(sweep_requests({{0x1p-31, "power of two"}}, RequestPlan{1, {}}).size(), 2u);
}

// A sample of the whole space, quick enough for the sanitizer build.
TEST(VerifySweepTest, QuickSample) {
  std::vector<SweepConstant> constants = sweep_constants(20, kSuiteSeed);
  const std::vector<RoutineRequest> requests =
      sweep_requests(constants, RequestPlan{2, {1, 2, 7, 8, 9, 15, 16, 17, 31, 32}});
  const SweepOutcome outcome = run_sweep(requests, InputPlan{6, 6}, kSuiteSeed);
  expect_clean(outcome, "quick sample");
  // Some constants are too small for some widths: their routines must leave 0.
  EXPECT_GT(outcome.no_term_requests, 0);
}

// The same sample for the enhanced core: the same promises, kept in its own instructions.
TEST(VerifySweepTest, QuickSampleEnhanced) {
  std::vector<SweepConstant> constants = sweep_constants(20, kSuiteSeed);
  const std::vector<RoutineRequest> requests = sweep_requests(
      constants, RequestPlan{2, {1, 2, 7, 8, 9, 15, 16, 17, 31, 32}, {Core::kEnhanced}});
  ASSERT_FALSE(requests.empty());
  for (const RoutineRequest& r : requests) ASSERT_EQ(r.core, Core::kEnhanced);
  const SweepOutcome outcome = run_sweep(requests, InputPlan{6, 6}, kSuiteSeed);
  expect_clean(outcome, "quick enhanced sample");
  EXPECT_GT(outcome.no_term_requests, 0);
}

// The same sample for the baseline core: the mid-range routines' promises, checked on a
// simulator that refuses what that core lacks, each with a RAM line that names its bytes.
TEST(VerifySweepTest, QuickSampleBaseline) {
  std::vector<SweepConstant> constants = sweep_constants(20, kSuiteSeed);
  const std::vector<RoutineRequest> requests = sweep_requests(
      constants, RequestPlan{2, {1, 2, 7, 8, 9, 15, 16, 17, 31, 32}, {Core::kBaseline}});
  ASSERT_FALSE(requests.empty());
  for (const RoutineRequest& r : requests) ASSERT_EQ(r.core, Core::kBaseline);
  const SweepOutcome outcome = run_sweep(requests, InputPlan{6, 6}, kSuiteSeed);
  expect_clean(outcome, "quick baseline sample");
  EXPECT_GT(outcome.no_term_requests, 0);
}

// One part of the suite's sweep: a family, or a share of it (the random constants take
// longest and are split so that parallel test runs can share them out).
struct SweepPart {
  std::string family;
  int shard;
  int shard_count;
};

// How test listings name a part.
void PrintTo(const SweepPart& part, std::ostream* out) {
  *out << part.family << " " << part.shard << "/" << part.shard_count;
}

std::vector<SweepPart> sweep_parts() {
  std::vector<SweepPart> parts;
  for (const std::string& family : sweep_families()) {
    const int shards = family == "random" ? 4 : 1;
    for (int i = 0; i < shards; ++i) parts.push_back({family, i, shards});
  }
  return parts;
}

class FamilySweep : public testing::TestWithParam<SweepPart> {};

TEST_P(FamilySweep, EveryRoutineKeepsItsPromise) {
  const SweepPart& part = GetParam();
  const std::vector<RoutineRequest> requests =
      sweep_requests(suite_constants(part.family), RequestPlan{0, {}});
  const SweepOutcome outcome =
      run_sweep(requests, kSuiteInputs, kSuiteSeed, part.shard, part.shard_count);
  expect_clean(outcome, part.family);
}

// The enhanced core on a sample of the same family: every width and byte order, three error
// limits per width (0 % and two of the others in turn); scripts/verify-deep --core enhanced
// runs all of it.
TEST_P(FamilySweep, EveryEnhancedRoutineOfASampleKeepsItsPromise) {
  const SweepPart& part = GetParam();
  const std::vector<RoutineRequest> requests =
      sweep_requests(suite_constants(part.family), RequestPlan{3, {}, {Core::kEnhanced}});
  const SweepOutcome outcome =
      run_sweep(requests, kSuiteInputs, kSuiteSeed, part.shard, part.shard_count);
  expect_clean(outcome, part.family + ", enhanced core");
}

// The baseline core on a sample of the same family, as the enhanced core's; scripts/verify-deep
// --core baseline runs all of it.
TEST_P(FamilySweep, EveryBaselineRoutineOfASampleKeepsItsPromise) {
  const SweepPart& part = GetParam();
  const std::vector<RoutineRequest> requests =
      sweep_requests(suite_constants(part.family), RequestPlan{3, {}, {Core::kBaseline}});
  const SweepOutcome outcome =
      run_sweep(requests, kSuiteInputs, kSuiteSeed, part.shard, part.shard_count);
  expect_clean(outcome, part.family + ", baseline core");
}

INSTANTIATE_TEST_SUITE_P(Slow, FamilySweep, testing::ValuesIn(sweep_parts()),
                         [](const testing::TestParamInfo<SweepPart>& info) {
                           std::string name;
                           for (char c : info.param.family) name += std::isalnum(c) ? c : '_';
                           if (info.param.shard_count > 1) name += std::to_string(info.param.shard);
                           return name;
                         });

}  // namespace
}  // namespace tarvek
