#include "page/error_message.h"

#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <utility>

namespace tarvek {
namespace {

TEST(RefusalTextTest, OneLineForEveryCode) {
  EXPECT_EQ(refusal_text(1), "#1 Error in input: Input size out of range (1..32 bits).\n");
  EXPECT_EQ(refusal_text(6), "#6 Error in input: Constant error must be between 0 and 50%.\n");
  // Message 7 is the one without a line break of its own.
  EXPECT_EQ(refusal_text(7),
            "#7 Error in input: Result is zero for this combination of input size and "
            "constant.\n");
  EXPECT_EQ(refusal_text(13),
            "#13 Error in input: Core must be midrange, enhanced, baseline or pic18.\n");
  EXPECT_EQ(refusal_text(25), "#25 Error in input: DigitForm must be unpacked, ascii or packed.\n");
  EXPECT_EQ(refusal_text(45),
            "#45 Error in input: With Core pic18 the registers must lie in the access bank, below "
            "0x80 (0x00 to 0x7F on a PIC18F452), where the instructions reach them whatever bank "
            "is selected: take a RAM address that leaves room for them, or none.\n");
  EXPECT_EQ(refusal_text(46),
            "#46 Error in input: With Core pic18 the Syntax must be mpasm or gpasm-reloc: pic-as "
            "text is written for the mid-range, enhanced mid-range and baseline cores only.\n");
  for (int code = 1; code <= kLastErrorCode; ++code) {
    if (!is_error_code(code)) continue;
    const std::string text = refusal_text(code);
    // Appended piece by piece: "#" + std::to_string(...) trips a false -Wrestrict of GCC 12.
    std::string heading = "#";
    heading += std::to_string(code);
    heading += " Error in input: ";
    EXPECT_EQ(text.rfind(heading, 0), 0u) << code;
    EXPECT_EQ(text.find('\n'), text.size() - 1) << code;
  }
}

TEST(RefusalTextTest, ADetailTakesThePlaceOfTheMessage) {
  EXPECT_EQ(refusal_text(4, ""), "#4 Error in input: Enter temporary register(s) name.\n");
  EXPECT_EQ(refusal_text(4, "Input register R and temporary register R both have a byte named R0."),
            "#4 Error in input: Input register R and temporary register R both have a byte "
            "named R0.\n");
}

TEST(ErrorFieldTest, EveryCodeHasItsField) {
  const char* const expected[] = {"Bits",     "Const",     "Acc",    "Temp",     "Const",
                                  "ConstErr", "Const",     "Result", "DivideBy", "Const",
                                  nullptr,    "Signed",    "Core",   nullptr,    "Signed",
                                  "Ram",      "Rem",       "Rem",    "Rem",      "Signed",
                                  "DivideBy", "DigitForm", "Const",  "Rem",      "DigitForm"};
  const std::pair<int, const char*> later[] = {
      {30, "Optimize"}, {31, "Optimize"}, {32, "Label"}, {40, "Wrap"}, {41, "Syntax"},
      {42, "Name"},     {43, "Wrap"},     {44, "Ram"},   {45, "Ram"},  {46, "Syntax"}};
  // Every code listed is given, so the loop below reaches it.
  for (const auto& [later_code, later_field] : later) {
    EXPECT_TRUE(is_error_code(later_code)) << later_code << " " << later_field;
  }
  for (int code = 1; code <= kLastErrorCode; ++code) {
    if (!is_error_code(code)) continue;
    const char* field = error_field(code);
    const char* want = nullptr;
    if (code <= static_cast<int>(std::size(expected))) want = expected[code - 1];
    for (const auto& [later_code, later_field] : later) {
      if (later_code == code) want = later_field;
    }
    if (want == nullptr) {
      EXPECT_EQ(field, nullptr) << code;
    } else {
      ASSERT_NE(field, nullptr) << code;
      EXPECT_STREQ(field, want) << code;
    }
  }
}

}  // namespace
}  // namespace tarvek
