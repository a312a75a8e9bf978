#include "cli/deviation.h"

#include <gtest/gtest.h>

#include <cmath>

namespace tarvek {
namespace {

TEST(ExactTargetTest, Deviations) {
  struct Case {
    const char* name;
    ExactTarget target;
    uint64_t x;
    uint64_t result;
    long double expected;
    // Allowed difference from `expected`.
    long double tolerance;
  };
  const uint64_t max32 = 4294967295u;
  const Case cases[] = {
      {"exact product", ExactTarget::times(10), 25, 250, 0, 0},
      {"one below", ExactTarget::times(10), 25, 249, -1, 0},
      {"above", ExactTarget::times(10), 25, 252, 2, 0},
      {"input 0", ExactTarget::times(10), 0, 0, 0, 0},
      // 0.1 as a double lies 5.55e-18 above 0.1; x * 0.1 in double precision would lose the
      // last part and give exactly -0.5.
      {"the double 0.1", ExactTarget::times(0.1), 255, 25, -0.5L - 1.4155343563970746e-15L, 1e-18L},
      // The exact product lies near 2^62; a long double product would be off by a quarter.
      {"fraction of a product near 2^62", ExactTarget::times(1073741824.25), max32,
       4611686018427387903u, -0.75L, 0},
      {"smallest constant", ExactTarget::times(std::ldexp(1.0, -31) * 1.5), max32, 2,
       -0.9999999993015081L, 1e-15L},
      {"largest constant", ExactTarget::times(2147483648.0), max32, 9223372034707292160u, 0, 0},
      {"divide exactly", ExactTarget::divided_by(10), 255, 25, -0.5L, 0},
      {"divide by 3", ExactTarget::divided_by(3), 10, 3, -1.0L / 3, 1e-18L},
      {"divide by 3 without remainder", ExactTarget::divided_by(3), max32, 1431655765u, 0, 0},
      {"divide by a fraction", ExactTarget::divided_by(0.75), 3, 4, 0, 0},
      // The double nearest 1e-9 is a little above it: x / D lies 267.497... below x * 10^9.
      {"divide by the double 1e-9", ExactTarget::divided_by(1e-9), max32, 4294967295000000000u,
       267.4973983917158L, 1e-12L},
      {"divide by a power of two", ExactTarget::divided_by(4), 7, 1, -0.75L, 0},
  };
  for (const Case& c : cases) {
    const long double got = c.target.deviation(c.x, c.result);
    if (c.tolerance == 0) {
      EXPECT_EQ(got, c.expected) << c.name;
    } else {
      EXPECT_NEAR(static_cast<double>(got - c.expected), 0.0, static_cast<double>(c.tolerance))
          << c.name;
    }
  }
}

TEST(ExactTargetTest, ExactProduct) {
  EXPECT_EQ(ExactTarget::times(10).exact(25), 250);
  EXPECT_EQ(ExactTarget::times(0.5).exact(3), 1.5L);
  EXPECT_EQ(ExactTarget::divided_by(8).exact(12), 1.5L);
  EXPECT_EQ(ExactTarget::divided_by(10).exact(0), 0);
}

TEST(DeviationTrackerTest, WorstAbsoluteAndRelative) {
  DeviationTracker tracker(ExactTarget::divided_by(10));
  EXPECT_FALSE(tracker.worst_absolute());
  EXPECT_FALSE(tracker.worst_relative());
  tracker.observe(0, 0);     // exact, and no relative deviation
  tracker.observe(9, 0);     // -0.9, -100 %
  tracker.observe(19, 1);    // -0.9 again: the first one stays
  tracker.observe(99, 9);    // -0.9, -9.09 %
  tracker.observe(100, 11);  // +1, +10 %
  ASSERT_TRUE(tracker.worst_absolute());
  EXPECT_EQ(tracker.worst_absolute()->value, 1);
  EXPECT_EQ(tracker.worst_absolute()->input, 100u);
  ASSERT_TRUE(tracker.worst_relative());
  EXPECT_EQ(tracker.worst_relative()->value, -100);
  EXPECT_EQ(tracker.worst_relative()->input, 9u);
  EXPECT_TRUE(tracker.skipped_zero());
}

TEST(DeviationTrackerTest, TiesKeepTheFirstInput) {
  DeviationTracker tracker(ExactTarget::times(0.5));
  tracker.observe(1, 0);  // -0.5, -100 %
  tracker.observe(3, 1);  // -0.5, -33 %
  tracker.observe(5, 2);  // -0.5, -20 %
  EXPECT_EQ(tracker.worst_absolute()->value, -0.5L);
  EXPECT_EQ(tracker.worst_absolute()->input, 1u);
  EXPECT_EQ(tracker.worst_relative()->input, 1u);
  EXPECT_FALSE(tracker.skipped_zero());
}

TEST(DeviationTrackerTest, OnlyInputZero) {
  DeviationTracker tracker(ExactTarget::times(3));
  tracker.observe(0, 0);
  ASSERT_TRUE(tracker.worst_absolute());
  EXPECT_EQ(tracker.worst_absolute()->value, 0);
  EXPECT_FALSE(tracker.worst_relative());
  EXPECT_TRUE(tracker.skipped_zero());
}

}  // namespace
}  // namespace tarvek
