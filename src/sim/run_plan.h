// What the routine check (routine_check.h) writes into a routine's input bytes and requires of
// its output bytes, input by input, computed from the comment block's promise alone.
//
// An input is a bit pattern below 2^input_bits. A signed routine reads it as two's complement
// and finds it sign-extended through the input bytes; its result must be sign-extended
// through the output bytes. The result is the exact result of the title line
// (exact_result) or the documented computation of the term lines (DocumentedProduct), and
// must fit the Output line's bit count: below 2^output_bits, or for a signed routine from
// -2^(output_bits - 1) to 2^(output_bits - 1) - 1; every output bit above it must be zero, or
// a copy of the sign.
//
// A check asks for many inputs, and the planner answers them many at a time: the documented
// computation a term at a time over all the inputs, an exact result from the one before it
// when the inputs are consecutive (floor((a v + b) / d) grows by a / d, with the remainder
// carried). plan_one is the same for one input from scratch, which the batches are tested
// against.
#ifndef TARVEK_SIM_RUN_PLAN_H
#define TARVEK_SIM_RUN_PLAN_H

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "sim/reference_model.h"
#include "sim/routine_check.h"

namespace tarvek {

// One input's run.
struct PlannedRun {
  // The value written into the input bytes, least significant byte first.
  uint64_t written = 0;
  // The value the output bytes must hold afterwards.
  uint64_t wanted = 0;
  // The documented result, for a failure's text.
  WideInt expected = 0;
};

// Plans the run of input `x` into `run`, or returns the fault that keeps it from running: an
// input wider than the promise's, or a result that does not fit its output bits.
// Requires: 1 <= promise.input_bits <= 32, 1 <= promise.output_bits <= 63, input_bits and
// output_bits within input_bytes and output_bytes, input_bytes <= 4, output_bytes <= 8.
std::string plan_one(const RoutinePromise& promise, uint64_t x, PlannedRun& run);

// Plans many inputs of one promise.
class RunPlanner {
 public:
  // Requires: as for plan_one. The promise must outlive the planner.
  explicit RunPlanner(const RoutinePromise& promise);

  // Plans inputs[0], inputs[1], ... up to the first one that cannot run (plan_one gives its
  // fault), filling written[k] and wanted[k] as plan_one does; returns how many it planned.
  // Requires: written and wanted as long as inputs.
  std::size_t plan(std::span<const uint64_t> inputs, std::span<uint64_t> written,
                   std::span<uint64_t> wanted) const;

 private:
  // floor((a v + b) / d), for one sign of the input value v, with a / d and a % d.
  struct Affine {
    WideInt a = 0;
    WideInt b = 0;
    WideInt d = 1;
    WideInt step_quotient = 0;
    WideInt step_remainder = 0;
  };

  // In Int arithmetic, wide enough for the quotients and remainders of one input to the next.
  template <typename Int>
  std::size_t plan_exact(std::span<const uint64_t> inputs, std::span<uint64_t> written,
                         std::span<uint64_t> wanted) const;
  std::size_t plan_documented(std::span<const uint64_t> inputs, std::span<uint64_t> written,
                              std::span<uint64_t> wanted) const;
  // Stores the run of the input of value v and result r in slot k, or returns false when r
  // does not fit.
  template <typename Int>
  bool store(int64_t v, Int r, std::size_t k, std::span<uint64_t> written,
             std::span<uint64_t> wanted) const;

  const RoutinePromise* promise_;
  bool is_signed_;
  // The results allowed: lowest_ <= r <= largest_, both within int64_t.
  WideInt lowest_;
  WideInt largest_;
  // The input and output bytes' bits.
  uint64_t input_mask_;
  uint64_t output_mask_;
  // The exact result: forms_[0] for every input, or for the non-negative ones when a
  // truncation rounds the negative ones the other way, which forms_[1] then gives.
  Affine forms_[2];
  bool two_forms_ = false;
  // The quotients and remainders between consecutive inputs fit int64_t.
  bool exact_in_64_bits_ = false;
  // The term lines' computation, for a routine without a title line.
  DocumentedProduct documented_;
};

}  // namespace tarvek

#endif  // TARVEK_SIM_RUN_PLAN_H
