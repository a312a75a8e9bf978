#include "page/exact_number.h"

#include <gtest/gtest.h>

#include <string>

namespace tarvek {
namespace {

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

}  // namespace
}  // namespace tarvek
