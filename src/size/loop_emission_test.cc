// Every proven loop plan, not only the one the search keeps, written as a whole routine of
// every form (unsigned, signed biased, signed magnitude) and run as printed on our simulator
// for every input against the result its title line states, in both byte orders and on both
// cores; its Routine line's words and cycles are those the simulator counts.
#include "size/loop_emission.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "exact/form_emission.h"
#include "sim/routine_check.h"
#include "size/size_comment.h"
#include "size/size_generator.h"

namespace tarvek {
namespace {

struct Request {
  uint64_t p;
  uint64_t q;
  ResultMode mode;
  bool is_signed;
};

std::string name_of(const Request& r, int bits, bool little, Core core) {
  static const char* const kModes[] = {"approx", "floor", "nearest", "trunc"};
  return std::to_string(r.p) + "/" + std::to_string(r.q) + " " + kModes[static_cast<int>(r.mode)] +
         (r.is_signed ? " signed, " : ", ") + std::to_string(bits) + " bits" +
         (little ? ", LE" : ", BE") + (core == Core::kEnhanced ? ", enhanced" : "");
}

// Every input of the width, as the routine check takes them.
std::vector<uint64_t> every_input(int bits) {
  std::vector<uint64_t> inputs;
  for (uint64_t x = 0; x < (uint64_t{1} << bits); ++x) inputs.push_back(x);
  return inputs;
}

// Runs every proven plan of every form of the request; returns how many were run.
int check_every_plan(const Request& r, int bits, bool little, Core core) {
  const ExactSpec spec =
      make_spec(Fraction::of(BigInt::from_unsigned(r.p), BigInt::from_unsigned(r.q)), r.mode, bits,
                r.is_signed);
  if (spec.result_bits == 0) return 0;
  const RoutineNames names{"ACC", "TEMP", little, core};
  const std::string name = name_of(r, bits, little, core);
  const SearchEffort effort;
  int run = 0;
  for (const Form& form : forms_of(spec)) {
    if (!form_agrees(form, spec) || form.inner.result_bits == 0) continue;
    for (const LoopPlan& plan : make_loop_plans(form.inner, effort.exhaustive_bits)) {
      const LoopProof proof = prove_plan(plan, form.inner, effort.exhaustive_bits);
      if (!proof.holds) continue;
      std::optional<LoopRoutine> inner =
          emit_plan(plan, form.inner, names, "t_", spec_output_bytes(spec), effort);
      if (!inner) continue;
      SizeResult found;
      found.form = form;
      found.plan = plan;
      found.proof = proof;
      const int inner_words = inner->routine.instructions;
      found.routine = wrap_form(form, std::move(inner->routine), spec, names);
      const long added = found.routine.instructions - inner_words;
      found.fewest_cycles = inner->fewest_cycles + added;
      found.most_cycles = inner->most_cycles + added;
      const std::string block = size_block(spec, found, names);
      const std::string what = name + ", " + describe(plan) + ":\n" + block;
      const RoutineUnderCheck routine{
          block,
          "ACC",
          "TEMP",
          little,
          bits,
          spec.result_bits,
          core == Core::kEnhanced ? PicCore::kEnhanced : PicCore::kMidrange};
      const CheckReport report = check_routine(routine, every_input(bits), 5);
      EXPECT_TRUE(report.passed) << report.failure << "\n" << what;
      EXPECT_EQ(report.instructions, found.routine.instructions) << what;
      EXPECT_EQ(report.fewest_cycles, found.fewest_cycles) << what;
      EXPECT_EQ(report.cycles, found.most_cycles) << what;
      EXPECT_NE(block.find(routine_line(found.routine.instructions, found.fewest_cycles,
                                        found.most_cycles)),
                std::string::npos)
          << what;
      ++run;
    }
  }
  return run;
}

TEST(LoopEmission, EveryProvenPlanKeepsItsPromiseAsPrinted) {
  const Request requests[] = {
      {1, 10, ResultMode::kFloor, false},  {1, 10, ResultMode::kNearest, false},
      {1, 3, ResultMode::kFloor, false},   {1, 7, ResultMode::kNearest, false},
      {1, 12, ResultMode::kFloor, false},  {1, 1000, ResultMode::kFloor, false},
      {3, 5, ResultMode::kNearest, false}, {5000, 1023, ResultMode::kFloor, false},
      {10, 1, ResultMode::kFloor, false},  {255, 1, ResultMode::kFloor, false},
      {1, 127, ResultMode::kFloor, false}, {1, 10, ResultMode::kTrunc, true},
      {1, 10, ResultMode::kFloor, true},   {3, 5, ResultMode::kNearest, true},
      {45, 1, ResultMode::kTrunc, true},   {2, 3, ResultMode::kTrunc, true},
  };
  int run = 0;
  for (const Request& r : requests) {
    for (const int bits : {1, 4, 8, 11}) {
      for (const bool little : {false, true}) {
        for (const Core core : {Core::kMidrange, Core::kEnhanced}) {
          run += check_every_plan(r, bits, little, core);
        }
      }
    }
  }
  EXPECT_GT(run, 300);
}

TEST(LoopEmission, MostOnesUpTo) {
  struct Case {
    uint64_t max_input;
    int ones;
  };
  const Case cases[] = {{0, 0},   {1, 1},    {2, 1},           {3, 2},           {4, 2},   {255, 8},
                        {256, 8}, {0x80, 7}, {0xFFFFFFFF, 32}, {0x80000000, 31}, {0x90, 7}};
  for (const Case& c : cases) EXPECT_EQ(most_ones_up_to(c.max_input), c.ones) << c.max_input;
}

TEST(LoopEmission, LabelsAreThePrefixAndAWordOnly) {
  const ExactSpec spec = make_spec(Fraction::of(1, 10), ResultMode::kFloor, 16, false);
  const RoutineNames names{"A", "T", false, Core::kMidrange};
  const std::regex label(R"(^(\S+)$)");
  const std::regex jump(R"(^\tgoto\t(\S+)$)");
  int labels = 0;
  for (const LoopPlan& plan :
       make_loop_plans(make_target(Fraction::of(1, 10), ResultMode::kFloor, 16), 10)) {
    const std::optional<LoopRoutine> routine = emit_plan(plan, forms_of(spec)[0].inner, names, "P_",
                                                         spec_output_bytes(spec), SearchEffort{});
    ASSERT_TRUE(routine);
    const std::string text = routine->routine.code.text();
    std::smatch m;
    for (std::size_t at = 0; at < text.size();) {
      const std::size_t end = text.find('\n', at);
      const std::string line = text.substr(at, end - at);
      at = end + 1;
      if (std::regex_match(line, m, label) || std::regex_match(line, m, jump)) {
        EXPECT_TRUE(std::regex_match(m[1].str(), std::regex("P_(div|count|mul|next)"))) << line;
        ++labels;
      }
    }
  }
  EXPECT_GT(labels, 0);
}

}  // namespace
}  // namespace tarvek
