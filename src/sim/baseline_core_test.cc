// The baseline core (PIC10F, PIC12F5xx, PIC16F5x) in the parser and the machine: a program
// parsed for it is refused every instruction that core lacks, naming the instruction, and
// btfss skips as the instruction-set description says.
#include <gtest/gtest.h>

#include <string>

#include "sim/pic_machine.h"
#include "sim/pic_program.h"

namespace tarvek {
namespace {

TEST(BaselineCore, RefusesWhatTheCoreLacks) {
  struct Case {
    const char* line;
    // The message for a baseline program; empty when the core runs the line.
    std::string baseline_error;
    // The same for a mid-range program.
    std::string midrange_error;
  };
  const std::string lacks = " part lacks";
  const Case cases[] = {
      {"\taddlw\tD'-10'", "\"addlw\" is a mid-range instruction, which a baseline" + lacks, ""},
      {"\tlslf\tB0, f", "\"lslf\" is an enhanced mid-range instruction, which a baseline" + lacks,
       "\"lslf\" is an enhanced mid-range instruction, which a mid-range" + lacks},
      {"\taddwfc\tB0, w",
       "\"addwfc\" is an enhanced mid-range instruction, which a baseline" + lacks,
       "\"addwfc\" is an enhanced mid-range instruction, which a mid-range" + lacks},
      {"\tbtfss\tB0, 7", "", ""},
      {"\tbtfsc\tB0, 0", "", ""},
      {"\tmovlw\tD'10'", "", ""},
      {"\tandlw\tD'15'", "", ""},
      {"\tiorlw\t1", "", ""},
      {"\tsubwf\tB0, w", "", ""},
      {"\tincfsz\tB0, w", "", ""},
      {"\tswapf\tB0, f", "", ""},
      {"\tskpnz", "", ""},
      {"\txorwf\tSTATUS, w", "", ""},
      {"\tmovwf\tSTATUS", "", ""},
  };
  for (const Case& c : cases) {
    const std::string text = "\tclrc\n" + std::string(c.line) + "\n";
    const ParseOutcome baseline = parse_instructions(text, {"B0"}, PicCore::kBaseline);
    const ParseOutcome midrange = parse_instructions(text, {"B0"}, PicCore::kMidrange);
    const ParseOutcome enhanced = parse_instructions(text, {"B0"}, PicCore::kEnhanced);
    const auto line_two = [](const std::string& error) {
      return error.empty() ? error : "line 2: " + error;
    };
    EXPECT_EQ(baseline.error, line_two(c.baseline_error)) << c.line;
    EXPECT_EQ(midrange.error, line_two(c.midrange_error)) << c.line;
    EXPECT_EQ(enhanced.error, "") << c.line;
    if (baseline.program) {
      EXPECT_EQ(baseline.program->core, PicCore::kBaseline) << c.line;
    }
  }
  // A whole block is held to the core just the same.
  const std::string block = "\tcblock\n\tA0\n\tendc\n\tmovf\tA0, w\n\taddlw\t1\n\tmovwf\tA0\n";
  EXPECT_EQ(parse_generated_block(block, PicCore::kBaseline).error,
            "line 5: \"addlw\" is a mid-range instruction, which a baseline part lacks");
  EXPECT_TRUE(parse_generated_block(block, PicCore::kMidrange).program);
}

// btfss F0, b then incf F1: the increment runs only when bit b of F0 is clear, and the skip
// costs its cycle; no flag is touched by the test.
TEST(BaselineCore, BtfssSkipsWhenTheBitIsSet) {
  struct Case {
    const char* name;
    uint8_t f0;
    int bit;
    bool skipped;
  };
  const Case cases[] = {
      {"bit 7 set", 0x80, 7, true},      {"bit 7 clear", 0x7F, 7, false},
      {"bit 0 set", 0x01, 0, true},      {"bit 0 clear", 0xFE, 0, false},
      {"bit 3 of a mix", 0x08, 3, true}, {"bit 4 of a mix", 0xEF, 4, false},
  };
  for (const Case& c : cases) {
    const std::string text = "\tbtfss\tF0, " + std::to_string(c.bit) + "\n\tincf\tF1, f\n";
    const ParseOutcome parsed = parse_instructions(text, {"F0", "F1"}, PicCore::kBaseline);
    ASSERT_TRUE(parsed.program) << c.name << ": " << parsed.error;
    EXPECT_EQ(parsed.program->instructions[0].op, PicOp::kBtfss) << c.name;
    EXPECT_EQ(parsed.program->instructions[0].bit, c.bit) << c.name;
    PicMachine m(*parsed.program);
    m.set_byte("F0", c.f0);
    m.set_byte("F1", 0x41);
    m.carry = true;
    m.zero = true;
    const RunStats stats = m.run();
    EXPECT_EQ(stats.cycles, 2) << c.name;
    EXPECT_EQ(stats.instructions, c.skipped ? 1 : 2) << c.name;
    EXPECT_EQ(m.byte("F1"), c.skipped ? 0x41 : 0x42) << c.name;
    EXPECT_EQ(m.byte("F0"), c.f0) << c.name;
    EXPECT_TRUE(m.carry) << c.name;
    EXPECT_EQ(m.zero, c.skipped) << c.name;
  }
  // A taken skip on the last line would skip whatever follows the routine.
  const ParseOutcome last = parse_instructions("\tbtfss\tF0, 1\n", {"F0"}, PicCore::kBaseline);
  ASSERT_TRUE(last.program);
  PicMachine m(*last.program);
  m.set_byte("F0", 0x02);
  EXPECT_TRUE(m.run().skipped_past_end);
  m.set_byte("F0", 0x00);
  EXPECT_FALSE(m.run().skipped_past_end);
}

// STATUS bits 7..5 of a baseline part (the wake-up flag and the page select) take what is
// written there, as the mid-range bank bits do, so a routine that changed them is seen.
TEST(BaselineCore, StatusKeepsItsUpperBits) {
  const std::string text = "\tmovlw\tD'-31'\n\tmovwf\tSTATUS\n";
  const ParseOutcome parsed = parse_instructions(text, {}, PicCore::kBaseline);
  ASSERT_TRUE(parsed.program) << parsed.error;
  PicMachine m(*parsed.program);
  m.run();
  EXPECT_EQ(m.status(), 0xF9);
  EXPECT_EQ(m.bank_bits, 0xE0);
}

}  // namespace
}  // namespace tarvek
