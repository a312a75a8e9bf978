// Runs hand-written routines in gpsim and in our simulator from the same states and requires
// the same results: every declared byte, W, the whole STATUS register and the cycle count.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "gpsim/crosscheck_support.h"
#include "gpsim/gpsim_harness.h"
#include "sim/pic_program.h"

namespace tarvek {
namespace {

GpsimInput random_input(size_t byte_count, std::mt19937& random) {
  GpsimInput input;
  for (size_t i = 0; i < byte_count; ++i) input.bytes.push_back(uint8_t(random()));
  input.w = uint8_t(random());
  input.carry = random() & 1;
  input.digit_carry = random() & 1;
  input.zero = random() & 1;
  return input;
}

// Runs `inputs` in gpsim and returns its results after checking that gpsim itself succeeded.
std::vector<GpsimResult> run_gpsim(const GpsimRoutine& routine,
                                   const std::vector<GpsimInput>& inputs,
                                   const GpsimTarget& target = {}) {
  const GpsimOutcome outcome = run_in_gpsim(routine, inputs, target);
  EXPECT_TRUE(outcome.ok) << outcome.error;
  EXPECT_EQ(outcome.assembler_messages, "");
  return outcome.results;
}

void expect_same(const GpsimResult& ours, const GpsimResult& theirs, const std::string& what) {
  EXPECT_EQ(run_difference(ours, theirs), "") << what;
}

// Runs the instructions on both simulators, on a mid-range part or, for the enhanced core, on
// an enhanced one, for the baseline core on a PIC10F200.
void cross_check(const std::string& name, const std::string& instructions,
                 const std::vector<std::string>& declared, std::vector<GpsimInput> inputs,
                 PicCore core = PicCore::kMidrange) {
  const ParseOutcome parsed = parse_instructions(instructions, declared, core);
  ASSERT_TRUE(parsed.program) << name << ": " << parsed.error;
  const GpsimTarget target = core == PicCore::kEnhanced   ? enhanced_target()
                             : core == PicCore::kBaseline ? pic10f200_target()
                                                          : GpsimTarget{};
  const std::vector<GpsimResult> theirs =
      run_gpsim(routine_from_instructions(instructions, declared), inputs, target);
  ASSERT_EQ(theirs.size(), inputs.size()) << name;
  for (size_t i = 0; i < inputs.size(); ++i) {
    expect_same(run_ours(*parsed.program, inputs[i]), theirs[i],
                name + ", input " + std::to_string(i));
  }
}

TEST(GpsimCrossCheck, RunDifferenceNamesEveryPartThatDiffers) {
  const GpsimResult ours{{0x12, 0xAB}, 0x05, 0x1B, 7, false};
  struct Case {
    const char* name;
    GpsimResult theirs;
    const char* difference;
  };
  const Case cases[] = {
      {"the same", ours, ""},
      {"a byte", {{0x12, 0xAC}, 0x05, 0x1B, 7, false}, "bytes 12 AB, gpsim 12 AC"},
      {"a byte short", {{0x12}, 0x05, 0x1B, 7, false}, "bytes 12 AB, gpsim 12"},
      {"W and STATUS",
       {{0x12, 0xAB}, 0x06, 0x1A, 7, false},
       "W 0x05, gpsim 0x06; STATUS 0x1B, gpsim 0x1A"},
      {"cycles and the skip",
       {{0x12, 0xAB}, 0x05, 0x1B, 8, true},
       "cycles 7, gpsim 8; skip past the end no, gpsim yes"},
  };
  for (const Case& c : cases) EXPECT_EQ(run_difference(ours, c.theirs), c.difference) << c.name;
}

TEST(GpsimCrossCheck, ToolsAreInstalled) {
  ASSERT_TRUE(gpsim_tools_available());
}

TEST(GpsimCrossCheck, MultiByteAddIdiom) {
  const std::vector<std::string> declared = {"A0", "A1", "T0", "T1"};
  std::mt19937 random(1);
  std::vector<GpsimInput> inputs;
  // A1 + T1 with and without a carry, T0 = 0xFF (the incfsz skip), random ones.
  const uint8_t edges[][4] = {{0x00, 0x00, 0x00, 0x00}, {0x12, 0xFF, 0x00, 0x01},
                              {0x12, 0xFF, 0xFF, 0x01}, {0xFF, 0xFF, 0xFF, 0xFF},
                              {0x80, 0x00, 0x80, 0x00}, {0x01, 0x80, 0xFE, 0x80}};
  for (const auto& e : edges) {
    GpsimInput input = random_input(4, random);
    input.bytes.assign(e, e + 4);
    inputs.push_back(input);
  }
  for (int i = 0; i < 10; ++i) inputs.push_back(random_input(4, random));
  cross_check("add idiom",
              "\tmovf\tT1, w\n\taddwf\tA1, f\n\tmovf\tT0, w\n\tskpnc\n\tincfsz\tT0, w\n"
              "\taddwf\tA0, f\n",
              declared, inputs);
}

TEST(GpsimCrossCheck, RotateChains) {
  std::mt19937 random(2);
  std::vector<GpsimInput> inputs;
  for (int i = 0; i < 12; ++i) inputs.push_back(random_input(3, random));
  cross_check("rotate left",
              "\tclrc\n\trlf\tR2, f\n\trlf\tR1, f\n\trlf\tR0, f\n\trlf\tR2, f\n\trlf\tR1, w\n",
              {"R0", "R1", "R2"}, inputs);
  cross_check("rotate right",
              "\trrf\tR0, f\n\trrf\tR1, f\n\trrf\tR2, f\n\trrf\tR0, w\n\tmovwf\tR1\n",
              {"R0", "R1", "R2"}, inputs);
}

// Every instruction form the parser knows, in one routine, from random states.
TEST(GpsimCrossCheck, EveryInstructionForm) {
  // Every result, W included, is used later or read at the end.
  const std::string code =
      "\tmovf\tB0, w\n\tandlw\tD'15'\n\tiorlw\tD'-16'\n\tmovwf\tB1\n\tswapf\tB2, w\n\tiorwf\tB1, "
      "f\n"
      "\tswapf\tB3, f\n\tcomf\tB4, f\n\tcomf\tB0, w\n\taddwf\tB5, f\n\tsubwf\tB6, f\n\tskpc\n"
      "\tincf\tB7, f\n\tmovf\tB1, f\n\tskpnz\n\tbsf\tB2, 3\n\tbtfsc\tB3, 4\n\tbsf\tB2, 0\n"
      "\tsubwf\tB7, w\n\tskpnc\n\tiorwf\tB4, f\n\tincfsz\tB5, w\n\tiorwf\tB0, f\n"
      "\tmovlw\tD'-128'\n\taddwf\tB6, w\n\tincfsz\tB6, f\n\trrf\tB7, f\n\trlf\tB0, f\n"
      "\tiorwf\tB1, w\n\tincf\tB2, w\n\tmovwf\tB5\n\tmovf\tB3, w\n\taddwf\tB7, f\n"
      "\tclrf\tB4\n\tmovlw\tD'127'\n\tsubwf\tB0, w\n";
  const std::vector<std::string> declared = {"B0", "B1", "B2", "B3", "B4", "B5", "B6", "B7"};
  std::mt19937 random(3);
  std::vector<GpsimInput> inputs;
  for (int i = 0; i < 40; ++i) inputs.push_back(random_input(declared.size(), random));
  // States that make the skips and incfsz go the other way.
  for (int i = 0; i < 4; ++i) {
    GpsimInput input = random_input(declared.size(), random);
    input.bytes[5] = 0xFF;
    input.bytes[6] = uint8_t(0xFF - i);
    input.bytes[0] = uint8_t(i * 0x10);
    inputs.push_back(input);
  }
  cross_check("every form", code, declared, inputs);
}

// The baseline core on a PIC10F200, which starts at its reset vector (the last word) and
// wraps to 0: every form a baseline routine has, btfss among them, from random states and
// from states that make every skip go the other way; the bytes sit at 0x10, where that part
// has its 16 bytes of RAM.
TEST(GpsimCrossCheck, BaselineInstructionForms) {
  const std::string code =
      "\tmovf\tB0, w\n\tandlw\tD'15'\n\tiorlw\tD'-16'\n\tmovwf\tB1\n\tswapf\tB2, w\n"
      "\tiorwf\tB1, f\n\tsubwf\tB6, f\n\tbtfss\tB6, 7\n\tincf\tB7, f\n\tskpnz\n\tincf\tB5, f\n"
      "\tbtfss\tB3, 0\n\tcomf\tB4, f\n\tmovlw\tD'10'\n\tsubwf\tB7, w\n\tskpnc\n\tincf\tB0, f\n"
      "\tbtfsc\tB2, 5\n\tbsf\tB3, 6\n\trrf\tB4, f\n\trlf\tB5, w\n\txorwf\tB2, f\n"
      "\tincfsz\tB1, w\n\taddwf\tB6, f\n\tmovwf\tB7\n\tclrf\tB3\n";
  const std::vector<std::string> declared = {"B0", "B1", "B2", "B3", "B4", "B5", "B6", "B7"};
  std::mt19937 random(30);
  std::vector<GpsimInput> inputs;
  for (int i = 0; i < 32; ++i) inputs.push_back(random_input(declared.size(), random));
  for (int i = 0; i < 4; ++i) {
    GpsimInput input = random_input(declared.size(), random);
    input.bytes[6] = uint8_t(i * 0x50);
    input.bytes[3] = uint8_t(i);
    input.bytes[1] = 0xFF;
    inputs.push_back(input);
  }
  cross_check("baseline forms", code, declared, inputs, PicCore::kBaseline);
  // A taken skip on the last line is seen there too.
  std::vector<GpsimInput> ends(2);
  ends[0].bytes = {0x80};
  ends[1].bytes = {0x7F};
  cross_check("baseline skip at end", "\tbtfss\tX0, 7\n", {"X0"}, ends, PicCore::kBaseline);
}

// The enhanced mid-range instructions on a PIC16F1823: every form, between mid-range ones
// whose results show the flags they leave, and three-byte chains as the generator writes
// them, from random states and from full and empty bytes.
TEST(GpsimCrossCheck, EnhancedInstructionForms) {
  const std::string forms =
      "\tmovf\tB0, w\n\taddwfc\tB1, f\n\taddwfc\tB2, w\n\tmovwf\tB3\n\tsubwfb\tB4, f\n"
      "\tsubwfb\tB5, w\n\tskpnz\n\tbsf\tB0, 1\n\tlslf\tB6, f\n\trlf\tB7, f\n"
      "\tlslf\tB1, w\n\tskpc\n\tmovwf\tB2\n\tlsrf\tB3, f\n\trrf\tB4, f\n\tlsrf\tB5, w\n"
      "\tasrf\tB6, f\n\trrf\tB0, f\n\tasrf\tB7, w\n\tskpnz\n\tincf\tB1, f\n"
      "\taddwfc\tB2, f\n\tsubwfb\tB3, f\n";
  const std::string chains =
      "\tmovf\tB3, w\n\taddwf\tB0, f\n\tmovf\tB4, w\n\taddwfc\tB1, f\n\tmovlw\t0\n"
      "\taddwfc\tB2, f\n\tmovf\tB3, w\n\tsubwf\tB5, f\n\tmovf\tB4, w\n\tsubwfb\tB6, f\n"
      "\tmovwf\tB7\n\tsubwfb\tB7, f\n";
  const std::vector<std::string> declared = {"B0", "B1", "B2", "B3", "B4", "B5", "B6", "B7"};
  std::mt19937 random(6);
  std::vector<GpsimInput> inputs;
  for (int i = 0; i < 40; ++i) inputs.push_back(random_input(declared.size(), random));
  for (int i = 0; i < 8; ++i) {
    GpsimInput input = random_input(declared.size(), random);
    for (uint8_t& b : input.bytes) b = i % 2 == 0 ? 0xFF : 0x00;
    input.bytes[i] = uint8_t(0x80 + i);
    input.carry = i & 2;
    inputs.push_back(input);
  }
  cross_check("enhanced forms", forms, declared, inputs, PicCore::kEnhanced);
  cross_check("enhanced chains", chains, declared, inputs, PicCore::kEnhanced);
}

// STATUS bits 7..5 of the enhanced core are unimplemented and read 0 (the part's register
// description); gpsim 0.31 keeps them writable on its PIC16F1823. Both facts are pinned; the
// carry inversion through W agrees in every other bit.
TEST(GpsimCrossCheck, EnhancedStatusHasNoBankBitsWhichGpsimKeeps) {
  const std::string code =
      "\tmovlw\tD'-31'\n\tmovwf\tSTATUS\n\tmovlw\t1\n\txorwf\tSTATUS, w\n\tmovwf\tSTATUS\n"
      "\trlf\tX0, f\n";
  const ParseOutcome parsed = parse_instructions(code, {"X0"}, PicCore::kEnhanced);
  ASSERT_TRUE(parsed.program) << parsed.error;
  std::mt19937 random(8);
  const std::vector<GpsimInput> inputs = {random_input(1, random), random_input(1, random)};
  const std::vector<GpsimResult> theirs =
      run_gpsim(routine_from_instructions(code, {"X0"}), inputs, enhanced_target());
  ASSERT_EQ(theirs.size(), inputs.size());
  for (size_t i = 0; i < inputs.size(); ++i) {
    const GpsimResult ours = run_ours(*parsed.program, inputs[i]);
    // 0xE1 written, C inverted through W, then rotated into bit 0 as C takes bit 7.
    const uint8_t carry = inputs[i].bytes[0] >> 7;
    EXPECT_EQ(ours.status, 0x18 | carry) << i;
    EXPECT_EQ(theirs[i].status, 0xF8 | carry) << i;
    EXPECT_EQ(ours.w ^ 0xE0, theirs[i].w) << i;
    EXPECT_EQ(ours.bytes, theirs[i].bytes) << i;
    EXPECT_EQ(ours.bytes[0], uint8_t(inputs[i].bytes[0] << 1)) << i;
  }
}

TEST(GpsimCrossCheck, SkipPastTheEndIsSeenByBoth) {
  std::vector<GpsimInput> inputs(2);
  inputs[0].bytes = {0x00};  // incf gives 1: Z clear, skpnz skips past the end
  inputs[1].bytes = {0xFF};  // incf gives 0: no skip
  cross_check("skip at end", "\tincf\tX0, f\n\tskpnz\n", {"X0"}, inputs);
}

// The carry inversion the generator writes ("movlw 1", "xorwf STATUS, f"). The processor
// documentation write-protects C, DC and Z when an instruction that sets Z has STATUS as its
// destination, so C is unchanged; gpsim 0.31 writes all of STATUS and so inverts C. Both
// facts are pinned here: everything else must agree.
TEST(GpsimCrossCheck, XorwfStatusCarryInversionDiffersOnlyInTheCarry) {
  const std::string code = "\tmovlw\t1\n\txorwf STATUS, f\n\trlf\tX0, f\n";
  const ParseOutcome parsed = parse_instructions(code, {"X0"});
  ASSERT_TRUE(parsed.program) << parsed.error;
  std::mt19937 random(4);
  std::vector<GpsimInput> inputs;
  for (int i = 0; i < 8; ++i) {
    GpsimInput input = random_input(1, random);
    input.carry = i & 1;
    inputs.push_back(input);
  }
  const std::vector<GpsimResult> theirs =
      run_gpsim(routine_from_instructions(code, {"X0"}), inputs);
  ASSERT_EQ(theirs.size(), inputs.size());
  for (size_t i = 0; i < inputs.size(); ++i) {
    const GpsimResult ours = run_ours(*parsed.program, inputs[i]);
    const uint8_t x = inputs[i].bytes[0];
    const bool c = inputs[i].carry;
    // Ours: C kept, then rotated into bit 0; gpsim: C inverted first.
    EXPECT_EQ(ours.bytes[0], uint8_t((x << 1) | c)) << i;
    EXPECT_EQ(theirs[i].bytes[0], uint8_t((x << 1) | !c)) << i;
    EXPECT_EQ(ours.status & 0xFE, theirs[i].status & 0xFE) << i;
    EXPECT_EQ(ours.w, theirs[i].w) << i;
    EXPECT_EQ(ours.cycles, theirs[i].cycles) << i;
  }
}

// The complete routine for constant 10, 8 bits, big-endian, fed verbatim as a block.
TEST(GpsimCrossCheck, GeneratedBlockVerbatim) {
  const std::string block =
      "; ACC = ACC * 10.000000\n;\n; ALGORITHM:\n; Clear accumulator\n"
      "; Add input * 8 to accumulator\n; Add input * 2 to accumulator\n"
      "; Move accumulator to result\n;\n; Error in constant approximation : 0.000000, %\n\n\n"
      "; Input:  ACC0\t(8 bits)\n; Output: ACC0 .. ACC1\t(12 bits)\n\n"
      "\tcblock\n\tACC0\n\tACC1\n\tTEMP0\n\tTEMP1\n\tendc\n\n"
      "\tmovf\tACC0, w\n\tmovwf\tACC1\n\tclrf\tACC0\n\tclrc\n\trlf\tACC1, f\n\trlf\tACC0, f\n"
      "\tmovf\tACC0, w\n\tmovwf\tTEMP0\n\tmovf\tACC1, w\n\tmovwf\tTEMP1\n\tclrc\n"
      "\trlf\tTEMP1, f\n\trlf\tTEMP0, f\n\trlf\tTEMP1, f\n\trlf\tTEMP0, f\n"
      "\tmovf\tTEMP1, w\n\taddwf\tACC1, f\n\tmovf\tTEMP0, w\n\tskpnc\n\tincfsz\tTEMP0, w\n"
      "\taddwf\tACC0, f\n\n";
  const GpsimRoutine routine = routine_from_block(block);
  ASSERT_EQ(routine.declared, (std::vector<std::string>{"ACC0", "ACC1", "TEMP0", "TEMP1"}));
  const ParseOutcome parsed = parse_generated_block(block);
  ASSERT_TRUE(parsed.program) << parsed.error;
  std::mt19937 random(5);
  std::vector<GpsimInput> inputs;
  for (const unsigned x : {0u, 1u, 25u, 128u, 200u, 255u}) {
    GpsimInput input = random_input(4, random);
    input.bytes[0] = uint8_t(x);
    inputs.push_back(input);
  }
  const std::vector<GpsimResult> theirs = run_gpsim(routine, inputs);
  ASSERT_EQ(theirs.size(), inputs.size());
  for (size_t i = 0; i < inputs.size(); ++i) {
    const GpsimResult ours = run_ours(*parsed.program, inputs[i]);
    expect_same(ours, theirs[i], "times ten, input " + std::to_string(i));
    EXPECT_EQ(ours.bytes[0] * 256 + ours.bytes[1], 10 * inputs[i].bytes[0]) << i;
    EXPECT_EQ(ours.cycles, 21);
  }
}

TEST(GpsimHarness, WrapsWithProcessorIncludeAndCblockStart) {
  const std::string source =
      wrap_for_gpasm(routine_from_instructions("\tclrf\tA0\n", {"A0"}), GpsimTarget{});
  EXPECT_EQ(source,
            "\tprocessor 16f628a\n\t#include <p16f628a.inc>\n\tcblock 0x20\n\tendc\n"
            "\torg 0\n\tnop\n\tcblock\n\tA0\n\tendc\n\tclrf\tA0\n"
            "_tarvek_end\n\tgoto\t_tarvek_end\n_tarvek_past\n\tgoto\t_tarvek_past\n\tend\n");
}

TEST(GpsimHarness, ReportsAssemblerErrors) {
  // TMR0 is a register of the chip: a routine declaring it does not assemble.
  const GpsimOutcome clash =
      assemble_with_gpasm(routine_from_instructions("\tclrf\tTMR0\n", {"TMR0"}));
  EXPECT_FALSE(clash.ok);
  EXPECT_NE(clash.error.find("gpasm failed"), std::string::npos) << clash.error;
  const GpsimOutcome undeclared = run_in_gpsim(routine_from_instructions("\tclrf\tB0\n", {}), {});
  EXPECT_FALSE(undeclared.ok);
  const GpsimOutcome fine = assemble_with_gpasm(routine_from_instructions("\tclrf\tB0\n", {"B0"}));
  EXPECT_TRUE(fine.ok) << fine.error;
}

}  // namespace
}  // namespace tarvek
