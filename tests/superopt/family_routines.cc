#include "family_routines.h"

#include <algorithm>

#include "exact/form_emission.h"

namespace tarvek {

std::vector<ExactSweepRequest> family_requests(const std::vector<int>& widths, Core core) {
  return exact_requests(exact_sweep_constants(), widths, false, core);
}

std::optional<FamilyRoutine> family_routine(const ExactSweepRequest& request,
                                            const SearchEffort& effort) {
  const ExactPromise k = expected_promise(request);
  const Fraction constant =
      Fraction::of(BigInt::from_unsigned(k.numerator), BigInt::from_unsigned(k.denominator));
  const ResultMode mode = request.result == "nearest" ? ResultMode::kNearest : ResultMode::kFloor;
  const ExactSpec spec = make_spec(constant, mode, request.bits, request.is_signed);
  if (spec.result_bits < 1) return std::nullopt;
  const RoutineNames names{"ACC", "TEMP", request.little_endian, request.core};
  const std::optional<SpecResult> found = find_cheapest_routine(spec, names, effort);
  if (!found) return std::nullopt;
  FamilyRoutine routine{request, found->routine.code, {}};
  routine.contract = routine_contract(routine.code, names, found->routine.output_bytes, spec);
  return routine;
}

std::vector<std::string> byte_names(const Code& code) {
  std::vector<std::string> names;
  for (const Instruction& in : code.instructions()) {
    if (in.file == kNoFile || in.file == kStatusFile) continue;
    const std::string name = code.register_name(in.file) + std::to_string(in.byte);
    if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
  }
  return names;
}

}  // namespace tarvek
