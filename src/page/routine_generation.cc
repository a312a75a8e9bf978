#include "page/routine_generation.h"

#include "exact/exact_generator.h"

namespace tarvek {

int generate_routine(std::ostream& out, const GeneratorRequest& request, Register& acc,
                     Register& temp) {
  if (request.mode == ResultMode::kApprox) {
    generate_code(out, request, acc, temp);
    return 0;
  }
  return generate_exact(out, request, acc, temp, search_effort(request.effort));
}

}  // namespace tarvek
