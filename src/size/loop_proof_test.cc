// The loop plans and their proofs, against plain integer arithmetic computed here: every plan
// the proof accepts leaves the exact result for every input of its model, the invariant's
// proof of wide inputs agrees with running every input, and a plan changed in any part that
// matters is refused.
#include "size/loop_proof.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "exact/fraction.h"
#include "size/loop_plan.h"

namespace tarvek {
namespace {

struct Constant {
  uint64_t p;
  uint64_t q;
};

// floor(x p / q) or floor(x p / q + 1/2), in 128 bits.
uint64_t expected(const Constant& k, bool nearest, uint64_t x) {
  const auto n = static_cast<UInt128>(x) * k.p;
  return static_cast<uint64_t>(nearest ? (2 * n + k.q) / (2 * k.q) : n / k.q);
}

ResultTarget target_of(const Constant& k, bool nearest, int bits) {
  return make_target(Fraction::of(BigInt::from_unsigned(k.p), BigInt::from_unsigned(k.q)),
                     nearest ? ResultMode::kNearest : ResultMode::kFloor, bits);
}

std::string name_of(const Constant& k, bool nearest, int bits) {
  return std::to_string(k.p) + "/" + std::to_string(k.q) + (nearest ? " nearest, " : " floor, ") +
         std::to_string(bits) + " bits";
}

const Constant kConstants[] = {
    {1, 3},   {1, 5},   {1, 7},    {1, 10},  {1, 12},  {1, 100},
    {1, 125}, {1, 127}, {1, 1000}, {2, 3},   {3, 5},   {5000, 1023},
    {10, 1},  {45, 1},  {255, 1},  {1, 129}, {7, 100}, {314159265, 100000000}};

TEST(LoopProof, EveryProvenPlanLeavesTheExactResultForEveryInput) {
  for (const Constant& k : kConstants) {
    for (const bool nearest : {false, true}) {
      for (const int bits : {1, 2, 5, 8, 9, 12}) {
        const ResultTarget target = target_of(k, nearest, bits);
        if (target.result_bits == 0) continue;
        const std::string name = name_of(k, nearest, bits);
        int proven = 0;
        for (const LoopPlan& plan : make_loop_plans(target, 12)) {
          const LoopProof proof = prove_plan(plan, target, 12);
          if (!proof.holds) continue;
          ++proven;
          EXPECT_TRUE(proof.every_input) << name;
          for (uint64_t x = 0; x < (uint64_t{1} << bits); ++x) {
            const std::optional<UInt128> value = loop_model(plan, target, x);
            ASSERT_TRUE(value) << name << ", " << describe(plan) << ", input " << x;
            ASSERT_EQ(static_cast<uint64_t>(*value), expected(k, nearest, x))
                << name << ", " << describe(plan) << ", input " << x;
          }
        }
        // A multiply loop can always be made exact for inputs evaluated one by one.
        EXPECT_GT(proven, 0) << name;
      }
    }
  }
}

// Inputs wider than the effort evaluates rest on the invariant at both ends; running every
// input of a 16-bit range shows that what it accepts holds everywhere.
TEST(LoopProof, TheInvariantAtBothEndsHoldsForEveryInput) {
  int proven = 0;
  for (const Constant& k : {Constant{1, 10}, Constant{1, 1000}, Constant{3, 5}, Constant{1, 7},
                            Constant{10, 1}, Constant{5000, 1023}}) {
    for (const bool nearest : {false, true}) {
      const ResultTarget target = target_of(k, nearest, 16);
      for (const LoopPlan& plan : make_loop_plans(target, 8)) {
        const LoopProof proof = prove_plan(plan, target, 8);
        if (!proof.holds) continue;
        ++proven;
        EXPECT_FALSE(proof.every_input);
        for (uint64_t x = 0; x < 65536; ++x) {
          const std::optional<UInt128> value = loop_model(plan, target, x);
          ASSERT_TRUE(value && static_cast<uint64_t>(*value) == expected(k, nearest, x))
              << name_of(k, nearest, 16) << ", " << describe(plan) << ", input " << x;
        }
      }
    }
  }
  EXPECT_GT(proven, 10);
}

TEST(LoopProof, APlanChangedWhereItMattersIsRefused) {
  struct Case {
    const char* name;
    Constant k;
    bool nearest;
    LoopKind kind;
    void (*change)(LoopPlan&);
  };
  const Case cases[] = {
      {"divisor one more",
       {1, 10},
       false,
       LoopKind::kDivision,
       [](LoopPlan& p) { p.divisor += 1; }},
      {"one bit less skipped",
       {1, 12},
       false,
       LoopKind::kDivision,
       [](LoopPlan& p) { p.skipped -= 1; }},
      {"addend dropped", {1, 10}, true, LoopKind::kDivision, [](LoopPlan& p) { p.addend = 0; }},
      {"multiplier a sixteenth smaller",
       {5000, 1023},
       false,
       LoopKind::kMultiply,
       [](LoopPlan& p) { p.multiplier -= p.multiplier >> 4; }},
      {"offset far too large",
       {5000, 1023},
       false,
       LoopKind::kMultiply,
       [](LoopPlan& p) { p.addend += BigInt::power_of_two(p.shift); }},
      {"shift one less", {1, 7}, false, LoopKind::kMultiply, [](LoopPlan& p) { p.shift -= 1; }},
      {"counting the wrong divisor",
       {1, 10},
       false,
       LoopKind::kCounting,
       [](LoopPlan& p) { p.divisor = 9; }},
  };
  for (const Case& c : cases) {
    for (const int bits : {8, 20}) {
      const ResultTarget target = target_of(c.k, c.nearest, bits);
      bool changed = false;
      for (LoopPlan plan : make_loop_plans(target, 12)) {
        if (plan.kind != c.kind || (plan.kind == LoopKind::kDivision && plan.skipped == 0)) {
          continue;
        }
        if (!prove_plan(plan, target, 12).holds) continue;
        c.change(plan);
        EXPECT_FALSE(prove_plan(plan, target, 12).holds) << c.name << ", " << bits << " bits";
        changed = true;
      }
      // Counting needs a byte-wide sum: no such plan at 20 bits.
      if (c.kind != LoopKind::kCounting || bits == 8) {
        EXPECT_TRUE(changed) << c.name << ", " << bits << " bits";
      }
    }
  }
}

TEST(LoopPlan, ReducedTargetsKeepEveryResult) {
  for (const Constant& k : kConstants) {
    for (const bool nearest : {false, true}) {
      const ResultTarget target = target_of(k, nearest, 10);
      const ReducedTarget r = reduce(target);
      EXPECT_EQ(BigInt::gcd(r.a, r.d), 1) << name_of(k, nearest, 10);
      EXPECT_EQ(r.odd << r.twos, r.d);
      for (uint64_t x = 0; x < 1024; ++x) {
        const BigInt u = BigInt::from_unsigned(x);
        EXPECT_EQ(floor_div(r.a * u + r.b, r.d), BigInt::from_unsigned(expected(k, nearest, x)))
            << name_of(k, nearest, 10) << ", input " << x;
      }
    }
  }
}

TEST(LoopPlan, MultiplyPassesPutTheResultOnWholeBytes) {
  struct Case {
    int input_bits, input_bytes, shift;
    int passes;
    bool aligned;
  };
  const Case cases[] = {
      {10, 2, 18, 10, true},  // the result is the high part's top two bytes
      {10, 2, 19, 11, true}, {16, 2, 24, 16, true}, {16, 2, 23, 16, false}, {32, 4, 56, 32, true},
      {8, 1, 0, 8, true},    {3, 1, 13, 5, true},   {8, 1, 9, 8, false},
  };
  for (const Case& c : cases) {
    const MultiplyPasses got = multiply_passes(c.input_bits, c.input_bytes, c.shift);
    EXPECT_EQ(got.passes, c.passes) << c.input_bits << " bits, shift " << c.shift;
    EXPECT_EQ(got.aligned, c.aligned) << c.input_bits << " bits, shift " << c.shift;
  }
}

}  // namespace
}  // namespace tarvek
