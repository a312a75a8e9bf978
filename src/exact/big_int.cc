#include "exact/big_int.h"

#include <algorithm>
#include <cassert>
#include <cmath>

namespace tarvek {
namespace {

using Limbs = std::array<uint64_t, BigInt::kLimbs>;
using u128 = UInt128;

int limbs_bit_length(const Limbs& limbs) {
  for (int i = BigInt::kLimbs - 1; i >= 0; --i) {
    if (limbs[i] != 0) return 64 * i + 64 - __builtin_clzll(limbs[i]);
  }
  return 0;
}

}  // namespace

BigInt BigInt::from_signed(int64_t value) {
  BigInt result;
  result.limbs_[0] = static_cast<uint64_t>(value);
  const uint64_t fill = value < 0 ? ~uint64_t{0} : 0;
  for (int i = 1; i < kLimbs; ++i) result.limbs_[i] = fill;
  return result;
}

BigInt BigInt::from_unsigned(uint64_t value) {
  BigInt result;
  result.limbs_[0] = value;
  return result;
}

BigInt BigInt::from_u128(UInt128 value) {
  BigInt result;
  result.limbs_[0] = static_cast<uint64_t>(value);
  result.limbs_[1] = static_cast<uint64_t>(value >> 64);
  return result;
}

BigInt BigInt::power_of_two(int n) {
  assert(n >= 0 && n < kBits - 1);
  BigInt result;
  result.limbs_[n / 64] = uint64_t{1} << (n % 64);
  return result;
}

bool BigInt::is_zero() const {
  return std::all_of(limbs_.begin(), limbs_.end(), [](uint64_t limb) { return limb == 0; });
}

int BigInt::sign() const {
  if (is_negative()) return -1;
  return is_zero() ? 0 : 1;
}

int BigInt::bit_length() const {
  if (!is_negative()) return limbs_bit_length(limbs_);
  return limbs_bit_length((-*this).limbs_);
}

bool BigInt::bit(int n) const {
  assert(n >= 0 && n < kBits);
  return ((limbs_[n / 64] >> (n % 64)) & 1) != 0;
}

int BigInt::popcount() const {
  assert(!is_negative());
  int count = 0;
  for (const uint64_t limb : limbs_) count += __builtin_popcountll(limb);
  return count;
}

int BigInt::trailing_zeros() const {
  assert(!is_zero());
  int count = 0;
  for (const uint64_t limb : limbs_) {
    if (limb != 0) return count + __builtin_ctzll(limb);
    count += 64;
  }
  return count;
}

std::optional<uint64_t> BigInt::to_u64() const {
  if (is_negative() || bit_length() > 64) return std::nullopt;
  return limbs_[0];
}

std::optional<UInt128> BigInt::to_u128() const {
  if (is_negative() || bit_length() > 128) return std::nullopt;
  return (static_cast<u128>(limbs_[1]) << 64) | limbs_[0];
}

std::optional<int64_t> BigInt::to_i64() const {
  if (bit_length() > 63) return std::nullopt;
  return static_cast<int64_t>(limbs_[0]);
}

double BigInt::to_double() const {
  if (is_negative()) return -(-*this).to_double();
  double result = 0;
  for (int i = kLimbs - 1; i >= 0; --i) result = result * 18446744073709551616.0 + limbs_[i];
  return result;
}

std::string BigInt::to_decimal() const {
  if (is_zero()) return "0";
  BigInt rest = is_negative() ? -*this : *this;
  std::string digits;
  // Nineteen digits at a time: 10^19 is the largest power of ten below 2^64.
  const BigInt chunk = BigInt::from_unsigned(10000000000000000000ull);
  while (!rest.is_zero()) {
    BigInt quotient;
    BigInt remainder;
    floor_divide(rest, chunk, quotient, remainder);
    uint64_t part = *remainder.to_u64();
    for (int i = 0; i < 19 && (part != 0 || !quotient.is_zero()); ++i) {
      digits.push_back(static_cast<char>('0' + part % 10));
      part /= 10;
    }
    rest = quotient;
  }
  if (is_negative()) digits.push_back('-');
  std::reverse(digits.begin(), digits.end());
  return digits;
}

BigInt BigInt::operator-() const {
  BigInt result;
  uint64_t carry = 1;
  for (int i = 0; i < kLimbs; ++i) {
    const u128 sum = static_cast<u128>(~limbs_[i]) + carry;
    result.limbs_[i] = static_cast<uint64_t>(sum);
    carry = static_cast<uint64_t>(sum >> 64);
  }
  // Negating the most negative value would wrap.
  assert(!(result.is_negative() && is_negative()));
  return result;
}

BigInt& BigInt::operator+=(const BigInt& other) {
  [[maybe_unused]] const bool a_negative = is_negative();
  [[maybe_unused]] const bool b_negative = other.is_negative();
  uint64_t carry = 0;
  for (int i = 0; i < kLimbs; ++i) {
    const u128 sum = static_cast<u128>(limbs_[i]) + other.limbs_[i] + carry;
    limbs_[i] = static_cast<uint64_t>(sum);
    carry = static_cast<uint64_t>(sum >> 64);
  }
  // Two operands of one sign must give a sum of that sign, or the sum did not fit.
  assert(a_negative != b_negative || is_negative() == a_negative);
  return *this;
}

BigInt& BigInt::operator-=(const BigInt& other) {
  return *this += -other;
}

BigInt& BigInt::operator*=(const BigInt& other) {
  const bool negative = is_negative() != other.is_negative();
  const BigInt a = is_negative() ? -*this : *this;
  const BigInt b = other.is_negative() ? -other : other;
  assert(a.bit_length() + b.bit_length() <= kBits - 1);
  Limbs product{};
  // Limbs above the highest nonzero one contribute nothing.
  const int a_used = (a.bit_length() + 63) / 64;
  const int b_used = (b.bit_length() + 63) / 64;
  for (int i = 0; i < a_used; ++i) {
    if (a.limbs_[i] == 0) continue;
    uint64_t carry = 0;
    for (int j = 0; i + j < kLimbs && (j < b_used || carry != 0); ++j) {
      const u128 term = static_cast<u128>(a.limbs_[i]) * b.limbs_[j] + product[i + j] + carry;
      product[i + j] = static_cast<uint64_t>(term);
      carry = static_cast<uint64_t>(term >> 64);
    }
  }
  limbs_ = product;
  if (negative) *this = -*this;
  return *this;
}

BigInt& BigInt::operator<<=(int n) {
  assert(n >= 0);
  if (n == 0 || is_zero()) return *this;
  [[maybe_unused]] const bool negative = is_negative();
  assert((negative ? (-*this).bit_length() : bit_length()) + n <= kBits - 1);
  const int whole = n / 64;
  const int part = n % 64;
  Limbs shifted{};
  for (int i = kLimbs - 1; i >= whole; --i) {
    uint64_t limb = limbs_[i - whole] << part;
    if (part != 0 && i - whole - 1 >= 0) limb |= limbs_[i - whole - 1] >> (64 - part);
    shifted[i] = limb;
  }
  limbs_ = shifted;
  return *this;
}

BigInt& BigInt::operator>>=(int n) {
  assert(n >= 0);
  if (n == 0) return *this;
  const uint64_t fill = is_negative() ? ~uint64_t{0} : 0;
  if (n >= kBits) {
    limbs_.fill(fill);
    return *this;
  }
  const int whole = n / 64;
  const int part = n % 64;
  Limbs shifted;
  for (int i = 0; i < kLimbs; ++i) {
    const int from = i + whole;
    const uint64_t low = from < kLimbs ? limbs_[from] : fill;
    const uint64_t high = from + 1 < kLimbs ? limbs_[from + 1] : fill;
    shifted[i] = part == 0 ? low : (low >> part) | (high << (64 - part));
  }
  // An arithmetic shift of a two's-complement value rounds toward minus infinity.
  limbs_ = shifted;
  return *this;
}

std::strong_ordering operator<=>(const BigInt& a, const BigInt& b) {
  if (a.is_negative() != b.is_negative()) {
    return a.is_negative() ? std::strong_ordering::less : std::strong_ordering::greater;
  }
  for (int i = BigInt::kLimbs - 1; i >= 0; --i) {
    if (a.limbs_[i] != b.limbs_[i]) {
      return a.limbs_[i] < b.limbs_[i] ? std::strong_ordering::less : std::strong_ordering::greater;
    }
  }
  return std::strong_ordering::equal;
}

void BigInt::floor_divide(const BigInt& n, const BigInt& d, BigInt& quotient, BigInt& remainder) {
  assert(d.sign() > 0);
  const BigInt magnitude = n.is_negative() ? -n : n;
  BigInt q;
  BigInt r;
  if (const std::optional<uint64_t> small = d.to_u64()) {
    // One limb: schoolbook division from the top limb in use down, in 128-bit steps.
    u128 rest = 0;
    for (int i = (magnitude.bit_length() + 63) / 64 - 1; i >= 0; --i) {
      const u128 part = (rest << 64) | magnitude.limbs_[i];
      q.limbs_[i] = static_cast<uint64_t>(part / *small);
      rest = part % *small;
    }
    r.limbs_[0] = static_cast<uint64_t>(rest);
  } else {
    // Shift and subtract, one quotient bit per step: as many steps as the quotient has bits,
    // which in the proofs is a handful.
    r = magnitude;
    const int steps = magnitude.bit_length() - d.bit_length();
    if (steps >= 0) {
      BigInt shifted = d << steps;
      for (int i = steps; i >= 0; --i) {
        if (r >= shifted) {
          r -= shifted;
          q.limbs_[i / 64] |= uint64_t{1} << (i % 64);
        }
        shifted >>= 1;
      }
    }
  }
  if (n.is_negative()) {
    // -m = -(q d + r) = (-q - 1) d + (d - r) when r > 0.
    q = -q;
    if (!r.is_zero()) {
      q -= 1;
      r = d - r;
    }
  }
  quotient = q;
  remainder = r;
}

BigInt BigInt::gcd(BigInt a, BigInt b) {
  if (a.is_negative()) a = -a;
  if (b.is_negative()) b = -b;
  while (!b.is_zero()) {
    BigInt quotient;
    BigInt remainder;
    floor_divide(a, b, quotient, remainder);
    a = b;
    b = remainder;
  }
  return a;
}

BigInt floor_div(const BigInt& n, const BigInt& d) {
  BigInt quotient;
  BigInt remainder;
  BigInt::floor_divide(n, d, quotient, remainder);
  return quotient;
}

BigInt ceil_div(const BigInt& n, const BigInt& d) {
  return -floor_div(-n, d);
}

BigInt floor_div_scaled(const BigInt& n, const BigInt& d, int shift) {
  return floor_div(n >> shift, d);
}

BigInt ceil_div_scaled(const BigInt& n, const BigInt& d, int shift) {
  return -floor_div_scaled(-n, d, shift);
}

}  // namespace tarvek
