// The digits and remainder promises: their lines read exactly as written and nothing else,
// the bytes they promise computed from the input alone, and the routine check holding
// hand-written routines to them, a wrong one refused.
#include "sim/extended_promise.h"

#include <gtest/gtest.h>

#include <string>

#include "sim/routine_check.h"

namespace tarvek {
namespace {

TEST(ExtendedPromiseTest, DigitsTitle) {
  struct Case {
    const char* name;
    const char* line;
    bool read;
    int base;
    DigitStorage storage;
  };
  const Case cases[] = {
      {"unpacked", "; ACC = digits(ACC, base 10, unpacked)", true, 10, DigitStorage::kUnpacked},
      {"ascii", "; ACC = digits(ACC, base 7, ascii)", true, 7, DigitStorage::kAscii},
      {"packed", "; ACC = digits(ACC, base 10, packed)", true, 10, DigitStorage::kPacked},
      {"base 256", "; ACC = digits(ACC, base 256, unpacked)", true, 256, DigitStorage::kUnpacked},
      {"base 1", "; ACC = digits(ACC, base 1, unpacked)", false, 0, DigitStorage::kUnpacked},
      {"base 257", "; ACC = digits(ACC, base 257, unpacked)", false, 0, DigitStorage::kUnpacked},
      {"ascii above 10", "; ACC = digits(ACC, base 16, ascii)", false, 0, DigitStorage::kAscii},
      {"packed not 10", "; ACC = digits(ACC, base 16, packed)", false, 0, DigitStorage::kPacked},
      {"leading zero", "; ACC = digits(ACC, base 010, unpacked)", false, 0, DigitStorage::kPacked},
      {"another register", "; ACC = digits(TMP, base 10, unpacked)", false, 0,
       DigitStorage::kUnpacked},
      {"trailing text", "; ACC = digits(ACC, base 10, unpacked) ", false, 0,
       DigitStorage::kUnpacked},
  };
  for (const Case& c : cases) {
    const std::optional<DigitPromise> promise = read_digits_title(c.line, "ACC");
    ASSERT_EQ(promise.has_value(), c.read) << c.name;
    if (!promise) continue;
    EXPECT_EQ(promise->base, c.base) << c.name;
    EXPECT_EQ(promise->storage, c.storage) << c.name;
  }
}

TEST(ExtendedPromiseTest, DigitBytes) {
  struct Case {
    const char* name;
    DigitPromise promise;
    uint64_t x;
    int count;
    std::vector<uint8_t> bytes;
  };
  const Case cases[] = {
      {"unpacked", {10, DigitStorage::kUnpacked}, 1234, 5, {4, 3, 2, 1, 0}},
      {"ascii", {10, DigitStorage::kAscii}, 1234, 5, {'4', '3', '2', '1', '0'}},
      {"packed, odd count", {10, DigitStorage::kPacked}, 1234, 5, {0x34, 0x12, 0x00}},
      {"packed, even count", {10, DigitStorage::kPacked}, 98, 2, {0x98}},
      {"base 60", {60, DigitStorage::kUnpacked}, 3725, 3, {5, 2, 1}},
      {"base 256", {256, DigitStorage::kUnpacked}, 0x1234, 2, {0x34, 0x12}},
      {"base 2, ascii", {2, DigitStorage::kAscii}, 5, 4, {'1', '0', '1', '0'}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(digit_bytes(c.promise, c.x, c.count), c.bytes) << c.name;
    EXPECT_EQ(digit_byte_count(c.promise, c.count), static_cast<int>(c.bytes.size())) << c.name;
  }
}

TEST(ExtendedPromiseTest, RemainderRangeAndBytes) {
  const std::optional<RemainderPromise> one = read_remainder_range("REM0\t(4 bits)", "REM");
  ASSERT_TRUE(one);
  EXPECT_EQ(one->bytes, 1);
  EXPECT_EQ(one->bits, 4);
  const std::optional<RemainderPromise> two = read_remainder_range("R0 .. R1\t(9 bits)", "R");
  ASSERT_TRUE(two);
  EXPECT_EQ(two->bytes, 2);
  EXPECT_FALSE(read_remainder_range("R0 .. R1\t(9 bits) ", "R"));
  EXPECT_FALSE(read_remainder_range("R1 .. R2\t(9 bits)", "R"));
  EXPECT_FALSE(read_remainder_range("R0\t(0 bits)", "R"));

  EXPECT_EQ(remainder_of(1, 10, 1234, 123), 4);
  EXPECT_EQ(remainder_of(1, 10, -1234, -123), -4);
  EXPECT_EQ(remainder_bytes(9, RemainderPromise{1, 4}, false), (std::vector<uint8_t>{9}));
  EXPECT_FALSE(remainder_bytes(16, RemainderPromise{1, 4}, false));
  EXPECT_FALSE(remainder_bytes(-1, RemainderPromise{1, 4}, false));
  EXPECT_EQ(remainder_bytes(-4, RemainderPromise{2, 9}, true), (std::vector<uint8_t>{0xFC, 0xFF}));
  EXPECT_FALSE(remainder_bytes(256, RemainderPromise{2, 9}, true));
  EXPECT_EQ(bytes_fault("output", {1, 2}, {1, 2}), "");
  EXPECT_EQ(bytes_fault("output", {1, 2}, {1, 3}),
            "output byte 1 from the least significant holds 3, documented 2");
}

// x < 16 into its two decimal digits: the tens by one comparison with 10.
constexpr const char* kTwoDigits =
    "; ACC = digits(ACC, base 10, unpacked)\n"
    "\n"
    "; Input:  ACC0\t(4 bits)\n"
    "; Output: ACC0 .. ACC1\t(2 digits)\n"
    "\n"
    "\tcblock\n\tACC0\n\tACC1\n\tendc\n"
    "\n"
    "\tmovf\tACC0, w\n"
    "\tclrf\tACC0\n"
    "\taddlw\tD'-10'\n"
    "\trlf\tACC0, f\n"
    "\tbtfss\tACC0, 0\n"
    "\taddlw\tD'10'\n"
    "\tmovwf\tACC1\n";

// floor(x / 2) of an 8-bit x, and its remainder, the low bit.
constexpr const char* kHalf =
    "; ACC = floor(ACC * 1/2)\n"
    "\n"
    "; Input:  ACC0\t(8 bits)\n"
    "; Output: ACC0\t(7 bits)\n"
    "; Remainder: REM0\t(1 bits)\n"
    "\n"
    "\tcblock\n\tACC0\n\tREM0\n\tendc\n"
    "\n"
    "\tmovf\tACC0, w\n"
    "\tandlw\t1\n"
    "\tmovwf\tREM0\n"
    "\tclrc\n"
    "\trrf\tACC0, f\n";

std::string replaced(std::string text, const std::string& from, const std::string& to) {
  text.replace(text.find(from), from.size(), to);
  return text;
}

TEST(ExtendedPromiseTest, RoutinesHeldToTheirPromise) {
  std::vector<uint64_t> nibbles;
  for (uint64_t x = 0; x < 16; ++x) nibbles.push_back(x);
  std::vector<uint64_t> bytes;
  for (uint64_t x = 0; x < 256; ++x) bytes.push_back(x);
  struct Case {
    const char* name;
    std::string block;
    int input_bits;
    int output_bits;
    const char* rem;
    bool passes;
  };
  const Case cases[] = {
      {"two digits", kTwoDigits, 4, 2, "", true},
      {"a digit count the request did not ask", kTwoDigits, 4, 3, "", false},
      {"a wrong comparison", replaced(kTwoDigits, "D'-10'", "D'-9'"), 4, 2, "", false},
      {"ascii promised, digits left", replaced(kTwoDigits, "unpacked", "ascii"), 4, 2, "", false},
      {"a remainder", kHalf, 8, 7, "REM", true},
      {"a remainder left out", replaced(kHalf, "andlw\t1", "andlw\t3"), 8, 7, "REM", false},
      {"a remainder no one asked for", kHalf, 8, 7, "", false},
      {"a remainder asked for and not promised",
       replaced(kHalf, "; Remainder: REM0\t(1 bits)\n", ""), 8, 7, "REM", false},
  };
  for (const Case& c : cases) {
    const RoutineUnderCheck routine{
        c.block, "ACC", "TEMP", false, c.input_bits, c.output_bits, PicCore::kMidrange, c.rem};
    const CheckReport report = check_routine(routine, c.input_bits == 4 ? nibbles : bytes, 7);
    EXPECT_EQ(report.passed, c.passes) << c.name << ": " << report.failure;
  }
}

}  // namespace
}  // namespace tarvek
