// The digits room's steps on their own: the restoring comparisons' byte arithmetic, the proof
// refusing plans that are wrong in each of the ways it checks, and a proven plan for every base
// and width, whose routine runs right on our simulator.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "digits/digit_emission.h"
#include "digits/digit_search.h"
#include "digits/plan_analysis.h"
#include "digits/plan_families.h"
#include "digits/plan_proof.h"
#include "sim/extended_promise.h"
#include "sim/pic_machine.h"
#include "sim/pic_program.h"

namespace tarvek {
namespace {

TEST(DigitsTest, ComparisonShapes) {
  struct Case {
    const char* name;
    int base, levels;
    int64_t low, high;
    int constant;
    // Expected: a shape at all, its bits per level from level 1 up, folded.
    bool made;
    std::vector<int> bits;
    bool folded;
  };
  const Case cases[] = {
      {"a byte into hundreds and tens", 10, 2, 0, 255, 0, true, {4, 2}, false},
      {"a byte into tens", 10, 1, 0, 255, 0, true, {5}, false},
      {"below the base: no comparison", 10, 1, 0, 9, 0, true, {0}, false},
      {"negative values lifted and folded", 10, 1, 0, 48, 20, true, {3}, true},
      {"a range across zero cannot fold", 10, 1, -15, 48, 20, true, {3}, false},
      {"above a byte", 10, 1, 0, 250, 10, false, {}, false},
      {"below zero", 10, 1, -5, 20, 0, false, {}, false},
      {"base 256: never a comparison", 256, 1, 0, 255, 0, true, {0}, false},
      {"base 3, three places", 3, 3, 0, 80, 0, true, {2, 2, 2}, false},
  };
  for (const Case& c : cases) {
    const std::optional<ChunkShape> shape = make_shape(c.base, c.levels, c.low, c.high, c.constant);
    ASSERT_EQ(shape.has_value(), c.made) << c.name;
    if (!shape) continue;
    EXPECT_EQ(shape->level_bits, c.bits) << c.name;
    EXPECT_EQ(shape->folded, c.folded) << c.name;
    EXPECT_TRUE(shape_holds(c.base, *shape)) << c.name;
  }
}

TEST(DigitsTest, ComparisonsThatWouldMissABitDoNotHold) {
  ChunkShape shape = *make_shape(10, 1, 0, 99, 0);
  ASSERT_EQ(shape.level_bits, std::vector<int>{4});
  shape.level_bits = {3};
  EXPECT_FALSE(shape_holds(10, shape));
  ChunkShape folded = *make_shape(10, 1, 0, 48, 20);
  folded.raw_low = -1;
  EXPECT_FALSE(shape_holds(10, folded));
}

ColumnPlan sixteen_bit_plan(const DigitSpec& spec) {
  return *make_plan(spec, PlanChoices{4, 6, 5, false});
}

TEST(DigitsTest, ProofRefusesWrongPlans) {
  const DigitSpec spec = make_digit_spec(10, 16, DigitForm::kUnpacked, false);
  const ColumnPlan good = sixteen_bit_plan(spec);
  ASSERT_TRUE(prove_plan(good, spec, 16).holds) << describe(good);
  struct Case {
    const char* name;
    void (*mutate)(ColumnPlan&);
  };
  const Case cases[] = {
      {"a coefficient off by one",
       [](ColumnPlan& p) { ++p.columns[1].chunks[0].terms[0].coefficient; }},
      {"a constant off by one", [](ColumnPlan& p) { ++p.columns[1].chunks[0].constant; }},
      {"a part left out", [](ColumnPlan& p) { p.parts.pop_back(); }},
      {"overlapping parts", [](ColumnPlan& p) { p.parts[1].low = 2; }},
      {"a part across two bytes",
       [](ColumnPlan& p) {
         p.parts[1] = InputPart{6, 4};
       }},
      {"a group beyond a byte",
       [](ColumnPlan& p) {
         for (int k = 0; k < 20; ++k) p.groups[0].parts.push_back(0);
       }},
      {"a top column that splits", [](ColumnPlan& p) { p.columns.back().chunks[0].levels = 1; }},
      {"a column that does not", [](ColumnPlan& p) { p.columns[0].chunks[0].levels = 0; }},
      {"a column too few", [](ColumnPlan& p) { p.columns.pop_back(); }},
      {"a half without its low bit",
       [](ColumnPlan& p) {
         for (Column& column : p.columns) {
           for (Chunk& chunk : column.chunks) {
             std::erase_if(chunk.terms,
                           [](const ColumnTerm& t) { return t.source.kind == SourceKind::kOdd; });
           }
         }
       }},
  };
  for (const Case& c : cases) {
    ColumnPlan plan = good;
    c.mutate(plan);
    EXPECT_FALSE(prove_plan(plan, spec, 0).holds) << c.name;
  }
}

std::string byte_name(const char* name, int k) {
  std::string text = name;
  text += std::to_string(k);
  return text;
}

// Runs the plan's routine for `inputs` from arbitrary states and compares every output byte.
void expect_routine_gives_digits(const ColumnPlan& plan, const DigitSpec& spec,
                                 const std::vector<uint64_t>& inputs, const std::string& what) {
  const EmittedDigits routine = emit_plan(plan, spec, DigitNames{"A", "T", Core::kMidrange});
  std::vector<std::string> declared;
  const int bytes = std::max(output_byte_count(spec), (spec.input_bits + 7) / 8);
  for (int k = 0; k < bytes; ++k) declared.push_back(byte_name("A", k));
  for (int k = 0; k < routine.temp_bytes; ++k) declared.push_back(byte_name("T", k));
  const ParseOutcome parsed = parse_instructions(routine.code.text(), declared);
  ASSERT_TRUE(parsed.program) << what << ": " << parsed.error;
  const DigitPromise promise{spec.base, DigitStorage::kUnpacked};
  for (const uint64_t x : inputs) {
    PicMachine machine(*parsed.program);
    machine.fill(x);
    machine.write_value("A", (spec.input_bits + 7) / 8, spec.little_endian, x);
    machine.run();
    const std::vector<uint8_t> wanted = digit_bytes(promise, x, spec.count);
    const int count = output_byte_count(spec);
    for (int k = 0; k < count; ++k) {
      const int byte = spec.little_endian ? k : count - 1 - k;
      ASSERT_EQ(machine.byte(byte_name("A", byte)), wanted[static_cast<std::size_t>(k)])
          << what << ": " << x << ", byte " << k << " from the low end\n"
          << describe(plan);
    }
  }
}

// Requires: the form unpacked.
// Every base and width has a proven plan; each family's plans of narrow inputs pass the
// exhaustive evaluation too, and run right.
TEST(DigitsTest, EveryBaseAndWidthHasAProvenPlan) {
  std::mt19937_64 random(1);
  for (const int base : {2, 3, 5, 7, 10, 11, 16, 17, 36, 60, 100, 128, 200, 255, 256}) {
    for (int bits = 1; bits <= 32; ++bits) {
      const DigitSpec spec = make_digit_spec(base, bits, DigitForm::kUnpacked, bits % 2 == 0);
      const std::vector<ColumnPlan> plans = make_plans(spec);
      const std::string what = "base " + std::to_string(base) + ", " + std::to_string(bits);
      ASSERT_FALSE(plans.empty()) << what;
      bool proven = false;
      for (const ColumnPlan& plan : plans) {
        const DigitProof proof = prove_plan(plan, spec, 10);
        EXPECT_TRUE(proof.holds) << what << ": " << proof.failure << "\n" << describe(plan);
        proven = proven || proof.holds;
      }
      EXPECT_TRUE(proven) << what;
      std::vector<uint64_t> inputs = {0, 1, (uint64_t{1} << bits) - 1};
      for (int i = 0; i < 40; ++i) inputs.push_back(random() >> (64 - bits));
      const std::optional<DigitSearchResult> found =
          find_cheapest_digits(spec, DigitNames{"A", "T", Core::kMidrange}, 0);
      ASSERT_TRUE(found) << what;
      EXPECT_LE(found->routine.temp_bytes + std::max(spec.count, (bits + 7) / 8), kMostRoutineBytes)
          << what;
      expect_routine_gives_digits(found->plan, spec, inputs, what);
    }
  }
}

// The ranges of every input are never wider than the interval bounds of the same plan, so its
// constants and comparisons are never more; the plan holds and its routine runs right.
TEST(DigitsTest, RangesOfEveryInputAreNoWider) {
  for (const int base : {3, 10, 60}) {
    for (const int bits : {6, 11, 16}) {
      const DigitSpec spec = make_digit_spec(base, bits, DigitForm::kUnpacked, false);
      for (const PlanChoices& choices :
           {PlanChoices{4, 256, 0, false}, PlanChoices{4, base / 2 + 1, base / 2, false},
            PlanChoices{1, 256, 0, true}}) {
        const std::optional<ColumnPlan> bounded = make_plan(spec, choices);
        if (!bounded) continue;
        PlanChoices every = choices;
        every.every_input = true;
        const std::optional<ColumnPlan> exact = make_plan(spec, every);
        const std::string what = "base " + std::to_string(base) + ", " + std::to_string(bits) +
                                 " bits, " + bounded->name;
        ASSERT_TRUE(exact) << what;
        const DigitProof proof = prove_plan(*exact, spec, 0);
        ASSERT_TRUE(proof.holds) << what << ": " << proof.failure;
        EXPECT_EQ(proof.inputs_evaluated, uint64_t{1} << bits) << what;
        const PlanAnalysis wide = *analyze(*bounded, spec);
        const PlanAnalysis& narrow = *proof.analysis;
        for (std::size_t k = 0; k < wide.shapes.size(); ++k) {
          for (std::size_t c = 0; c < std::min(wide.shapes[k].size(), narrow.shapes[k].size());
               ++c) {
            const ChunkShape& w = wide.shapes[k][c];
            const ChunkShape& n = narrow.shapes[k][c];
            EXPECT_GE(n.raw_low + n.constant, 0) << what;
            EXPECT_LE(n.raw_high - n.raw_low, w.raw_high - w.raw_low) << what << ", column " << k;
          }
        }
        EXPECT_LE(emit_plan(*exact, spec, DigitNames{"A", "T"}).instructions,
                  emit_plan(*bounded, spec, DigitNames{"A", "T"}).instructions)
            << what;
        std::vector<uint64_t> inputs;
        for (uint64_t x = 0; x >> bits == 0; x += 1 + (x >> 6)) inputs.push_back(x);
        expect_routine_gives_digits(*exact, spec, inputs, what);
      }
    }
  }
}

}  // namespace
}  // namespace tarvek
