// The multiplier's search for the cheapest exact routine of one target: every plan
// (product_plan.h) gets the least offset its proof allows (a plan that cannot be proven is
// never priced), each proven plan is priced by emitting it in every layout, and the cheapest
// routine wins; ties go to the plan and layout met first, so a request always gets the same
// routine. The exact search weighs the result against its walks of shifts and adds.
#ifndef TARVEK_MULTIPLY_PRODUCT_SEARCH_H
#define TARVEK_MULTIPLY_PRODUCT_SEARCH_H

#include <optional>

#include "exact/search.h"
#include "multiply/product_emission.h"

namespace tarvek {

struct ProductResult {
  ProductPlan plan;
  ProductLayout layout;
  ProofOutcome proof;
  EmittedRoutine routine;
  // Plans proven and priced along the way.
  int proven = 0;
};

// nullopt when no plan holds, when the core of `names` has no multiplier, or when the
// routine must leave a remainder (which the walks' correction steps make).
std::optional<ProductResult> find_cheapest_product(const ResultTarget& target,
                                                   const RoutineNames& names, int output_bytes,
                                                   int exhaustive_bits);

// The comment block's lines for the routine of `plan` on input `u`.
std::string product_method_lines(const ProductPlan& plan, const ResultTarget& target,
                                 const std::string& u);

// find_cheapest_product as the exact search takes another kind of routine (search.h).
std::optional<SearchResult> product_search_result(const ResultTarget& target,
                                                  const RoutineNames& names, int output_bytes,
                                                  int exhaustive_bits);

}  // namespace tarvek

#endif  // TARVEK_MULTIPLY_PRODUCT_SEARCH_H
