#include "exact/form_emission.h"

#include <algorithm>
#include <cassert>

#include "codegen/code_writer.h"
#include "codegen/register.h"
#include "codegen/signed_steps.h"
#include "exact/remainder.h"
#include "exact/routine_cleanup.h"

namespace tarvek {
namespace {

// A register standing for the first `bits` bits of the accumulator's bytes.
Register accumulator(const RoutineNames& names, int bits) {
  Register reg(names.acc, 0, names.little_endian);
  reg.set_width(bits, (8 - bits % 8) % 8);
  return reg;
}

// The remainder of the magnitude given x's sign: the bytes above those the unsigned routine
// filled are cleared, and the whole negated when x < 0.
Code sign_remainder(CodeWriter& writer, const ExactSpec& spec, const RoutineNames& names,
                    Register& sign) {
  const RemainderSpec remainder = make_remainder_spec(spec);
  Register rem(names.rem, 0, names.little_endian);
  rem.set_width(8 * remainder.bytes, 0);
  writer.clear_code();
  for (int k = remainder.magnitude_bytes; k < remainder.bytes; ++k) {
    writer.clrf(rem, byte_from_low(rem, remainder.bytes, k));
  }
  Code code = writer.code;
  code += negate_if_signed(writer, rem, remainder.bytes, sign);
  return code;
}

}  // namespace

RoutineContract routine_contract(const Code& code, const RoutineNames& names, int output_bytes,
                                 const ExactSpec& spec) {
  RoutineContract contract;
  contract.core = names.core;
  const int acc = code.find_register(names.acc);
  if (acc < 0) return contract;
  for (int b = 0; b < output_bytes; ++b) {
    contract.outputs.push_back({static_cast<uint8_t>(acc), static_cast<int16_t>(b)});
  }
  // The remainder is a result too, every byte of it (a signed one's sign included).
  const int rem = names.rem.empty() ? -1 : code.find_register(names.rem);
  if (rem >= 0) {
    for (int b = 0; b < make_remainder_spec(spec).bytes; ++b) {
      contract.outputs.push_back({static_cast<uint8_t>(rem), static_cast<int16_t>(b)});
    }
  }
  // A signed input is sign-extended through its bytes: nothing is known of them.
  const int spare = (8 - spec.input_bits % 8) % 8;
  if (!spec.is_signed && spare > 0) {
    const int input_bytes = (spec.input_bits + 7) / 8;
    const int top = names.little_endian ? input_bytes - 1 : 0;
    contract.zero_at_start.push_back({{static_cast<uint8_t>(acc), static_cast<int16_t>(top)},
                                      static_cast<uint8_t>(0xFF << (8 - spare))});
  }
  return contract;
}

int spec_output_bytes(const ExactSpec& spec) {
  return std::max((spec.input_bits + 7) / 8, (spec.result_bits + 7) / 8);
}

EmittedRoutine wrap_form(const Form& form, EmittedRoutine inner, const ExactSpec& spec,
                         const RoutineNames& names, const SuperoptEffort& superopt) {
  const int output_bytes = spec_output_bytes(spec);
  const int input_bytes = (spec.input_bits + 7) / 8;
  assert(inner.output_bytes == output_bytes);
  EmittedRoutine routine = std::move(inner);
  CodeWriter writer(names.core);
  Register input = accumulator(names, spec.input_bits);
  Register result = accumulator(names, 8 * output_bytes);
  switch (form.kind) {
    case FormKind::kDirect:
      break;
    case FormKind::kBiased: {
      Code before = bias_signed_input(writer, input, spec.input_bits);
      routine.code.insert_front(before);
      if (!form.offset.is_zero()) {
        // - m modulo 2^(8 output_bytes): the wrapped sum is the two's-complement result,
        // its sign copied through every byte.
        const uint64_t m = *form.offset.to_u64();
        uint64_t minus_m = ~m + 1;
        if (output_bytes < 8) minus_m &= (uint64_t{1} << (8 * output_bytes)) - 1;
        routine.code += add_constant_wrapping(writer, result, output_bytes, minus_m);
      }
      break;
    }
    case FormKind::kMagnitude: {
      // The sign byte lies past every temporary byte the unsigned routine uses.
      Register sign(names.temp, 0, names.little_endian);
      sign.set_width(8, 0);
      sign.base = routine.temp_bytes++;
      Code before = save_sign(writer, input, input_bytes, sign);
      before += negate_if_signed(writer, input, input_bytes, sign);
      routine.code.insert_front(before);
      // A fresh writer: the unsigned routine's code ran in between.
      CodeWriter after(names.core);
      routine.code += negate_if_signed(after, result, output_bytes, sign);
      if (!names.rem.empty()) routine.code += sign_remainder(after, spec, names, sign);
      break;
    }
  }
  // The cleanup runs only once the whole routine is known: what reads W or Z afterwards
  // decides whether an instruction may go.
  routine.code = clean_up_routine(routine.code, routine.code.find_register(names.temp));
  routine.code = superoptimize(routine.code,
                               routine_contract(routine.code, names, output_bytes, spec), superopt);
  // Only now: the cleanup and the superoptimizer read each value of a byte apart only while it
  // has a byte of its own.
  if (names.core == Core::kBaseline) share_bytes(routine, names);
  routine.output_bytes = output_bytes;
  routine.acc_bytes = std::max(routine.acc_bytes, output_bytes);
  routine.instructions = routine.code.words();
  return routine;
}

}  // namespace tarvek
