// How an approximating routine compares with the two things a user may take it for: the
// exact result floor(x * K), which is C's x / D when K is 1 / D, and the error it was allowed.
//
// The approximation multiplies by a constant cut short within the allowed error and
// truncates at each step, so its result can fall short of floor(x * K) even at an error of
// 0; and an input too narrow to tell further terms apart leaves the error above the one
// allowed. The review finds both out, and prices the exact routine that would have been the
// right one, so that the answer can say what the approximation gives away and for how much.
//
// The routine's result is the documented computation of its terms (reference_model.h), which
// the printed check holds every routine to; K is the constant read exactly from the request's
// texts, and floor(x * K) is plain integer arithmetic.
#ifndef TARVEK_PAGE_APPROXIMATION_REVIEW_H
#define TARVEK_PAGE_APPROXIMATION_REVIEW_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "page/validation.h"
#include "sim/reference_model.h"

namespace tarvek {

// The documented computation of a list of terms (reference_model.h's documented_product),
// made ready once for many inputs: the terms sorted and each step's shift worked out, so that
// an input costs a shift and an addition per term and no allocation. Comparing every 16-bit
// input of a long approximation with floor(x * K) then costs a web request a few milliseconds.
class TermWalk {
 public:
  // Requires: what documented_product requires of `terms`.
  explicit TermWalk(std::vector<Term> terms);
  // documented_product(terms, x). Requires: x < 2^32.
  WideInt operator()(uint64_t x) const;

 private:
  // One step of the walk over the terms below the units position: the shift that brings the
  // accumulator from one term's place to the next one's (the last to the units position),
  // then the sign of the term added there (0 after the last shift).
  struct Step {
    int shift;
    int sign;
  };
  // The terms at and above the units position, added exactly.
  std::vector<Term> whole_;
  std::vector<Step> steps_;
  // The least significant term is negative: the accumulator is negated after its first shift.
  bool negate_first_ = false;
};

// Inputs up to this width are all compared with floor(x * K); wider ones on their edges and
// kReviewSample values of a fixed seed.
inline constexpr int kReviewBits = 16;
inline constexpr int kReviewSample = 4096;

// An input where the approximation's result is not floor(x * K).
struct FloorDifference {
  uint64_t input = 0;
  WideInt result = 0;
  WideInt floor = 0;
};

// The comparison with floor(x * K).
struct FloorComparison {
  // K in lowest terms, "p/q" (or "p").
  std::string fraction;
  // How many inputs were compared, and whether that was every input of the width.
  long inputs = 0;
  bool every_input = false;
  // The smallest compared input whose result differs; none when every compared input agreed.
  std::optional<FloorDifference> difference;
  // Instructions of the exact floor routine for the same request, made when the results
  // differ and the request allows one.
  std::optional<int> floor_instructions;
};

struct ApproximationReview {
  // The error of the approximation in percent of the constant, and the error allowed.
  double error = 0;
  double allowed_error = 0;
  // The error exceeds the allowed one (the comment block's WARNING).
  bool exceeds_allowed_error = false;
  // Made when K reads exactly from the request's texts (a fraction whose terms fit 64 bits).
  std::optional<FloorComparison> floor;
};

// Reviews the approximating routine of `checked` (valid, approximating mode). K is read from
// the Const and DivideBy texts of `fields`, as the exact modes read them; the exact floor
// routine is made for those fields with Result floor, run before it is counted on every input
// up to `checked_bits` bits (as generate_routine's check does).
ApproximationReview review_approximation(const RequestFields& fields,
                                         const ValidatedRequest& checked, int checked_bits);

// The comment lines a block gets from its review, each "; ..." and a line feed: the first
// input whose result differs from floor(x * K), and what the exact routine costs. Empty when
// no compared input differs or K could not be read exactly.
std::string approximation_notes(const ApproximationReview& review);

}  // namespace tarvek

#endif  // TARVEK_PAGE_APPROXIMATION_REVIEW_H
