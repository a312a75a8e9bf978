// The column plans the search draws from, made from the request alone, in a fixed order: the
// first step of the digits pipeline (then each plan's proof, pricing by emitting the proven
// ones, and the chosen one's emission).
//
// A plan is made from a few choices: the parts the input is split into (its whole byte, its
// nibbles, or its bits), whether the weights' digits are taken as they are or balanced around
// zero (6 as 10 - 4, a carry of one column up), whether terms whose coefficient reaches half
// the base are halved (6 g as g + 5 (g & 1) + 10 (g >> 1)), and whether a chunk's value is split
// into as many digit places at once as it spans (x < 256 into hundreds, tens and units) or one
// place at a time. Parts with the same coefficient in a column are summed once. Each column's
// terms are then packed into chunks whose values fit a byte, with the constants that keep them
// non-negative. Nothing here is proven or priced.
#ifndef TARVEK_DIGITS_PLAN_FAMILIES_H
#define TARVEK_DIGITS_PLAN_FAMILIES_H

#include <optional>
#include <vector>

#include "digits/column_plan.h"
#include "digits/digit_spec.h"

namespace tarvek {

// The plan of these choices; nullopt when some term cannot fit a byte's chunk or a chunk's
// value cannot be split.
std::optional<ColumnPlan> make_plan(const DigitSpec& spec, const PlanChoices& choices);

// The plans of every choice that makes one, in a fixed order.
std::vector<ColumnPlan> make_plans(const DigitSpec& spec);

}  // namespace tarvek

#endif  // TARVEK_DIGITS_PLAN_FAMILIES_H
