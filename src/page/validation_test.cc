#include "page/validation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "form/urlencoded.h"
#include "page/register_placement.h"

namespace tarvek {
namespace {

ValidatedRequest validate_query(const std::string& query) {
  FormEntryList form;
  parse_urlencoded(form, query);
  return validate_request(read_request_fields(form));
}

const std::string kValid = "Const=10&Bits=8&ConstErr=0&Acc=ACC&Temp=TEMP";
const std::string k31 = std::string(31, 'R');
const std::string k32 = std::string(32, 'R');

TEST(ValidateRequestTest, ErrorCodes) {
  struct Case {
    const char* name;
    std::string query;
    int code;
  };
  const Case cases[] = {
      {"valid", kValid, 0},
      {"no fields at all", "", 3},
      {"only Temp missing", "Const=10&Bits=8&Acc=ACC", 4},
      {"Const 0 and Bits 0", "Const=0&Bits=0&Acc=ACC&Temp=T", 1},
      // Bits
      {"Bits 32", "Const=1&Bits=32&Acc=ACC&Temp=T", 0},
      {"Bits 1", "Const=1&Bits=1&Acc=ACC&Temp=T", 0},
      {"Bits 33", "Const=1&Bits=33&Acc=ACC&Temp=T", 1},
      {"Bits 0", "Const=1&Bits=0&Acc=ACC&Temp=T", 1},
      {"Bits -1", "Const=1&Bits=-1&Acc=ACC&Temp=T", 1},
      {"Bits 8bit", "Const=1&Bits=8bit&Acc=ACC&Temp=T", 0},
      {"Bits 264 is not 8", "Const=1&Bits=264&Acc=ACC&Temp=T", 1},
      {"Bits absent", "Const=1&Acc=ACC&Temp=T", 1},
      {"Bits huge", "Const=1&Bits=99999999999999999999999&Acc=ACC&Temp=T", 1},
      {"Bits hugely negative", "Const=1&Bits=-99999999999999999999999&Acc=ACC&Temp=T", 1},
      {"Bits hexadecimal", "Const=1&Bits=0x10&Acc=ACC&Temp=T", 1},
      // ConstErr
      {"ConstErr 0", "Const=1&Bits=8&ConstErr=0&Acc=ACC&Temp=T", 0},
      {"ConstErr 50", "Const=1&Bits=8&ConstErr=50&Acc=ACC&Temp=T", 0},
      {"ConstErr 50.001", "Const=1&Bits=8&ConstErr=50.001&Acc=ACC&Temp=T", 6},
      {"ConstErr -1", "Const=1&Bits=8&ConstErr=-1&Acc=ACC&Temp=T", 6},
      {"ConstErr letters", "Const=1&Bits=8&ConstErr=abc&Acc=ACC&Temp=T", 0},
      {"ConstErr 1e400", "Const=1&Bits=8&ConstErr=1e400&Acc=ACC&Temp=T", 6},
      {"ConstErr inf is not read", "Const=1&Bits=8&ConstErr=inf&Acc=ACC&Temp=T", 0},
      {"ConstErr nan is not read", "Const=1&Bits=8&ConstErr=nan&Acc=ACC&Temp=T", 0},
      // Const
      {"Const letters", "Const=abc&Bits=8&Acc=ACC&Temp=T", 2},
      {"Const 0", "Const=0&Bits=8&Acc=ACC&Temp=T", 2},
      {"Const -3", "Const=-3&Bits=8&Acc=ACC&Temp=T", 2},
      {"Const empty", "Const=&Bits=8&Acc=ACC&Temp=T", 2},
      {"Const absent", "Bits=8&Acc=ACC&Temp=T", 2},
      {"Const 2^31", "Const=2147483648&Bits=1&Acc=ACC&Temp=T", 0},
      {"Const 2^31 + 1", "Const=2147483649&Bits=1&Acc=ACC&Temp=T", 5},
      {"Const 1e400", "Const=1e400&Bits=8&Acc=ACC&Temp=T", 5},
      {"Const -1e400", "Const=-1e400&Bits=8&Acc=ACC&Temp=T", 2},
      {"Const 1e-400", "Const=1e-400&Bits=8&Acc=ACC&Temp=T", 2},
      {"Const hexadecimal", "Const=0x10&Bits=8&Acc=ACC&Temp=T", 2},
      {"Const inf", "Const=inf&Bits=8&Acc=ACC&Temp=T", 2},
      {"Const nan", "Const=nan&Bits=8&Acc=ACC&Temp=T", 2},
      {"Const 0.5, Bits 1", "Const=0.5&Bits=1&Acc=ACC&Temp=T", 7},
      {"Const 0.5, Bits 2", "Const=0.5&Bits=2&Acc=ACC&Temp=T", 0},
      // 2^-11 has exactly -11 integer bits; an 11-bit input times it is always below 1.
      {"Const 2^-11, Bits 11", "Const=0.00048828125&Bits=11&Acc=ACC&Temp=T", 7},
      {"Const 2^-11, Bits 12", "Const=0.00048828125&Bits=12&Acc=ACC&Temp=T", 0},
      {"Const subnormal", "Const=1e-310&Bits=32&Acc=ACC&Temp=T", 7},
      {"first Const counts", "Const=0&Const=10&Bits=8&Acc=ACC&Temp=T", 2},
      {"second Const ignored", "Const=10&Const=0&Bits=8&Acc=ACC&Temp=T", 0},
      {"Const a fraction", "Const=22/7&Bits=8&Acc=ACC&Temp=T", 0},
      {"Const a fraction with text after it", "Const=22/7x&Bits=8&Acc=ACC&Temp=T", 2},
      {"Const a decimal over an integer", "Const=1.5/3&Bits=8&Acc=ACC&Temp=T", 2},
      {"Const over 0", "Const=1/0&Bits=8&Acc=ACC&Temp=T", 2},
      {"Const a negative fraction", "Const=-1/3&Bits=8&Acc=ACC&Temp=T", 2},
      {"Const a fraction too small for 2 bits", "Const=1/5&Bits=2&Acc=ACC&Temp=T", 7},
      {"Const a decimal with text after it", "Const=10abc&Bits=8&Acc=ACC&Temp=T", 0},
      // Register names
      {"Acc with a digit first", "Const=1&Bits=8&Acc=1ACC&Temp=T", 3},
      {"Acc with a space first", "Const=1&Bits=8&Acc=+ACC&Temp=T", 3},
      {"Acc with an underscore first", "Const=1&Bits=8&Acc=_ACC&Temp=T", 3},
      {"Acc of one letter", "Const=1&Bits=8&Acc=a&Temp=T", 0},
      {"Acc with spaces and brackets later", "Const=1&Bits=8&Acc=A+%3Cb%3E&Temp=T", 0},
      {"Acc empty", "Const=1&Bits=8&Acc=&Temp=T", 3},
      {"Acc of 31 characters", "Const=1&Bits=8&Acc=" + k31 + "&Temp=T", 0},
      {"Acc of 32 characters", "Const=1&Bits=8&Acc=" + k32 + "&Temp=T", 3},
      {"Acc non-ASCII first", "Const=1&Bits=8&Acc=%C4CC&Temp=T", 3},
      {"Temp with a digit first", "Const=1&Bits=8&Acc=ACC&Temp=9", 4},
      {"Temp empty", "Const=1&Bits=8&Acc=ACC&Temp=", 4},
      {"Temp of 31 characters", "Const=1&Bits=8&Acc=ACC&Temp=" + k31, 0},
      {"Temp of 32 characters", "Const=1&Bits=8&Acc=ACC&Temp=" + k32, 4},
      {"names are case-sensitive", "const=1&bits=8&acc=ACC&temp=T", 3},
      {"Temp equal to Acc", "Const=1&Bits=8&Acc=ACC&Temp=ACC", 4},
      {"Temp bytes meet Acc bytes", "Const=1&Bits=8&Acc=X&Temp=X1", 4},
      {"Acc bytes meet Temp bytes", "Const=1&Bits=8&Acc=X1&Temp=X", 4},
      {"Temp differing in case from Acc", "Const=1&Bits=8&Acc=ACC&Temp=acc", 0},
      {"Temp a prefix of Acc", "Const=1&Bits=8&Acc=ACCA&Temp=ACC", 0},
      {"same names and bad Acc", "Const=1&Bits=8&Acc=_&Temp=_", 3},
      // Precedence: 3, 1, then the constant's codes, then 6, then 4.
      {"3 over 1", "Const=1&Bits=0&Acc=&Temp=T", 3},
      {"1 over 2", "Const=0&Bits=0&Acc=A&Temp=T", 1},
      {"1 over 5", "Const=1e10&Bits=40&Acc=A&Temp=T", 1},
      {"1 over 7", "Const=0.5&Bits=-5&Acc=A&Temp=T", 1},
      {"2 over 6", "Const=0&Bits=8&ConstErr=60&Acc=A&Temp=T", 2},
      {"5 over 6", "Const=1e10&Bits=8&ConstErr=60&Acc=A&Temp=T", 5},
      {"7 over 6", "Const=0.5&Bits=1&ConstErr=60&Acc=A&Temp=T", 7},
      {"6 over 4", "Const=1&Bits=8&ConstErr=60&Acc=A&Temp=", 6},
      {"3 over everything", "Const=0&Bits=0&ConstErr=60&Acc=&Temp=", 3},
      // Core: midrange (also empty or absent), enhanced, baseline or pic18, exactly; 13 over
      // every other code.
      {"Core midrange", kValid + "&Core=midrange", 0},
      {"Core enhanced", kValid + "&Core=enhanced", 0},
      {"Core baseline", kValid + "&Core=baseline", 0},
      {"Core pic18", kValid + "&Core=pic18", 0},
      {"Core baseline in capitals", kValid + "&Core=Baseline", 13},
      {"Core pic18 in capitals", kValid + "&Core=PIC18", 13},
      {"Core pic18 with a part number", kValid + "&Core=pic18f452", 13},
      {"Core empty", kValid + "&Core=", 0},
      {"Core in capitals", kValid + "&Core=Enhanced", 13},
      {"Core with a blank", kValid + "&Core=enhanced+", 13},
      {"Core of another family", kValid + "&Core=pic24", 13},
      {"13 over everything", "Const=0&Bits=0&ConstErr=60&Acc=&Temp=&Core=pic10", 13},
      // Ram: empty (no address) or an address from 0 to 0x1FF.
      {"Ram empty", kValid + "&Ram=", 0},
      {"Ram hexadecimal", kValid + "&Ram=0x20", 0},
      {"Ram decimal", kValid + "&Ram=160", 0},
      {"Ram beyond bank 3", kValid + "&Ram=0x200", 16},
      {"Ram of letters", kValid + "&Ram=bank0", 16},
      {"16 over 3", "Const=10&Bits=8&Acc=&Temp=T&Ram=x", 16},
      {"13 over 16", kValid + "&Ram=x&Core=x", 13},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(validate_query(c.query).error_code, c.code) << c.name;
  }
}

TEST(ValidateRequestTest, ResultAndDivideBy) {
  struct Case {
    const char* name;
    std::string fields;
    int code;
  };
  const std::string regs = "&Bits=16&Acc=A&Temp=T";
  const Case cases[] = {
      // Result
      {"approx by name", "Const=10&Result=approx", 0},
      {"empty Result is approx", "Const=10&Result=", 0},
      {"floor", "Const=1&DivideBy=10&Result=floor", 0},
      {"nearest", "Const=1/3&Result=nearest", 0},
      {"unknown Result", "Const=10&Result=round", 8},
      {"Result is case-sensitive", "Const=10&Result=Floor", 8},
      {"8 over everything", "Const=0&Result=x&Acc=&Temp=", 8},
      // DivideBy in both modes
      {"approx divisor", "Const=1&DivideBy=10", 0},
      {"approx fraction divisor", "Const=1&DivideBy=5000/1023", 0},
      {"empty divisor is none", "Const=10&DivideBy=", 0},
      {"divisor 0", "Const=1&DivideBy=0&Result=floor", 9},
      {"approx divisor 0", "Const=1&DivideBy=0", 9},
      {"negative divisor", "Const=1&DivideBy=-3", 9},
      {"divisor letters", "Const=1&DivideBy=ten&Result=floor", 9},
      {"divisor with trailing text", "Const=1&DivideBy=10x", 9},
      {"divisor 1/0", "Const=1&DivideBy=1/0", 9},
      {"huge approx divisor", "Const=1&DivideBy=1e300", 7},
      // The exact constant
      {"exact 0.1 of 18 digits", "Const=0.100000000000000001&Result=floor", 0},
      {"32-bit fraction", "Const=4294967295/4294967291&Result=floor", 0},
      {"quotient of 32-bit fractions", "Const=4294967295/3&DivideBy=4294967291/7&Result=floor", 0},
      {"fraction too long", "Const=1234567890123456789012/12345678901234567891&Result=floor", 10},
      {"18 digits over 18 digits fit",
       "Const=0.123456789012345678&DivideBy=0.987654321987654321&Result=floor", 0},
      {"quotient too long",
       "Const=123456789012345678/987654321098765432&DivideBy=987654321098765431/"
       "123456789012345677&Result=floor",
       10},
      {"exact letters", "Const=abc&Result=floor", 2},
      {"exact trailing text", "Const=10x&Result=floor", 2},
      {"exact hexadecimal", "Const=0x10&Result=floor", 2},
      {"exact 0", "Const=0&Result=floor", 2},
      {"exact negative", "Const=-1/3&Result=nearest", 2},
      {"exact above 2^31", "Const=2147483649&Result=floor", 5},
      {"exact 2^31", "Const=2147483648&Result=floor", 0},
      {"exact huge", "Const=1e50&Result=floor", 5},
      {"exact 2^-16 is too small", "Const=1/65536&Result=floor", 7},
      {"every floor zero", "Const=1/65536&DivideBy=0.99999&Result=floor", 7},
      {"exact tiny", "Const=1e-50&Result=nearest", 7},
      {"ConstErr is ignored when exact", "Const=1/3&ConstErr=99&Result=floor", 0},
      // Signed inputs and trunc
      {"trunc unsigned", "Const=1/10&Result=trunc", 0},
      {"signed floor", "Const=1/10&Result=floor&Signed=1", 0},
      {"signed trunc from a checkbox", "Const=1/10&Result=trunc&Signed=on", 0},
      {"Signed 0 is unsigned", "Const=10&Signed=0", 0},
      {"Signed off is unsigned", "Const=10&Signed=off", 0},
      {"Signed empty is unsigned", "Const=10&Signed=", 0},
      {"signed approx", "Const=10&Signed=1", 12},
      {"signed approx by name", "Const=10&Result=approx&Signed=on", 12},
      {"unknown Signed", "Const=1/10&Result=floor&Signed=yes", 15},
      {"8 over 15", "Const=1/10&Result=x&Signed=yes", 8},
      {"15 over 3", "Const=1/10&Result=floor&Signed=yes&Acc=", 15},
      {"signed trunc zero everywhere", "Const=3/131072&Result=trunc&Signed=1", 7},
      {"signed floor of the same is -1 at least", "Const=3/131072&Result=floor&Signed=1", 0},
      {"1 over 10", "Const=1/3&Result=floor&Bits=40", 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(validate_query(c.fields + regs).error_code, c.code) << c.name;
  }
}

TEST(ValidateRequestTest, ExactValues) {
  const ValidatedRequest v =
      validate_query("Const=5000&DivideBy=1023&Result=floor&Bits=10&Acc=A&Temp=T");
  ASSERT_EQ(v.error_code, 0);
  EXPECT_EQ(v.request.mode, ResultMode::kFloor);
  EXPECT_EQ(v.request.numerator, 5000u);
  EXPECT_EQ(v.request.denominator, 1023u);
  // The largest result: floor(1023 * 5000 / 1023) = 5000, 13 bits.
  EXPECT_EQ(v.request.output_bits, 13);
  const ValidatedRequest reduced =
      validate_query("Const=3.3e-2&Result=nearest&Bits=8&Acc=A&Temp=T");
  ASSERT_EQ(reduced.error_code, 0);
  EXPECT_EQ(reduced.request.numerator, 33u);
  EXPECT_EQ(reduced.request.denominator, 1000u);
  // A signed result's width is its two's-complement width: -3277 to 3276 needs 13 bits.
  EXPECT_EQ(
      validate_query("Const=1/10&Result=floor&Signed=1&Bits=16&Acc=A&Temp=T").request.output_bits,
      13);
  EXPECT_TRUE(
      validate_query("Const=1/10&Result=floor&Signed=1&Bits=16&Acc=A&Temp=T").request.is_signed);
  // Approx with a divisor: the double nearest to the quotient of the values read.
  EXPECT_EQ(validate_query("Const=1&DivideBy=3&Bits=8&Acc=A&Temp=T").request.const_value, 1.0 / 3);
}

TEST(ValidateRequestTest, RemainderAndDigits) {
  struct Case {
    const char* name;
    std::string fields;
    int code;
  };
  const std::string regs = "&Bits=16&Acc=A&Temp=T";
  const Case cases[] = {
      // Rem
      {"floor remainder", "Const=1&DivideBy=10&Result=floor&Rem=R", 0},
      {"empty Rem is none", "Const=1&DivideBy=10&Result=nearest&Rem=", 0},
      {"unsigned trunc remainder", "Const=1/10&Result=trunc&Rem=R", 0},
      {"signed trunc remainder", "Const=1/10&Result=trunc&Signed=1&Rem=R", 0},
      {"signed floor remainder", "Const=5/9&Result=floor&Signed=1&Rem=R", 0},
      {"remainder of an approximation", "Const=1&DivideBy=10&Rem=R", 17},
      {"remainder of approx by name", "Const=0.1&Result=approx&Rem=R", 17},
      {"remainder of a nearest", "Const=1/10&Result=nearest&Rem=R", 17},
      {"remainder of an integer", "Const=10&Result=floor&Rem=R", 18},
      {"remainder of an integer quotient", "Const=20&DivideBy=4&Result=trunc&Signed=1&Rem=R", 18},
      {"remainder named with a digit", "Const=1/10&Result=floor&Rem=9R", 19},
      {"remainder named as Acc", "Const=1/10&Result=floor&Rem=A", 19},
      {"remainder named as Temp", "Const=1/10&Result=floor&Rem=T", 19},
      {"remainder bytes meeting Acc's", "Const=1/10&Result=floor&Rem=A1", 19},
      {"remainder name too long", "Const=1/10&Result=floor&Rem=" + k32, 19},
      {"17 over 19", "Const=1/10&Result=nearest&Rem=T", 17},
      {"8 over 17", "Const=1/10&Result=near&Rem=R", 8},
      {"the constant's code over 18", "Const=0&Result=floor&Rem=R", 2},
      // Result=digits
      {"digits", "Result=digits", 0},
      {"digits of Const 1", "Const=1&Result=digits", 0},
      {"digits of Const 1.0", "Const=1.0&Result=digits&ConstErr=99", 0},
      {"digits in base 2", "Result=digits&DivideBy=2", 0},
      {"digits in base 256", "Result=digits&DivideBy=256", 0},
      {"ascii in base 10", "Result=digits&DigitForm=ascii", 0},
      {"ascii in base 2", "Result=digits&DivideBy=2&DigitForm=ascii", 0},
      {"packed in base 10", "Result=digits&DivideBy=10&DigitForm=packed", 0},
      {"unpacked by name", "Result=digits&DivideBy=60&DigitForm=unpacked", 0},
      {"DigitForm ignored elsewhere", "Const=1/10&Result=floor&DigitForm=bcd", 0},
      {"signed digits", "Result=digits&Signed=1", 20},
      {"base 1", "Result=digits&DivideBy=1", 21},
      {"base 257", "Result=digits&DivideBy=257", 21},
      {"base 2.5", "Result=digits&DivideBy=2.5", 21},
      {"base a fraction", "Result=digits&DivideBy=20/2", 0},
      {"base letters", "Result=digits&DivideBy=ten", 21},
      {"ascii in base 11", "Result=digits&DivideBy=11&DigitForm=ascii", 22},
      {"packed in base 16", "Result=digits&DivideBy=16&DigitForm=packed", 22},
      {"digits of Const 10", "Const=10&Result=digits", 23},
      {"digits of Const letters", "Const=one&Result=digits", 23},
      {"digits with a remainder", "Result=digits&Rem=R", 24},
      {"unknown DigitForm", "Result=digits&DigitForm=bcd", 25},
      {"DigitForm in capitals", "Result=digits&DigitForm=Ascii", 25},
      {"1 over the digits' codes", "Result=digits&Const=10&Bits=40", 1},
      {"20 over 23", "Const=2&Result=digits&Signed=1", 20},
      {"24 over 21", "Result=digits&DivideBy=1&Rem=R", 24},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(validate_query(c.fields + regs).error_code, c.code) << c.name;
  }
}

TEST(ValidateRequestTest, RemainderAndDigitsValues) {
  const ValidatedRequest rem =
      validate_query("Const=1&DivideBy=10&Result=floor&Bits=16&Acc=A&Temp=T&Rem=R");
  ASSERT_EQ(rem.error_code, 0);
  EXPECT_EQ(rem.request.remainder, "R");
  EXPECT_FALSE(rem.request.digits);
  // The digits: their count is the request's output width.
  struct Case {
    const char* fields;
    int base;
    DigitForm form;
    int count;
  };
  const Case cases[] = {
      {"Bits=16", 10, DigitForm::kUnpacked, 5},
      {"Bits=32&DigitForm=packed", 10, DigitForm::kPacked, 10},
      {"Bits=17&DivideBy=60", 60, DigitForm::kUnpacked, 3},
      {"Bits=32&DivideBy=2&DigitForm=ascii", 2, DigitForm::kAscii, 32},
      {"Bits=8&DivideBy=256", 256, DigitForm::kUnpacked, 1},
      {"Bits=9&DivideBy=256", 256, DigitForm::kUnpacked, 2},
      {"Bits=1", 10, DigitForm::kUnpacked, 1},
  };
  for (const Case& c : cases) {
    const ValidatedRequest v =
        validate_query(std::string("Result=digits&Acc=A&Temp=T&") + c.fields);
    ASSERT_EQ(v.error_code, 0) << c.fields;
    EXPECT_TRUE(v.request.digits) << c.fields;
    EXPECT_EQ(v.request.digit_base, c.base) << c.fields;
    EXPECT_EQ(v.request.digit_form, c.form) << c.fields;
    EXPECT_EQ(v.request.output_bits, c.count) << c.fields;
    EXPECT_EQ(v.request.remainder, "") << c.fields;
  }
}

TEST(ValidateRequestTest, ValuesOfAValidRequest) {
  struct Case {
    const char* name;
    std::string query;
    double const_value;
    double const_error;
    int input_bits;
    int const_int_bits;
    int output_bits;
  };
  const Case cases[] = {
      {"typical", kValid, 10, 0, 8, 4, 12},
      {"constant 1", "Const=1&Bits=16&ConstErr=2.5&Acc=A&Temp=T", 1, 2.5, 16, 0, 16},
      {"constant 0.75", "Const=0.75&Bits=8&Acc=A&Temp=T", 0.75, 0, 8, 0, 8},
      {"constant 22/7", "Const=22/7&Bits=8&Acc=A&Temp=T", 22.0 / 7, 0, 8, 2, 10},
      {"constant 1/3 over 2", "Const=1/3&DivideBy=2&Bits=8&Acc=A&Temp=T", 1.0 / 3 / 2, 0, 8, -2, 6},
      {"constant 0.5", "Const=0.5&Bits=2&Acc=A&Temp=T", 0.5, 0, 2, -1, 1},
      {"largest", "Const=2147483648&Bits=32&ConstErr=50&Acc=A&Temp=T", 2147483648.0, 50, 32, 31,
       63},
      {"smallest product", "Const=0.00048828125&Bits=12&Acc=A&Temp=T", 0.00048828125, 0, 12, -11,
       1},
  };
  for (const Case& c : cases) {
    const ValidatedRequest v = validate_query(c.query);
    ASSERT_EQ(v.error_code, 0) << c.name;
    EXPECT_EQ(v.request.const_value, c.const_value) << c.name;
    EXPECT_EQ(v.request.const_error, c.const_error) << c.name;
    EXPECT_EQ(v.input_bits, c.input_bits) << c.name;
    EXPECT_EQ(v.const_int_bits, c.const_int_bits) << c.name;
    EXPECT_EQ(v.request.output_bits, c.output_bits) << c.name;
    EXPECT_EQ(v.request.core, Core::kMidrange) << c.name;
  }
  EXPECT_EQ(validate_query(kValid + "&Core=enhanced").request.core, Core::kEnhanced);
  // Every mode writes the core asked for.
  EXPECT_EQ(validate_query(kValid + "&Result=floor&Core=enhanced").request.core, Core::kEnhanced);
  EXPECT_EQ(validate_query(kValid + "&Result=trunc&Signed=1&Core=enhanced").request.core,
            Core::kEnhanced);
  EXPECT_EQ(validate_query(kValid + "&Result=nearest").request.core, Core::kMidrange);
  EXPECT_EQ(validate_query(kValid + "&Result=approx&Core=enhanced").request.core, Core::kEnhanced);
  EXPECT_EQ(validate_query(kValid + "&Core=enhanced&Core=midrange").request.core, Core::kEnhanced);
  EXPECT_EQ(validate_query(kValid + "&Core=baseline").request.core, Core::kBaseline);
  EXPECT_EQ(validate_query(kValid + "&Result=trunc&Signed=1&Core=baseline").request.core,
            Core::kBaseline);
}

// A request that sends Ram gets the notes on where its registers go, and its address; one
// that does not keeps its block as it always was.
TEST(ValidateRequestTest, RamPlacesTheCblock) {
  const ValidatedRequest absent = validate_query(kValid);
  EXPECT_EQ(absent.request.ram_address, -1);
  EXPECT_EQ(absent.request.notes, "");
  const ValidatedRequest empty = validate_query(kValid + "&Ram=");
  EXPECT_EQ(empty.request.ram_address, -1);
  EXPECT_EQ(empty.request.notes, ram_notes(-1, Core::kMidrange));
  const ValidatedRequest placed = validate_query(kValid + "&Ram=0xa0&Result=floor");
  ASSERT_EQ(placed.error_code, 0);
  EXPECT_EQ(placed.request.ram_address, 0xA0);
  EXPECT_EQ(placed.request.notes, ram_notes(0xA0, Core::kMidrange));
  // A PIC18 routine's notes are the access bank's.
  const ValidatedRequest access = validate_query(kValid + "&Ram=0x10&Core=pic18");
  ASSERT_EQ(access.error_code, 0);
  EXPECT_EQ(access.request.ram_address, 0x10);
  EXPECT_EQ(access.request.notes, ram_notes(0x10, Core::kPic18));
  EXPECT_EQ(validate_query(kValid + "&Ram=&Core=pic18").request.notes, ram_notes(-1, Core::kPic18));
}

// A PIC18 routine's registers lie in the access bank: an address from 0x80 on is refused
// before anything is written, one that leaves too little room once the routine's bytes are
// known (routine_generation.h). The mid-range family keeps its banks up to 0x1FF.
TEST(ValidateRequestTest, Pic18RegistersInTheAccessBank) {
  struct Case {
    const char* name;
    std::string query;
    std::vector<int> codes;
  };
  const Case cases[] = {
      {"no address", kValid + "&Core=pic18&Ram=", {}},
      {"the last access byte", kValid + "&Core=pic18&Ram=0x7F", {}},
      {"the first byte past it", kValid + "&Core=pic18&Ram=0x80", {45}},
      {"in decimal", kValid + "&Core=pic18&Ram=128", {45}},
      {"bank 1 of a PIC18", kValid + "&Core=pic18&Ram=0x100", {45}},
      {"no address at all", kValid + "&Core=pic18&Ram=0x200", {16}},
      {"a mid-range part's bank 1", kValid + "&Ram=0x80", {}},
      {"an enhanced part's bank 1", kValid + "&Core=enhanced&Ram=0xA0", {}},
      {"a baseline part's bank 1", kValid + "&Core=baseline&Ram=0x30", {}},
      {"after the width's message", "Const=10&Bits=0&Acc=A&Temp=T&Core=pic18&Ram=0x80", {1, 45}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(validate_query(c.query).error_codes, c.codes) << c.name;
  }
}

// pic-as text is not written for the PIC18 core; the other syntaxes are.
TEST(ValidateRequestTest, Pic18Syntaxes) {
  struct Case {
    const char* name;
    std::string query;
    std::vector<int> codes;
  };
  const Case cases[] = {
      {"pic-as", kValid + "&Core=pic18&Syntax=pic-as", {46}},
      {"a pic-as subroutine", kValid + "&Core=pic18&Syntax=pic-as&Wrap=subroutine", {46}},
      {"mpasm", kValid + "&Core=pic18&Syntax=mpasm&Wrap=macro", {}},
      {"a gputils module", kValid + "&Core=pic18&Syntax=gpasm-reloc", {}},
      {"pic-as on the other cores", kValid + "&Core=baseline&Syntax=pic-as", {}},
      {"pic-as of an unknown core", kValid + "&Core=pic16&Syntax=pic-as", {13}},
      {"after the address's message", kValid + "&Core=pic18&Syntax=pic-as&Ram=0x10", {46}},
      {"with every other pic-as message",
       kValid + "&Core=pic18&Syntax=pic-as&Ram=0x90",
       {44, 45, 46}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(validate_query(c.query).error_codes, c.codes) << c.name;
  }
}

// Every failing check is reported, in check order, the code shown last.
TEST(ValidateRequestTest, EveryFailingCheck) {
  struct Case {
    const char* name;
    std::string query;
    std::vector<int> codes;
  };
  const Case cases[] = {
      {"valid", kValid, {}},
      {"the constant and the width", "Const=&Bits=99&Acc=ACC&Temp=TEMP", {2, 1}},
      {"one field", "Const=10&Bits=0&Acc=ACC&Temp=TEMP", {1}},
      {"every name and the error bound", "Const=1&Bits=8&ConstErr=60&Acc=&Temp=", {4, 6, 3}},
      {"divisor, RAM and core", "Const=1&DivideBy=x&Bits=8&Acc=A&Temp=T&Ram=y&Core=z", {9, 16, 13}},
      {"signed approximation and unknown result",
       "Const=1&Bits=8&Acc=A&Temp=T&Result=x&Signed=1",
       {8}},
      {"signed approximation", "Const=1&Bits=8&Acc=A&Temp=T&Signed=1&Ram=0x20", {12}},
  };
  for (const Case& c : cases) {
    const ValidatedRequest v = validate_query(c.query);
    EXPECT_EQ(v.error_codes, c.codes) << c.name;
    EXPECT_EQ(v.error_code, c.codes.empty() ? 0 : c.codes.back()) << c.name;
  }
}

TEST(RefusalDetailTest, NamesTheRegistersThatClash) {
  struct Case {
    const char* name;
    std::string acc;
    std::string temp;
    std::string detail;
  };
  const Case cases[] = {
      {"the same name", "ACC", "ACC",
       "Input register ACC and temporary register ACC both have a "
       "byte named ACC0."},
      {"a digit more", "X", "X1",
       "Input register X and temporary register X1 both have a byte "
       "named X10."},
      {"the accumulator longer", "X1", "X",
       "Input register X1 and temporary register X both have "
       "a byte named X10."},
      {"no clash", "ACC", "TEMP", ""},
      {"a prefix that spells no index", "ACC", "ACCA", ""},
      {"a temporary name that is no name", "_", "_", ""},
  };
  for (const Case& c : cases) {
    RequestFields fields;
    fields.acc_name = c.acc;
    fields.temp_name = c.temp;
    EXPECT_EQ(refusal_detail(4, fields), c.detail) << c.name;
    EXPECT_EQ(refusal_detail(3, fields), "") << c.name;
  }
}

TEST(ValidateRequestTest, OptimizeAndLabel) {
  struct Case {
    const char* name;
    std::string fields;
    int code;
    Optimize optimize;
    const char* label;
  };
  const std::string exact = "Const=1&DivideBy=10&Result=floor&Bits=16&Acc=A&Temp=T";
  const Case cases[] = {
      {"absent", exact, 0, Optimize::kSpeed, ""},
      {"empty is speed", exact + "&Optimize=", 0, Optimize::kSpeed, ""},
      {"speed", exact + "&Optimize=speed", 0, Optimize::kSpeed, ""},
      {"size", exact + "&Optimize=size", 0, Optimize::kSize, ""},
      {"size of a signed trunc", exact + "&Result=trunc&Signed=1&Optimize=size", 0, Optimize::kSize,
       ""},
      {"Optimize is case-sensitive", exact + "&Optimize=Size", 30, Optimize::kSpeed, ""},
      {"unknown Optimize", exact + "&Optimize=small", 30, Optimize::kSpeed, ""},
      {"size of an approximation", "Const=10&Bits=8&Acc=A&Temp=T&Optimize=size", 31,
       Optimize::kSpeed, ""},
      {"size of an approximation by name",
       "Const=10&Result=approx&Bits=8&Acc=A&Temp=T&Optimize=size", 31, Optimize::kSpeed, ""},
      {"speed of an approximation", "Const=10&Bits=8&Acc=A&Temp=T&Optimize=speed", 0,
       Optimize::kSpeed, ""},
      {"30 over 8", exact + "&Result=round&Optimize=small", 30, Optimize::kSpeed, ""},
      {"label", exact + "&Optimize=size&Label=div_", 0, Optimize::kSize, "div_"},
      {"label starting with _", exact + "&Label=_x9", 0, Optimize::kSpeed, "_x9"},
      {"label of 24 characters", exact + "&Label=" + std::string(24, 'L'), 0, Optimize::kSpeed,
       "LLLLLLLLLLLLLLLLLLLLLLLL"},
      {"label of 25 characters", exact + "&Label=" + std::string(25, 'L'), 32, Optimize::kSpeed,
       ""},
      {"label starting with a digit", exact + "&Label=1x", 32, Optimize::kSpeed, ""},
      {"label with a blank", exact + "&Label=a%20b", 32, Optimize::kSpeed, ""},
      {"label with a dollar", exact + "&Label=a$", 32, Optimize::kSpeed, ""},
      {"label with a colon", exact + "&Label=a:", 32, Optimize::kSpeed, ""},
      {"label beyond ASCII", exact + "&Label=%C3%A9", 32, Optimize::kSpeed, ""},
      {"32 over 8", exact + "&Result=round&Label=1", 32, Optimize::kSpeed, ""},
      {"31 over 32", "Const=10&Bits=8&Acc=A&Temp=T&Optimize=size&Label=1", 31, Optimize::kSpeed,
       ""},
      {"13 over 30", exact + "&Optimize=small&Core=pic24", 13, Optimize::kSpeed, ""},
  };
  for (const Case& c : cases) {
    const ValidatedRequest v = validate_query(c.fields);
    EXPECT_EQ(v.error_code, c.code) << c.name;
    if (c.code == 0) {
      EXPECT_EQ(v.request.optimize, c.optimize) << c.name;
      EXPECT_EQ(v.request.label_prefix, c.label) << c.name;
    }
  }
}

TEST(ConstIntegerBitsTest, Table) {
  struct Case {
    const char* name;
    double value;
    long long expected;
  };
  const Case cases[] = {
      {"one", 1, 0},
      {"two", 2, 1},
      {"three", 3, 2},
      {"ten", 10, 4},
      {"just below one", 0.75, 0},
      {"just above a half", 0.5000001, 0},
      {"a half", 0.5, -1},
      {"2^-11", std::ldexp(1.0, -11), -11},
      {"2^-31", std::ldexp(1.0, -31), -31},
      {"2^31", 2147483648.0, 31},
      {"2^31 + 1", 2147483649.0, 32},
      {"2^31 - 1", 2147483647.0, 31},
      {"smallest subnormal", std::numeric_limits<double>::denorm_min(), -1074},
      {"largest double", std::numeric_limits<double>::max(), 1024},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(const_integer_bits(c.value), c.expected) << c.name;
  }
}

TEST(ConstIntegerBitsTest, EveryPowerOfTwoIsExact) {
  for (int k = -1074; k <= 1023; ++k) {
    EXPECT_EQ(const_integer_bits(std::ldexp(1.0, k)), k) << "2^" << k;
  }
}

TEST(ReadRequestFieldsTest, Endian) {
  struct Case {
    const char* name;
    std::string query;
    bool little_endian;
  };
  const Case cases[] = {
      {"little", "endian=little", true},
      {"just l", "endian=l", true},
      {"capital Little", "endian=Little", false},
      {"big", "endian=big", false},
      {"empty", "endian=", false},
      {"absent", "Const=1", false},
      {"first occurrence counts", "endian=big&endian=little", false},
  };
  for (const Case& c : cases) {
    FormEntryList form;
    parse_urlencoded(form, c.query);
    EXPECT_EQ(read_request_fields(form).little_endian, c.little_endian) << c.name;
  }
}

TEST(ReadRequestFieldsTest, TextsAreTakenAsTheyAre) {
  FormEntryList form;
  parse_urlencoded(form, "Acc=+A%3Cb%3E+&Temp=T%26&Const=3.5&Bits=8&ConstErr=1.5");
  const RequestFields fields = read_request_fields(form);
  EXPECT_EQ(fields.acc_name, " A<b> ");
  EXPECT_EQ(fields.temp_name, "T&");
  EXPECT_EQ(fields.const_value, 3.5);
  EXPECT_EQ(fields.input_bits, 8);
  EXPECT_EQ(fields.const_error, 1.5);
}

// Wrap, Syntax and Name: their messages in check order (before the core's), and the
// packaging, name, notes and RAM count of a valid request.
TEST(ValidateRequestTest, PackagingFields) {
  struct Case {
    const char* name;
    std::string query;
    std::vector<int> codes;
    Wrap wrap;
    Syntax syntax;
    const char* routine_name;
  };
  const std::string floor = "Const=1&DivideBy=10&Result=floor&Bits=16&Acc=ACC&Temp=TEMP";
  const Case cases[] = {
      {"none", floor, {}, Wrap::kInline, Syntax::kMpasm, ""},
      {"defaults named",
       floor + "&Wrap=inline&Syntax=mpasm&Name=",
       {},
       Wrap::kInline,
       Syntax::kMpasm,
       ""},
      {"subroutine",
       floor + "&Wrap=subroutine",
       {},
       Wrap::kSubroutine,
       Syntax::kMpasm,
       "acc_div10_floor"},
      {"named macro", floor + "&Wrap=macro&Name=div10", {}, Wrap::kMacro, Syntax::kMpasm, "div10"},
      {"pic-as inline",
       floor + "&Syntax=pic-as",
       {},
       Wrap::kInline,
       Syntax::kPicAs,
       "acc_div10_floor"},
      {"a module is a subroutine",
       floor + "&Syntax=gpasm-reloc",
       {},
       Wrap::kSubroutine,
       Syntax::kGpasmReloc,
       "acc_div10_floor"},
      {"pic-as in common memory",
       floor + "&Syntax=pic-as&Ram=0x70",
       {},
       Wrap::kInline,
       Syntax::kPicAs,
       "acc_div10_floor"},
      {"unknown wrap", floor + "&Wrap=function", {40}, Wrap::kInline, Syntax::kMpasm, ""},
      {"unknown syntax", floor + "&Syntax=xc8", {41}, Wrap::kInline, Syntax::kMpasm, ""},
      {"a name no assembler takes",
       floor + "&Wrap=macro&Name=9lives",
       {42},
       Wrap::kInline,
       Syntax::kMpasm,
       ""},
      {"an instruction's name",
       floor + "&Wrap=macro&Name=RETURN",
       {42},
       Wrap::kInline,
       Syntax::kMpasm,
       ""},
      {"a register byte's name",
       floor + "&Wrap=macro&Name=TEMP1",
       {42},
       Wrap::kInline,
       Syntax::kMpasm,
       ""},
      {"inline module",
       floor + "&Syntax=gpasm-reloc&Wrap=inline",
       {43},
       Wrap::kInline,
       Syntax::kMpasm,
       ""},
      {"pic-as in bank 1",
       floor + "&Syntax=pic-as&Ram=0xA0",
       {44},
       Wrap::kInline,
       Syntax::kMpasm,
       ""},
      {"mpasm in bank 1",
       floor + "&Ram=0xA0&Wrap=macro",
       {},
       Wrap::kMacro,
       Syntax::kMpasm,
       "acc_div10_floor"},
      {"all of them before the core",
       floor + "&Wrap=x&Syntax=y&Name=1&Core=z",
       {41, 40, 42, 13},
       Wrap::kInline,
       Syntax::kMpasm,
       ""},
  };
  for (const Case& c : cases) {
    const ValidatedRequest v = validate_query(c.query);
    EXPECT_EQ(v.error_codes, c.codes) << c.name;
    if (!c.codes.empty()) continue;
    const Packaging& packaging = v.request.packaging;
    EXPECT_EQ(packaging.wrap, c.wrap) << c.name;
    EXPECT_EQ(packaging.syntax, c.syntax) << c.name;
    EXPECT_EQ(packaging.name, c.routine_name) << c.name;
    // A packaged routine tells its RAM; a default one without Ram stays as it was.
    EXPECT_EQ(v.request.counts_ram, !packaging.is_default()) << c.name;
    // The cblock notes are MPASM's; the other syntaxes place their registers themselves.
    EXPECT_EQ(v.request.notes.empty(), packaging.is_default() || c.syntax != Syntax::kMpasm)
        << c.name;
  }
  // A current client's exact routine tells its RAM whatever its packaging; inline MPASM has no
  // name.
  EXPECT_TRUE(validate_query(floor + "&Ram=").request.counts_ram);
  EXPECT_EQ(validate_query(floor + "&Ram=&Name=div10").request.packaging.name, "");
}

// A whole program is a PIC18 one, in MPASM syntax, its registers from 0x00 unless Ram says
// otherwise; the PIC18's own words are no routine name there.
TEST(ValidateRequestTest, Pic18Packaging) {
  struct Case {
    const char* name;
    std::string query;
    std::vector<int> codes;
    Wrap wrap;
    int ram_address;
  };
  const std::string floor = "Const=1&DivideBy=10&Result=floor&Bits=16&Acc=ACC&Temp=TEMP";
  const std::string pic18 = floor + "&Core=pic18";
  const Case cases[] = {
      {"a program", pic18 + "&Wrap=program", {}, Wrap::kProgram, 0},
      {"a program at an address", pic18 + "&Wrap=program&Ram=0x20", {}, Wrap::kProgram, 0x20},
      {"a program with no address given", pic18 + "&Wrap=program&Ram=", {}, Wrap::kProgram, 0},
      {"a program named so", pic18 + "&Wrap=program&Syntax=mpasm", {}, Wrap::kProgram, 0},
      {"a subroutine keeps its bare cblock", pic18 + "&Wrap=subroutine", {}, Wrap::kSubroutine, -1},
      {"a module", pic18 + "&Syntax=gpasm-reloc", {}, Wrap::kSubroutine, -1},
      {"a program of a mid-range core", floor + "&Wrap=program", {40}, Wrap::kInline, -1},
      {"a program of an enhanced core",
       floor + "&Core=enhanced&Wrap=program",
       {40},
       Wrap::kInline,
       -1},
      {"a program of an unknown core",
       floor + "&Core=pic&Wrap=program",
       {40, 13},
       Wrap::kInline,
       -1},
      {"a program as a module",
       pic18 + "&Wrap=program&Syntax=gpasm-reloc",
       {43},
       Wrap::kInline,
       -1},
      {"a program for pic-as", pic18 + "&Wrap=program&Syntax=pic-as", {46}, Wrap::kInline, -1},
      {"a PIC18 instruction as the name",
       pic18 + "&Wrap=macro&Name=mullw",
       {42},
       Wrap::kInline,
       -1},
      {"a PIC18 register as the name", pic18 + "&Wrap=program&Name=PRODL", {42}, Wrap::kInline, -1},
      {"a PIC18 instruction named on another core",
       floor + "&Wrap=macro&Name=mullw",
       {},
       Wrap::kMacro,
       -1},
  };
  for (const Case& c : cases) {
    const ValidatedRequest v = validate_query(c.query);
    EXPECT_EQ(v.error_codes, c.codes) << c.name;
    if (!c.codes.empty()) continue;
    EXPECT_EQ(v.request.packaging.wrap, c.wrap) << c.name;
    EXPECT_EQ(v.request.ram_address, c.ram_address) << c.name;
    EXPECT_EQ(v.request.notes.empty(), v.request.packaging.syntax != Syntax::kMpasm) << c.name;
  }
}

// Message 40 lists the wraps of the mid-range family; a PIC18 request's detail adds the
// program, and tells a program that asked for a module what it is.
TEST(RefusalDetailTest, ThePic18Wraps) {
  struct Case {
    const char* name;
    std::string query;
    int code;
    const char* detail;
  };
  const Case cases[] = {
      {"an unknown PIC18 wrap", kValid + "&Core=pic18&Wrap=function", 40,
       "Wrap must be inline, subroutine, macro or program (a whole PIC18 program)."},
      {"an unknown mid-range wrap", kValid + "&Wrap=function", 40, ""},
      {"a program of the mid-range core", kValid + "&Wrap=program", 40, ""},
      {"a PIC18 program as a module", kValid + "&Core=pic18&Wrap=program&Syntax=gpasm-reloc", 43,
       "A gpasm-reloc routine is a subroutine or a macro: a whole program (Wrap program) is an "
       "absolute MPASM source, so take Syntax mpasm for it."},
      {"an inline PIC18 module", kValid + "&Core=pic18&Wrap=inline&Syntax=gpasm-reloc", 43, ""},
  };
  for (const Case& c : cases) {
    FormEntryList form;
    parse_urlencoded(form, c.query);
    const RequestFields fields = read_request_fields(form);
    EXPECT_EQ(validate_request(fields).error_code, c.code) << c.name;
    EXPECT_EQ(refusal_detail(c.code, fields), c.detail) << c.name;
  }
}

TEST(RefusalDetailTest, NamesTheRegisterByteANameSpells) {
  FormEntryList form;
  parse_urlencoded(form, "Const=10&Bits=8&Acc=ACC&Temp=TEMP&Wrap=macro&Name=ACC1");
  const RequestFields fields = read_request_fields(form);
  EXPECT_EQ(validate_request(fields).error_code, 42);
  EXPECT_EQ(refusal_detail(42, fields),
            "Name ACC1 is also the name of a register byte of the routine.");
  FormEntryList other;
  parse_urlencoded(other, "Const=10&Bits=8&Acc=ACC&Temp=TEMP&Wrap=macro&Name=1x");
  EXPECT_EQ(refusal_detail(42, read_request_fields(other)), "");
}

}  // namespace
}  // namespace tarvek
