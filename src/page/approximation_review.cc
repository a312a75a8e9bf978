#include "page/approximation_review.h"

#include <algorithm>
#include <cassert>
#include <sstream>
#include <vector>

#include "codegen/decomposition.h"
#include "codegen/register.h"
#include "page/exact_constant.h"
#include "page/routine_generation.h"
#include "page/routine_summary.h"
#include "sim/routine_check.h"

namespace tarvek {
namespace {

// The names the review writes its routines with: what the routines compute does not depend
// on the names, and these are names every reader of a block takes.
constexpr const char* kAccName = "ACC";
constexpr const char* kTempName = "TEMP";

// Instructions of the exact floor routine for the request of `fields`, or nullopt when that
// request is refused.
std::optional<int> floor_instructions(const RequestFields& fields, int checked_bits) {
  RequestFields floor_fields = fields;
  floor_fields.result_text = "floor";
  floor_fields.signed_text.clear();
  floor_fields.ram_text.reset();
  const ValidatedRequest checked = validate_request(floor_fields);
  if (checked.error_code != 0) return std::nullopt;
  GeneratorRequest request = checked.request;
  request.checked_bits = checked_bits;
  Register acc(kAccName, checked.input_bits, fields.little_endian);
  Register temp(kTempName, 0, fields.little_endian);
  std::ostringstream block;
  if (generate_routine(block, request, acc, temp) != 0) return std::nullopt;
  return summarize_routine(block.str(), kAccName).instructions;
}

}  // namespace

TermWalk::TermWalk(std::vector<Term> terms) {
  std::sort(terms.begin(), terms.end(), [](Term a, Term b) { return a.exponent < b.exponent; });
  std::vector<Term> fractional;
  for (const Term& term : terms) {
    assert(term.exponent >= kMinTermExponent && term.exponent <= kMaxTermExponent);
    (term.exponent >= 0 ? whole_ : fractional).push_back(term);
  }
  if (fractional.empty()) return;
  negate_first_ = fractional.front().sign < 0;
  for (std::size_t i = 1; i <= fractional.size(); ++i) {
    const int next = i < fractional.size() ? fractional[i].exponent : 0;
    steps_.push_back(
        Step{next - fractional[i - 1].exponent, i < fractional.size() ? fractional[i].sign : 0});
  }
}

WideInt TermWalk::operator()(uint64_t x) const {
  assert(x <= 0xFFFFFFFFull);
  const WideInt input = static_cast<WideInt>(x);
  WideInt exact = 0;
  for (const Term& term : whole_) exact += term.sign * (input << term.exponent);
  if (steps_.empty()) return exact;
  WideInt acc = input;
  bool first = true;
  for (const Step& step : steps_) {
    // An arithmetic shift: division by 2^shift rounding toward minus infinity (C++20), as the
    // documented computation shifts. A shift is at most 64 places.
    acc >>= step.shift;
    if (first && negate_first_) acc = -acc;
    first = false;
    acc += step.sign * input;
  }
  return acc + exact;
}

ApproximationReview review_approximation(const RequestFields& fields,
                                         const ValidatedRequest& checked, int checked_bits) {
  assert(checked.error_code == 0 && checked.request.mode == ResultMode::kApprox);
  ApproximationReview review;
  const int bits = checked.input_bits;
  Register acc(kAccName, bits, fields.little_endian);
  std::ostringstream header;
  const Decomposition decomposition = decompose(header, checked.request, acc);
  review.error = decomposition.error_percent;
  review.allowed_error = checked.request.const_error;
  review.exceeds_allowed_error = !decomposition.within_error;

  const ExactConstant k = read_exact_constant(fields.const_text, fields.divide_by_text, bits);
  if (k.error_code != 0) return review;
  const PromiseOutcome promise = read_promise(header.str(), kAccName);
  if (!promise.promise) return review;
  const TermWalk walk(promise.promise->terms);

  FloorComparison comparison;
  comparison.fraction = fraction_text(k.value);
  const ExactPromise floor{*k.value.numerator.to_u64(), *k.value.denominator.to_u64()};
  // Ascending, and the same for every request of the width.
  const std::vector<uint64_t> inputs = edge_inputs(bits, false, kReviewBits, kReviewSample);
  comparison.every_input = bits <= kReviewBits;
  for (const uint64_t x : inputs) {
    ++comparison.inputs;
    const WideInt result = walk(x);
    const WideInt wanted = exact_result(floor, x);
    if (result != wanted) {
      comparison.difference = FloorDifference{x, result, wanted};
      break;
    }
  }
  if (comparison.difference)
    comparison.floor_instructions = floor_instructions(fields, checked_bits);
  review.floor = std::move(comparison);
  return review;
}

std::string approximation_notes(const ApproximationReview& review) {
  if (!review.floor || !review.floor->difference) return {};
  const FloorComparison& floor = *review.floor;
  const FloorDifference& difference = *floor.difference;
  const std::string input = std::to_string(difference.input);
  std::string notes = "; Not exact: input " + input + " gives " + to_decimal(difference.result) +
                      " where floor(" + input + " * " + floor.fraction + ") is " +
                      to_decimal(difference.floor) + ".\n";
  if (floor.floor_instructions) {
    notes += "; Exact floor: " + std::to_string(*floor.floor_instructions) +
             " instructions (result floor).\n";
  }
  return notes;
}

}  // namespace tarvek
