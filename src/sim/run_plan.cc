#include "sim/run_plan.h"

#include <algorithm>
#include <cassert>

namespace tarvek {
namespace {

// The value of input bit pattern x: two's complement for a signed routine.
int64_t input_value(uint64_t x, int bits, bool is_signed) {
  const auto value = static_cast<int64_t>(x);
  return is_signed && (x >> (bits - 1)) != 0 ? value - (int64_t{1} << bits) : value;
}

// The low `bytes` bytes.
uint64_t byte_mask(int bytes) {
  return bytes >= 8 ? ~uint64_t{0} : (uint64_t{1} << (8 * bytes)) - 1;
}

WideInt floor_divide(WideInt n, WideInt d) {
  const WideInt quotient = n / d;
  return quotient * d != n && n < 0 ? quotient - 1 : quotient;
}

}  // namespace

std::string plan_one(const RoutinePromise& promise, uint64_t x, PlannedRun& run) {
  if (x >> promise.input_bits != 0) {
    return "wider than the " + std::to_string(promise.input_bits) + "-bit input";
  }
  const WideInt limit = static_cast<WideInt>(1) << promise.output_bits;
  const bool is_signed = promise.exact && promise.exact->is_signed;
  WideInt value = static_cast<WideInt>(x);
  if (is_signed && (x >> (promise.input_bits - 1)) != 0) {
    value -= static_cast<WideInt>(1) << promise.input_bits;
  }
  const WideInt expected =
      promise.exact ? exact_result(*promise.exact, value) : documented_product(promise.terms, x);
  const WideInt lowest = is_signed ? -(limit >> 1) : 0;
  const WideInt highest = is_signed ? limit >> 1 : limit;
  if (expected < lowest || expected >= highest) {
    return "the documented product " + to_decimal(expected) + " does not fit the " +
           std::to_string(promise.output_bits) + " output bits";
  }
  const auto wrapped = [](WideInt v, int bytes) {
    const WideInt modulus = static_cast<WideInt>(1) << (8 * bytes);
    return static_cast<uint64_t>(((v % modulus) + modulus) % modulus);
  };
  run.written = is_signed ? wrapped(value, promise.input_bytes) : x;
  run.wanted =
      is_signed ? wrapped(expected, promise.output_bytes) : static_cast<uint64_t>(expected);
  run.expected = expected;
  return {};
}

RunPlanner::RunPlanner(const RoutinePromise& promise)
    : promise_(&promise),
      is_signed_(promise.exact && promise.exact->is_signed),
      input_mask_(byte_mask(promise.input_bytes)),
      output_mask_(byte_mask(promise.output_bytes)),
      documented_(promise.terms) {
  assert(promise.input_bits >= 1 && promise.input_bits <= 32);
  assert(promise.output_bits >= 1 && promise.output_bits <= 63);
  assert(promise.input_bytes <= 4 && promise.output_bytes >= 1 && promise.output_bytes <= 8);
  const WideInt limit = static_cast<WideInt>(1) << promise.output_bits;
  lowest_ = is_signed_ ? -(limit >> 1) : 0;
  largest_ = (is_signed_ ? limit >> 1 : limit) - 1;
  if (!promise.exact) return;
  const auto p = static_cast<WideInt>(promise.exact->numerator);
  const auto q = static_cast<WideInt>(promise.exact->denominator);
  const auto affine = [](WideInt a, WideInt b, WideInt d) { return Affine{a, b, d, a / d, a % d}; };
  // floor(v p / q + 1/2) = floor((2 p v + q) / 2 q); a truncation is the floor for v >= 0
  // and the ceiling, floor((p v + q - 1) / q), below.
  if (promise.exact->nearest) {
    forms_[0] = affine(2 * p, q, 2 * q);
  } else {
    forms_[0] = affine(p, 0, q);
    two_forms_ = promise.exact->trunc && is_signed_;
    forms_[1] = affine(p, q - 1, q);
  }
  // Between two inputs, a quotient within the results allowed grows by at most
  // step_quotient + 1 and a remainder below d by at most step_remainder: 64 bits hold
  // both when all are below 2^62 and the results within 61 bits.
  const WideInt bound = static_cast<WideInt>(1) << 62;
  exact_in_64_bits_ = promise.output_bits <= 61;
  for (const Affine& form : forms_) {
    exact_in_64_bits_ = exact_in_64_bits_ && form.d < bound && form.step_quotient < bound;
  }
}

std::size_t RunPlanner::plan(std::span<const uint64_t> inputs, std::span<uint64_t> written,
                             std::span<uint64_t> wanted) const {
  assert(written.size() >= inputs.size() && wanted.size() >= inputs.size());
  // The inputs before the first too wide; one pass that the compiler vectorises tells
  // whether there is one.
  const int bits = promise_->input_bits;
  uint64_t all = 0;
  for (uint64_t x : inputs) all |= x;
  std::size_t narrow = inputs.size();
  if (all >> bits != 0) {
    narrow = 0;
    while (inputs[narrow] >> bits == 0) ++narrow;
  }
  inputs = inputs.first(narrow);
  if (!promise_->exact) return plan_documented(inputs, written, wanted);
  return exact_in_64_bits_ ? plan_exact<int64_t>(inputs, written, wanted)
                           : plan_exact<WideInt>(inputs, written, wanted);
}

template <typename Int>
bool RunPlanner::store(int64_t v, Int r, std::size_t k, std::span<uint64_t> written,
                       std::span<uint64_t> wanted) const {
  if (r < static_cast<Int>(lowest_) || r > static_cast<Int>(largest_)) return false;
  // Within 63 bits, both fit int64_t; their low bytes are the two's complement ones.
  written[k] = static_cast<uint64_t>(v) & input_mask_;
  wanted[k] = static_cast<uint64_t>(static_cast<int64_t>(r)) & output_mask_;
  return true;
}

template <typename Int>
std::size_t RunPlanner::plan_exact(std::span<const uint64_t> inputs, std::span<uint64_t> written,
                                   std::span<uint64_t> wanted) const {
  // With n = a v + b = quotient d + remainder, 0 <= remainder < d, the next input's n adds
  // a = step_quotient d + step_remainder: the quotient grows by step_quotient, and by one
  // more when the remainders' sum reaches d. A run of consecutive input values of one form
  // starts with a division and follows without any; everything its loop reads is copied
  // out first, as the compiler cannot tell that the stores leave the planner alone.
  struct Steps {
    Int d;
    Int step_quotient;
    Int step_remainder;
  };
  const auto steps_of = [](const Affine& form) {
    return Steps{static_cast<Int>(form.d), static_cast<Int>(form.step_quotient),
                 static_cast<Int>(form.step_remainder)};
  };
  const Steps all_steps[] = {steps_of(forms_[0]), steps_of(forms_[1])};
  const int bits = promise_->input_bits;
  const bool is_signed = is_signed_;
  const auto largest = static_cast<Int>(largest_);
  const uint64_t input_mask = input_mask_;
  const uint64_t output_mask = output_mask_;
  // A signed input's value drops from 2^(bits - 1) - 1 to -2^(bits - 1), its form changes
  // only below that (a truncation's two forms meet at 0, which no input follows).
  const uint64_t sign_bit = is_signed ? uint64_t{1} << (bits - 1) : 0;
  std::size_t k = 0;
  while (k < inputs.size()) {
    const uint64_t first = inputs[k];
    const int64_t first_value = input_value(first, bits, is_signed);
    const int form_index = two_forms_ && first_value < 0 ? 1 : 0;
    const Affine& form = forms_[form_index];
    const WideInt n = form.a * first_value + form.b;
    const WideInt q = floor_divide(n, form.d);
    // Checked here in full width, as a quotient too large for Int is refused anyway.
    if (q < lowest_ || q > largest_) return k;
    Int quotient = static_cast<Int>(q);
    Int remainder = static_cast<Int>(n - q * form.d);
    written[k] = static_cast<uint64_t>(first_value) & input_mask;
    wanted[k] = static_cast<uint64_t>(static_cast<int64_t>(quotient)) & output_mask;
    const Steps step = all_steps[form_index];
    // The run: first, first + 1, ..., up to the sign bit of a signed input.
    const std::size_t start = k;
    for (++k; k < inputs.size() && inputs[k] == first + (k - start) && inputs[k] != sign_bit; ++k) {
      quotient += step.step_quotient;
      remainder += step.step_remainder;
      const bool carry = remainder >= step.d;
      remainder -= carry ? step.d : 0;
      quotient += carry ? 1 : 0;
      written[k] =
          static_cast<uint64_t>(first_value + static_cast<int64_t>(k - start)) & input_mask;
      wanted[k] = static_cast<uint64_t>(static_cast<int64_t>(quotient)) & output_mask;
    }
    // The quotient only grows along a run: if its last is too large, the first too large
    // is found again from the start.
    if (quotient > largest) {
      for (std::size_t j = start;; ++j) {
        PlannedRun run;
        if (!plan_one(*promise_, inputs[j], run).empty()) return j;
      }
    }
  }
  return inputs.size();
}

std::size_t RunPlanner::plan_documented(std::span<const uint64_t> inputs,
                                        std::span<uint64_t> written,
                                        std::span<uint64_t> wanted) const {
  // The limit is a power of two: below it when the inputs' OR is.
  uint64_t all = 0;
  for (uint64_t x : inputs) all |= x;
  if (all >= DocumentedProduct::kBatchInputLimit) {
    for (std::size_t k = 0; k < inputs.size(); ++k) {
      const auto v = static_cast<int64_t>(inputs[k]);
      if (!store(v, documented_(inputs[k]), k, written, wanted)) return k;
    }
    return inputs.size();
  }
  // Term lines promise an unsigned result: written as it is, and within the output bits
  // when no bit at or above them is set, a negative one included. Each chunk is stored
  // whole, in a loop the compiler vectorises, and searched for its first result out of
  // range only when there is one.
  assert(!is_signed_);
  const int output_bits = promise_->output_bits;
  constexpr std::size_t kChunk = 256;
  int64_t products[kChunk];
  for (std::size_t start = 0; start < inputs.size(); start += kChunk) {
    const std::size_t n = std::min(kChunk, inputs.size() - start);
    documented_.products(inputs.subspan(start, n), products);
    uint64_t any = 0;
    for (std::size_t k = 0; k < n; ++k) {
      const auto product = static_cast<uint64_t>(products[k]);
      any |= product;
      written[start + k] = inputs[start + k];
      wanted[start + k] = product;
    }
    if (any >> output_bits != 0) {
      std::size_t k = 0;
      while (static_cast<uint64_t>(products[k]) >> output_bits == 0) ++k;
      return start + k;
    }
  }
  return inputs.size();
}

}  // namespace tarvek
