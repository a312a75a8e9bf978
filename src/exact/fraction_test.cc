#include "exact/fraction.h"

#include <gtest/gtest.h>

#include <random>

namespace tarvek {
namespace {

// BigInt against the built-in 128-bit integers on random operands of every size.
TEST(BigIntTest, AgreesWithInt128) {
  std::mt19937_64 random(5);
  const auto draw = [&]() {
    const int bits = static_cast<int>(random() % 62);
    const Int128 value = static_cast<Int128>(random() >> (63 - bits));
    return random() % 2 ? -value : value;
  };
  const auto big = [](Int128 v) {
    return v < 0 ? -BigInt::from_u128(static_cast<UInt128>(-v))
                 : BigInt::from_u128(static_cast<UInt128>(v));
  };
  for (int i = 0; i < 20000; ++i) {
    const Int128 a = draw();
    const Int128 b = draw();
    const int n = static_cast<int>(random() % 60);
    EXPECT_EQ(big(a) + big(b), big(a + b));
    EXPECT_EQ(big(a) - big(b), big(a - b));
    EXPECT_EQ(big(a) * big(b), big(a * b));
    EXPECT_EQ(big(a) << n, big(a * (static_cast<Int128>(1) << n)));
    Int128 floor_shifted = a / (static_cast<Int128>(1) << n);
    if (floor_shifted * (static_cast<Int128>(1) << n) != a && a < 0) floor_shifted -= 1;
    EXPECT_EQ(big(a) >> n, big(floor_shifted));
    EXPECT_EQ(big(a) < big(b), a < b);
    if (b > 0) {
      Int128 q = a / b;
      if (q * b != a && a < 0) q -= 1;
      EXPECT_EQ(floor_div(big(a), big(b)), big(q));
      EXPECT_EQ(floor_div_scaled(big(a), big(b), n),
                floor_div(big(a), big(b) * BigInt::power_of_two(n)));
      EXPECT_EQ(ceil_div(big(a), big(b)), -floor_div(-big(a), big(b)));
    }
  }
  EXPECT_EQ(BigInt::power_of_two(300).to_decimal(),
            "20370359763344860862684456884093781610514683936659362506361404493543812997633367061"
            "83397376");
  EXPECT_EQ(
      (-BigInt::power_of_two(64) * BigInt::from_unsigned(10000000000000000000ull)).to_decimal(),
      "-184467440737095516160000000000000000000");
  EXPECT_EQ((-BigInt::power_of_two(200) + 1).bit_length(), 200);
}

TEST(FractionTest, NearestDoubleAndDecimals) {
  const auto of = [](uint64_t p, uint64_t q) {
    return Fraction::of(BigInt::from_unsigned(p), BigInt::from_unsigned(q));
  };
  EXPECT_EQ(nearest_double(of(1, 10)), 0.1);
  EXPECT_EQ(nearest_double(of(1, 3)), 1.0 / 3);
  EXPECT_EQ(nearest_double(of(314159265, 100000000)), 3.14159265);
  EXPECT_EQ(nearest_double(of(5000, 1023)), 5000.0 / 1023);
  EXPECT_EQ(nearest_double(of(9007199254740993, 1)), 9007199254740992.0);
  EXPECT_EQ(nearest_double(of(9007199254740995, 1)), 9007199254740996.0);
  EXPECT_EQ(decimal_text(of(1, 10), 20), "0.1");
  EXPECT_EQ(decimal_text(of(1, 3), 5), "0.33333...");
  EXPECT_EQ(decimal_text(of(1, 800), 5), "0.00125");
  EXPECT_EQ(decimal_text(of(2147483648, 1), 5), "2147483648");
}

}  // namespace
}  // namespace tarvek
