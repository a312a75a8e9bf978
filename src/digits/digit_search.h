// The search for the cheapest digits routine: the plans of every family are made from the
// request alone (plan_families.h), each is proven by composition (a plan that cannot be is
// never priced) and priced by emitting it; the cheapest wins, the first of equal ones, and
// where the input is narrow enough the winner's proof also evaluates every input. Making and
// ordering are fixed, so the same request always gives the same routine.
#ifndef TARVEK_DIGITS_DIGIT_SEARCH_H
#define TARVEK_DIGITS_DIGIT_SEARCH_H

#include <optional>

#include "digits/column_plan.h"
#include "digits/digit_emission.h"
#include "digits/digit_spec.h"
#include "digits/plan_proof.h"

namespace tarvek {

// The bytes a routine may declare in all: the general-purpose bytes of one bank of the
// smallest parts (80 on a PIC16F628A or PIC16F1823).
inline constexpr int kMostRoutineBytes = 80;

// The cheapest plans made again with the ranges of every input, for inputs narrow enough.
inline constexpr std::size_t kEveryInputPlans = 1;

struct DigitSearchResult {
  ColumnPlan plan;
  DigitProof proof;
  EmittedDigits routine;
  // Plans made, proven and priced along the way.
  int made = 0;
  int proven = 0;
  int priced = 0;
};

// nullopt when no plan could be proven.
std::optional<DigitSearchResult> find_cheapest_digits(const DigitSpec& spec,
                                                      const DigitNames& names, int exhaustive_bits);

}  // namespace tarvek

#endif  // TARVEK_DIGITS_DIGIT_SEARCH_H
