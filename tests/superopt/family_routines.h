// The routines of the exact sweep's family (tests/exact/exact_sweep.h) as the search finds them,
// with what each promises, for the superoptimizer's property test and its rule learner: the
// unsigned floor and nearest requests of every constant of the family at the widths asked for,
// both byte orders, on either core.
#ifndef TARVEK_TESTS_SUPEROPT_FAMILY_ROUTINES_H
#define TARVEK_TESTS_SUPEROPT_FAMILY_ROUTINES_H

#include <optional>
#include <string>
#include <vector>

#include "exact/search.h"
#include "exact_sweep.h"
#include "superopt/superoptimizer.h"

namespace tarvek {

struct FamilyRoutine {
  ExactSweepRequest request;
  Code code;
  RoutineContract contract;
};

// The family's requests for the widths given, in the sweep's order, for `core`.
std::vector<ExactSweepRequest> family_requests(const std::vector<int>& widths,
                                               Core core = Core::kMidrange);

// The routine the search finds for `request` with `effort`, registers ACC and TEMP; nullopt
// when the result is always 0 or nothing is proven.
std::optional<FamilyRoutine> family_routine(const ExactSweepRequest& request,
                                            const SearchEffort& effort);

// The names of every byte the routine names, for declaring them to the simulator.
std::vector<std::string> byte_names(const Code& code);

}  // namespace tarvek

#endif  // TARVEK_TESTS_SUPEROPT_FAMILY_ROUTINES_H
