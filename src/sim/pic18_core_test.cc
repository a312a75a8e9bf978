// The PIC18 core in the parser and the machine: its instruction names (rlcf, rrcf, mullw,
// mulwf, bra) accepted only in a program parsed for it and the PIC16 ones it lacks refused, its
// own registers WREG, PRODL and PRODH named without a declaration, and each instruction's
// result and flags as the PIC18 instruction-set description gives them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/pic_machine.h"
#include "sim/pic_program.h"

namespace tarvek {
namespace {

const std::vector<std::string> kTwo = {"B0", "B1"};

TEST(Pic18Core, ParsesItsFormsAndNamesItsOwnRegistersPastTheDeclaredBytes) {
  struct Case {
    const char* line;
    PicOp op;
    uint16_t operand;
  };
  // WREG, PRODL and PRODH follow the two declared bytes.
  const Case cases[] = {
      {"\trlcf\tB1, w", PicOp::kRlcfW, 1},
      {"\trlcf\tB0, f", PicOp::kRlcfF, 0},
      {"\trrcf\tB1, w", PicOp::kRrcfW, 1},
      {"\trrcf\tB1, f", PicOp::kRrcfF, 1},
      {"\tmullw\t7", PicOp::kMullw, 7},
      {"\tmullw\tD'-3'", PicOp::kMullw, 0xFD},
      {"\tmullw\t0xA5", PicOp::kMullw, 0xA5},
      {"\tmulwf\tB1", PicOp::kMulwf, 1},
      {"\tmulwf\tPRODH", PicOp::kMulwf, 4},
      {"\tclrf\tWREG", PicOp::kClrf, 2},
      {"\tmovf\tPRODL, w", PicOp::kMovfW, 3},
      {"\taddwf\tPRODH, f", PicOp::kAddwfF, 4},
      {"\tmovwf\tPRODL", PicOp::kMovwf, 3},
      {"\tbtfsc\tWREG, 7", PicOp::kBtfsc, 2},
      {"\taddwfc\tB0, f", PicOp::kAddwfcF, 0},
      {"\tsubwfb\tB1, w", PicOp::kSubwfbW, 1},
      {"\tincf\tB0, f", PicOp::kIncfF, 0},
      {"\tdecf\tB1, w", PicOp::kDecfW, 1},
      {"\taddlw\t0xF6", PicOp::kAddlw, 0xF6},
      {"\tandwf\tB0, w", PicOp::kAndwfW, 0},
      {"\txorwf STATUS, f", PicOp::kXorwfStatus, 0},
      {"\tmovwf\tSTATUS", PicOp::kMovwfStatus, 0},
      {"\tbtfsc\tSTATUS, 2", PicOp::kSkpnz, 0},
      {"\tsetc", PicOp::kSetc, 0},
  };
  for (const Case& c : cases) {
    const ParseOutcome parsed = parse_instructions(c.line, kTwo, PicCore::kPic18);
    ASSERT_TRUE(parsed.program) << c.line << ": " << parsed.error;
    EXPECT_EQ(parsed.program->instructions[0].op, c.op) << c.line;
    EXPECT_EQ(parsed.program->instructions[0].operand, c.operand) << c.line;
    // Never taken for a byte of the routine.
    EXPECT_EQ(parsed.program->byte_names, kTwo) << c.line;
    EXPECT_EQ(parsed.program->index_of("PRODL"), -1) << c.line;
    // The lanes have PIC16 flags: a PIC18 program always runs on PicMachine.
    EXPECT_FALSE(parsed.program->straight_line) << c.line;
  }
  const ParseOutcome jump =
      parse_instructions("\tbra\tout\n\tclrf\tB0\nout\n", kTwo, PicCore::kPic18);
  ASSERT_TRUE(jump.program) << jump.error;
  EXPECT_EQ(jump.program->instructions[0].op, PicOp::kBra);
  EXPECT_EQ(jump.program->instructions[0].operand, 2);
}

TEST(Pic18Core, RefusesWhatItsCoreLacksAndItsRegistersElsewhere) {
  struct Case {
    const char* line;
    PicCore core;
    const char* error;
  };
  const Case cases[] = {
      {"\trlf\tB0, f", PicCore::kPic18,
       "line 1: \"rlf\" is a mid-range instruction, which a PIC18 part lacks"},
      {"\trrf\tB0, w", PicCore::kPic18,
       "line 1: \"rrf\" is a mid-range instruction, which a PIC18 part lacks"},
      {"\tclrw", PicCore::kPic18,
       "line 1: \"clrw\" is a mid-range instruction, which a PIC18 part lacks"},
      {"\tlslf\tB0, f", PicCore::kPic18,
       "line 1: \"lslf\" is an enhanced mid-range instruction, which a PIC18 part lacks"},
      {"\tlsrf\tB0, w", PicCore::kPic18,
       "line 1: \"lsrf\" is an enhanced mid-range instruction, which a PIC18 part lacks"},
      {"\tasrf\tB0, f", PicCore::kPic18,
       "line 1: \"asrf\" is an enhanced mid-range instruction, which a PIC18 part lacks"},
      {"\tclrf\twreg", PicCore::kPic18, "line 1: register byte \"wreg\" is not declared"},
      {"\tclrw", PicCore::kMidrange, "line 1: unknown mnemonic \"clrw\""},
      {"\tclrf\tWREG", PicCore::kMidrange, "line 1: register byte \"WREG\" is not declared"},
      {"\tmovf\tPRODL, w", PicCore::kEnhanced, "line 1: register byte \"PRODL\" is not declared"},
      {"\tmullw\t3", PicCore::kMidrange,
       "line 1: \"mullw\" is a PIC18 instruction, which a mid-range part lacks"},
      {"\trlcf\tB0, f", PicCore::kEnhanced,
       "line 1: \"rlcf\" is a PIC18 instruction, which an enhanced mid-range part lacks"},
      {"\tmulwf\tB0", PicCore::kBaseline,
       "line 1: \"mulwf\" is a PIC18 instruction, which a baseline part lacks"},
      {"x\n\tbra\tx", PicCore::kMidrange,
       "line 2: \"bra\" is a PIC18 instruction, which a mid-range part lacks"},
      {"PRODH\n\tbra\tPRODH", PicCore::kPic18,
       "line 1: label \"PRODH\" names a declared byte or another label"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(parse_instructions(c.line, kTwo, c.core).error, c.error) << c.line;
  }
  // The chip's include defines the names: a routine cannot declare them for itself.
  EXPECT_EQ(parse_instructions("", {"B0", "PRODL"}, PicCore::kPic18).error,
            "declaration: byte \"PRODL\" is a register of the PIC18 core, which no routine "
            "declares");
  EXPECT_EQ(parse_generated_block("\tcblock\n\tB0\n\tWREG\n\tendc\n", PicCore::kPic18).error,
            "line 3: byte \"WREG\" is a register of the PIC18 core, which no routine declares");
  EXPECT_TRUE(parse_instructions("\tclrf\tPRODL", {"PRODL"}, PicCore::kMidrange).program);
}

// Only a jump makes a run long; a PIC18 program runs on PicMachine whether it jumps or not.
TEST(Pic18Core, HasJumpTellsLoopsFromStraightCode) {
  struct Case {
    const char* code;
    PicCore core;
    bool jumps;
  };
  const Case cases[] = {
      {"\tmovf\tB0, w\n\tmullw\t3\n", PicCore::kPic18, false},
      {"x\n\tdecfsz\tB0, f\n\tbra\tx\n", PicCore::kPic18, true},
      {"x\n\tdecfsz\tB0, f\n\tgoto\tx\n", PicCore::kPic18, true},
      {"\tdecf\tB0, f\n", PicCore::kMidrange, false},
      {"x\n\tdecfsz\tB0, f\n\tgoto\tx\n", PicCore::kMidrange, true},
  };
  for (const Case& c : cases) {
    const ParseOutcome parsed = parse_instructions(c.code, kTwo, c.core);
    ASSERT_TRUE(parsed.program) << c.code << ": " << parsed.error;
    EXPECT_EQ(has_jump(*parsed.program), c.jumps) << c.code;
  }
}

// What a machine holds, STATUS as the chip shows it (PIC18: N OV Z DC C in bits 4..0) and the
// product as PRODH:PRODL.
struct State {
  uint8_t f, w;
  uint16_t product;
  uint8_t status;
};

void load(PicMachine& m, const State& s) {
  m.set_byte_at(0, s.f);
  m.w = s.w;
  m.prodl = static_cast<uint8_t>(s.product);
  m.prodh = static_cast<uint8_t>(s.product >> 8);
  m.carry = (s.status & 1) != 0;
  m.digit_carry = (s.status & 2) != 0;
  m.zero = (s.status & 4) != 0;
  m.overflow = (s.status & 8) != 0;
  m.negative = (s.status & 16) != 0;
}

State held(const PicMachine& m) {
  return {m.byte_at(0), m.w, static_cast<uint16_t>(m.prodh << 8 | m.prodl), m.status()};
}

// One instruction on F0 from the first state; the second is everything it leaves.
TEST(Pic18Core, EachInstructionGivesTheDocumentedResultAndFlags) {
  struct Case {
    const char* name;
    const char* line;
    State in, out;
  };
  const Case cases[] = {
      {"incf carries out", "\tincf\tF0, f", {0xFF, 0, 0, 0x00}, {0x00, 0, 0, 0x07}},
      {"incf into the sign", "\tincf\tF0, w", {0x7F, 0, 0, 0x01}, {0x7F, 0x80, 0, 0x1A}},
      {"incf clears C and DC", "\tincf\tF0, f", {0x41, 0, 0, 0x07}, {0x42, 0, 0, 0x00}},
      {"decf borrows", "\tdecf\tF0, f", {0x00, 0, 0, 0x00}, {0xFF, 0, 0, 0x10}},
      {"decf to zero", "\tdecf\tF0, f", {0x01, 0, 0, 0x10}, {0x00, 0, 0, 0x07}},
      {"decf out of the sign", "\tdecf\tF0, w", {0x80, 0, 0, 0x00}, {0x80, 0x7F, 0, 0x09}},
      {"decf borrows a nibble", "\tdecf\tF0, f", {0x10, 0, 0, 0x00}, {0x0F, 0, 0, 0x01}},
      {"rlcf to zero sets Z", "\trlcf\tF0, f", {0x80, 0, 0, 0x00}, {0x00, 0, 0, 0x05}},
      {"rlcf keeps DC and OV", "\trlcf\tF0, w", {0x41, 0, 0, 0x0F}, {0x41, 0x83, 0, 0x1A}},
      {"rrcf to zero", "\trrcf\tF0, f", {0x01, 0, 0, 0x00}, {0x00, 0, 0, 0x05}},
      {"rrcf carry into bit 7", "\trrcf\tF0, w", {0x02, 0, 0, 0x01}, {0x02, 0x81, 0, 0x10}},
      {"addwf overflows", "\taddwf\tF0, f", {0x7F, 1, 0, 0x00}, {0x80, 1, 0, 0x1A}},
      {"addwf wraps to zero", "\taddwf\tF0, w", {0xFF, 1, 0, 0x18}, {0xFF, 0, 0, 0x07}},
      {"addwfc with carry", "\taddwfc\tF0, f", {0x80, 0x80, 0, 0x01}, {0x01, 0x80, 0, 0x09}},
      {"addlw overflows", "\taddlw\t0x70", {0, 0x10, 0, 0x00}, {0, 0x80, 0, 0x18}},
      {"subwf overflows", "\tsubwf\tF0, f", {0x80, 1, 0, 0x00}, {0x7F, 1, 0, 0x09}},
      {"subwf borrows", "\tsubwf\tF0, w", {0x01, 2, 0, 0x00}, {0x01, 0xFF, 0, 0x10}},
      {"subwfb borrow in", "\tsubwfb\tF0, f", {0x00, 0, 0, 0x00}, {0xFF, 0, 0, 0x10}},
      {"subwfb to zero", "\tsubwfb\tF0, f", {0x05, 5, 0, 0x01}, {0x00, 5, 0, 0x07}},
      {"movf sets N", "\tmovf\tF0, w", {0x80, 0, 0, 0x07}, {0x80, 0x80, 0, 0x13}},
      {"movf tests", "\tmovf\tF0, f", {0x00, 0, 0, 0x10}, {0x00, 0, 0, 0x04}},
      {"comf", "\tcomf\tF0, f", {0x7F, 0, 0, 0x00}, {0x80, 0, 0, 0x10}},
      {"andwf", "\tandwf\tF0, w", {0xF0, 0x8F, 0, 0x04}, {0xF0, 0x80, 0, 0x10}},
      {"iorwf", "\tiorwf\tF0, f", {0x00, 0x00, 0, 0x10}, {0x00, 0x00, 0, 0x04}},
      {"xorwf", "\txorwf\tF0, f", {0xFF, 0x7F, 0, 0x04}, {0x80, 0x7F, 0, 0x10}},
      {"andlw", "\tandlw\t0x0F", {0, 0xF0, 0, 0x10}, {0, 0x00, 0, 0x04}},
      {"iorlw", "\tiorlw\t0x80", {0, 0x01, 0, 0x04}, {0, 0x81, 0, 0x10}},
      {"clrf leaves N", "\tclrf\tF0", {0x55, 0, 0, 0x10}, {0x00, 0, 0, 0x14}},
      {"clrf WREG", "\tclrf\tWREG", {0x55, 0x55, 0, 0x00}, {0x55, 0, 0, 0x04}},
      {"swapf", "\tswapf\tF0, w", {0x12, 0, 0, 0x1F}, {0x12, 0x21, 0, 0x1F}},
      {"movwf", "\tmovwf\tF0", {0x00, 0x80, 0, 0x00}, {0x80, 0x80, 0, 0x00}},
      {"incfsz", "\tincfsz\tF0, w", {0x7F, 0, 0, 0x00}, {0x7F, 0x80, 0, 0x00}},
      {"decfsz", "\tdecfsz\tF0, f", {0x80, 0, 0, 0x1F}, {0x7F, 0, 0, 0x1F}},
      {"mullw", "\tmullw\t0xF3", {0, 0x9A, 0, 0x1F}, {0, 0x9A, 0x922E, 0x1F}},
      {"mullw largest", "\tmullw\tD'-1'", {0, 0xFF, 0, 0x00}, {0, 0xFF, 0xFE01, 0x00}},
      {"mullw by zero", "\tmullw\t0", {0, 0xFF, 0x1234, 0x00}, {0, 0xFF, 0x0000, 0x00}},
      {"mulwf", "\tmulwf\tF0", {0x10, 0x10, 0, 0x00}, {0x10, 0x10, 0x0100, 0x00}},
      {"mulwf WREG", "\tmulwf\tWREG", {0, 0xC8, 0, 0x00}, {0, 0xC8, 0x9C40, 0x00}},
      {"movf PRODH", "\tmovf\tPRODH, w", {0, 0, 0x8000, 0x04}, {0, 0x80, 0x8000, 0x10}},
      {"addwf PRODL", "\taddwf\tPRODL, f", {0, 1, 0x12FF, 0x00}, {0, 1, 0x1200, 0x07}},
      {"addwf WREG", "\taddwf\tWREG, w", {0, 0x40, 0, 0x00}, {0, 0x80, 0, 0x18}},
      {"movwf STATUS", "\tmovwf\tSTATUS", {0, 0xFF, 0, 0x00}, {0, 0xFF, 0, 0x1F}},
      {"xorwf STATUS to zero", "\txorwf STATUS, f", {0, 0x0B, 0, 0x0B}, {0, 0x0B, 0, 0x0F}},
      {"xorwf STATUS keeps bit 4", "\txorwf STATUS, f", {0, 0x10, 0, 0x01}, {0, 0x10, 0, 0x01}},
      {"xorwf STATUS into W", "\txorwf\tSTATUS, w", {0, 0x01, 0, 0x15}, {0, 0x14, 0, 0x01}},
      {"clrc", "\tclrc", {0, 0, 0, 0x1F}, {0, 0, 0, 0x1E}},
  };
  for (const Case& c : cases) {
    const ParseOutcome parsed = parse_instructions(c.line, {"F0"}, PicCore::kPic18);
    ASSERT_TRUE(parsed.program) << c.name << ": " << parsed.error;
    PicMachine m(*parsed.program);
    load(m, c.in);
    EXPECT_EQ(m.run().cycles, 1) << c.name;
    const State out = held(m);
    EXPECT_EQ(out.f, c.out.f) << c.name;
    EXPECT_EQ(out.w, c.out.w) << c.name;
    EXPECT_EQ(out.product, c.out.product) << c.name;
    EXPECT_EQ(out.status, c.out.status) << c.name;
  }
}

// Where the PIC18 flags differ from the mid-range ones, from the same state: incf and decf
// set C and DC there, and the rotate sets Z.
TEST(Pic18Core, DiffersFromMidrangeInIncfDecfAndTheRotate) {
  struct Case {
    const char* name;
    const char* midrange_line;
    const char* pic18_line;
    uint8_t f;
    bool carry;
    // C and Z after the mid-range and the PIC18 line.
    bool midrange_c, midrange_z, pic18_c, pic18_z;
  };
  const Case cases[] = {
      {"incf carries out", "\tincf\tF0, f", "\tincf\tF0, f", 0xFF, false, false, true, true, true},
      {"decf borrows", "\tdecf\tF0, f", "\tdecf\tF0, f", 0x00, true, true, false, false, false},
      {"rotate to zero", "\trlf\tF0, f", "\trlcf\tF0, f", 0x80, false, true, false, true, true},
  };
  for (const Case& c : cases) {
    for (const PicCore core : {PicCore::kMidrange, PicCore::kPic18}) {
      const bool pic18 = core == PicCore::kPic18;
      const ParseOutcome parsed =
          parse_instructions(pic18 ? c.pic18_line : c.midrange_line, {"F0"}, core);
      ASSERT_TRUE(parsed.program) << c.name << ": " << parsed.error;
      PicMachine m(*parsed.program);
      m.set_byte("F0", c.f);
      m.carry = c.carry;
      m.run();
      EXPECT_EQ(m.carry, pic18 ? c.pic18_c : c.midrange_c) << c.name << (pic18 ? " PIC18" : "");
      EXPECT_EQ(m.zero, pic18 ? c.pic18_z : c.midrange_z) << c.name << (pic18 ? " PIC18" : "");
    }
  }
}

// bra and goto take two cycles; a skip over a goto takes three on PIC18, where goto is two
// words, and two on mid-range.
TEST(Pic18Core, JumpsAndSkipsTakeTheirCycles) {
  struct Case {
    const char* name;
    const char* code;
    PicCore core;
    long cycles;
    uint8_t f_out;
  };
  const Case cases[] = {
      {"bra loop", "loop\n\tdecfsz\tF0, f\n\tbra\tloop\n", PicCore::kPic18, 3 + 3 + 2, 0},
      {"goto loop", "loop\n\tdecfsz\tF0, f\n\tgoto\tloop\n", PicCore::kPic18, 3 + 3 + 3, 0},
      {"goto loop, mid-range", "loop\n\tdecfsz\tF0, f\n\tgoto\tloop\n", PicCore::kMidrange,
       3 + 3 + 2, 0},
      {"bra forward", "\tbra\tout\n\tclrf\tF0\nout\n", PicCore::kPic18, 2, 3},
      {"skip over clrf", "\tbtfss\tF0, 1\n\tclrf\tF0\n", PicCore::kPic18, 2, 3},
  };
  for (const Case& c : cases) {
    const ParseOutcome parsed = parse_instructions(c.code, {"F0"}, c.core);
    ASSERT_TRUE(parsed.program) << c.name << ": " << parsed.error;
    PicMachine m(*parsed.program);
    m.set_byte("F0", 3);
    const RunStats stats = m.run();
    EXPECT_EQ(stats.cycles, c.cycles) << c.name;
    EXPECT_EQ(m.byte("F0"), c.f_out) << c.name;
    EXPECT_FALSE(stats.cycle_limit_reached) << c.name;
  }
  const ParseOutcome forever = parse_instructions("x\n\tbra\tx\n", {}, PicCore::kPic18);
  ASSERT_TRUE(forever.program) << forever.error;
  PicMachine m(*forever.program);
  m.cycle_limit = 100;
  EXPECT_TRUE(m.run().cycle_limit_reached);
}

// A PIC18 fill continues the PIC16 stream: the same bytes, W, C, DC and Z, then OV and N from
// the flags byte and the product bytes after it.
TEST(Pic18Core, FillDrawsTheFlagsAndProductAfterThePic16Stream) {
  const ParseOutcome pic18 = parse_instructions("", kTwo, PicCore::kPic18);
  const ParseOutcome midrange = parse_instructions("", kTwo);
  ASSERT_TRUE(pic18.program && midrange.program);
  int overflow_set = 0;
  int negative_set = 0;
  for (uint64_t seed = 0; seed < 64; ++seed) {
    PicMachine a(*pic18.program);
    PicMachine b(*midrange.program);
    a.fill(seed);
    b.fill(seed);
    EXPECT_EQ(a.byte_at(0), b.byte_at(0));
    EXPECT_EQ(a.byte_at(1), b.byte_at(1));
    EXPECT_EQ(a.w, b.w);
    EXPECT_EQ(a.status() & 7, b.status() & 7);
    // The stream: B0, B1, W, flags, PRODL, PRODH.
    const uint64_t word = fill_word(seed, 0);
    const auto flags = static_cast<uint8_t>(word >> 24);
    EXPECT_EQ(a.overflow, (flags & kFillOverflow) != 0);
    EXPECT_EQ(a.negative, (flags & kFillNegative) != 0);
    EXPECT_EQ(a.prodl, static_cast<uint8_t>(word >> 32));
    EXPECT_EQ(a.prodh, static_cast<uint8_t>(word >> 40));
    overflow_set += a.overflow;
    negative_set += a.negative;
  }
  EXPECT_GT(overflow_set, 8);
  EXPECT_GT(negative_set, 8);
  EXPECT_LT(overflow_set, 56);
  EXPECT_LT(negative_set, 56);
}

}  // namespace
}  // namespace tarvek
