#include "size/size_comment.h"

#include <cassert>

#include "exact/comment_block.h"

namespace tarvek {
namespace {

std::string power(int exponent) {
  return "2^" + std::to_string(exponent);
}

// "3 u + 1", "u + 5", "u": the dividend's formula on the unsigned routine's input `u`.
std::string affine_text(const BigInt& a, const BigInt& b, const std::string& u) {
  std::string text = a == 1 ? u : a.to_decimal() + " " + u;
  if (!b.is_zero()) text += " + " + b.to_decimal();
  return text;
}

std::string division_lines(const LoopPlan& plan, const LoopLayout& layout, const std::string& u) {
  std::string block;
  const std::string n = affine_text(plan.multiplier, plan.addend, u);
  const std::string divisor = std::to_string(plan.divisor);
  const BigInt whole = BigInt::from_unsigned(plan.divisor) << plan.skipped;
  switch (plan.dividend) {
    case Dividend::kInput:
    case Dividend::kInputThenRemainder:
      break;
    case Dividend::kPlusConstant:
    case Dividend::kProduct:
      block += "; n = " + n + "\n";
      break;
    case Dividend::kProductLoop:
      block += "; n = " + n + ", by a loop over the bits of " + u + " adding " +
               plan.multiplier.to_decimal() + " for each one\n";
      break;
  }
  const bool late = plan.dividend == Dividend::kInputThenRemainder;
  const std::string dividend = plan.dividend == Dividend::kInput || late ? u : "n";
  block += "; q = floor(" + dividend + " / " + whole.to_decimal() + "), by a loop of " +
           std::to_string(layout.passes) + " passes over the " +
           std::to_string(8 * layout.dividend_bytes) + " bits of " + dividend + ":\n";
  block += ";   if r >= " + divisor + ": r = r - " + divisor +
           " (quotient bit 1), then the quotient bit\n";
  block += ";   shifts in at the bottom of " + dividend + " and its top bit into r (one byte)\n";
  if (plan.skipped == 1) {
    block += ";   (its last bit is never compared: a division by 2)\n";
  } else if (plan.skipped > 1) {
    block += ";   (its last " + std::to_string(plan.skipped) +
             " bits are never compared: a division by " + power(plan.skipped) + ")\n";
  }
  if (late) {
    const std::string mod = u + " mod " + whole.to_decimal();
    block += "; q = q + 1 when (" + mod + ") + " + plan.addend.to_decimal() +
             " >= " + whole.to_decimal() +
             ", as r >= " + std::to_string(remainder_threshold(plan)) +
             " (the loop leaves r = " + (plan.skipped == 1 ? mod : "2 (" + mod + ")") + ")\n";
  }
  return block;
}

std::string loop_lines(const LoopPlan& plan, const ResultTarget& target, const std::string& u) {
  const LoopLayout layout = layout_of(plan, target);
  switch (plan.kind) {
    case LoopKind::kCounting: {
      const std::string d = std::to_string(plan.divisor);
      if (plan.dividend != Dividend::kInputThenRemainder) {
        return "; q = floor((" + affine_text(1, plan.addend, u) + ") / " + d +
               "), by counting how often " + d + " can be taken off\n";
      }
      const std::string b = plan.addend.to_decimal();
      return "; q = floor(" + u + " / " + d + "), by counting how often " + d +
             " can be taken off,\n;   then q = q + 1 when (" + u + " mod " + d + ") + " + b +
             " >= " + d + ": W is left holding " + u + " mod " + d + " - " + d + "\n";
    }
    case LoopKind::kMultiply: {
      std::string text = "(" + u + " * " + plan.multiplier.to_decimal();
      if (!plan.addend.is_zero()) text += " + " + plan.addend.to_decimal();
      text += ")";
      if (plan.shift > 0) text = "floor(" + text + " / " + power(plan.shift) + ")";
      return "; q = " + text + ",\n;   by a loop of " + std::to_string(layout.passes) +
             " passes over the bits of " + u + ", adding " + plan.multiplier.to_decimal() +
             "\n;   to the product's high part for each one, then shifting it right\n";
    }
    case LoopKind::kDivision:
      break;
  }
  return division_lines(plan, layout, u);
}

std::string proof_lines(const SizeResult& found, const std::string& u) {
  if (found.proof.every_input) return "; Proof: every input run through the loop's exact model\n";
  const LoopPlan& plan = found.plan;
  const ReducedTarget r = reduce(found.form.inner);
  const std::string ends = "checked at both ends of the input range\n";
  switch (plan.kind) {
    case LoopKind::kDivision: {
      const LoopLayout layout = layout_of(plan, found.form.inner);
      const bool input =
          plan.dividend == Dividend::kInput || plan.dividend == Dividend::kInputThenRemainder;
      std::string text = "; Proof: loop invariant r < " + std::to_string(plan.divisor) +
                         " before each shift, so 2 r + 1 fits its byte";
      if (!input) text += ",\n;        and n < " + power(8 * layout.dividend_bytes);
      return text + ",\n;        " + ends;
    }
    case LoopKind::kMultiply:
      return "; Proof: the product fits its bytes, and its value / " + power(plan.shift) +
             " is at least n / d and\n;        below (n + 1) / d, n = " + affine_text(r.a, r.b, u) +
             ", d = " + r.d.to_decimal() + ": affine in " + u + ",\n;        " + ends;
    case LoopKind::kCounting:
      break;
  }
  const bool late = plan.dividend == Dividend::kInputThenRemainder;
  return "; Proof: " + (late ? u : affine_text(1, plan.addend, u)) + " < 256, " + ends;
}

}  // namespace

std::string routine_line(int words, long fewest_cycles, long most_cycles) {
  std::string line = "; Routine: " + std::to_string(words) + " words, ";
  if (fewest_cycles == most_cycles) return line + std::to_string(most_cycles) + " cycles\n";
  return line + std::to_string(fewest_cycles) + " to " + std::to_string(most_cycles) +
         " cycles (depending on the input)\n";
}

std::string size_comment_block(const ExactSpec& spec, const SizeResult& found,
                               const RoutineNames& names) {
  const std::string& acc_name = names.acc;
  assert(!found.straight);
  const std::string u = found.form.kind == FormKind::kDirect ? "x" : "u";
  std::string block = exact_heading(spec, acc_name);
  block += form_method_lines(spec, found.form, loop_lines(found.plan, found.form.inner, u));
  block += proof_lines(found, u);
  block += routine_line(found.routine.instructions, found.fewest_cycles, found.most_cycles);
  return block + io_lines(spec, found.routine, names);
}

}  // namespace tarvek
