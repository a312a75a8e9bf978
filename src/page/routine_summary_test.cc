#include "page/routine_summary.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "codegen/core.h"
#include "sim/times_ten_block_for_tests.h"

namespace tarvek {
namespace {

TEST(RoutineSummaryTest, TimesTen) {
  const RoutineSummary summary = summarize_routine(kTimesTenBlock, "ACC");
  EXPECT_EQ(summary.output_bytes, (std::vector<std::string>{"ACC0", "ACC1"}));
  EXPECT_EQ(summary.output_bits, 12);
  EXPECT_EQ(summary.instructions, 21);
  EXPECT_EQ(summary.cycles, 21);
}

TEST(RoutineSummaryTest, SkippedInstructionsCostTheirCycle) {
  // skpnc skips the incf when the cleared carry stays clear; the skipped line still costs one.
  const RoutineSummary summary = summarize_routine(
      "; X = X * 1\n; Output: X0\t(8 bits)\n\tcblock\n\tX0\n\tendc\n\tclrc\n\tskpnc\n\tincf\tX0, "
      "f\n",
      "X");
  EXPECT_EQ(summary.instructions, 3);
  EXPECT_EQ(summary.cycles, 3);
}

TEST(RoutineSummaryTest, EnhancedInstructionsAreCounted) {
  const RoutineSummary summary = summarize_routine(
      "; X = X * 2\n; Output: X0\t(8 bits)\n; Core: enhanced mid-range (PIC16F1xxx)\n\tcblock\n"
      "\tX0\n\tendc\n\tlslf\tX0, f\n",
      "X");
  EXPECT_EQ(summary.instructions, 1);
  EXPECT_EQ(summary.cycles, 1);
}

// Read in the PIC18's own instructions, which its core line names: the multiplier and
// rlcf are one cycle and one word each there.
TEST(RoutineSummaryTest, Pic18InstructionsAreCounted) {
  const RoutineSummary summary = summarize_routine(
      "; X = X * 6\n; Output: X0 .. X1\t(11 bits)\n" + std::string(kPic18CoreLine) +
          "\n\tcblock\n\tX0\n\tX1\n\tendc\n\tmovf\tX1, w\n\tmullw\t3\n\tmovf\tPRODH, w\n"
          "\tmovwf\tX0\n\tmovf\tPRODL, w\n\tmovwf\tX1\n\tclrc\n\trlcf\tX1, f\n\trlcf\tX0, f\n",
      "X");
  EXPECT_EQ(summary.instructions, 9);
  EXPECT_EQ(summary.cycles, 9);
  EXPECT_EQ(summary.words, 9);
  EXPECT_EQ(summary.ram_bytes, 2);
}

TEST(RoutineSummaryTest, WordsAndCyclesOfALoopComeFromItsRoutineLine) {
  const std::string loop =
      "; X = floor(X * 1/10)\n; Routine: 7 words, 7 to 132 cycles (depending on the input)\n"
      "; Output: X0\t(5 bits)\n\tcblock\n\tX0\n\tendc\n\tmovf\tX0, w\n\tclrf\tX0\n"
      "\tdecf\tX0, f\nl_count\n\tincf\tX0, f\n\taddlw\tD'-10'\n\tskpnc\n\tgoto\tl_count\n";
  const RoutineSummary summary = summarize_routine(loop, "X");
  EXPECT_EQ(summary.words, 7);
  EXPECT_EQ(summary.cycles_min, 7);
  EXPECT_EQ(summary.cycles_max, 132);
  // Straight-line code: its count and its one cost.
  const RoutineSummary times_ten = summarize_routine(kTimesTenBlock, "ACC");
  EXPECT_EQ(times_ten.words, 21);
  EXPECT_EQ(times_ten.cycles_min, 21);
  EXPECT_EQ(times_ten.cycles_max, 21);
}

TEST(RoutineSummaryTest, OutputLine) {
  struct Case {
    const char* name;
    std::string line;
    std::string acc;
    std::vector<std::string> bytes;
    int bits;
  };
  const Case cases[] = {
      {"one byte", "; Output: ACC0\t(7 bits)", "ACC", {"ACC0"}, 7},
      {"four bytes", "; Output: V0 .. V3\t(32 bits)", "V", {"V0", "V1", "V2", "V3"}, 32},
      {"a name holding the separators",
       "; Output: A .. B\t(0 .. A .. B\t(1\t(9 bits)",
       "A .. B\t(",
       {"A .. B\t(0", "A .. B\t(1"},
       9},
      {"another register's name", "; Output: ACC0\t(7 bits)", "TEMP", {}, 0},
      {"no width", "; Output: ACC0", "ACC", {}, 0},
      {"a width that is no number", "; Output: ACC0\t(x bits)", "ACC", {}, 0},
      {"a range ending in byte 0", "; Output: A0 .. A0\t(8 bits)", "A", {}, 0},
      {"more than eight bytes", "; Output: A0 .. A8\t(70 bits)", "A", {}, 0},
  };
  for (const Case& c : cases) {
    const RoutineSummary summary = summarize_routine("; A = A * 2\n" + c.line + "\n", c.acc);
    EXPECT_EQ(summary.output_bytes, c.bytes) << c.name;
    EXPECT_EQ(summary.output_bits, c.bits) << c.name;
  }
}

TEST(RoutineSummaryTest, NamesNoAssemblerTakesLeaveTheCountsOpen) {
  const RoutineSummary summary = summarize_routine(
      "; A B = A B * 1\n; Output: A B0\t(8 bits)\n\tcblock\n\tA B0\n\tendc\n\tclrf\tA B0\n", "A B");
  EXPECT_EQ(summary.output_bytes, std::vector<std::string>{"A B0"});
  EXPECT_EQ(summary.instructions, std::nullopt);
  EXPECT_EQ(summary.cycles, std::nullopt);
}

}  // namespace
}  // namespace tarvek
