#include "exact/comment_block.h"

#include <algorithm>

#include "codegen/core_lines.h"
#include "exact/remainder.h"

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

const char* title_word(ResultMode mode) {
  switch (mode) {
    case ResultMode::kNearest:
      return "round";
    case ResultMode::kTrunc:
      return "trunc";
    default:
      return "floor";
  }
}

const char* rounding_text(ResultMode mode) {
  switch (mode) {
    case ResultMode::kNearest:
      return "floor(x * K + 1/2), ties rounded up";
    case ResultMode::kTrunc:
      return "x * K rounded toward zero, as C's integer division";
    default:
      return "floor(x * K), rounded down";
  }
}

// "a u + b - d q", as the remainder of the unsigned routine's target.
std::string remainder_text(const ResultTarget& target, const std::string& u) {
  const std::string a = target.a.to_decimal();
  const std::string b = target.b.is_zero() ? "" : " + " + target.b.to_decimal();
  return (a == "1" ? u : a + " " + u) + b + " - " + target.d.to_decimal() + " q";
}

// The unsigned routine's steps, on its input `u`; `rem` names the remainder register (empty
// for none), which holds `rem_bytes` bytes of the remainder.
std::string method_lines(const ResultTarget& target, const Candidate& c, const std::string& u,
                         const std::string& rem, int rem_bytes) {
  std::string block;
  const int fraction_bits = c.shift - c.guard;
  block += "; v = " + u + " * " + c.multiplier.to_decimal();
  if (fraction_bits > 0) block += " / " + power(fraction_bits);
  block += fraction_bits > 0 ? ", by shifts and adds truncating at each right shift\n"
                             : ", by shifts and adds, exactly\n";
  for (const int k : c.factors) {
    block +=
        k > 0 ? "; v = v + floor(v / " + power(k) + ")\n" : "; v = v + v * " + power(-k) + "\n";
  }
  if (c.offset != 0) block += "; v = v + " + std::to_string(c.offset) + "\n";
  if (c.guard > 0) block += "; q = floor(v / " + power(c.guard) + ")\n";
  if (c.corrections > 0) {
    // The remainder of the quotient found so far, from the low bytes only.
    const std::string d = target.d.to_decimal();
    block += "; r = " + remainder_text(target, u) + " (mod 256), then " +
             std::to_string(c.corrections) + (c.corrections == 1 ? " correction" : " corrections") +
             ":\n";
    block += ";   if r >= " + d + ": r = r - " + d + ", q = q + 1\n";
    if (!rem.empty()) block += "; " + rem + " = r\n";
  } else if (!rem.empty()) {
    block += "; " + rem + " = " + remainder_text(target, u) + " (mod " + power(8 * rem_bytes) +
             "), " + u + " copied before the walk\n";
  }
  if (c.factors.empty()) {
    block += "; (multiplier " + c.multiplier.to_decimal() + " / " + power(c.shift) + " = " +
             decimal_text(Fraction::of(c.multiplier, BigInt::power_of_two(c.shift)), 20) + ")\n";
  }
  return block;
}

}  // namespace

std::string exact_heading(const ExactSpec& spec, const std::string& acc_name) {
  const std::string k = fraction_text(spec.constant);
  const std::string n = std::to_string(spec.input_bits);
  std::string block = "; " + acc_name + " = " + title_word(spec.mode) + "(" + acc_name + " * " + k +
                      ")" + (spec.is_signed ? ", signed" : "") + "\n;\n";
  block += "; Constant: " + k + " = " + decimal_text(spec.constant, 20) + "\n";
  block += "; Result:   " + std::string(rounding_text(spec.mode)) + ",\n";
  if (spec.is_signed) {
    block += ";           exact for every signed " + n + "-bit input x (two's complement, " +
             spec.min_input.to_decimal() + " to " + spec.max_input.to_decimal() + ")\n";
    block += "; Results:  " + spec.min_result.to_decimal() + " to " + spec.max_result.to_decimal() +
             ", two's complement, the sign copied through every output byte\n;\n";
  } else {
    block += ";           exact for every " + n + "-bit input x\n";
    block += "; Largest result: " + spec.max_result.to_decimal() + "\n;\n";
  }
  return block;
}

std::string form_method_lines(const ExactSpec& spec, const Form& form,
                              const std::string& inner_lines, const std::string& rem) {
  std::string block = "; METHOD:\n";
  const std::string half = BigInt::power_of_two(spec.input_bits - 1).to_decimal();
  switch (form.kind) {
    case FormKind::kDirect:
      block += inner_lines;
      break;
    case FormKind::kBiased:
      block += "; u = x + " + half + " (its sign bit flipped), from 0 to " +
               form.inner.max_input.to_decimal() + "\n";
      block += inner_lines;
      block += "; result = q - " + form.offset.to_decimal() + "\n";
      break;
    case FormKind::kMagnitude:
      block += "; s = the sign of x, u = |x|, from 0 to " + half + "\n";
      block += inner_lines;
      block += "; result = q, negated when s says x < 0\n";
      if (!rem.empty()) block += "; " + rem + " negated likewise\n";
      break;
  }
  return block;
}

std::string io_lines(const ExactSpec& spec, const EmittedRoutine& routine,
                     const RoutineNames& names) {
  const std::string& acc_name = names.acc;
  const int input_bytes = (spec.input_bits + 7) / 8;
  std::string block = "\n\n; Input:  " + byte_range(acc_name, input_bytes) + "\t(" +
                      std::to_string(spec.input_bits) + " bits)";
  block += "\n; Output: " + byte_range(acc_name, routine.output_bytes) + "\t(" +
           std::to_string(spec.result_bits) + " bits)";
  RamUse ram{acc_name, std::max(routine.output_bytes, routine.acc_bytes), names.temp,
             routine.temp_bytes};
  if (!names.rem.empty()) {
    const RemainderSpec remainder = make_remainder_spec(spec);
    block += "\n; Remainder: " + byte_range(names.rem, remainder.bytes) + "\t(" +
             std::to_string(remainder.bits) + " bits)";
    ram.rem = names.rem;
    ram.rem_bytes = remainder.bytes;
  }
  return block + core_lines(names.core, ram);
}

std::string ram_text(int ram_bytes) {
  if (ram_bytes < 0) return {};
  return ", " + std::to_string(ram_bytes) + (ram_bytes == 1 ? " byte" : " bytes") + " of RAM";
}

std::string exact_comment_block(const ExactSpec& spec, const SpecResult& found,
                                const RoutineNames& names, int ram_bytes) {
  const std::string& acc_name = names.acc;
  const std::string& rem = names.rem;
  const std::string u = found.form.kind == FormKind::kDirect ? "x" : "u";
  std::string block = exact_heading(spec, acc_name);
  if (!rem.empty()) {
    block += remainder_identity_line(make_remainder_spec(spec), rem) + ";\n";
  }
  block += form_method_lines(
      spec, found.form,
      found.inner.method
          ? found.inner.method(u)
          : method_lines(found.form.inner, found.inner.candidate, u, rem, names.rem_bytes),
      rem);
  block += "; Proof: ";
  if (found.inner.proof.inputs_evaluated > *found.form.inner.max_input.to_u64()) {
    block += "every input evaluated exactly\n";
  } else {
    block += "exact bounds of the truncation error at both ends of the input range";
    if (found.inner.proof.inputs_evaluated > 0) {
      block += ",\n;        the first " + std::to_string(found.inner.proof.inputs_evaluated) +
               " inputs evaluated exactly";
    }
    block += "\n";
  }
  if (!rem.empty()) {
    // The remainder of a proven quotient lies in [0, d), which the bytes it is made in hold.
    block += ";        " + rem + ": " + remainder_text(found.form.inner, u) + " lies in [0, " +
             found.form.inner.d.to_decimal() + ") for the proven q, so modulo " +
             power(8 * names.rem_bytes) + " it is exact\n";
  }
  block += "; Routine: " + std::to_string(found.routine.instructions) + " instructions, " +
           std::to_string(found.routine.instructions) + " cycles" + ram_text(ram_bytes) + "\n";
  return block + io_lines(spec, found.routine, names);
}

}  // namespace tarvek
