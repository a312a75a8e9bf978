// The enhanced mid-range instructions in the parser and the machine: accepted only in a
// program parsed for that core, and executed with the flag effects of the core's
// instruction-set description (addwfc and subwfb set C, DC and Z; lslf, lsrf and asrf set C
// and Z). Multi-byte chains of them are checked against integer arithmetic.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "sim/pic_machine.h"
#include "sim/pic_program.h"

namespace tarvek {
namespace {

PicProgram enhanced_program(const std::string& text, const std::vector<std::string>& names) {
  ParseOutcome outcome = parse_instructions(text, names, PicCore::kEnhanced);
  EXPECT_TRUE(outcome.program) << outcome.error;
  return outcome.program ? *outcome.program : PicProgram{};
}

TEST(EnhancedCore, ParsesEveryFormOnlyForTheEnhancedCore) {
  struct Case {
    const char* line;
    PicOp op;
  };
  const Case cases[] = {
      {"\taddwfc\tB1, f", PicOp::kAddwfcF}, {"\taddwfc\tB1, w", PicOp::kAddwfcW},
      {"\tsubwfb\tB1, f", PicOp::kSubwfbF}, {"\tsubwfb\tB1, w", PicOp::kSubwfbW},
      {"\tlslf\tB1, f", PicOp::kLslfF},     {"\tlslf\tB1, w", PicOp::kLslfW},
      {"\tlsrf\tB1, f", PicOp::kLsrfF},     {"\tlsrf\tB1, w", PicOp::kLsrfW},
      {"\tasrf\tB1, f", PicOp::kAsrfF},     {"\tasrf\tB1, w", PicOp::kAsrfW},
  };
  for (const Case& c : cases) {
    const std::string text = std::string("\tclrc\n") + c.line + "\n";
    const ParseOutcome enhanced = parse_instructions(text, {"B0", "B1"}, PicCore::kEnhanced);
    ASSERT_TRUE(enhanced.program) << c.line << ": " << enhanced.error;
    EXPECT_EQ(enhanced.program->core, PicCore::kEnhanced);
    ASSERT_EQ(enhanced.program->instructions.size(), 2u) << c.line;
    EXPECT_EQ(enhanced.program->instructions[1].op, c.op) << c.line;
    EXPECT_EQ(enhanced.program->instructions[1].operand, 1) << c.line;

    // Mid-range is the default, and a mid-range part cannot run the instruction.
    const std::string mnemonic =
        std::string(c.line).substr(1, std::string(c.line).find('\t', 1) - 1);
    const std::string refusal = "line 2: \"" + mnemonic +
                                "\" is an enhanced mid-range instruction, which a mid-range "
                                "part lacks";
    EXPECT_EQ(parse_instructions(text, {"B0", "B1"}).error, refusal) << c.line;
    EXPECT_EQ(parse_instructions(text, {"B0", "B1"}, PicCore::kMidrange).error, refusal);
  }
  // A whole block is parsed for its core too; the mid-range forms stay accepted.
  const std::string block = "; c\n\tcblock\n\tA0\n\tendc\n\tmovf\tA0, w\n\tlslf\tA0, f\n";
  EXPECT_EQ(parse_generated_block(block).error,
            "line 6: \"lslf\" is an enhanced mid-range instruction, which a mid-range part lacks");
  const ParseOutcome parsed = parse_generated_block(block, PicCore::kEnhanced);
  ASSERT_TRUE(parsed.program) << parsed.error;
  EXPECT_EQ(parsed.program->core, PicCore::kEnhanced);
  EXPECT_EQ(parsed.program->instructions.size(), 2u);
  EXPECT_EQ(parse_generated_block(block.substr(0, block.find("\tlslf"))).program->core,
            PicCore::kMidrange);
}

// One instruction on F0 with the given W and flags; everything it leaves behind.
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
      {"addwfc carry in completes the nibble", "\taddwfc\tF0, f", 0x0F, 0x00, 1, 0, 0, 0x10, 0x00,
       0, 1, 0},
      {"addwfc carry in wraps to zero", "\taddwfc\tF0, f", 0xFF, 0x00, 1, 0, 0, 0x00, 0x00, 1, 1,
       1},
      {"addwfc carry in on a full sum", "\taddwfc\tF0, f", 0xFF, 0xFF, 1, 0, 1, 0xFF, 0xFF, 1, 1,
       0},
      {"addwfc into W", "\taddwfc\tF0, w", 0x80, 0x7F, 1, 0, 0, 0x80, 0x00, 1, 1, 1},
      {"subwfb no borrow in", "\tsubwfb\tF0, f", 0x19, 0x0D, 1, 0, 1, 0x0C, 0x0D, 1, 0, 0},
      {"subwfb borrow in gives zero", "\tsubwfb\tF0, w", 0x1B, 0x1A, 0, 0, 0, 0x1B, 0x00, 1, 1, 1},
      {"subwfb borrow out", "\tsubwfb\tF0, f", 0x03, 0x0E, 1, 1, 1, 0xF5, 0x0E, 0, 0, 0},
      {"subwfb borrow in takes the nibble", "\tsubwfb\tF0, f", 0x10, 0x00, 0, 1, 0, 0x0F, 0x00, 1,
       0, 0},
      {"subwfb borrow in from zero", "\tsubwfb\tF0, f", 0x00, 0x00, 0, 1, 1, 0xFF, 0x00, 0, 0, 0},
      {"subwfb equal, no borrow in", "\tsubwfb\tF0, f", 0xA5, 0xA5, 1, 0, 0, 0x00, 0xA5, 1, 1, 1},
      {"lslf", "\tlslf\tF0, f", 0x41, 0x00, 1, 1, 0, 0x82, 0x00, 0, 1, 0},
      {"lslf out and zero", "\tlslf\tF0, f", 0x80, 0x00, 0, 0, 0, 0x00, 0x00, 1, 0, 1},
      {"lslf into W", "\tlslf\tF0, w", 0xC3, 0x00, 0, 0, 1, 0xC3, 0x86, 1, 0, 0},
      {"lsrf", "\tlsrf\tF0, f", 0x82, 0x00, 1, 0, 1, 0x41, 0x00, 0, 0, 0},
      {"lsrf out and zero", "\tlsrf\tF0, f", 0x01, 0x00, 0, 1, 0, 0x00, 0x00, 1, 1, 1},
      {"lsrf into W", "\tlsrf\tF0, w", 0xFF, 0x00, 1, 0, 1, 0xFF, 0x7F, 1, 0, 0},
      {"asrf keeps bit 7", "\tasrf\tF0, f", 0x81, 0x00, 0, 0, 1, 0xC0, 0x00, 1, 0, 0},
      {"asrf positive", "\tasrf\tF0, f", 0x7E, 0x00, 1, 1, 1, 0x3F, 0x00, 0, 1, 0},
      {"asrf to zero", "\tasrf\tF0, w", 0x01, 0x00, 0, 0, 0, 0x01, 0x00, 1, 0, 1},
      {"asrf of -1", "\tasrf\tF0, f", 0xFF, 0x00, 0, 0, 1, 0xFF, 0x00, 1, 0, 0},
  };
  for (const Case& c : cases) {
    const PicProgram program = enhanced_program(std::string(c.line) + "\n", {"F0"});
    PicMachine m(program);
    m.set_byte("F0", c.f);
    m.w = c.w;
    m.carry = c.c;
    m.digit_carry = c.dc;
    m.zero = c.z;
    const RunStats stats = m.run();
    EXPECT_EQ(m.byte("F0"), c.f_out) << c.name;
    EXPECT_EQ(m.w, c.w_out) << c.name;
    EXPECT_EQ(m.carry, c.c_out) << c.name;
    EXPECT_EQ(m.digit_carry, c.dc_out) << c.name;
    EXPECT_EQ(m.zero, c.z_out) << c.name;
    EXPECT_EQ(stats.cycles, 1) << c.name;
  }
}

// Three-byte chains, little-endian (byte 0 low), as the generator writes them: an addition
// and a subtraction carried by addwfc and subwfb, and the three shifts.
TEST(EnhancedCore, MultiByteChainsMatchIntegerArithmetic) {
  const std::vector<std::string> names = {"A0", "A1", "A2", "T0", "T1", "T2"};
  const PicProgram add = enhanced_program(
      "\tmovf\tT0, w\n\taddwf\tA0, f\n\tmovf\tT1, w\n\taddwfc\tA1, f\n\tmovf\tT2, w\n"
      "\taddwfc\tA2, f\n",
      names);
  const PicProgram subtract = enhanced_program(
      "\tmovf\tT0, w\n\tsubwf\tA0, f\n\tmovf\tT1, w\n\tsubwfb\tA1, f\n\tmovf\tT2, w\n"
      "\tsubwfb\tA2, f\n",
      names);
  const PicProgram left = enhanced_program("\tlslf\tA0, f\n\trlf\tA1, f\n\trlf\tA2, f\n", names);
  const PicProgram right = enhanced_program("\tlsrf\tA2, f\n\trrf\tA1, f\n\trrf\tA0, f\n", names);
  const PicProgram arithmetic =
      enhanced_program("\tasrf\tA2, f\n\trrf\tA1, f\n\trrf\tA0, f\n", names);
  std::vector<uint32_t> values = {0, 1, 0xFF, 0x100, 0xFFFF, 0x10000, 0x7FFFFF, 0x800000, 0xFFFFFF};
  std::mt19937 random(3);
  for (int i = 0; i < 150; ++i) values.push_back(random() & 0xFFFFFF);
  for (const uint32_t a : values) {
    for (const uint32_t t : values) {
      PicMachine m(add);
      m.fill(a ^ (t << 3));
      m.write_value("A", 3, true, a);
      m.write_value("T", 3, true, t);
      m.run();
      ASSERT_EQ(m.read_value("A", 3, true), (a + t) & 0xFFFFFF) << a << " + " << t;
      ASSERT_EQ(m.carry, a + t > 0xFFFFFF) << a << " + " << t;

      PicMachine s(subtract);
      s.fill(a ^ (t << 5));
      s.write_value("A", 3, true, a);
      s.write_value("T", 3, true, t);
      s.run();
      ASSERT_EQ(s.read_value("A", 3, true), (a - t) & 0xFFFFFF) << a << " - " << t;
      ASSERT_EQ(s.carry, a >= t) << a << " - " << t;                    // no borrow
      ASSERT_EQ(s.zero, ((a - t) & 0xFF0000) == 0) << a << " - " << t;  // of the top byte
    }
    for (const bool c : {false, true}) {
      PicMachine l(left);
      l.write_value("A", 3, true, a);
      l.carry = c;  // lslf takes no carry in
      l.run();
      ASSERT_EQ(l.read_value("A", 3, true), (a << 1) & 0xFFFFFF) << a;
      ASSERT_EQ(l.carry, (a >> 23) != 0) << a;

      PicMachine r(right);
      r.write_value("A", 3, true, a);
      r.carry = c;
      r.run();
      ASSERT_EQ(r.read_value("A", 3, true), a >> 1) << a;
      ASSERT_EQ(r.carry, (a & 1) != 0) << a;

      PicMachine s(arithmetic);
      s.write_value("A", 3, true, a);
      s.carry = c;
      s.run();
      const int32_t signed_value = static_cast<int32_t>(a << 8) >> 8;
      ASSERT_EQ(s.read_value("A", 3, true), static_cast<uint32_t>(signed_value >> 1) & 0xFFFFFF)
          << a;
      ASSERT_EQ(s.carry, (a & 1) != 0) << a;
    }
  }
}

// The enhanced core has no bank bits in STATUS (they live in BSR): bits 7..5 read 0 whatever
// is written there, while C, DC and Z behave as on the mid-range core.
TEST(EnhancedCore, StatusHasNoBankBits) {
  const std::string text = "\tmovlw\tD'-31'\n\tmovwf\tSTATUS\n\tmovlw\tD'32'\n\txorwf STATUS, f\n";
  const PicProgram enhanced = enhanced_program(text, {});
  PicMachine e(enhanced);
  e.run();
  EXPECT_EQ(e.bank_bits, 0);
  EXPECT_TRUE(e.carry);
  EXPECT_EQ(e.status(), 0x19);

  const ParseOutcome midrange = parse_instructions(text, {});
  ASSERT_TRUE(midrange.program) << midrange.error;
  PicMachine m(*midrange.program);
  m.run();
  EXPECT_EQ(m.bank_bits, 0xC0);  // 0xE0 written, then bit 5 toggled back
  EXPECT_EQ(m.status(), 0xD9);
}

}  // namespace
}  // namespace tarvek
