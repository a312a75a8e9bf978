#include "cli/verify.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "codegen/generator.h"
#include "codegen/register.h"

namespace tarvek {
namespace {

std::string block_of(double constant, int input_bits, int output_bits) {
  Register acc("ACC", input_bits, false);
  Register temp("TEMP", 0, false);
  std::ostringstream out;
  generate_code(out, GeneratorRequest{constant, 0, output_bits}, acc, temp);
  return out.str();
}

RoutineUnderCheck under_check(const std::string& block, int input_bits, int output_bits) {
  return RoutineUnderCheck{block, "ACC", "TEMP", false, input_bits, output_bits};
}

const std::string kHeader =
    "; Verification on tarvek's PIC16 simulator, each run starting from\n"
    "; arbitrary values in every other byte, W and the flags:\n";

TEST(VerifyRoutineTest, EveryInputOfANarrowRegister) {
  const std::string block = block_of(3, 4, 6);
  const VerifyOutcome outcome =
      verify_routine(under_check(block, 4, 6), {ExactTarget::times(3), "input * 3"});
  EXPECT_TRUE(outcome.passed);
  const std::string expected_end =
      "; Inputs checked: 16 (every 4-bit input)\n"
      "; Every result equals the documented computation.\n";
  EXPECT_EQ(outcome.comment.substr(0, kHeader.size() + expected_end.size()),
            kHeader + expected_end);
  EXPECT_NE(outcome.comment.find(";   absolute 0 at input 0\n"), std::string::npos);
}

TEST(VerifyRoutineTest, SampledAboveTwentyBits) {
  const std::string block = block_of(5, 21, 24);
  const VerifyOutcome outcome =
      verify_routine(under_check(block, 21, 24), {ExactTarget::times(5), "input * 5"});
  EXPECT_TRUE(outcome.passed);
  const std::size_t at = outcome.comment.find("; Inputs checked: ");
  ASSERT_NE(at, std::string::npos);
  const std::string rest = outcome.comment.substr(at);
  EXPECT_NE(rest.find(" of the 2^21 (0 to 3, each 2^k - 1, 2^k and 2^k + 1,\n"
                      ";   the largest values, alternating bit patterns, a seeded random "
                      "sample)\n"),
            std::string::npos)
      << rest;
  // Far more than the edges, far fewer than every input.
  const long count = std::stol(rest.substr(std::string("; Inputs checked: ").size()));
  EXPECT_GT(count, 100000);
  EXPECT_LT(count, 1L << 21);
}

TEST(VerifyRoutineTest, TruncationShowsInTheDeviation) {
  // x * 0.75 by input/2 + input/4, each truncated: input 3 gives 1 + 0 = 1, not 2.25.
  const std::string block = block_of(0.75, 8, 8);
  const VerifyOutcome outcome =
      verify_routine(under_check(block, 8, 8), {ExactTarget::times(0.75), "input * 0.75"});
  ASSERT_TRUE(outcome.passed) << outcome.comment;
  EXPECT_NE(outcome.comment.find("; Worst deviation from input * 0.75 (result minus exact "
                                 "value, truncation included):\n"),
            std::string::npos);
  EXPECT_NE(outcome.comment.find(";   relative "), std::string::npos);
  EXPECT_EQ(outcome.comment.find(";   absolute 0 "), std::string::npos) << outcome.comment;
}

TEST(VerifyRoutineTest, ACorruptedInstructionFails) {
  std::string block = block_of(10, 8, 12);
  // Shift the temporary register right instead of left once: it holds 4x, not 8x.
  const std::size_t at = block.find("\trlf\tTEMP1, f\n");
  ASSERT_NE(at, std::string::npos);
  block.replace(at, 4, "\trrf");
  const VerifyOutcome outcome =
      verify_routine(under_check(block, 8, 12), {ExactTarget::times(10), "input * 10"});
  EXPECT_FALSE(outcome.passed);
  EXPECT_EQ(outcome.comment.rfind(kHeader + "; FAILED: input ", 0), 0u) << outcome.comment;
  EXPECT_NE(outcome.comment.find(", documented "), std::string::npos);
  EXPECT_EQ(outcome.comment.find("Worst deviation"), std::string::npos);
}

TEST(VerifyRoutineTest, AnUnreadableRoutineFails) {
  std::string block = block_of(10, 8, 12);
  block += "\tgoto\tsomewhere\n";
  const VerifyOutcome outcome =
      verify_routine(under_check(block, 8, 12), {ExactTarget::times(10), "input * 10"});
  EXPECT_FALSE(outcome.passed);
  EXPECT_EQ(outcome.comment.rfind(kHeader + "; FAILED: does not parse: line ", 0), 0u)
      << outcome.comment;
  EXPECT_NE(outcome.comment.find("; Inputs whose result matched before that: 0\n"),
            std::string::npos);
}

TEST(VerifyRoutineTest, EveryLineIsAComment) {
  std::string block = block_of(10, 8, 12);
  block.replace(block.find("\trlf\tTEMP1, f\n"), 4, "\trrf");
  for (const std::string& comment :
       {verify_routine(under_check(block_of(10, 8, 12), 8, 12),
                       {ExactTarget::times(10), "input * 10"})
            .comment,
        verify_routine(under_check(block, 8, 12), {ExactTarget::times(10), "input\n* 10"})
            .comment}) {
    std::istringstream lines(comment);
    std::string line;
    int count = 0;
    while (std::getline(lines, line)) {
      EXPECT_EQ(line.rfind("; ", 0), 0u) << line;
      ++count;
    }
    EXPECT_GT(count, 4);
    EXPECT_EQ(comment.back(), '\n');
  }
}

TEST(VerifyTextTest, ShortestDecimal) {
  struct Case {
    const char* name;
    double value;
    const char* expected;
  };
  const Case cases[] = {
      {"integer", 10, "10"},
      {"tenth", 0.1, "0.1"},
      {"third", 1.0 / 3, "0.3333333333333333"},
      {"large", 2147483648.0, "2147483648"},
      {"small", 1e-9, "1e-09"},
  };
  for (const Case& c : cases) EXPECT_EQ(shortest_decimal(c.value), c.expected) << c.name;
}

TEST(VerifyTextTest, DeviationText) {
  struct Case {
    const char* name;
    long double value;
    const char* expected;
  };
  const Case cases[] = {
      {"zero", 0, "0"},
      {"negative zero", -0.0L, "0"},
      {"integer", -3, "-3"},
      {"half", 0.5L, "0.5"},
      {"rounded to six decimals", 12.3456789L, "12.345679"},
      {"tiny", 1.5e-9L, "1.500e-09"},
      {"tiny negative", -2e-7L, "-2.000e-07"},
      {"large", 4611686018427387903.75L, "4611686018427387903.75"},
  };
  for (const Case& c : cases) EXPECT_EQ(deviation_text(c.value), c.expected) << c.name;
}

}  // namespace
}  // namespace tarvek
