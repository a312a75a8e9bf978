#include "exact/comment_block.h"

namespace tarvek {
namespace {

std::string byte_range(const std::string& name, int count) {
  std::string text = name + "0";
  if (count > 1) text += " .. " + name + std::to_string(count - 1);
  return text;
}

std::string power(int exponent) {
  return "2^" + std::to_string(exponent);
}

}  // namespace

std::string exact_comment_block(const ResultTarget& target, const Candidate& candidate,
                                const ProofOutcome& proof, const EmittedRoutine& routine,
                                const std::string& acc_name) {
  const bool nearest = target.mode == ResultMode::kNearest;
  const std::string k = fraction_text(target.constant);
  const std::string rounding = nearest ? "round" : "floor";
  std::string block = "; " + acc_name + " = " + rounding + "(" + acc_name + " * " + k + ")\n;\n";
  block += "; Constant: " + k + " = " + decimal_text(target.constant, 20) + "\n";
  block +=
      "; Result:   " +
      std::string(nearest ? "floor(x * K + 1/2), ties rounded up" : "floor(x * K), rounded down") +
      ",\n;           exact for every " + std::to_string(target.input_bits) + "-bit input x\n";
  block += "; Largest result: " + target.max_result.to_decimal() + "\n;\n";

  block += "; METHOD:\n";
  const int fraction_bits = candidate.shift - candidate.guard;
  block += "; v = x * " + candidate.multiplier.to_decimal();
  if (fraction_bits > 0) block += " / " + power(fraction_bits);
  block += fraction_bits > 0 ? ", by shifts and adds truncating at each right shift\n"
                             : ", by shifts and adds, exactly\n";
  if (candidate.offset != 0) block += "; v = v + " + std::to_string(candidate.offset) + "\n";
  if (candidate.guard > 0) block += "; q = floor(v / " + power(candidate.guard) + ")\n";
  if (candidate.corrections > 0) {
    // The remainder of the quotient found so far, from the low bytes only.
    const std::string a = target.a.to_decimal();
    const std::string b = target.b.is_zero() ? "" : " + " + target.b.to_decimal();
    const std::string d = target.d.to_decimal();
    block += "; r = " + (a == "1" ? std::string("x") : a + " x") + b + " - " + d +
             " q (mod 256), then " + std::to_string(candidate.corrections) +
             (candidate.corrections == 1 ? " correction" : " corrections") + ":\n";
    block += ";   if r >= " + d + ": r = r - " + d + ", q = q + 1\n";
  }
  block +=
      "; (multiplier " + candidate.multiplier.to_decimal() + " / " + power(candidate.shift) +
      " = " +
      decimal_text(Fraction::of(candidate.multiplier, BigInt::power_of_two(candidate.shift)), 20) +
      ")\n";
  block += "; Proof: ";
  if (proof.inputs_evaluated > *target.max_input.to_u64()) {
    block += "every input evaluated exactly\n";
  } else {
    block += "exact bounds of the truncation error at both ends of the input range";
    if (proof.inputs_evaluated > 0) {
      block += ",\n;        the first " + std::to_string(proof.inputs_evaluated) +
               " inputs evaluated exactly";
    }
    block += "\n";
  }
  block += "; Routine: " + std::to_string(routine.instructions) + " instructions, " +
           std::to_string(routine.instructions) + " cycles\n";

  const int input_bytes = (target.input_bits + 7) / 8;
  block += "\n\n; Input:  " + byte_range(acc_name, input_bytes) + "\t(" +
           std::to_string(target.input_bits) + " bits)";
  block += "\n; Output: " + byte_range(acc_name, routine.output_bytes) + "\t(" +
           std::to_string(target.result_bits) + " bits)";
  return block;
}

}  // namespace tarvek
