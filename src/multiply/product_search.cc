#include "multiply/product_search.h"

#include "codegen/instruction_set.h"
#include "exact/fraction.h"
#include "multiply/product_proof.h"

namespace tarvek {

namespace {

// Proven plans emitted, cheapest estimate first: enough to meet every shape that pays, few
// enough that a request stays cheap.
constexpr std::size_t kPricedPlans = 6;

// A rough instruction count of the plan's routine: only the order it gives matters.
int estimate_cost(const ProductPlan& plan, const ResultTarget& target) {
  const int input_bytes = (target.input_bits + 7) / 8;
  const int result_bytes = (target.result_bits + 7) / 8;
  int cost = 0;
  for (int i = 0; i < input_bytes; ++i) {
    for (int j = 0; j < multiplier_bytes(plan); ++j) {
      const int m = multiplier_byte(plan, j);
      if (m == 0 || i + j < plan.kept_from) continue;
      cost += m == 1 ? 3 : 6;
    }
  }
  for (int k = plan.kept_from; 8 * k < plan.offset.bit_length(); ++k) {
    cost += byte_of(plan.offset, k) != 0 ? 2 : 0;
  }
  const int bits = plan.shift % 8;
  return cost + (bits == 0 ? 2 * result_bytes : std::min(3 * bits, 6) * (result_bytes + 1));
}

}  // namespace

std::optional<ProductResult> find_cheapest_product(const ResultTarget& target,
                                                   const RoutineNames& names, int output_bytes,
                                                   int exhaustive_bits) {
  if (!instruction_set(names.core).has_multiplier() || !names.rem.empty()) return std::nullopt;
  std::optional<ProductResult> best;
  int proven_count = 0;
  // A multiplier of more bytes than the fewest that hold adds a row of partial products for
  // each input byte, which no saving elsewhere makes up for.
  int fewest_bytes = kLargestMultiplierBytes + 1;
  struct Ranked {
    ProductPlan plan;
    ProofOutcome proof;
    int estimate = 0;
  };
  std::vector<Ranked> ranked;
  const int input_bytes = (target.input_bits + 7) / 8;
  for (ProductPlan plan : make_product_plans(target)) {
    if (multiplier_bytes(plan) > fewest_bytes + 1) continue;
    // Leaving out the partial products below the result's lowest byte is what can pay; each
    // one more left out only widens what the proof must allow, so the first that fails ends
    // the plan's tries.
    const int most_left_out = std::min(plan.shift / 8, input_bytes + multiplier_bytes(plan) - 2);
    for (plan.kept_from = 0; plan.kept_from <= most_left_out; ++plan.kept_from) {
      ProofOutcome proof;
      const std::optional<ProductPlan> proven =
          with_least_offset(plan, target, exhaustive_bits, proof);
      if (!proven) break;
      ++proven_count;
      fewest_bytes = std::min(fewest_bytes, multiplier_bytes(*proven));
      ranked.push_back({*proven, proof, estimate_cost(*proven, target)});
    }
  }
  std::stable_sort(ranked.begin(), ranked.end(),
                   [](const Ranked& a, const Ranked& b) { return a.estimate < b.estimate; });
  if (ranked.size() > kPricedPlans) ranked.resize(kPricedPlans);
  for (const Ranked& entry : ranked) {
    for (const ProductLayout& layout : kProductLayouts) {
      EmittedRoutine routine = emit_product(entry.plan, target, names, output_bytes, layout);
      if (!best || better_routine(routine, best->routine, names)) {
        best = ProductResult{entry.plan, layout, entry.proof, std::move(routine), 0};
      }
    }
  }
  if (best) best->proven = proven_count;
  return best;
}

std::string product_method_lines(const ProductPlan& plan, const ResultTarget& target,
                                 const std::string& u) {
  std::string block = "; v = " + u + " * " + plan.multiplier.to_decimal();
  if (!plan.offset.is_zero()) block += " + " + plan.offset.to_decimal();
  if (plan.kept_from == 0) {
    block += ", by the hardware multiplier, exactly\n";
  } else {
    block += ", by the hardware multiplier, without the partial products below byte " +
             std::to_string(plan.kept_from) + "\n;     (they would add at most " +
             most_left_out(plan, target).to_decimal() + ")\n";
  }
  if (plan.shift > 0) block += "; q = floor(v / 2^" + std::to_string(plan.shift) + ")\n";
  block += "; (multiplier " + plan.multiplier.to_decimal() + " / 2^" + std::to_string(plan.shift) +
           " = " +
           decimal_text(Fraction::of(plan.multiplier, BigInt::power_of_two(plan.shift)), 20) +
           ")\n";
  return block;
}

std::optional<SearchResult> product_search_result(const ResultTarget& target,
                                                  const RoutineNames& names, int output_bytes,
                                                  int exhaustive_bits) {
  std::optional<ProductResult> found =
      find_cheapest_product(target, names, output_bytes, exhaustive_bits);
  if (!found) return std::nullopt;
  SearchResult result;
  result.proof = found->proof;
  result.routine = std::move(found->routine);
  result.proven = found->proven;
  result.method = [plan = found->plan, target](const std::string& u) {
    return product_method_lines(plan, target, u);
  };
  return result;
}

}  // namespace tarvek
