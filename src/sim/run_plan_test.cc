#include "sim/run_plan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace tarvek {
namespace {

// The promise of a routine for `input_bits`-bit inputs, whose results need `output_bits`.
RoutinePromise promise_for(int input_bits, int output_bits) {
  RoutinePromise promise;
  promise.input_bits = input_bits;
  promise.input_bytes = (input_bits + 7) / 8;
  promise.output_bits = output_bits;
  promise.output_bytes = std::max(promise.input_bytes, (output_bits + 7) / 8);
  return promise;
}

// The bits a result needs: its magnitude's, and one for the sign of a signed routine.
int bits_for(WideInt r, bool is_signed) {
  int bits = 1;
  while (bits < 63 && (is_signed ? (r < -(static_cast<WideInt>(1) << (bits - 1)) ||
                                    r >= (static_cast<WideInt>(1) << (bits - 1)))
                                 : r >= (static_cast<WideInt>(1) << bits))) {
    ++bits;
  }
  return bits;
}

// The planner must plan exactly what plan_one plans, input by input, and stop where
// plan_one finds a fault.
void expect_plans_agree(const RoutinePromise& promise, const std::vector<uint64_t>& inputs,
                        const std::string& context) {
  std::vector<uint64_t> written(inputs.size() + 1, 0xDEAD);
  std::vector<uint64_t> wanted(inputs.size() + 1, 0xDEAD);
  const std::size_t planned = RunPlanner(promise).plan(inputs, written, wanted);
  std::size_t expected_count = 0;
  PlannedRun run;
  while (expected_count < inputs.size() && plan_one(promise, inputs[expected_count], run).empty()) {
    ASSERT_EQ(written[expected_count], run.written)
        << context << ", input " << inputs[expected_count];
    ASSERT_EQ(wanted[expected_count], run.wanted)
        << context << ", input " << inputs[expected_count];
    ++expected_count;
  }
  ASSERT_EQ(planned, expected_count) << context;
  EXPECT_EQ(written[inputs.size()], 0xDEADu) << context;
  EXPECT_EQ(wanted[inputs.size()], 0xDEADu) << context;
}

// Inputs of a check: consecutive runs (every input, or a stretch across the sign change of a
// signed one) and sparse ones, as the edges and samples are.
std::vector<std::vector<uint64_t>> input_lists(std::mt19937_64& random, int bits) {
  const uint64_t top = (uint64_t{1} << bits) - 1;
  std::vector<std::vector<uint64_t>> lists;
  std::vector<uint64_t> run;
  const uint64_t half = uint64_t{1} << (bits - 1);
  for (uint64_t x = half >= 150 ? half - 150 : 0; x <= std::min(top, half + 150); ++x) {
    run.push_back(x);
  }
  lists.push_back(run);
  std::vector<uint64_t> sparse = {0, 1, top, top - 1 < top ? top - 1 : 0};
  for (int i = 0; i < 60; ++i) sparse.push_back(random() & top);
  for (uint64_t x = top - std::min<uint64_t>(top, 20); x <= top && x != 0; ++x) sparse.push_back(x);
  lists.push_back(sparse);
  return lists;
}

// Exact promises of every kind, with their output bits just wide enough or one bit short:
// consecutive inputs follow the remainder from one to the next, across the sign change and
// the change of rounding direction of a signed truncation.
TEST(RunPlanTest, ExactResultsFollowPlanOne) {
  std::mt19937_64 random(4242);
  for (int trial = 0; trial < 600; ++trial) {
    const int bits = 1 + static_cast<int>(random() % 32);
    ExactPromise exact;
    exact.numerator = 1 + (random() >> (1 + random() % 63));
    exact.denominator = 1 + (random() >> (1 + random() % 63));
    const int kind = static_cast<int>(random() % 3);
    exact.nearest = kind == 1;
    exact.trunc = kind == 2;
    exact.is_signed = random() % 2 == 0;
    RoutinePromise promise = promise_for(bits, 63);
    promise.exact = exact;
    for (const std::vector<uint64_t>& inputs : input_lists(random, bits)) {
      // The widest result decides the output bits.
      int needed = 1;
      PlannedRun run;
      for (uint64_t x : inputs) {
        if (plan_one(promise, x, run).empty()) {
          needed = std::max(needed, bits_for(run.expected, exact.is_signed));
        }
      }
      for (const int output_bits : {needed, needed - 1}) {
        if (output_bits < 1) continue;
        RoutinePromise narrowed = promise_for(bits, output_bits);
        narrowed.exact = exact;
        expect_plans_agree(narrowed, inputs,
                           "trial " + std::to_string(trial) + ", " + std::to_string(bits) +
                               " bits, " + std::to_string(output_bits) + " output bits");
      }
    }
  }
}

// Term lines, for inputs below 2^29 (many at a time) and above (one at a time).
TEST(RunPlanTest, DocumentedProductsFollowPlanOne) {
  std::mt19937_64 random(99);
  for (int trial = 0; trial < 300; ++trial) {
    const int bits = 1 + static_cast<int>(random() % 32);
    RoutinePromise promise = promise_for(bits, 63);
    for (int e = -64; e <= 31; ++e) {
      if (random() % 8 == 0) promise.terms.push_back({e, random() % 3 == 0 ? -1 : 1});
    }
    for (std::vector<uint64_t> inputs : input_lists(random, bits)) {
      // The unsigned results below a negative product's refusal.
      int needed = 1;
      PlannedRun run;
      for (std::size_t k = 0; k < inputs.size(); ++k) {
        if (!plan_one(promise, inputs[k], run).empty()) break;
        needed = std::max(needed, bits_for(run.expected, false));
      }
      for (const int output_bits : {needed, needed - 1}) {
        if (output_bits < 1) continue;
        RoutinePromise narrowed = promise_for(bits, output_bits);
        narrowed.terms = promise.terms;
        expect_plans_agree(narrowed, inputs,
                           "trial " + std::to_string(trial) + ", " + std::to_string(bits) +
                               " bits, " + std::to_string(output_bits) + " output bits");
      }
    }
  }
}

// Planning stops at the first input too wide for the routine, and at the first result that
// does not fit.
TEST(RunPlanTest, PlanningStopsAtTheFirstInputThatCannotRun) {
  RoutinePromise promise = promise_for(8, 9);
  promise.terms = {{1, 1}};
  const std::vector<uint64_t> inputs = {3, 255, 256, 4};
  std::vector<uint64_t> written(4);
  std::vector<uint64_t> wanted(4);
  EXPECT_EQ(RunPlanner(promise).plan(inputs, written, wanted), 2u);
  EXPECT_EQ(wanted[1], 510u);
  PlannedRun run;
  EXPECT_EQ(plan_one(promise, 256, run), "wider than the 8-bit input");

  promise.output_bits = 8;
  EXPECT_EQ(RunPlanner(promise).plan(inputs, written, wanted), 1u);
  EXPECT_EQ(plan_one(promise, 255, run),
            "the documented product 510 does not fit the 8 output bits");
}

// A signed input is written sign-extended through its bytes, and the result wanted
// sign-extended through the output bytes.
TEST(RunPlanTest, SignedValuesAreSignExtended) {
  RoutinePromise promise = promise_for(12, 9);
  promise.exact = ExactPromise{1, 10, false, true, true};
  const std::vector<uint64_t> inputs = {0xFFF, 0x800, 0x7FF, 0xFF6, 0xFF5};
  std::vector<uint64_t> written(inputs.size());
  std::vector<uint64_t> wanted(inputs.size());
  ASSERT_EQ(RunPlanner(promise).plan(inputs, written, wanted), inputs.size());
  // -1, -2048, 2047, -10, -11 over 10, rounded toward zero: 0, -204, 204, -1, -1.
  EXPECT_EQ(written, (std::vector<uint64_t>{0xFFFF, 0xF800, 0x07FF, 0xFFF6, 0xFFF5}));
  EXPECT_EQ(wanted, (std::vector<uint64_t>{0, 0xFF34, 204, 0xFFFF, 0xFFFF}));
}

}  // namespace
}  // namespace tarvek
