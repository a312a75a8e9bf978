#include "multiply/product_plan.h"

#include <algorithm>
#include <cassert>

namespace tarvek {

int byte_of(const BigInt& value, int k) {
  // Every value here but the rarest fits 128 bits, where a shift is one instruction.
  if (const std::optional<UInt128> narrow = value.to_u128()) {
    return k < 16 ? static_cast<int>((*narrow >> (8 * k)) & 0xFF) : 0;
  }
  const BigInt above = value >> (8 * k);
  return static_cast<int>(*(above ^ ((above >> 8) << 8)).to_u64());
}

int multiplier_byte(const ProductPlan& plan, int k) {
  return byte_of(plan.multiplier, k);
}

int multiplier_bytes(const ProductPlan& plan) {
  return (plan.multiplier.bit_length() + 7) / 8;
}

int largest_input_byte(const ResultTarget& target, int i) {
  const BigInt above = target.max_input >> (8 * i);
  return above >= BigInt(255) ? 255 : static_cast<int>(*above.to_u64());
}

BigInt most_left_out(const ProductPlan& plan, const ResultTarget& target) {
  BigInt most = 0;
  const int input_bytes = (target.input_bits + 7) / 8;
  for (int i = 0; i < input_bytes; ++i) {
    for (int j = 0; j < multiplier_bytes(plan) && i + j < plan.kept_from; ++j) {
      most += BigInt(largest_input_byte(target, i) * multiplier_byte(plan, j)) << (8 * (i + j));
    }
  }
  return most;
}

std::string describe(const ProductPlan& plan) {
  std::string text = "x * " + plan.multiplier.to_decimal();
  if (!plan.offset.is_zero()) text += " + " + plan.offset.to_decimal();
  if (plan.kept_from > 0) text += ", products from byte " + std::to_string(plan.kept_from);
  return text + ", / 2^" + std::to_string(plan.shift);
}

std::vector<ProductPlan> make_product_plans(const ResultTarget& target) {
  std::vector<ProductPlan> plans;
  // Beyond this many fraction bits the multiplier only grows: the affine error of
  // M = ceil(K 2^s) is below one unit of the result well before.
  const int longest = std::min(kLongestProductShift, target.input_bits + target.d.bit_length() + 2);
  for (int shift = 0; shift <= longest; ++shift) {
    const BigInt scaled = target.a << shift;
    const BigInt down = floor_div(scaled, target.d);
    const BigInt up = ceil_div(scaled, target.d);
    for (const BigInt& multiplier : {up, down}) {
      if (multiplier.is_zero() || multiplier.bit_length() > 8 * kLargestMultiplierBytes) continue;
      if (&multiplier == &down && down == up) continue;
      plans.push_back(ProductPlan{multiplier, shift, 0, 0});
    }
  }
  return plans;
}

}  // namespace tarvek
