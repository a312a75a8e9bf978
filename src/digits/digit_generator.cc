#include "digits/digit_generator.h"

#include <algorithm>
#include <cassert>
#include <utility>

#include "codegen/instruction_set.h"
#include "digits/digit_comment_block.h"
#include "digits/digit_search.h"

namespace tarvek {

std::optional<FinishedRoutine> finish_digits(const GeneratorRequest& request, const Register& acc,
                                             const Register& temp, int exhaustive_bits) {
  assert(request.digits);
  const DigitSpec spec =
      make_digit_spec(request.digit_base, acc.width, request.digit_form, acc.little_endian);
  const DigitNames names{acc.name, temp.name, request.core};
  std::optional<DigitSearchResult> found = find_cheapest_digits(spec, names, exhaustive_bits);
  if (!found) return std::nullopt;
  const int acc_bytes = std::max(output_byte_count(spec), (spec.input_bits + 7) / 8);
  FinishedRoutine routine;
  routine.comment = digit_comment_block(spec, *found, names);
  for (int k = 0; k < acc_bytes; ++k) routine.registers.push_back(names.acc + std::to_string(k));
  for (int k = 0; k < found->routine.temp_bytes; ++k) {
    routine.registers.push_back(names.temp + std::to_string(k));
  }
  routine.result_registers = static_cast<std::size_t>(acc_bytes);
  routine.code = instruction_set(request.core).written_out(found->routine.code);
  return routine;
}

int generate_digits(std::ostream& out, const GeneratorRequest& request, const Register& acc,
                    const Register& temp, int exhaustive_bits) {
  const std::optional<FinishedRoutine> routine = finish_digits(request, acc, temp, exhaustive_bits);
  if (!routine) return kUnprovenDigitsError;
  const std::string block = inline_block(*routine, cblock_opening(request));
  out.write(block.data(), static_cast<std::streamsize>(block.size()));
  return 0;
}

}  // namespace tarvek
