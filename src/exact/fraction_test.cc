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

TEST(ReadExactNumberTest, Table) {
  using Kind = ExactReading::Kind;
  struct Case {
    const char* text;
    Kind kind;
    const char* value;  // as fraction_text prints it
  };
  const Case cases[] = {
      {"0.1", Kind::kNumber, "1/10"},
      {" 3.3e-2 ", Kind::kNumber, "33/1000"},
      {"5000/1023", Kind::kNumber, "5000/1023"},
      {"10/4", Kind::kNumber, "5/2"},
      {"+7", Kind::kNumber, "7"},
      {"1000", Kind::kNumber, "1000"},
      {"1E3", Kind::kNumber, "1000"},
      {".5", Kind::kNumber, "1/2"},
      {"5.", Kind::kNumber, "5"},
      {"0", Kind::kNumber, "0"},
      {"-0", Kind::kNumber, "0"},
      {"00012.500", Kind::kNumber, "25/2"},
      {"0.000000000931322574615478515625", Kind::kNumber, "1/1073741824"},
      {"-3", Kind::kNegative, ""},
      {"-1/3", Kind::kNegative, ""},
      {"-1e99", Kind::kNegative, ""},
      {"", Kind::kMalformed, ""},
      {".", Kind::kMalformed, ""},
      {"1/", Kind::kMalformed, ""},
      {"/3", Kind::kMalformed, ""},
      {"1/0", Kind::kMalformed, ""},
      {"1.5/3", Kind::kMalformed, ""},
      {"1/-3", Kind::kMalformed, ""},
      {"1e", Kind::kMalformed, ""},
      {"0x10", Kind::kMalformed, ""},
      {"inf", Kind::kMalformed, ""},
      {"nan", Kind::kMalformed, ""},
      {"1 0", Kind::kMalformed, ""},
      {"1e40", Kind::kHuge, ""},
      {"1e39", Kind::kNumber, "1000000000000000000000000000000000000000"},
      {"1e999999999999999999", Kind::kHuge, ""},
      {"1e-41", Kind::kTiny, ""},
      {"1e-40", Kind::kNumber, "1/10000000000000000000000000000000000000000"},
      {"1e-999999999999999999", Kind::kTiny, ""},
      {"1234567890123456789012345678901234567890123456789012345678901e-30", Kind::kTooPrecise, ""},
      {"1234567890123456789012345678901234567890123456789012345678901/3", Kind::kTooPrecise, ""},
  };
  for (const Case& c : cases) {
    const ExactReading reading = read_exact_number(c.text);
    EXPECT_EQ(reading.kind, c.kind) << c.text;
    if (c.kind == Kind::kNumber) {
      EXPECT_EQ(fraction_text(reading.value), c.value) << c.text;
    }
  }
  // A long run of zeros costs no more than a short one, and means the same.
  EXPECT_EQ(fraction_text(read_exact_number("0." + std::string(100000, '0') + "1e100000").value),
            "1/10");
}

TEST(FractionTest, NearestDoubleAndDecimals) {
  EXPECT_EQ(nearest_double(read_exact_number("0.1").value), 0.1);
  EXPECT_EQ(nearest_double(read_exact_number("1/3").value), 1.0 / 3);
  EXPECT_EQ(nearest_double(read_exact_number("3.14159265").value), 3.14159265);
  EXPECT_EQ(nearest_double(read_exact_number("5000/1023").value), 5000.0 / 1023);
  EXPECT_EQ(nearest_double(read_exact_number("9007199254740993").value), 9007199254740992.0);
  EXPECT_EQ(nearest_double(read_exact_number("9007199254740995").value), 9007199254740996.0);
  EXPECT_EQ(decimal_text(read_exact_number("1/10").value, 20), "0.1");
  EXPECT_EQ(decimal_text(read_exact_number("1/3").value, 5), "0.33333...");
  EXPECT_EQ(decimal_text(read_exact_number("1/800").value, 5), "0.00125");
  EXPECT_EQ(decimal_text(read_exact_number("2147483648").value, 5), "2147483648");
}

}  // namespace
}  // namespace tarvek
