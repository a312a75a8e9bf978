#include "multiply/product_emission.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "codegen/instruction_set.h"
#include "multiply/product_proof.h"
#include "sim/pic_machine.h"
#include "sim/pic_program.h"

namespace tarvek {
namespace {

// Runs the routine of every proven plan in every layout (not only the one the search would
// keep) on the PIC18 simulator, for every input, against the target: every way the emitter
// can add up partial products, offsets and carries, and take the result out, must be right.
TEST(ProductEmissionTest, EveryLayoutOfEveryProvenPlanComputesItsTarget) {
  std::mt19937 random(18);
  int routines = 0;
  for (int draw = 0; draw < 24; ++draw) {
    const int bits = 1 + static_cast<int>(random() % 14);
    const auto p = static_cast<int64_t>(1 + random() % 300);
    const auto q = static_cast<int64_t>(1 + random() % 60);
    const ResultMode mode = random() % 2 == 0 ? ResultMode::kFloor : ResultMode::kNearest;
    const bool little_endian = random() % 2 == 0;
    const ResultTarget target = make_target(Fraction::of(BigInt(p), BigInt(q)), mode, bits);
    if (target.result_bits == 0) continue;
    const RoutineNames names{"A", "T", little_endian, Core::kPic18};
    for (ProductPlan plan : make_product_plans(target)) {
      for (plan.kept_from = 0; plan.kept_from < 3; ++plan.kept_from) {
        ProofOutcome proof;
        const std::optional<ProductPlan> proven = with_least_offset(plan, target, 16, proof);
        if (!proven) break;
        for (const ProductLayout& layout : kProductLayouts) {
          const EmittedRoutine routine = emit_product(*proven, target, names, 0, layout);
          std::string block = "\tcblock\n";
          for (int k = 0; k < routine.acc_bytes; ++k) block += "\tA" + std::to_string(k) + "\n";
          for (int k = 0; k < routine.temp_bytes; ++k) block += "\tT" + std::to_string(k) + "\n";
          block += "\tendc\n\n" + instruction_set(Core::kPic18).written_out(routine.code).text();
          const ParseOutcome parsed = parse_generated_block(block, PicCore::kPic18);
          ASSERT_TRUE(parsed.program) << parsed.error << "\n" << block;
          PicMachine machine(*parsed.program);
          const std::vector<int> input =
              parsed.program->value_indexes("A", (bits + 7) / 8, little_endian);
          const std::vector<int> output =
              parsed.program->value_indexes("A", routine.output_bytes, little_endian);
          ++routines;
          for (uint64_t x = 0; x <= *target.max_input.to_u64(); ++x) {
            machine.fill(x);
            machine.write_value(input, x);
            machine.run();
            ASSERT_EQ(BigInt::from_unsigned(machine.read_value(output)),
                      target_value(target, BigInt::from_unsigned(x)))
                << describe(*proven) << ", " << p << "/" << q << ", " << bits << " bits, x = " << x
                << "\n"
                << block;
          }
        }
      }
    }
  }
  EXPECT_GT(routines, 500);
}

}  // namespace
}  // namespace tarvek
