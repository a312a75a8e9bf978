#include "page/error_message.h"

#include <gtest/gtest.h>

#include <string>

namespace tarvek {
namespace {

TEST(RefusalTextTest, OneLineForEveryCode) {
  EXPECT_EQ(refusal_text(1), "#1 Error in input: Input size out of range (1..32 bits).\n");
  EXPECT_EQ(refusal_text(6), "#6 Error in input: Constant error must be between 0 and 50%.\n");
  // Message 7 is the one without a line break of its own.
  EXPECT_EQ(refusal_text(7),
            "#7 Error in input: Result is zero for this combination of input size and "
            "constant.\n");
  EXPECT_EQ(refusal_text(25), "#25 Error in input: DigitForm must be unpacked, ascii or packed.\n");
  for (int code = 1; code <= kLastErrorCode; ++code) {
    const std::string text = refusal_text(code);
    // Appended piece by piece: "#" + std::to_string(...) trips a false -Wrestrict of GCC 12.
    std::string heading = "#";
    heading += std::to_string(code);
    heading += " Error in input: ";
    EXPECT_EQ(text.rfind(heading, 0), 0u) << code;
    EXPECT_EQ(text.find('\n'), text.size() - 1) << code;
  }
}

}  // namespace
}  // namespace tarvek
