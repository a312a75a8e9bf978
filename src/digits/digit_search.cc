#include "digits/digit_search.h"

#include <algorithm>
#include <vector>

#include "digits/plan_families.h"

namespace tarvek {

std::optional<DigitSearchResult> find_cheapest_digits(const DigitSpec& spec,
                                                      const DigitNames& names,
                                                      int exhaustive_bits) {
  struct Priced {
    ColumnPlan plan;
    EmittedDigits routine;
  };
  std::vector<Priced> priced;
  int made = 0;
  for (ColumnPlan& plan : make_plans(spec)) {
    ++made;
    // The composition proof first: only proven plans are priced.
    if (!prove_plan(plan, spec, 0).holds) continue;
    EmittedDigits routine = emit_plan(plan, spec, names);
    // A routine must fit the general-purpose bytes of a small part's bank.
    const int acc_bytes = std::max(output_byte_count(spec), (spec.input_bits + 7) / 8);
    if (acc_bytes + routine.temp_bytes > kMostRoutineBytes) continue;
    priced.push_back(Priced{std::move(plan), std::move(routine)});
  }
  std::stable_sort(priced.begin(), priced.end(), [](const Priced& a, const Priced& b) {
    return a.routine.instructions < b.routine.instructions;
  });
  for (Priced& entry : priced) {
    // Where every input can be evaluated, the winner is.
    const DigitProof proof = prove_plan(entry.plan, spec, exhaustive_bits);
    if (!proof.holds) continue;
    const int count = static_cast<int>(priced.size());
    return DigitSearchResult{
        std::move(entry.plan), proof, std::move(entry.routine), made, count, count};
  }
  return std::nullopt;
}

}  // namespace tarvek
