#include "exact_reference.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <string>

namespace tarvek::fuzz {
namespace {

std::string name_of(const ExactAsk& ask) {
  static constexpr const char* kRounding[] = {"floor", "nearest", "trunc"};
  return std::to_string(static_cast<int>(ask.p)) + "/" + std::to_string(static_cast<int>(ask.q)) +
         " " + kRounding[static_cast<int>(ask.rounding)] + (ask.is_signed ? " signed " : " ") +
         std::to_string(ask.bits) + " bits";
}

// The result by its definition, stepping from 0 to the integer it names: the largest r with
// r q <= x p (floor) or 2 r q <= 2 x p + q (nearest); toward zero, the floor of a
// non-negative x K and the negated floor of -x K.
long slow_value(long p, long q, Rounding rounding, long x) {
  if (rounding == Rounding::kTrunc && x < 0) return -slow_value(p, q, Rounding::kFloor, -x);
  const long twice = rounding == Rounding::kNearest ? 2 * x * p + q : 2 * x * p;
  long r = 0;
  while (2 * r * q > twice) --r;
  while (2 * (r + 1) * q <= twice) ++r;
  return r;
}

// Every small fraction, width, signedness and kind of result, every input.
TEST(ExactReference, MatchesTheDefinitionOnEverySmallCase) {
  for (long p = 1; p <= 12; ++p) {
    for (long q = 1; q <= 12; ++q) {
      if (std::gcd(p, q) != 1) continue;
      for (const Rounding rounding : {Rounding::kFloor, Rounding::kNearest, Rounding::kTrunc}) {
        for (const bool is_signed : {false, true}) {
          for (int bits = 1; bits <= 6; ++bits) {
            const ExactAsk ask{static_cast<UInt128>(p), static_cast<UInt128>(q), rounding,
                               is_signed, bits};
            const long lowest = is_signed ? -(1L << (bits - 1)) : 0;
            const long highest = (1L << (is_signed ? bits - 1 : bits)) - 1;
            ASSERT_EQ(lowest_input(ask), lowest) << name_of(ask);
            ASSERT_EQ(highest_input(ask), highest) << name_of(ask);
            long smallest = 0;
            long largest = 0;
            for (long x = lowest; x <= highest; ++x) {
              const long wanted = slow_value(p, q, rounding, x);
              ASSERT_EQ(exact_value(ask, x), wanted) << name_of(ask) << ", x = " << x;
              smallest = std::min(smallest, wanted);
              largest = std::max(largest, wanted);
              const uint64_t pattern = input_pattern(ask, x);
              ASSERT_LT(pattern, uint64_t{1} << bits) << name_of(ask) << ", x = " << x;
              ASSERT_EQ(input_value(ask, pattern), x) << name_of(ask) << ", x = " << x;
            }
            // The narrowest width that holds every result; 0 when they are all 0, otherwise at
            // least 1.
            const auto holds = [&](int w) {
              return is_signed ? smallest >= -(1L << (w - 1)) && largest < (1L << (w - 1))
                               : largest < (1L << w);
            };
            int width = 0;
            if (smallest != 0 || largest != 0) {
              width = 1;
              while (!holds(width)) ++width;
            }
            ASSERT_EQ(result_width(ask), width) << name_of(ask);
          }
        }
      }
    }
  }
}

TEST(ExactReference, SignedResultsFillEveryOutputByte) {
  struct Case {
    const char* name;
    ExactAsk ask;
    Int128 result;
    uint64_t image;
  };
  const Case cases[] = {
      // 12-bit input, two bytes: -1 is 0xFFFF, as a C integer of two bytes holds it.
      {"-1 in two bytes", {1, 1, Rounding::kFloor, true, 12}, -1, 0xFFFF},
      {"-12 in one byte", {1, 10, Rounding::kTrunc, true, 8}, -12, 0xF4},
      // 8-bit input times 1000: results need 18 bits, three bytes.
      {"-128000 in three bytes", {1000, 1, Rounding::kFloor, true, 8}, -128000, 0xFE0C00},
      {"positive stays", {1000, 1, Rounding::kFloor, true, 8}, 127000, 0x01F018},
      {"unsigned", {3, 5, Rounding::kNearest, false, 8}, 153, 153},
      // 32-bit input times 2^31 - 1: 63-bit results in eight bytes.
      {"eight bytes",
       {2147483647, 1, Rounding::kFloor, true, 32},
       -(Int128{1} << 31) * 2147483647,
       static_cast<uint64_t>(-(int64_t{1} << 31) * int64_t{2147483647})},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(output_image(c.ask, c.result), c.image) << c.name;
  }
  EXPECT_EQ(output_bytes(cases[2].ask), 3);
  EXPECT_EQ(output_bytes(cases[5].ask), 8);
}

TEST(ExactReference, RefusesAsThePageDocuments) {
  struct Case {
    const char* name;
    ExactAsk ask;
    int code;
  };
  const UInt128 two_to_64 = UInt128{1} << 64;
  const Case cases[] = {
      {"2^31 itself", {UInt128{1} << 31, 1, Rounding::kFloor, false, 8}, 0},
      {"just above 2^31", {(UInt128{1} << 32) + 1, 2, Rounding::kFloor, false, 8}, 5},
      {"2^-8 on 8 bits", {1, 256, Rounding::kFloor, true, 8}, 7},
      {"just above 2^-8", {1, 255, Rounding::kFloor, false, 8}, 0},
      {"a numerator of 65 bits", {two_to_64 + 1, two_to_64, Rounding::kFloor, false, 8}, 10},
      // 2/511 is just above 2^-8, yet 255 * 2/511 is below 1.
      {"2/511 floor on 8 bits", {2, 511, Rounding::kFloor, false, 8}, 7},
      // -1 * 2/511 rounds down to -1: a signed floor is never 0 everywhere.
      {"2/511 signed floor on 8 bits", {2, 511, Rounding::kFloor, true, 8}, 0},
      // -128 * 2/511 is just below -1/2, which rounds to -1.
      {"2/511 signed nearest on 8 bits", {2, 511, Rounding::kNearest, true, 8}, 0},
      // 128 / 200 rounds toward zero to 0 at both ends.
      {"1/200 signed trunc on 8 bits", {1, 200, Rounding::kTrunc, true, 8}, 7},
      {"1/200 signed nearest on 8 bits", {1, 200, Rounding::kNearest, true, 8}, 0},
      {"1/200 unsigned trunc on 8 bits", {1, 200, Rounding::kTrunc, false, 8}, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(constant_refusal(c.ask), c.code) << c.name;
}

TEST(ExactReference, RunsTheEdgesTheStepsAndTheTies) {
  // x * 3/10 on a signed 8-bit input: the ties are x = 5 (mod 10), the first nonzero results
  // come at |x| = 2 (nearest) and 4 (floor and trunc).
  const ExactAsk ask{3, 10, Rounding::kNearest, true, 8};
  const uint64_t extra[] = {0x1234};
  const std::vector<uint64_t> inputs = inputs_to_run(ask, extra);
  EXPECT_TRUE(std::is_sorted(inputs.begin(), inputs.end()));
  EXPECT_EQ(std::adjacent_find(inputs.begin(), inputs.end()), inputs.end());
  for (const uint64_t x : inputs) EXPECT_LT(x, 256u);
  const auto has = [&](Int128 x) {
    return std::find(inputs.begin(), inputs.end(), input_pattern(ask, x)) != inputs.end();
  };
  for (const Int128 x : {-128, -127, -2, -1, 0, 1, 2, 126, 127, 4, -4, 5, -5, 125, -125}) {
    EXPECT_TRUE(has(x)) << static_cast<long>(x);
  }
  EXPECT_TRUE(has(0x34)) << "the extra input, masked";
  // Every tie that was added is one: 2 x p / q odd.
  for (const Int128 x : {5, -5, 125, -125}) {
    const Int128 twice = 2 * x * 3;
    EXPECT_TRUE(twice % 10 == 0 && (twice / 10) % 2 != 0) << static_cast<long>(x);
  }
}

}  // namespace
}  // namespace tarvek::fuzz
