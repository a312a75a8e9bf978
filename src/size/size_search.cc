#include "size/size_search.h"

#include "exact/form_emission.h"

namespace tarvek {
namespace {

// Words, then the worst case's cycles: what a routine for size is judged by.
struct Price {
  int words = 0;
  long most_cycles = 0;

  bool operator<(const Price& other) const {
    return words != other.words ? words < other.words : most_cycles < other.most_cycles;
  }
};

// The plans of one form, each priced inside the form's wrapping and, when that is strictly
// cheaper than what `best` holds, proven and kept there. A plan is proven only when it would
// win: a request pays for the proofs of routines it could print, not of every plan.
void price_plans(const ExactSpec& spec, const Form& form, const RoutineNames& names,
                 const std::string& label_prefix, const SearchEffort& effort,
                 std::optional<SizeResult>& best, Price& best_price) {
  for (const LoopPlan& plan : make_loop_plans(form.inner, effort.exhaustive_bits)) {
    std::optional<LoopRoutine> inner =
        emit_plan(plan, form.inner, names, label_prefix, spec_output_bytes(spec), effort);
    if (!inner) continue;
    const int inner_words = inner->routine.instructions;
    EmittedRoutine routine = wrap_form(form, std::move(inner->routine), spec, names);
    // What the form adds around the loop is straight-line code: a cycle a word.
    const long added = routine.instructions - inner_words;
    const Price price{routine.instructions, inner->most_cycles + added};
    if (best && !(price < best_price)) continue;
    const LoopProof proof = prove_plan(plan, form.inner, effort.exhaustive_bits);
    if (!proof.holds) continue;
    SizeResult result;
    result.form = form;
    result.plan = plan;
    result.proof = proof;
    result.routine = std::move(routine);
    result.fewest_cycles = inner->fewest_cycles + added;
    result.most_cycles = price.most_cycles;
    if (best) result.speed = std::move(best->speed);
    best = std::move(result);
    best_price = price;
  }
}

}  // namespace

std::optional<SizeResult> find_smallest_routine(const ExactSpec& spec, const RoutineNames& names,
                                                const std::string& label_prefix,
                                                const SearchEffort& effort) {
  std::optional<SizeResult> best;
  Price best_price;
  if (std::optional<SpecResult> speed = find_cheapest_routine(spec, names, effort)) {
    best_price = Price{speed->routine.instructions, speed->routine.instructions};
    best = SizeResult{};
    best->straight = true;
    best->speed = std::move(speed);
  }
  for (const Form& form : forms_of(spec)) {
    if (!form_agrees(form, spec) || form.inner.result_bits == 0) continue;
    price_plans(spec, form, names, label_prefix, effort, best, best_price);
  }
  return best;
}

}  // namespace tarvek
