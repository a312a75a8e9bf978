#include "sim/pic_machine.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "sim/pic_program.h"

namespace tarvek {
namespace {

PicProgram parse_or_die(const std::string& text, const std::vector<std::string>& names) {
  ParseOutcome outcome = parse_instructions(text, names);
  EXPECT_TRUE(outcome.program) << outcome.error;
  return outcome.program ? *outcome.program : PicProgram{};
}

// One instruction on F0 (and W, C, Z), followed by "incf N0, f", which tells whether the
// instruction skipped.
TEST(PicMachine, EachInstructionGivesTheDocumentedResultAndFlags) {
  struct Case {
    const char* name;
    const char* line;
    uint8_t f, w;
    bool c, z;
    // Expected afterwards.
    uint8_t f_out, w_out;
    bool c_out, z_out, skipped;
  };
  const Case cases[] = {
      {"movwf", "\tmovwf\tF0", 0x11, 0xA5, 1, 1, 0xA5, 0xA5, 1, 1, 0},
      {"movf w", "\tmovf\tF0, w", 0x80, 0x00, 0, 1, 0x80, 0x80, 0, 0, 0},
      {"movf w zero", "\tmovf\tF0, w", 0x00, 0x12, 1, 0, 0x00, 0x00, 1, 1, 0},
      {"movf f sets Z", "\tmovf\tF0, f", 0x00, 0x12, 0, 0, 0x00, 0x12, 0, 1, 0},
      {"movf f clears Z", "\tmovf\tF0, f", 0x01, 0x12, 0, 1, 0x01, 0x12, 0, 0, 0},
      {"movlw no flags", "\tmovlw\t0", 0x01, 0x12, 1, 0, 0x01, 0x00, 1, 0, 0},
      {"movlw -16", "\tmovlw\tD'-16'", 0x01, 0x12, 0, 1, 0x01, 0xF0, 0, 1, 0},
      {"andlw", "\tandlw\tD'15'", 0x00, 0xA7, 1, 1, 0x00, 0x07, 1, 0, 0},
      {"addlw carries out", "\taddlw\tD'-7'", 0x00, 0x09, 0, 1, 0x00, 0x02, 1, 0, 0},
      {"addlw no carry", "\taddlw\tD'-7'", 0x00, 0x06, 1, 1, 0x00, 0xFF, 0, 0, 0},
      {"addlw wraps to zero", "\taddlw\tD'-7'", 0x00, 0x07, 0, 0, 0x00, 0x00, 1, 1, 0},
      {"andlw zero", "\tandlw\tD'-16'", 0x00, 0x0F, 0, 0, 0x00, 0x00, 0, 1, 0},
      {"iorlw", "\tiorlw\tD'16'", 0x00, 0x00, 0, 1, 0x00, 0x10, 0, 0, 0},
      {"iorlw zero", "\tiorlw\t0", 0x00, 0x00, 1, 0, 0x00, 0x00, 1, 1, 0},
      {"clrf", "\tclrf\tF0", 0x5A, 0x12, 1, 0, 0x00, 0x12, 1, 1, 0},
      {"swapf w", "\tswapf\tF0, w", 0x00, 0x12, 0, 0, 0x00, 0x00, 0, 0, 0},
      {"swapf w keeps Z", "\tswapf\tF0, w", 0x3C, 0x12, 1, 1, 0x3C, 0xC3, 1, 1, 0},
      {"swapf f", "\tswapf\tF0, f", 0xA5, 0x12, 0, 0, 0x5A, 0x12, 0, 0, 0},
      {"btfsc bit set", "\tbtfsc\tF0, 7", 0x80, 0x00, 0, 0, 0x80, 0x00, 0, 0, 0},
      {"btfsc bit clear", "\tbtfsc\tF0, 7", 0x7F, 0x00, 0, 0, 0x7F, 0x00, 0, 0, 1},
      {"btfsc bit 0 clear", "\tbtfsc\tF0, 0", 0xFE, 0x00, 1, 1, 0xFE, 0x00, 1, 1, 1},
      {"btfss bit set", "\tbtfss\tF0, 7", 0x80, 0x00, 0, 0, 0x80, 0x00, 0, 0, 1},
      {"btfss bit clear", "\tbtfss\tF0, 7", 0x7F, 0x00, 1, 1, 0x7F, 0x00, 1, 1, 0},
      {"btfss bit 0 set", "\tbtfss\tF0, 0", 0x01, 0x00, 0, 1, 0x01, 0x00, 0, 1, 1},
      {"bsf", "\tbsf\tF0, 4", 0x01, 0x00, 0, 1, 0x11, 0x00, 0, 1, 0},
      {"comf f", "\tcomf\tF0, f", 0xF0, 0x00, 1, 1, 0x0F, 0x00, 1, 0, 0},
      {"comf f zero", "\tcomf\tF0, f", 0xFF, 0x00, 0, 0, 0x00, 0x00, 0, 1, 0},
      {"comf w", "\tcomf\tF0, w", 0x01, 0x00, 0, 0, 0x01, 0xFE, 0, 0, 0},
      {"rlf f carry in", "\trlf\tF0, f", 0x40, 0x00, 1, 0, 0x81, 0x00, 0, 0, 0},
      {"rlf f carry out", "\trlf\tF0, f", 0x80, 0x00, 0, 0, 0x00, 0x00, 1, 0, 0},
      {"rlf keeps Z", "\trlf\tF0, f", 0x80, 0x00, 0, 1, 0x00, 0x00, 1, 1, 0},
      {"rlf w", "\trlf\tF0, w", 0xC3, 0x00, 1, 0, 0xC3, 0x87, 1, 0, 0},
      {"rrf f carry in", "\trrf\tF0, f", 0x02, 0x00, 1, 0, 0x81, 0x00, 0, 0, 0},
      {"rrf f carry out", "\trrf\tF0, f", 0x01, 0x00, 0, 0, 0x00, 0x00, 1, 0, 0},
      {"rrf w", "\trrf\tF0, w", 0x03, 0x00, 0, 1, 0x03, 0x01, 1, 1, 0},
      {"addwf no carry", "\taddwf\tF0, f", 0x12, 0x34, 1, 1, 0x46, 0x34, 0, 0, 0},
      {"addwf carry", "\taddwf\tF0, f", 0xF0, 0x20, 0, 0, 0x10, 0x20, 1, 0, 0},
      {"addwf carry zero", "\taddwf\tF0, f", 0x80, 0x80, 0, 0, 0x00, 0x80, 1, 1, 0},
      {"addwf w", "\taddwf\tF0, w", 0xFF, 0x01, 0, 0, 0xFF, 0x00, 1, 1, 0},
      {"subwf no borrow", "\tsubwf\tF0, f", 0x05, 0x03, 0, 1, 0x02, 0x03, 1, 0, 0},
      {"subwf equal", "\tsubwf\tF0, f", 0x05, 0x05, 0, 0, 0x00, 0x05, 1, 1, 0},
      {"subwf borrow", "\tsubwf\tF0, f", 0x03, 0x05, 1, 1, 0xFE, 0x05, 0, 0, 0},
      {"subwf from zero", "\tsubwf\tF0, f", 0x00, 0x01, 1, 0, 0xFF, 0x01, 0, 0, 0},
      {"subwf zero W", "\tsubwf\tF0, f", 0x00, 0x00, 0, 0, 0x00, 0x00, 1, 1, 0},
      {"iorwf", "\tiorwf\tF0, f", 0x50, 0x05, 1, 1, 0x55, 0x05, 1, 0, 0},
      {"iorwf zero", "\tiorwf\tF0, f", 0x00, 0x00, 0, 0, 0x00, 0x00, 0, 1, 0},
      {"xorwf f", "\txorwf\tF0, f", 0x5A, 0xFF, 1, 1, 0xA5, 0xFF, 1, 0, 0},
      {"xorwf f zero", "\txorwf\tF0, f", 0x3C, 0x3C, 0, 0, 0x00, 0x3C, 0, 1, 0},
      {"xorwf w", "\txorwf\tF0, w", 0x0F, 0xF0, 0, 1, 0x0F, 0xFF, 0, 0, 0},
      {"subwf w keeps f", "\tsubwf\tF0, w", 0x0A, 0x0A, 0, 0, 0x0A, 0x00, 1, 1, 0},
      {"incf", "\tincf\tF0, f", 0x7F, 0x00, 0, 1, 0x80, 0x00, 0, 0, 0},
      {"incf wraps, C untouched", "\tincf\tF0, f", 0xFF, 0x00, 0, 0, 0x00, 0x00, 0, 1, 0},
      {"incfsz w", "\tincfsz\tF0, w", 0x41, 0x00, 1, 1, 0x41, 0x42, 1, 1, 0},
      {"incfsz w wraps and skips", "\tincfsz\tF0, w", 0xFF, 0x12, 0, 0, 0xFF, 0x00, 0, 0, 1},
      {"incfsz f wraps", "\tincfsz\tF0, f", 0xFF, 0x12, 1, 0, 0x00, 0x12, 1, 0, 1},
      {"clrc", "\tclrc", 0x00, 0x00, 1, 1, 0x00, 0x00, 0, 1, 0},
      {"skpc when set", "\tskpc", 0x00, 0x00, 1, 0, 0x00, 0x00, 1, 0, 1},
      {"skpc when clear", "\tskpc", 0x00, 0x00, 0, 1, 0x00, 0x00, 0, 1, 0},
      {"skpnc when clear", "\tskpnc", 0x00, 0x00, 0, 0, 0x00, 0x00, 0, 0, 1},
      {"skpnc when set", "\tskpnc", 0x00, 0x00, 1, 0, 0x00, 0x00, 1, 0, 0},
      {"skpnz when Z clear", "\tskpnz", 0x00, 0x00, 0, 0, 0x00, 0x00, 0, 0, 1},
      {"skpnz when Z set", "\tskpnz", 0x00, 0x00, 0, 1, 0x00, 0x00, 0, 1, 0},
  };
  for (const Case& c : cases) {
    const PicProgram program =
        parse_or_die(std::string(c.line) + "\n\tincf\tN0, f\n", {"F0", "N0"});
    PicMachine m(program);
    m.set_byte("F0", c.f);
    m.set_byte("N0", 0x10);
    m.w = c.w;
    m.carry = c.c;
    m.zero = c.z;
    const RunStats stats = m.run();
    EXPECT_EQ(m.byte("F0"), c.f_out) << c.name;
    EXPECT_EQ(m.w, c.w_out) << c.name;
    EXPECT_EQ(m.carry, c.c_out) << c.name;
    // The trailing incf sets Z from N0, so Z is checked only when it was skipped.
    if (c.skipped) {
      EXPECT_EQ(m.zero, c.z_out) << c.name;
    }
    EXPECT_EQ(m.byte("N0"), c.skipped ? 0x10 : 0x11) << c.name;
    EXPECT_EQ(stats.instructions, c.skipped ? 1 : 2) << c.name;
    EXPECT_EQ(stats.cycles, 2) << c.name;
    EXPECT_FALSE(stats.skipped_past_end) << c.name;
  }
  // Z after the instruction itself, without the trailing incf.
  for (const Case& c : cases) {
    const PicProgram program = parse_or_die(std::string(c.line) + "\n", {"F0"});
    PicMachine m(program);
    m.set_byte("F0", c.f);
    m.w = c.w;
    m.carry = c.c;
    m.zero = c.z;
    m.run();
    EXPECT_EQ(m.zero, c.z_out) << c.name;
  }
}

TEST(PicMachine, DigitCarryOfAddAndSubtract) {
  const PicProgram add = parse_or_die("\taddwf\tF0, f\n", {"F0"});
  PicMachine m(add);
  m.set_byte("F0", 0x0F);
  m.w = 0x01;
  m.run();
  EXPECT_TRUE(m.digit_carry);
  m.set_byte("F0", 0x0E);
  m.run();
  EXPECT_FALSE(m.digit_carry);

  const PicProgram add_literal = parse_or_die("\taddlw\tD'9'\n", {});
  PicMachine literal(add_literal);
  literal.w = 0x07;
  literal.run();
  EXPECT_TRUE(literal.digit_carry);
  literal.w = 0x06;
  literal.run();
  EXPECT_FALSE(literal.digit_carry);

  const PicProgram sub = parse_or_die("\tsubwf\tF0, f\n", {"F0"});
  PicMachine s(sub);
  s.set_byte("F0", 0x10);
  s.w = 0x01;
  s.run();
  EXPECT_FALSE(s.digit_carry);  // borrow from the high nibble
  s.set_byte("F0", 0x11);
  s.run();
  EXPECT_TRUE(s.digit_carry);
}

// "xorwf STATUS, f" affects Z, so C and DC are not written (nor TO, PD): C is NOT inverted.
TEST(PicMachine, XorwfStatusCannotWriteTheArithmeticFlags) {
  const PicProgram program = parse_or_die("\tmovlw\t1\n\txorwf STATUS, f\n", {});
  for (const bool c : {false, true}) {
    PicMachine m(program);
    m.carry = c;
    m.zero = true;
    m.run();
    EXPECT_EQ(m.carry, c);
    EXPECT_FALSE(m.zero);  // STATUS ^ 1 keeps TO and PD, so the result is never 0
    EXPECT_EQ(m.bank_bits, 0);
    EXPECT_EQ(m.status(), 0x18 | (c ? 1 : 0));
  }
  // The bank bits take the result; Z is set when the whole result is 0.
  const PicProgram bank = parse_or_die("\tmovlw\tD'32'\n\txorwf STATUS, f\n", {});
  PicMachine b(bank);
  b.run();
  EXPECT_EQ(b.bank_bits, 0x20);
  EXPECT_EQ(b.status(), 0x38);

  const PicProgram to_zero = parse_or_die("\txorwf STATUS, f\n", {});
  PicMachine z(to_zero);
  z.carry = true;
  z.digit_carry = true;
  z.w = 0x1B;  // equal to STATUS: TO, PD, DC, C
  z.run();
  EXPECT_TRUE(z.zero);
  EXPECT_TRUE(z.carry);
  EXPECT_TRUE(z.digit_carry);
}

// Reading STATUS into W and writing it back with movwf (which affects no flag) inverts C and
// leaves Z, DC and the bank bits as they were.
TEST(PicMachine, CarryInversionThroughWKeepsTheOtherFlags) {
  const PicProgram program = parse_or_die("\tmovlw\t1\n\txorwf\tSTATUS, w\n\tmovwf\tSTATUS\n", {});
  for (int flags = 0; flags < 8; ++flags) {
    PicMachine m(program);
    m.carry = (flags & 1) != 0;
    m.digit_carry = (flags & 2) != 0;
    m.zero = (flags & 4) != 0;
    m.bank_bits = 0x20;
    const uint8_t before = m.status();
    m.run();
    EXPECT_EQ(m.status(), before ^ 1) << "flags " << flags;
    EXPECT_EQ(m.w, before ^ 1) << "flags " << flags;
  }
}

// A 16-bit addition A += T (big-endian, byte 0 high) in the idiom the generator uses; the
// carry out of the top byte must end in C.
TEST(PicMachine, MultiByteAddIdiomMatchesIntegerArithmetic) {
  const PicProgram program = parse_or_die(
      "\tmovf\tT1, w\n\taddwf\tA1, f\n\tmovf\tT0, w\n\tskpnc\n\tincfsz\tT0, w\n\taddwf\tA0, f\n",
      {"A0", "A1", "T0", "T1"});
  std::vector<uint32_t> values = {0,      1,      0xFF,   0x100,  0x1FF, 0x7FFF,
                                  0x8000, 0xFF00, 0xFF01, 0xFFFE, 0xFFFF};
  std::mt19937 random(7);
  for (int i = 0; i < 300; ++i) values.push_back(random() & 0xFFFF);
  PicMachine m(program);
  for (const uint32_t a : values) {
    for (const uint32_t t : values) {
      m.fill(a * 65536 + t);
      m.write_value("A", 2, false, a);
      m.write_value("T", 2, false, t);
      const RunStats stats = m.run();
      ASSERT_EQ(m.read_value("A", 2, false), (a + t) & 0xFFFF) << a << " + " << t;
      ASSERT_EQ(m.carry, a + t > 0xFFFF) << a << " + " << t;
      ASSERT_EQ(m.read_value("T", 2, false), t);
      ASSERT_EQ(stats.cycles, 6);
      ASSERT_EQ(stats.instructions, (a & 0xFF) + (t & 0xFF) > 0xFF ? 5 + ((t >> 8) != 0xFF) : 5);
    }
  }
}

// rlf through three bytes multiplies by two and shifts C in at the bottom and out at the top;
// rrf the other way round.
TEST(PicMachine, RotateChainsGoThroughTheCarry) {
  const PicProgram left =
      parse_or_die("\trlf\tR2, f\n\trlf\tR1, f\n\trlf\tR0, f\n", {"R0", "R1", "R2"});
  const PicProgram right =
      parse_or_die("\trrf\tR0, f\n\trrf\tR1, f\n\trrf\tR2, f\n", {"R0", "R1", "R2"});
  std::mt19937 random(11);
  for (int i = 0; i < 2000; ++i) {
    const uint32_t v = random() & 0xFFFFFF;
    const bool c = (i & 1) != 0;
    PicMachine l(left);
    l.write_value("R", 3, false, v);
    l.carry = c;
    l.run();
    ASSERT_EQ(l.read_value("R", 3, false), ((v << 1) | c) & 0xFFFFFF);
    ASSERT_EQ(l.carry, (v >> 23) != 0);

    PicMachine r(right);
    r.write_value("R", 3, false, v);
    r.carry = c;
    r.run();
    ASSERT_EQ(r.read_value("R", 3, false), (v >> 1) | (uint32_t{c} << 23));
    ASSERT_EQ(r.carry, (v & 1) != 0);
  }
}

TEST(PicMachine, CountsSkippedInstructionsAsCycles) {
  // skpc skips (C set), skpnc does not, btfsc skips (bit clear): 8 lines, 2 skipped.
  const PicProgram program = parse_or_die(
      "\tskpc\n\tincf\tX0, f\n\tskpnc\n\tincf\tX0, f\n\tbtfsc\tX0, 7\n\tincf\tX0, f\n"
      "\tincf\tX0, f\n\tclrc\n",
      {"X0"});
  PicMachine m(program);
  m.carry = true;
  const RunStats stats = m.run();
  EXPECT_EQ(m.byte("X0"), 2);
  EXPECT_EQ(stats.instructions, 6);
  EXPECT_EQ(stats.cycles, 8);
  EXPECT_FALSE(stats.skipped_past_end);
  EXPECT_FALSE(m.carry);
}

TEST(PicMachine, ASkipOnTheLastLineEndsTheRunAndIsReported) {
  const PicProgram program = parse_or_die("\tincf\tX0, f\n\tskpnz\n", {"X0"});
  PicMachine m(program);
  RunStats stats = m.run();  // X0 becomes 1: Z clear, the skip is taken
  EXPECT_TRUE(stats.skipped_past_end);
  EXPECT_EQ(stats.instructions, 2);
  EXPECT_EQ(stats.cycles, 2);
  m.set_byte("X0", 0xFF);
  stats = m.run();  // X0 becomes 0: no skip
  EXPECT_FALSE(stats.skipped_past_end);
}

TEST(PicMachine, AnEmptyProgramDoesNothing) {
  const PicProgram program = parse_or_die("", {"X0"});
  PicMachine m(program);
  m.fill(3);
  const uint8_t x = m.byte("X0");
  const RunStats stats = m.run();
  EXPECT_EQ(stats.instructions, 0);
  EXPECT_EQ(stats.cycles, 0);
  EXPECT_EQ(m.byte("X0"), x);
}

TEST(PicMachine, WritesAndReadsValuesInBothByteOrders) {
  const PicProgram program = parse_or_die("", {"V2", "V0", "V1", "U0"});
  PicMachine m(program);
  m.write_value("V", 3, true, 0x123456);
  EXPECT_EQ(m.byte("V0"), 0x56);
  EXPECT_EQ(m.byte("V1"), 0x34);
  EXPECT_EQ(m.byte("V2"), 0x12);
  EXPECT_EQ(m.read_value("V", 3, true), 0x123456u);
  EXPECT_EQ(m.read_value("V", 3, false), 0x563412u);
  m.write_value("V", 3, false, 0xABCDEF01);  // bits above 24 are dropped
  EXPECT_EQ(m.byte("V0"), 0xCD);
  EXPECT_EQ(m.byte("V2"), 0x01);
  EXPECT_EQ(m.read_value("V", 2, false), 0xCDEFu);
  EXPECT_TRUE(m.has_byte("U0"));
  EXPECT_FALSE(m.has_byte("V3"));
}

TEST(PicMachine, FillIsReproducibleAndCoversEveryByte) {
  std::vector<std::string> names;
  for (int i = 0; i < 16; ++i) names.push_back(std::string("B").append(std::to_string(i)));
  const PicProgram program = parse_or_die("", names);
  PicMachine a(program), b(program), c(program);
  a.fill(42);
  b.fill(42);
  c.fill(43);
  bool differs = false;
  int nonzero = 0;
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(a.byte_at(i), b.byte_at(i));
    differs = differs || a.byte_at(i) != c.byte_at(i);
    nonzero += a.byte_at(i) != 0;
  }
  EXPECT_TRUE(differs);
  EXPECT_GT(nonzero, 8);
  EXPECT_EQ(a.w, b.w);
  EXPECT_EQ(a.carry, b.carry);
  EXPECT_EQ(a.bank_bits, 0);
  // Over many seeds both flag values occur.
  int carries = 0;
  for (uint64_t seed = 0; seed < 64; ++seed) {
    a.fill(seed);
    carries += a.carry;
  }
  EXPECT_GT(carries, 0);
  EXPECT_LT(carries, 64);
}

}  // namespace
}  // namespace tarvek
