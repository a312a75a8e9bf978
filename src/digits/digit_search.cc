#include "digits/digit_search.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "digits/every_input.h"
#include "digits/plan_families.h"
#include "exact/byte_sharing.h"

namespace tarvek {

std::optional<DigitSearchResult> find_cheapest_digits(const DigitSpec& spec,
                                                      const DigitNames& names,
                                                      int exhaustive_bits) {
  struct Priced {
    ColumnPlan plan;
    EmittedDigits routine;
    DigitProof proof;
  };
  std::vector<Priced> priced;
  int made = 0;
  const auto price = [&](ColumnPlan plan) {
    ++made;
    // The composition proof first: only proven plans are priced.
    DigitProof proof = prove_plan(plan, spec, 0);
    if (!proof.holds) return;
    EmittedDigits routine = emit_plan(plan, spec, names, *proof.analysis);
    if (names.core == Core::kBaseline) {
      // The smallest baseline parts have 16 bytes of RAM: a scratch byte done with gives its
      // place to the next one, before the routine's bytes are counted.
      SharedBytes shared =
          share_scratch_bytes(routine.code, routine.code.find_register(names.temp));
      routine.code = std::move(shared.code);
      routine.temp_bytes = shared.bytes;
    }
    // A routine must fit the general-purpose bytes of a small part's bank.
    const int acc_bytes = std::max(output_byte_count(spec), (spec.input_bits + 7) / 8);
    if (acc_bytes + routine.temp_bytes > kMostRoutineBytes) return;
    priced.push_back(Priced{std::move(plan), std::move(routine), std::move(proof)});
  };
  const auto cheapest_first = [&] {
    std::stable_sort(priced.begin(), priced.end(), [](const Priced& a, const Priced& b) {
      return a.routine.instructions < b.routine.instructions;
    });
  };
  for (ColumnPlan& plan : make_plans(spec)) price(std::move(plan));
  cheapest_first();
  // The cheapest few again with the ranges of every input, which can only be narrower (and
  // cost a pass over every input each, so only for them).
  if (spec.input_bits <= kEveryInputBits) {
    std::vector<PlanChoices> again;
    for (std::size_t i = 0; i < priced.size() && i < kEveryInputPlans; ++i) {
      again.push_back(priced[i].plan.choices);
    }
    for (PlanChoices choices : again) {
      choices.every_input = true;
      if (std::optional<ColumnPlan> plan = make_plan(spec, choices)) price(std::move(*plan));
    }
    cheapest_first();
  }
  for (Priced& entry : priced) {
    // Where every input can be evaluated, the winner is (a plan of every input's ranges has
    // been already).
    const bool evaluated = entry.proof.inputs_evaluated > 0;
    const DigitProof proof =
        evaluated ? entry.proof : prove_plan(entry.plan, spec, exhaustive_bits);
    if (!proof.holds) continue;
    const int count = static_cast<int>(priced.size());
    return DigitSearchResult{
        std::move(entry.plan), proof, std::move(entry.routine), made, count, count};
  }
  return std::nullopt;
}

}  // namespace tarvek
