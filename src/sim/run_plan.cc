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
  highest_ = is_signed_ ? limit >> 1 : limit;
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
}

std::size_t RunPlanner::plan(std::span<const uint64_t> inputs, std::span<uint64_t> written,
                             std::span<uint64_t> wanted) const {
  assert(written.size() >= inputs.size() && wanted.size() >= inputs.size());
  std::size_t narrow = 0;
  while (narrow < inputs.size() && inputs[narrow] >> promise_->input_bits == 0) ++narrow;
  inputs = inputs.first(narrow);
  return promise_->exact ? plan_exact(inputs, written, wanted)
                         : plan_documented(inputs, written, wanted);
}

bool RunPlanner::store(int64_t v, WideInt r, std::size_t k, std::span<uint64_t> written,
                       std::span<uint64_t> wanted) const {
  if (r < lowest_ || r >= highest_) return false;
  // Within 63 bits, both fit int64_t; their low bytes are the two's complement ones.
  written[k] = static_cast<uint64_t>(v) & input_mask_;
  wanted[k] = static_cast<uint64_t>(static_cast<int64_t>(r)) & output_mask_;
  return true;
}

std::size_t RunPlanner::plan_exact(std::span<const uint64_t> inputs, std::span<uint64_t> written,
                                   std::span<uint64_t> wanted) const {
  // With n = a v + b = quotient d + remainder, 0 <= remainder < d, the next input's n adds
  // a = step_quotient d + step_remainder: the quotient grows by step_quotient, and by one
  // more when the remainders' sum reaches d.
  int last_form = -1;
  int64_t last_value = 0;
  WideInt quotient = 0;
  WideInt remainder = 0;
  for (std::size_t k = 0; k < inputs.size(); ++k) {
    const int64_t v = input_value(inputs[k], promise_->input_bits, is_signed_);
    const int form_index = two_forms_ && v < 0 ? 1 : 0;
    const Affine& form = forms_[form_index];
    if (form_index == last_form && v == last_value + 1) {
      quotient += form.step_quotient;
      remainder += form.step_remainder;
      if (remainder >= form.d) {
        remainder -= form.d;
        quotient += 1;
      }
    } else {
      const WideInt n = form.a * v + form.b;
      quotient = floor_divide(n, form.d);
      remainder = n - quotient * form.d;
    }
    last_form = form_index;
    last_value = v;
    if (!store(v, quotient, k, written, wanted)) return k;
  }
  return inputs.size();
}

std::size_t RunPlanner::plan_documented(std::span<const uint64_t> inputs,
                                        std::span<uint64_t> written,
                                        std::span<uint64_t> wanted) const {
  const bool batched = std::all_of(inputs.begin(), inputs.end(), [](uint64_t x) {
    return x < DocumentedProduct::kBatchInputLimit;
  });
  if (!batched) {
    for (std::size_t k = 0; k < inputs.size(); ++k) {
      const auto v = static_cast<int64_t>(inputs[k]);
      if (!store(v, documented_(inputs[k]), k, written, wanted)) return k;
    }
    return inputs.size();
  }
  constexpr std::size_t kChunk = 256;
  int64_t products[kChunk];
  for (std::size_t start = 0; start < inputs.size(); start += kChunk) {
    const std::size_t n = std::min(kChunk, inputs.size() - start);
    documented_.products(inputs.subspan(start, n), products);
    for (std::size_t k = 0; k < n; ++k) {
      const auto v = static_cast<int64_t>(inputs[start + k]);
      if (!store(v, products[k], start + k, written, wanted)) return start + k;
    }
  }
  return inputs.size();
}

}  // namespace tarvek
