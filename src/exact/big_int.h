// A signed integer of fixed width (512 bits, two's complement), the exact arithmetic of the
// exact-result proofs and of reading constants exactly.
//
// Why fixed: the proofs compare quantities such as d * (A * x + B) with 2^(g + F) * (a * x +
// b), where x has 32 bits, d and a up to 66, and the fixed-point scale up to 2^192; every such
// product stays far below 2^511. Operations assert that their exact result fits, so a proof
// can never silently wrap. No allocation: values are plain arrays and cheap to copy.
#ifndef TARVEK_EXACT_BIG_INT_H
#define TARVEK_EXACT_BIG_INT_H

#include <array>
#include <compare>
#include <concepts>
#include <cstdint>
#include <optional>
#include <string>

namespace tarvek {

// 128-bit integers for the exact models' fast paths (GCC and clang have them).
__extension__ typedef __int128 Int128;
__extension__ typedef unsigned __int128 UInt128;

class BigInt {
 public:
  static constexpr int kLimbs = 8;
  static constexpr int kBits = 64 * kLimbs;

  BigInt() = default;
  // Signed integers convert as the built-in ones do; an unsigned 64-bit value would turn
  // negative on the way through int64_t, so those go through from_unsigned instead.
  template <std::signed_integral T>
  BigInt(T value) : BigInt(from_signed(static_cast<int64_t>(value))) {}  // NOLINT
  static BigInt from_signed(int64_t value);
  static BigInt from_unsigned(uint64_t value);
  static BigInt from_u128(UInt128 value);
  // 2^n. Requires: 0 <= n < kBits - 1.
  static BigInt power_of_two(int n);

  bool is_zero() const;
  bool is_negative() const { return (limbs_[kLimbs - 1] >> 63) != 0; }
  // -1, 0 or +1.
  int sign() const;
  // Bits of |value|: 0 for 0, 1 for 1, 2 for 2 and 3.
  int bit_length() const;
  // Bit n of the two's-complement representation. Requires: 0 <= n < kBits.
  bool bit(int n) const;
  // Ones in the two's-complement representation. Requires: value >= 0.
  int popcount() const;
  // Zeros below the lowest one. Requires: value != 0.
  int trailing_zeros() const;

  // The value when it fits the type; nullopt otherwise.
  std::optional<uint64_t> to_u64() const;
  std::optional<UInt128> to_u128() const;
  std::optional<int64_t> to_i64() const;
  // Nearest double, for ordering and display only; never for a decision.
  double to_double() const;
  // Decimal digits with a leading '-' when negative.
  std::string to_decimal() const;

  BigInt operator-() const;
  BigInt& operator+=(const BigInt& other);
  BigInt& operator-=(const BigInt& other);
  BigInt& operator*=(const BigInt& other);
  // Requires: 0 <= n and the result fits.
  BigInt& operator<<=(int n);
  // Division by 2^n rounding toward minus infinity. Requires: n >= 0.
  BigInt& operator>>=(int n);

  friend BigInt operator+(BigInt a, const BigInt& b) { return a += b; }
  friend BigInt operator-(BigInt a, const BigInt& b) { return a -= b; }
  friend BigInt operator*(BigInt a, const BigInt& b) { return a *= b; }
  friend BigInt operator<<(BigInt a, int n) { return a <<= n; }
  // Bitwise exclusive or of the two's-complement representations.
  friend BigInt operator^(BigInt a, const BigInt& b) {
    for (int i = 0; i < kLimbs; ++i) a.limbs_[i] ^= b.limbs_[i];
    return a;
  }
  friend BigInt operator>>(BigInt a, int n) { return a >>= n; }
  friend bool operator==(const BigInt& a, const BigInt& b) { return a.limbs_ == b.limbs_; }
  friend std::strong_ordering operator<=>(const BigInt& a, const BigInt& b);

  // Quotient rounded toward minus infinity and the matching remainder (0 <= r < d).
  // Requires: d > 0.
  static void floor_divide(const BigInt& n, const BigInt& d, BigInt& quotient, BigInt& remainder);
  // Greatest common divisor of |a| and |b|; 0 only when both are 0.
  static BigInt gcd(BigInt a, BigInt b);

 private:
  std::array<uint64_t, kLimbs> limbs_{};
};

// floor(n / d) and ceil(n / d). Requires: d > 0.
BigInt floor_div(const BigInt& n, const BigInt& d);
BigInt ceil_div(const BigInt& n, const BigInt& d);
// floor(n / (d * 2^shift)) and ceil(n / (d * 2^shift)), with the power of two taken off by a
// shift first (floor(floor(n / 2^s) / d) is floor(n / (2^s d))), which leaves the division
// fast whenever d has one limb. Requires: d > 0, shift >= 0.
BigInt floor_div_scaled(const BigInt& n, const BigInt& d, int shift);
BigInt ceil_div_scaled(const BigInt& n, const BigInt& d, int shift);

// floor(value / 2^n) in 128 bits, the exact models' fast path: since C++20 a right shift of a
// negative value rounds toward minus infinity, and it costs a shift where a division by the
// power of two costs a library call. Requires: 0 <= n < 127.
inline Int128 floor_shift(Int128 value, int n) {
  return value >> n;
}

}  // namespace tarvek

#endif  // TARVEK_EXACT_BIG_INT_H
