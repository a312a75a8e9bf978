#include "sim/reference_model.h"

#include <algorithm>
#include <cassert>
#include <utility>

namespace tarvek {

WideInt documented_product(std::vector<Term> terms, uint64_t x) {
  return DocumentedProduct(std::move(terms))(x);
}

DocumentedProduct::DocumentedProduct(std::vector<Term> terms) {
  std::sort(terms.begin(), terms.end(), [](Term a, Term b) { return a.exponent < b.exponent; });
  int position = 0;
  for (std::size_t i = 0; i < terms.size(); ++i) {
    const Term& t = terms[i];
    assert(t.sign == 1 || t.sign == -1);
    assert(t.exponent >= kMinTermExponent && t.exponent <= kMaxTermExponent);
    assert(i == 0 || terms[i - 1].exponent != t.exponent);
    if (t.exponent >= 0) {
      multiplier_ += t.sign * (int64_t{1} << t.exponent);
    } else if (i == 0) {
      negate_first_ = t.sign < 0;
      position = t.exponent;
    } else {
      steps_.push_back({std::min(t.exponent - position, 63), t.sign});
      position = t.exponent;
    }
  }
  if (position < 0) steps_.push_back({std::min(-position, 63), 0});
}

WideInt DocumentedProduct::operator()(uint64_t x) const {
  assert(x <= 0xFFFFFFFFull);
  const auto input = static_cast<int64_t>(x);
  const WideInt exact = static_cast<WideInt>(multiplier_) * input;
  if (steps_.empty()) return exact;
  // An arithmetic right shift is the floor of the division by 2^shift.
  int64_t acc = input >> steps_.front().shift;
  if (negate_first_) acc = -acc;
  acc += steps_.front().sign * input;
  for (std::size_t i = 1; i < steps_.size(); ++i) {
    acc = (acc >> steps_[i].shift) + steps_[i].sign * input;
  }
  return exact + acc;
}

namespace {

// The loops of DocumentedProduct::products, inlined into one function per Vectors.
struct HornerSteps {
  int64_t multiplier;
  const DocumentedProduct::Step* steps;
  std::size_t count;
  bool negate_first;
};

[[gnu::always_inline]] inline void horner_products(const HornerSteps& h,
                                                   std::span<const uint64_t> inputs,
                                                   std::span<int64_t> products) {
  constexpr std::size_t kChunk = 256;
  int32_t x[kChunk];
  int32_t acc[kChunk];
  for (std::size_t start = 0; start < inputs.size(); start += kChunk) {
    const std::size_t n = std::min(kChunk, inputs.size() - start);
    for (std::size_t k = 0; k < n; ++k) x[k] = static_cast<int32_t>(inputs[start + k]);
    // Past 31 the shift takes a 32-bit accumulator to its sign all the same. The sign of a
    // term chooses the loop rather than multiplying, which SSE2 has no instruction for.
    const auto shift_and_add = [&](int shift, int sign) {
      if (sign > 0) {
        for (std::size_t k = 0; k < n; ++k) acc[k] = (acc[k] >> shift) + x[k];
      } else if (sign < 0) {
        for (std::size_t k = 0; k < n; ++k) acc[k] = (acc[k] >> shift) - x[k];
      } else {
        for (std::size_t k = 0; k < n; ++k) acc[k] >>= shift;
      }
    };
    if (h.count == 0) {
      for (std::size_t k = 0; k < n; ++k) acc[k] = 0;
    } else {
      // The first step's negation comes between its shift and its addition.
      const int first_shift = std::min(h.steps[0].shift, 31);
      for (std::size_t k = 0; k < n; ++k) acc[k] = x[k] >> first_shift;
      if (h.negate_first) {
        for (std::size_t k = 0; k < n; ++k) acc[k] = -acc[k];
      }
      shift_and_add(0, h.steps[0].sign);
    }
    for (std::size_t i = 1; i < h.count; ++i) {
      shift_and_add(std::min(h.steps[i].shift, 31), h.steps[i].sign);
    }
    for (std::size_t k = 0; k < n; ++k) {
      products[start + k] = h.multiplier * int64_t{x[k]} + acc[k];
    }
  }
}

void horner_products_sse2(const HornerSteps& h, std::span<const uint64_t> inputs,
                          std::span<int64_t> products) {
  horner_products(h, inputs, products);
}

[[gnu::target("avx2")]] void horner_products_avx2(const HornerSteps& h,
                                                  std::span<const uint64_t> inputs,
                                                  std::span<int64_t> products) {
  horner_products(h, inputs, products);
}

}  // namespace

void DocumentedProduct::products(std::span<const uint64_t> inputs, std::span<int64_t> products,
                                 Vectors vectors) const {
  assert(products.size() >= inputs.size());
  assert(
      std::all_of(inputs.begin(), inputs.end(), [](uint64_t x) { return x < kBatchInputLimit; }));
  assert(vectors == Vectors::kSse2 || vectors == best_vectors());
  const HornerSteps h{multiplier_, steps_.data(), steps_.size(), negate_first_};
  (vectors == Vectors::kAvx2 ? horner_products_avx2 : horner_products_sse2)(h, inputs, products);
}

std::string to_decimal(WideInt value) {
  if (value == 0) return "0";
  const bool negative = value < 0;
  std::string digits;
  while (value != 0) {
    const int digit = static_cast<int>(value % 10);
    digits += static_cast<char>('0' + (negative ? -digit : digit));
    value /= 10;
  }
  if (negative) digits += '-';
  std::reverse(digits.begin(), digits.end());
  return digits;
}

}  // namespace tarvek
