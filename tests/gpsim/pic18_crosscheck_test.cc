// Runs hand-written PIC18 routines on gpsim's PIC18F452 and on our simulator from the same
// states and requires the same results: every declared byte, W, STATUS, the product bytes and
// the cycle count. The states are random, with bytes at the edges where carries, borrows, signs
// and zeros turn. Where gpsim and the chip's documentation part (OV of an addition, writes to
// STATUS), both facts are pinned.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "gpsim/crosscheck_support.h"
#include "gpsim/gpsim_harness.h"
#include "sim/pic_program.h"

namespace tarvek {
namespace {

const std::vector<std::string> kBytes = {"B0", "B1", "B2", "B3", "B4", "B5", "B6", "B7"};

// `count` random states, every fourth with its bytes drawn from the edges alone.
std::vector<GpsimInput> random_states(int count, std::size_t byte_count, unsigned seed) {
  static constexpr uint8_t kEdges[] = {0x00, 0x01, 0x0F, 0x10, 0x7F, 0x80, 0xFE, 0xFF};
  std::mt19937 random(seed);
  std::vector<GpsimInput> states;
  for (int i = 0; i < count; ++i) {
    GpsimInput state;
    for (std::size_t b = 0; b < byte_count; ++b) {
      state.bytes.push_back(i % 4 == 3 ? kEdges[random() % 8] : static_cast<uint8_t>(random()));
    }
    state.w = i % 4 == 3 ? kEdges[random() % 8] : static_cast<uint8_t>(random());
    state.carry = random() & 1;
    state.digit_carry = random() & 1;
    state.zero = random() & 1;
    state.overflow = random() & 1;
    state.negative = random() & 1;
    state.prodl = static_cast<uint8_t>(random());
    state.prodh = static_cast<uint8_t>(random());
    states.push_back(state);
  }
  return states;
}

void expect_agreement(const std::string& name, const GpsimRoutine& routine,
                      const std::vector<GpsimInput>& states) {
  const Pic18CrossCheck check = cross_check_pic18(routine, states);
  ASSERT_TRUE(check.ran) << name << ": " << check.error;
  EXPECT_TRUE(check.differences.empty()) << name << ": " << check.differences.size()
                                         << " states differ, first " << check.differences.front();
}

TEST(Pic18GpsimCrossCheck, ToolsAreInstalled) {
  ASSERT_TRUE(gpsim_tools_available());
}

// Hand-written routines that between them use every instruction and flag a PIC18 routine of
// ours can: each runs from its own random states on both machines.
TEST(Pic18GpsimCrossCheck, HandWrittenRoutinesAgree) {
  struct Case {
    const char* name;
    const char* code;
    int states;
    unsigned seed;
  };
  const Case cases[] = {
      // Both multiplications, by literals at the edges and by bytes, W and the product themselves,
      // with the product added into bytes so that every one is seen.
      {"multiplier",
       "\tmovf\tB0, w\n\tmullw\t0xF3\n\tmovf\tPRODL, w\n\taddwf\tB1, f\n\tmovf\tPRODH, w\n"
       "\taddwfc\tB2, f\n\tmovf\tB3, w\n\tmulwf\tB4\n\tmovf\tPRODH, w\n\tmullw\tD'-1'\n"
       "\tmovf\tPRODL, w\n\tmovwf\tB5\n\tmulwf\tWREG\n\tmovf\tPRODH, w\n\tmulwf\tPRODL\n"
       "\tmovf\tB6, w\n\tmullw\t0\n\tmovf\tPRODL, w\n\tiorwf\tB7, f\n\tmovf\tB7, w\n"
       "\tmullw\t1\n",
       48, 11},
      // Three-byte sums and differences as a routine chains them, and the flags they leave.
      {"carry chains",
       "\tmovf\tB3, w\n\taddwf\tB0, f\n\tmovf\tB4, w\n\taddwfc\tB1, f\n\tclrf\tWREG\n"
       "\taddwfc\tB2, f\n\tmovf\tB3, w\n\tsubwf\tB5, f\n\tmovf\tB4, w\n\tsubwfb\tB6, f\n"
       "\tmovwf\tB7\n\tsubwfb\tB7, w\n\taddwfc\tB3, w\n\tsubwfb\tB4, w\n\taddlw\t0x80\n",
       48, 12},
      // incf and decf set C, DC, OV and N on PIC18: each is followed by what makes a flag show in
      // a byte, and the last one's flags show in STATUS.
      {"incf and decf",
       "\tincf\tB0, f\n\tskpnc\n\tbsf\tB7, 0\n\tdecf\tB1, f\n\tskpc\n\tbsf\tB7, 1\n"
       "\tincf\tB2, w\n\tmovwf\tB5\n\tskpnz\n\tbsf\tB7, 2\n\tdecf\tB3, w\n\taddwfc\tB6, f\n"
       "\tincf\tB4, f\n\trlcf\tB7, f\n\tdecf\tB6, w\n",
       64, 13},
      // The rotates through the carry, their Z and N, chained over three bytes both ways.
      {"rotates",
       "\tbcf\tSTATUS, 0\n\trlcf\tB2, f\n\trlcf\tB1, f\n\trlcf\tB0, f\n\trrcf\tB3, f\n"
       "\trrcf\tB4, w\n\tmovwf\tB5\n\tskpnz\n\tincf\tB6, f\n\trlcf\tB7, w\n",
       48, 14},
      // The other forms a PIC18 routine has, a forward bra and a decfsz loop closed by bra, whose
      // cycles differ from state to state.
      {"other forms",
       "\tmovf\tB0, w\n\tandlw\t0x0F\n\tiorlw\tD'-16'\n\tmovwf\tB1\n\tswapf\tB2, w\n"
       "\tiorwf\tB1, f\n\tcomf\tB3, f\n\tandwf\tB4, w\n\txorwf\tB5, f\n\tmovf\tB6, f\n"
       "\tbtfss\tB6, 7\n\tbra\tpositive\n\tcomf\tB6, f\n\tincfsz\tB7, w\n\tmovwf\tB2\n"
       "positive\n\tmovlw\t3\n\tandwf\tB0, f\n\tincf\tB0, f\n"
       "again\n\tdecfsz\tB0, f\n\tbra\tagain\n\tbsf\tB3, 4\n\tsetc\n\tskpnc\n\tbcf\tB4, 6\n"
       "\tclrc\n\tbtfsc\tB5, 1\n\tdecfsz\tB7, f\n\tmovf\tB5, w\n",
       64, 15},
  };
  for (const Case& c : cases) {
    expect_agreement(c.name, routine_from_instructions(c.code, kBytes),
                     random_states(c.states, kBytes.size(), c.seed));
  }
}

// OV of an addition. The chip's ALU sets it on a signed overflow, both addends of one sign and
// the sum of the other, whichever of them is the destination; gpsim 0.31 sets it when the sum
// and the destination's old value differ in sign, so that "addwf f, w" and "addwf f, f" from
// one state disagree. Its subtractions and decf set OV as the chip does. Both facts are pinned,
// and everything else agrees.
TEST(Pic18GpsimCrossCheck, OverflowIsSignedWhereGpsimFollowsTheDestination) {
  // The ALU's view of one instruction from a state: a + b + carry_in (a subtraction adds ~W),
  // and the old value of the destination.
  struct Alu {
    uint8_t a, b;
    bool carry_in;
    uint8_t destination;
  };
  struct Case {
    const char* line;
    Alu (*alu)(const GpsimInput&);
    bool addition;
  };
  const Case cases[] = {
      {"\taddwf\tB0, f",
       [](const GpsimInput& s) {
         return Alu{s.bytes[0], s.w, false, s.bytes[0]};
       },
       true},
      {"\taddwf\tB0, w",
       [](const GpsimInput& s) {
         return Alu{s.bytes[0], s.w, false, s.w};
       },
       true},
      {"\taddwfc\tB0, f",
       [](const GpsimInput& s) {
         return Alu{s.bytes[0], s.w, s.carry, s.bytes[0]};
       },
       true},
      {"\taddlw\t0x35",
       [](const GpsimInput& s) {
         return Alu{s.w, 0x35, false, s.w};
       },
       true},
      {"\tincf\tB0, f",
       [](const GpsimInput& s) {
         return Alu{s.bytes[0], 0, true, s.bytes[0]};
       },
       true},
      {"\tsubwf\tB0, f",
       [](const GpsimInput& s) {
         return Alu{s.bytes[0], uint8_t(~s.w), true, s.bytes[0]};
       },
       false},
      {"\tsubwfb\tB0, w",
       [](const GpsimInput& s) {
         return Alu{s.bytes[0], uint8_t(~s.w), s.carry, s.w};
       },
       false},
      {"\tdecf\tB0, f",
       [](const GpsimInput& s) {
         return Alu{s.bytes[0], 0xFE, true, s.bytes[0]};
       },
       false},
  };
  std::vector<GpsimInput> states = random_states(40, 1, 18);
  for (const uint8_t edge : {0x7F, 0x80, 0xFF, 0x00}) {
    states.push_back(states[edge & 3]);
    states.back().bytes[0] = edge;
    states.back().w = static_cast<uint8_t>(edge ^ 0x80);
  }
  for (const Case& c : cases) {
    const GpsimRoutine routine = routine_from_instructions(c.line, {"B0"});
    const ParseOutcome parsed = parse_generated_block(routine.body, PicCore::kPic18);
    ASSERT_TRUE(parsed.program) << c.line << ": " << parsed.error;
    const GpsimOutcome theirs = run_in_gpsim(routine, states, pic18f452_target());
    ASSERT_TRUE(theirs.ok) << c.line << ": " << theirs.error;
    ASSERT_EQ(theirs.results.size(), states.size()) << c.line;
    int gpsim_differs = 0;
    for (std::size_t k = 0; k < states.size(); ++k) {
      const Alu alu = c.alu(states[k]);
      const auto sum = static_cast<uint8_t>(alu.a + alu.b + (alu.carry_in ? 1 : 0));
      const bool signed_overflow = ((alu.a ^ sum) & (alu.b ^ sum) & 0x80) != 0;
      const bool sign_changed = ((alu.destination ^ sum) & 0x80) != 0;
      GpsimResult ours = run_ours(*parsed.program, states[k]);
      GpsimResult gpsim = theirs.results[k];
      EXPECT_EQ((ours.status & 8) != 0, signed_overflow) << c.line << ", state " << k;
      EXPECT_EQ((gpsim.status & 8) != 0, c.addition ? sign_changed : signed_overflow)
          << c.line << ", state " << k;
      gpsim_differs += ((ours.status ^ gpsim.status) & 8) != 0;
      ours.status &= 0xF7;
      gpsim.status &= 0xF7;
      EXPECT_EQ(run_difference(ours, gpsim), "") << c.line << ", state " << k;
    }
    // The states show the difference wherever there is one.
    EXPECT_EQ(gpsim_differs > 0, c.addition) << c.line;
  }
}

// PIC18 STATUS bits 7..5 are unimplemented and read 0, and an instruction that sets flags
// cannot write them into STATUS: "movwf STATUS" takes C, DC, Z, OV and N from W, while "xorwf
// STATUS, f" only sets Z and N from its result. gpsim 0.31 keeps bits 7..5 writable and writes
// the whole result of xorwf before it sets Z and N. Both facts are pinned; W and the rest
// agree.
TEST(Pic18GpsimCrossCheck, StatusWritesKeepTheFlagsGpsimWritesThem) {
  struct Case {
    const char* line;
    uint8_t w, status;
    uint8_t ours, gpsim;
  };
  const Case cases[] = {
      {"\tmovwf\tSTATUS", 0xE5, 0x00, 0x05, 0xE5},   {"\tmovwf\tSTATUS", 0x1A, 0x05, 0x1A, 0x1A},
      {"\txorwf STATUS, f", 0x0B, 0x0B, 0x0F, 0x04}, {"\txorwf STATUS, f", 0x10, 0x01, 0x01, 0x01},
      {"\txorwf STATUS, f", 0xE0, 0x00, 0x10, 0xF0}, {"\txorwf\tSTATUS, w", 0x0B, 0x0B, 0x0F, 0x0F},
  };
  for (const Case& c : cases) {
    const GpsimRoutine routine = routine_from_instructions(c.line, {"B0"});
    const ParseOutcome parsed = parse_generated_block(routine.body, PicCore::kPic18);
    ASSERT_TRUE(parsed.program) << c.line << ": " << parsed.error;
    GpsimInput state = random_states(1, 1, 19).front();
    state.w = c.w;
    state.carry = c.status & 1;
    state.digit_carry = c.status & 2;
    state.zero = c.status & 4;
    state.overflow = c.status & 8;
    state.negative = c.status & 16;
    const GpsimOutcome theirs = run_in_gpsim(routine, {state}, pic18f452_target());
    ASSERT_TRUE(theirs.ok) << c.line << ": " << theirs.error;
    ASSERT_EQ(theirs.results.size(), 1u) << c.line;
    GpsimResult ours = run_ours(*parsed.program, state);
    GpsimResult gpsim = theirs.results[0];
    EXPECT_EQ(ours.status, c.ours) << c.line << " " << int{c.w};
    EXPECT_EQ(gpsim.status, c.gpsim) << c.line << " " << int{c.w};
    ours.status = gpsim.status;
    EXPECT_EQ(run_difference(ours, gpsim), "") << c.line << " " << int{c.w};
  }
}

// A block as a generator prints one, comments and core line included, taken verbatim: ACC
// times 200 for an 8-bit input, big-endian.
TEST(Pic18GpsimCrossCheck, GeneratedBlockVerbatim) {
  const std::string block =
      "; ACC = floor(ACC * 200)\n; Core: PIC18 (PIC18Fxxx), registers in the access bank\n"
      "; Input:  ACC0\t(8 bits)\n; Output: ACC0 .. ACC1\t(16 bits)\n\n"
      "\tcblock\n\tACC0\n\tACC1\n\tendc\n\n"
      "\tmovf\tACC0, w\n\tmullw\tD'-56'\n\tmovf\tPRODL, w\n\tmovwf\tACC1\n\tmovf\tPRODH, w\n"
      "\tmovwf\tACC0\n";
  const GpsimRoutine routine = routine_from_block(block);
  ASSERT_EQ(routine.declared, (std::vector<std::string>{"ACC0", "ACC1"}));
  std::vector<GpsimInput> states = random_states(8, 2, 16);
  for (std::size_t k = 0; k < states.size(); ++k) states[k].bytes[0] = uint8_t(k * 37);
  expect_agreement("times 200", routine, states);
  const ParseOutcome parsed = parse_generated_block(block, PicCore::kPic18);
  ASSERT_TRUE(parsed.program) << parsed.error;
  for (const GpsimInput& state : states) {
    const GpsimResult ours = run_ours(*parsed.program, state);
    EXPECT_EQ(ours.bytes[0] * 256 + ours.bytes[1], 200 * state.bytes[0]);
  }
}

// The routine is wrapped for the PIC18F452, its closing loops one-word bra.
TEST(Pic18GpsimCrossCheck, WrapsForThePic18F452) {
  EXPECT_EQ(wrap_for_gpasm(routine_from_instructions("\tclrf\tWREG\n", {"A0"}), pic18f452_target()),
            "\tprocessor 18f452\n\t#include <p18f452.inc>\n\tcblock 0x0\n\tendc\n"
            "\torg 0\n\tnop\n\tcblock\n\tA0\n\tendc\n\tclrf\tWREG\n"
            "_tarvek_end\n\tbra\t_tarvek_end\n_tarvek_past\n\tbra\t_tarvek_past\n\tend\n");
}

// The cross-check reports what differs, and fails where either side cannot run.
TEST(Pic18GpsimCrossCheck, ReportsDifferencesAndFailures) {
  const std::vector<GpsimInput> states = random_states(2, 1, 17);
  // A routine our parser refuses on PIC18, and one gpasm refuses.
  const Pic18CrossCheck rotate =
      cross_check_pic18(routine_from_instructions("\trlf\tB0, f\n", {"B0"}), states);
  EXPECT_FALSE(rotate.ran);
  EXPECT_EQ(rotate.error,
            "our parser: line 4: \"rlf\" is a mid-range instruction, which a PIC18 part lacks");
  const Pic18CrossCheck clash =
      cross_check_pic18(routine_from_instructions("\tclrf\tTMR0L\n", {"TMR0L"}), states);
  EXPECT_FALSE(clash.ran);
  // The product bytes are compared too.
  GpsimResult ours{{0x01}, 0x02, 0x03, 4, false, 0x34, 0x12};
  GpsimResult theirs = ours;
  theirs.prodh = 0x13;
  EXPECT_EQ(run_difference(ours, theirs), "PRODH:PRODL 0x1234, gpsim 0x1334");
}

}  // namespace
}  // namespace tarvek
