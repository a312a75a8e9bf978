#include "codegen/decomposition.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "codegen/register.h"

namespace tarvek {
namespace {

// The digit string with `digit` at each listed index and 0 elsewhere.
DigitString digits_at(const std::vector<std::pair<int, int>>& nonzero) {
  DigitString digits{};
  for (const auto& [index, digit] : nonzero)
    digits[static_cast<size_t>(index)] = static_cast<int8_t>(digit);
  return digits;
}

// The digit string with ones from `first` to `last` added to `digits`.
DigitString with_ones(DigitString digits, int first, int last) {
  for (int k = first; k <= last; ++k) digits[static_cast<size_t>(k)] = 1;
  return digits;
}

TEST(ExpandBinaryTest, StrictComparisonPutsOnesBelowAnExactWeight) {
  struct Case {
    const char* name;
    double constant;
    DigitString expected;
  };
  const Case cases[] = {
      {"10 is 8 + 1 + 1/2 + ...", 10, with_ones(digits_at({{28, 1}}), 31, 95)},
      {"1 is 0 at the units and ones below", 1, with_ones({}, 32, 95)},
      {"0.5", 0.5, with_ones({}, 33, 95)},
      {"7", 7, with_ones(digits_at({{29, 1}, {30, 1}}), 32, 95)},
      {"2^31 gives a 0 at index 0", 2147483648.0, with_ones({}, 1, 95)},
      {"2^-64 is dropped", 0x1p-64, {}},
      {"just above 2^-64", 0x1.8p-64, digits_at({{95, 1}})},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(expand_binary(c.constant), c.expected) << c.name;
  }
}

TEST(RecodeRunsTest, RunsOfThreeOrMoreOnesBecomePlusZerosMinus) {
  struct Case {
    const char* name;
    DigitString before;
    DigitString after;
  };
  const Case cases[] = {
      {"0111 at 92 to 95", digits_at({{93, 1}, {94, 1}, {95, 1}}), digits_at({{92, 1}, {95, -1}})},
      {"0.5", with_ones({}, 33, 95), digits_at({{32, 1}, {95, -1}})},
      {"10", with_ones(digits_at({{28, 1}}), 31, 95), digits_at({{28, 1}, {30, 1}, {95, -1}})},
      {"7: the carry completes a second run", with_ones(digits_at({{29, 1}, {30, 1}}), 32, 95),
       digits_at({{28, 1}, {31, -1}, {95, -1}})},
      {"runs of one and two stay", digits_at({{40, 1}, {41, 1}, {43, 1}, {95, 1}}),
       digits_at({{40, 1}, {41, 1}, {43, 1}, {95, 1}})},
      {"run at the top end", with_ones({}, 1, 95), digits_at({{0, 1}, {95, -1}})},
      {"a carry running past index 0 stops", with_ones({}, 0, 2), digits_at({{2, -1}})},
  };
  for (const Case& c : cases) {
    DigitString digits = c.before;
    recode_runs(digits);
    EXPECT_EQ(digits, c.after) << c.name;
  }
}

struct BlockCase {
  const char* name;
  double constant;
  int bits;
  double error;
  int output_bits;
  const char* block;
  int term_count;
  int term_end;
  int input_bytes;
  int output_bytes;
};

void check_block(const BlockCase& c, bool little_endian) {
  const Register acc("ACC", c.bits, little_endian);
  GeneratorRequest request;
  request.const_value = c.constant;
  request.const_error = c.error;
  request.output_bits = c.output_bits;
  std::ostringstream out;
  const Decomposition result = decompose(out, request, acc);
  EXPECT_EQ(out.str(), c.block) << c.name;
  EXPECT_EQ(result.term_count, c.term_count) << c.name;
  EXPECT_EQ(result.term_end, c.term_end) << c.name;
  EXPECT_EQ(result.input_bytes, c.input_bytes) << c.name;
  EXPECT_EQ(result.output_bytes, c.output_bytes) << c.name;
  // term_count counts the nonzero digits before term_end, the last of which is a term.
  int nonzero = 0;
  for (int k = 0; k < result.term_end; ++k) nonzero += result.digits[static_cast<size_t>(k)] != 0;
  EXPECT_EQ(nonzero, result.term_count) << c.name;
  if (result.term_count > 0) {
    EXPECT_NE(result.digits[static_cast<size_t>(result.term_end - 1)], 0) << c.name;
  }
}

const BlockCase kBlocks[] = {
    {"10", 10, 8, 0, 12,
     "; ACC = ACC * 10.000000\n"
     ";\n"
     "; ALGORITHM:\n"
     "; Clear accumulator\n"
     "; Add input * 8 to accumulator\n"
     "; Add input * 2 to accumulator\n"
     "; Move accumulator to result\n"
     ";\n"
     "; Error in constant approximation : 0.000000, %\n"
     "\n"
     "\n"
     "; Input:  ACC0\t(8 bits)\n"
     "; Output: ACC0 .. ACC1\t(12 bits)",
     2, 31, 1, 2},
    {"1", 1, 8, 0, 8,
     "; ACC = ACC * 1.000000\n"
     ";\n"
     "; ALGORITHM:\n"
     "; Clear accumulator\n"
     "; Add input * 1 to accumulator\n"
     "; Move accumulator to result\n"
     ";\n"
     "; Error in constant approximation : 0.000000, %\n"
     "\n"
     "\n"
     "; Input:  ACC0\t(8 bits)\n"
     "; Output: ACC0\t(8 bits)",
     1, 32, 1, 1},
    {"0.5", 0.5, 8, 0, 7,
     "; ACC = ACC * 0.500000\n"
     ";\n"
     "; ALGORITHM:\n"
     "; Clear accumulator\n"
     "; Add input / 2 to accumulator\n"
     "; Move accumulator to result\n"
     ";\n"
     "; Error in constant approximation : 0.000000, %\n"
     "\n"
     "\n"
     "; Input:  ACC0\t(8 bits)\n"
     "; Output: ACC0\t(7 bits)",
     1, 33, 1, 1},
    {"7", 7, 8, 0, 11,
     "; ACC = ACC * 7.000000\n"
     ";\n"
     "; ALGORITHM:\n"
     "; Clear accumulator\n"
     "; Add input * 8 to accumulator\n"
     "; Substract input * 1 from accumulator\n"
     "; Move accumulator to result\n"
     ";\n"
     "; Error in constant approximation : 0.000000, %\n"
     "\n"
     "\n"
     "; Input:  ACC0\t(8 bits)\n"
     "; Output: ACC0 .. ACC1\t(11 bits)",
     2, 32, 1, 2},
    {"0.1 within 1 %", 0.1, 8, 1, 5,
     "; ACC = ACC * 0.100000\n"
     ";\n"
     "; ALGORITHM:\n"
     "; Clear accumulator\n"
     "; Add input / 16 to accumulator\n"
     "; Add input / 32 to accumulator\n"
     "; Add input / 256 to accumulator\n"
     "; Add input / 512 to accumulator\n"
     "; Move accumulator to result\n"
     ";\n"
     "; Error in constant approximation : 0.390625, %\n"
     "\n"
     "\n"
     "; Input:  ACC0\t(8 bits)\n"
     "; Output: ACC0\t(5 bits)",
     4, 41, 1, 1},
    {"3.3 on 16 bits within 0.5 %", 3.3, 16, 0.5, 18,
     "; ACC = ACC * 3.300000\n"
     ";\n"
     "; ALGORITHM:\n"
     "; Clear accumulator\n"
     "; Add input * 2 to accumulator\n"
     "; Add input * 1 to accumulator\n"
     "; Add input / 4 to accumulator\n"
     "; Add input / 32 to accumulator\n"
     "; Add input / 64 to accumulator\n"
     "; Move accumulator to result\n"
     ";\n"
     "; Error in constant approximation : 0.094697, %\n"
     "\n"
     "\n"
     "; Input:  ACC0 .. ACC1\t(16 bits)\n"
     "; Output: ACC0 .. ACC2\t(18 bits)",
     5, 38, 2, 3},
    {"0.005: precision ends the choice before any term", 0.005, 8, 0, 1,
     "; ACC = ACC * 0.005000\n"
     ";\n"
     "; ALGORITHM:\n"
     "; Clear accumulator\n"
     "; WARNING:\n"
     "; Needed precision can't be reached because the input register size is too small\n"
     "; Move accumulator to result\n"
     ";\n"
     "; Error in constant approximation : 100.000000, %\n"
     "\n"
     "\n"
     "; Input:  ACC0\t(8 bits)\n"
     "; Output: ACC0\t(1 bits)",
     0, 1, 1, 1},
    {"10 within 20 %: a remainder equal to the bound stops", 10, 8, 20, 12,
     "; ACC = ACC * 10.000000\n"
     ";\n"
     "; ALGORITHM:\n"
     "; Clear accumulator\n"
     "; Add input * 8 to accumulator\n"
     "; Move accumulator to result\n"
     ";\n"
     "; Error in constant approximation : 20.000000, %\n"
     "\n"
     "\n"
     "; Input:  ACC0\t(8 bits)\n"
     "; Output: ACC0 .. ACC1\t(12 bits)",
     1, 29, 1, 2},
    {"largest constant", 2147483648.0, 1, 0, 32,
     "; ACC = ACC * 2147483648.000000\n"
     ";\n"
     "; ALGORITHM:\n"
     "; Clear accumulator\n"
     "; Add input * 2147483648 to accumulator\n"
     "; Move accumulator to result\n"
     ";\n"
     "; Error in constant approximation : 0.000000, %\n"
     "\n"
     "\n"
     "; Input:  ACC0\t(1 bits)\n"
     "; Output: ACC0 .. ACC3\t(32 bits)",
     1, 1, 1, 4},
};

TEST(DecomposeTest, CommentBlocksOfTheWorkedExamples) {
  for (const BlockCase& c : kBlocks) {
    check_block(c, false);
    check_block(c, true);
  }
}

TEST(DecomposeTest, InputAndOutputLinesNameTheByteRange) {
  struct Case {
    const char* name;
    int bits;
    const char* ranges;
  };
  const Case cases[] = {
      {"8 bits", 8, "; Input:  ACC0\t(8 bits)\n; Output: ACC0\t(8 bits)"},
      {"9 bits", 9, "; Input:  ACC0 .. ACC1\t(9 bits)\n; Output: ACC0 .. ACC1\t(9 bits)"},
      {"16 bits", 16, "; Input:  ACC0 .. ACC1\t(16 bits)\n; Output: ACC0 .. ACC1\t(16 bits)"},
      {"17 bits", 17, "; Input:  ACC0 .. ACC2\t(17 bits)\n; Output: ACC0 .. ACC2\t(17 bits)"},
      {"32 bits", 32, "; Input:  ACC0 .. ACC3\t(32 bits)\n; Output: ACC0 .. ACC3\t(32 bits)"},
  };
  for (const Case& c : cases) {
    const std::string block = std::string(
                                  "; ACC = ACC * 1.000000\n"
                                  ";\n"
                                  "; ALGORITHM:\n"
                                  "; Clear accumulator\n"
                                  "; Add input * 1 to accumulator\n"
                                  "; Move accumulator to result\n"
                                  ";\n"
                                  "; Error in constant approximation : 0.000000, %\n"
                                  "\n"
                                  "\n") +
                              c.ranges;
    check_block(
        {c.name, 1, c.bits, 0, c.bits, block.c_str(), 1, 32, (c.bits + 7) / 8, (c.bits + 7) / 8},
        true);
  }
}

TEST(DecomposeTest, ExactConstantsStopBeforeTheLowestRecodedDigit) {
  // 1/3 as a double has ones at 2^-2, 2^-4, ..., 2^-54. The strict expansion writes the
  // lowest as ones from 2^-55 down, the recoding turns them back into +2^-54 - 2^-64, and the
  // remainder reaches 0 at 2^-54: the -2^-64 is never chosen.
  std::string block =
      "; ACC = ACC * 0.333333\n"
      ";\n"
      "; ALGORITHM:\n"
      "; Clear accumulator\n";
  for (int k = 2; k <= 54; k += 2) {
    block += "; Add input / " + std::to_string(uint64_t{1} << k) + " to accumulator\n";
  }
  block +=
      "; Move accumulator to result\n"
      ";\n"
      "; Error in constant approximation : 0.000000, %\n"
      "\n"
      "\n"
      "; Input:  ACC0 .. ACC3\t(32 bits)\n"
      "; Output: ACC0 .. ACC3\t(31 bits)";
  check_block({"one third", 1.0 / 3, 32, 0, 31, block.c_str(), 27, 86, 4, 4}, false);
}

TEST(DecomposeTest, DivisorOf2To64PrintsRounded) {
  // Bits below 2^-64 keep the remainder from reaching 0; terms 28 and 24 places apart stay
  // within a 32-bit input's precision, so the walk runs to the last digit.
  check_block({"2^-12 + 2^-40 + 2^-64 + 2^-65", 0x1p-12 + 0x1p-40 + 0x1p-64 + 0x1p-65, 32, 0, 21,
               "; ACC = ACC * 0.000244\n"
               ";\n"
               "; ALGORITHM:\n"
               "; Clear accumulator\n"
               "; Add input / 4096 to accumulator\n"
               "; Add input / 1099511627776 to accumulator\n"
               "; Add input / 18446744073709552000 to accumulator\n"
               "; Move accumulator to result\n"
               ";\n"
               "; Error in constant approximation : 0.000000, %\n"
               "\n"
               "\n"
               "; Input:  ACC0 .. ACC3\t(32 bits)\n"
               "; Output: ACC0 .. ACC2\t(21 bits)",
               3, 96, 4, 3},
              true);
}

// The digits' value in plain binary (one bit per index), carries resolved from index 95 up;
// an empty result when the value is negative or needs more than 96 bits.
std::vector<int> plain_bits(const DigitString& digits) {
  std::vector<int> bits(digits.size());
  int carry = 0;
  for (int k = static_cast<int>(digits.size()) - 1; k >= 0; --k) {
    const int v = digits[static_cast<size_t>(k)] + carry;
    bits[static_cast<size_t>(k)] = ((v % 2) + 2) % 2;
    carry = (v - bits[static_cast<size_t>(k)]) / 2;
  }
  if (carry != 0) return {};
  return bits;
}

TEST(DecomposeTest, RecodingKeepsTheValueAndTermsStayConsistent) {
  const double errors[] = {0, 0.01, 0.5, 1, 10, 50};
  int checked = 0;
  for (int numerator = 1; numerator < 4000; numerator += 37) {
    for (int shift = -30; shift <= 30; shift += 7) {
      const double constant = std::ldexp(numerator / 7.0, shift);
      if (constant > 0x1p31) continue;
      const DigitString plain = expand_binary(constant);
      DigitString recoded = plain;
      recode_runs(recoded);
      std::vector<int> plain_as_bits(plain.begin(), plain.end());
      ASSERT_EQ(plain_bits(recoded), plain_as_bits) << constant;
      for (int k = 2; k < 96; ++k) {
        // No run of three ones survives.
        ASSERT_FALSE(recoded[k - 2] == 1 && recoded[k - 1] == 1 && recoded[k] == 1) << constant;
      }
      const int integer_bits = static_cast<int>(std::ceil(std::log2(constant)));
      for (int bits = 1; bits <= 32; bits += 5) {
        if (bits + integer_bits < 1) continue;
        for (double error : errors) {
          const Register acc("ACC", bits, false);
          GeneratorRequest request{constant, error, bits + integer_bits};
          std::ostringstream out;
          const Decomposition result = decompose(out, request, acc);
          ASSERT_EQ(result.digits, recoded);
          ASSERT_GE(result.term_end, 1);
          ASSERT_LE(result.term_end, 96);
          int nonzero = 0;
          for (int k = 0; k < result.term_end; ++k) nonzero += result.digits[k] != 0;
          ASSERT_EQ(nonzero, result.term_count) << constant << " " << bits << " " << error;
          if (result.term_count > 0) {
            ASSERT_NE(result.digits[result.term_end - 1], 0);
          }
          // One term line per chosen term.
          const std::string text = out.str();
          int lines = 0;
          for (size_t at = text.find("; Add input "); at != std::string::npos;
               at = text.find("; Add input ", at + 1)) {
            ++lines;
          }
          for (size_t at = text.find("; Substract input "); at != std::string::npos;
               at = text.find("; Substract input ", at + 1)) {
            ++lines;
          }
          ASSERT_EQ(lines, result.term_count) << constant;
          ++checked;
        }
      }
    }
  }
  EXPECT_GT(checked, 10000);
}

}  // namespace
}  // namespace tarvek
