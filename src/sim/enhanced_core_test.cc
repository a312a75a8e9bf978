// The enhanced mid-range instructions in the parser and the machine: accepted only in a
// program parsed for that core, and executed with the flag effects of the core's
// instruction-set description (addwfc and subwfb set C, DC and Z; lslf, lsrf and asrf set C
// and Z).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/pic_machine.h"
#include "sim/pic_program.h"

namespace tarvek {
namespace {

TEST(EnhancedCore, ParsesEveryFormOnlyForTheEnhancedCore) {
  struct Case {
    const char* mnemonic;
    PicOp to_w;
    PicOp to_f;
  };
  const Case cases[] = {{"addwfc", PicOp::kAddwfcW, PicOp::kAddwfcF},
                        {"subwfb", PicOp::kSubwfbW, PicOp::kSubwfbF},
                        {"lslf", PicOp::kLslfW, PicOp::kLslfF},
                        {"lsrf", PicOp::kLsrfW, PicOp::kLsrfF},
                        {"asrf", PicOp::kAsrfW, PicOp::kAsrfF}};
  for (const Case& c : cases) {
    for (const char destination : {'w', 'f'}) {
      const std::string text = "\tclrc\n\t" + std::string(c.mnemonic) + "\tB1, " + destination;
      const ParseOutcome enhanced = parse_instructions(text, {"B0", "B1"}, PicCore::kEnhanced);
      ASSERT_TRUE(enhanced.program) << text << ": " << enhanced.error;
      EXPECT_EQ(enhanced.program->core, PicCore::kEnhanced);
      EXPECT_EQ(enhanced.program->instructions[1].op, destination == 'w' ? c.to_w : c.to_f);
      EXPECT_EQ(enhanced.program->instructions[1].operand, 1) << text;
      // Mid-range is the default, and a mid-range part cannot run the instruction.
      EXPECT_EQ(parse_instructions(text, {"B0", "B1"}).error,
                "line 2: \"" + std::string(c.mnemonic) +
                    "\" is an enhanced mid-range instruction, which a mid-range part lacks");
    }
  }
  const std::string block = "\tcblock\n\tA0\n\tendc\n\tmovf\tA0, w\n\tlslf\tA0, f\n";
  EXPECT_FALSE(parse_generated_block(block).program);
  ASSERT_TRUE(parse_generated_block(block, PicCore::kEnhanced).program);
  EXPECT_EQ(parse_generated_block(block, PicCore::kEnhanced).program->instructions.size(), 2u);
}

// One instruction on F0 with the given W and flags; everything it leaves behind. The first
// three subwfb rows are the worked examples of its description.
TEST(EnhancedCore, EachInstructionGivesTheDocumentedResultAndFlags) {
  struct Case {
    const char* name;
    const char* line;
    uint8_t f, w;
    bool c, dc, z;
    uint8_t f_out, w_out;
    bool c_out, dc_out, z_out;
  };
  const Case cases[] = {
      {"addwfc no carry in", "\taddwfc\tF0, f", 0x12, 0x34, 0, 0, 1, 0x46, 0x34, 0, 0, 0},
      {"addwfc carry in", "\taddwfc\tF0, f", 0x12, 0x34, 1, 0, 1, 0x47, 0x34, 0, 0, 0},
      {"addwfc carry completes nibble", "\taddwfc\tF0, f", 0x0F, 0, 1, 0, 0, 0x10, 0, 0, 1, 0},
      {"addwfc carry wraps to zero", "\taddwfc\tF0, f", 0xFF, 0, 1, 0, 0, 0x00, 0, 1, 1, 1},
      {"addwfc full sum", "\taddwfc\tF0, f", 0xFF, 0xFF, 1, 0, 1, 0xFF, 0xFF, 1, 1, 0},
      {"addwfc into W", "\taddwfc\tF0, w", 0x80, 0x7F, 1, 0, 0, 0x80, 0x00, 1, 1, 1},
      {"subwfb no borrow in", "\tsubwfb\tF0, f", 0x19, 0x0D, 1, 0, 1, 0x0C, 0x0D, 1, 0, 0},
      {"subwfb borrow in to zero", "\tsubwfb\tF0, w", 0x1B, 0x1A, 0, 0, 0, 0x1B, 0x00, 1, 1, 1},
      {"subwfb borrow out", "\tsubwfb\tF0, f", 0x03, 0x0E, 1, 1, 1, 0xF5, 0x0E, 0, 0, 0},
      {"subwfb borrow takes nibble", "\tsubwfb\tF0, f", 0x10, 0, 0, 1, 0, 0x0F, 0, 1, 0, 0},
      {"subwfb borrow from zero", "\tsubwfb\tF0, f", 0x00, 0, 0, 1, 1, 0xFF, 0, 0, 0, 0},
      {"lslf", "\tlslf\tF0, f", 0x41, 0, 1, 1, 0, 0x82, 0, 0, 1, 0},
      {"lslf out and zero", "\tlslf\tF0, f", 0x80, 0, 0, 0, 0, 0x00, 0, 1, 0, 1},
      {"lslf into W", "\tlslf\tF0, w", 0xC3, 0, 0, 0, 1, 0xC3, 0x86, 1, 0, 0},
      {"lsrf", "\tlsrf\tF0, f", 0x82, 0, 1, 0, 1, 0x41, 0, 0, 0, 0},
      {"lsrf out and zero", "\tlsrf\tF0, f", 0x01, 0, 0, 1, 0, 0x00, 0, 1, 1, 1},
      {"lsrf into W", "\tlsrf\tF0, w", 0xFF, 0, 1, 0, 1, 0xFF, 0x7F, 1, 0, 0},
      {"asrf keeps bit 7", "\tasrf\tF0, f", 0x81, 0, 0, 0, 1, 0xC0, 0, 1, 0, 0},
      {"asrf positive", "\tasrf\tF0, f", 0x7E, 0, 1, 1, 1, 0x3F, 0, 0, 1, 0},
      {"asrf to zero into W", "\tasrf\tF0, w", 0x01, 0, 0, 0, 0, 0x01, 0, 1, 0, 1},
  };
  for (const Case& c : cases) {
    const ParseOutcome parsed = parse_instructions(c.line, {"F0"}, PicCore::kEnhanced);
    ASSERT_TRUE(parsed.program) << c.name << ": " << parsed.error;
    PicMachine m(*parsed.program);
    m.set_byte("F0", c.f);
    m.w = c.w;
    m.carry = c.c;
    m.digit_carry = c.dc;
    m.zero = c.z;
    EXPECT_EQ(m.run().cycles, 1) << c.name;
    EXPECT_EQ(m.byte("F0"), c.f_out) << c.name;
    EXPECT_EQ(m.w, c.w_out) << c.name;
    EXPECT_EQ(m.carry, c.c_out) << c.name;
    EXPECT_EQ(m.digit_carry, c.dc_out) << c.name;
    EXPECT_EQ(m.zero, c.z_out) << c.name;
  }
}

// The enhanced core has no bank bits in STATUS (they live in BSR): bits 7..5 read 0 whatever
// is written there, where the mid-range core takes them.
TEST(EnhancedCore, StatusHasNoBankBits) {
  const std::string text = "\tmovlw\tD'-31'\n\tmovwf\tSTATUS\n\tmovlw\tD'32'\n\txorwf STATUS, f\n";
  for (const PicCore core : {PicCore::kEnhanced, PicCore::kMidrange}) {
    const ParseOutcome parsed = parse_instructions(text, {}, core);
    ASSERT_TRUE(parsed.program) << parsed.error;
    PicMachine m(*parsed.program);
    m.run();
    // 0xE1 written, then bit 5 toggled back on the mid-range core; C set either way.
    EXPECT_EQ(m.status(), core == PicCore::kEnhanced ? 0x19 : 0xD9);
  }
}

}  // namespace
}  // namespace tarvek
