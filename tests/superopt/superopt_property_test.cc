// The superoptimizer on routines of the exact sweep's family: whatever it rewrites leaves the
// output bytes as the routine it was given does, from random starting states of every byte, W
// and the flags, on the simulator.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "family_routines.h"
#include "sim/pic_machine.h"
#include "sim/pic_program.h"

namespace tarvek {
namespace {

// Runs both routines from `runs` random states that keep the contract's promise (an input's
// bits above its width are zero) and returns the first difference in an output byte, or an
// empty string.
std::string first_difference(const Code& original, const Code& rewritten,
                             const RoutineContract& contract, int runs, uint64_t seed) {
  const std::vector<std::string> names = byte_names(original);
  const ParseOutcome a = parse_instructions(original.text(), names);
  const ParseOutcome b = parse_instructions(rewritten.text(), names);
  if (!a.program || !b.program) return "does not parse: " + a.error + b.error;
  PicMachine x(*a.program);
  PicMachine y(*b.program);
  for (int run = 0; run < runs; ++run) {
    x.fill(seed + static_cast<uint64_t>(run));
    for (const auto& [byte, zeros] : contract.zero_at_start) {
      const std::string name = original.register_name(byte.file) + std::to_string(byte.byte);
      if (x.has_byte(name)) x.set_byte(name, static_cast<uint8_t>(x.byte(name) & ~zeros));
    }
    for (std::size_t k = 0; k < names.size(); ++k) {
      y.set_byte_at(static_cast<int>(k), x.byte_at(static_cast<int>(k)));
    }
    y.w = x.w;
    y.carry = x.carry;
    y.digit_carry = x.digit_carry;
    y.zero = x.zero;
    x.run();
    y.run();
    for (const ByteRef& out : contract.outputs) {
      const std::string name = original.register_name(out.file) + std::to_string(out.byte);
      if (x.byte(name) != y.byte(name)) {
        return name + " differs after run " + std::to_string(run) + "\n" + original.text() +
               "--- rewritten ---\n" + rewritten.text();
      }
    }
  }
  return "";
}

TEST(SuperoptPropertyTest, RewrittenFamilyRoutinesLeaveTheOutputsAsTheyWere) {
  std::vector<int> widths;
  for (int bits = 1; bits <= 32; ++bits) widths.push_back(bits);
  const std::vector<ExactSweepRequest> requests = family_requests(widths);
  std::mt19937_64 random(2025);
  SearchEffort unoptimized = search_effort(1);
  unoptimized.superopt.rule_pass = false;
  int rewritten_by_rules = 0;
  int rewritten_by_windows = 0;
  for (int trial = 0; trial < 60; ++trial) {
    const ExactSweepRequest& request = requests[random() % requests.size()];
    const std::optional<FamilyRoutine> routine = family_routine(request, unoptimized);
    if (!routine) continue;
    const Code by_rules = superoptimize(routine->code, routine->contract, superopt_effort(1));
    rewritten_by_rules += by_rules.size() < routine->code.size() ? 1 : 0;
    EXPECT_EQ(first_difference(routine->code, by_rules, routine->contract, 400, random()), "")
        << describe(request);
    if (routine->code.size() > 160) continue;
    const Code by_windows = superoptimize(routine->code, routine->contract, superopt_effort(6));
    rewritten_by_windows += by_windows.size() < by_rules.size() ? 1 : 0;
    EXPECT_EQ(first_difference(routine->code, by_windows, routine->contract, 400, random()), "")
        << describe(request);
  }
  // The property is only worth as much as what was rewritten.
  EXPECT_GT(rewritten_by_rules, 10);
  EXPECT_GT(rewritten_by_windows, 5);
}

}  // namespace
}  // namespace tarvek
