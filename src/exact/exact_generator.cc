#include "exact/exact_generator.h"

#include <cassert>

#include "exact/comment_block.h"
#include "exact/remainder.h"

namespace tarvek {

std::string exact_block(const ExactSpec& spec, const SpecResult& found, const RoutineNames& names,
                        const std::string& opening) {
  const int rem_bytes = names.rem.empty() ? 0 : make_remainder_spec(spec).bytes;
  return exact_comment_block(spec, found, names) + opening +
         declaration_lines(found.routine, names, rem_bytes) + "\tendc\n\n" +
         found.routine.code.text() + "\n";
}

int generate_exact(std::ostream& out, const GeneratorRequest& request, const Register& acc,
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
  const std::optional<SpecResult> found = find_cheapest_routine(spec, names, effort);
  if (!found) return kUnprovenError;
  const std::string block = exact_block(spec, *found, names, cblock_opening(request));
  out.write(block.data(), static_cast<std::streamsize>(block.size()));
  return 0;
}

}  // namespace tarvek
