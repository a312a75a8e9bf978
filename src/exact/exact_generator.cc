#include "exact/exact_generator.h"

#include <cassert>
#include <utility>

#include "codegen/instruction_set.h"
#include "exact/comment_block.h"
#include "exact/remainder.h"

namespace tarvek {

std::string exact_block(const ExactSpec& spec, const SpecResult& found, const RoutineNames& names,
                        const std::string& opening) {
  const int rem_bytes = names.rem.empty() ? 0 : make_remainder_spec(spec).bytes;
  return exact_comment_block(spec, found, names) + opening +
         declaration_lines(found.routine, names, rem_bytes) + "\tendc\n\n" +
         instruction_set(names.core).written_out(found.routine.code).text() + "\n";
}

FinishedRoutine finished_exact(const ExactSpec& spec, SpecResult found, const RoutineNames& names,
                               bool counts_ram) {
  FinishedRoutine routine;
  const int rem_bytes = names.rem.empty() ? 0 : make_remainder_spec(spec).bytes;
  routine.registers = declared_names(found.routine, names, rem_bytes);
  routine.result_registers =
      static_cast<std::size_t>(declared_acc_bytes(found.routine) + rem_bytes);
  const int ram_bytes = counts_ram ? static_cast<int>(routine.registers.size()) : -1;
  routine.comment = exact_comment_block(spec, found, names, ram_bytes);
  routine.code = instruction_set(names.core).written_out(found.routine.code);
  return routine;
}

std::optional<FinishedRoutine> finish_exact(const GeneratorRequest& request, const Register& acc,
                                            const Register& temp, const SearchEffort& effort) {
  assert(request.mode != ResultMode::kApprox);
  assert(request.numerator >= 1 && request.denominator >= 1);
  const Fraction constant = Fraction::of(BigInt::from_unsigned(request.numerator),
                                         BigInt::from_unsigned(request.denominator));
  const ExactSpec spec = make_spec(constant, request.mode, acc.width, request.is_signed);
  assert(spec.result_bits >= 1);
  RoutineNames names{acc.name, temp.name, acc.little_endian, request.core};
  if (!request.remainder.empty()) {
    const RemainderSpec remainder = make_remainder_spec(spec);
    names.rem = request.remainder;
    names.rem_bytes = remainder.magnitude_bytes;
    names.rem_base = acc.little_endian ? 0 : remainder.bytes - remainder.magnitude_bytes;
  }
  std::optional<SpecResult> found = find_cheapest_routine(spec, names, effort);
  if (!found) return std::nullopt;
  return finished_exact(spec, std::move(*found), names, routine_line_counts_ram(request));
}

int generate_exact(std::ostream& out, const GeneratorRequest& request, const Register& acc,
                   const Register& temp, const SearchEffort& effort) {
  const std::optional<FinishedRoutine> routine = finish_exact(request, acc, temp, effort);
  if (!routine) return kUnprovenError;
  const std::string block = inline_block(*routine, cblock_opening(request));
  out.write(block.data(), static_cast<std::streamsize>(block.size()));
  return 0;
}

}  // namespace tarvek
