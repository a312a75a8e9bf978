// Routines with jumps: label lines and goto as the parser reads them, the loop instructions,
// their cycles on PicMachine (two for a goto and for a skip taken), the cycle limit that ends a
// routine that never ends, and the routine check, which runs such a routine one input at a
// time and reports its fewest and most cycles.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/pic_machine.h"
#include "sim/pic_program.h"
#include "sim/routine_check.h"

namespace tarvek {
namespace {

const std::vector<std::string> kNames = {"ACC0", "TEMP0"};

TEST(LoopProgram, LabelsAndGotoResolveToInstructions) {
  struct Case {
    const char* name;
    const char* text;
    // The instruction index of every goto, in order.
    std::vector<uint16_t> targets;
    bool straight_line;
  };
  const Case cases[] = {
      {"backward", "\tclrc\nagain\n\tincf\tACC0, f\n\tgoto\tagain\n", {1}, false},
      {"forward", "\tgoto\tdone\n\tclrf\tACC0\ndone\n\tclrc\n", {2}, false},
      {"to the end", "\tgoto\tend_\n\tclrf\tACC0\nend_\n", {2}, false},
      {"two labels at one place", "a_1\nb_2\n\tgoto\tb_2\n\tgoto\ta_1\n", {0, 0}, false},
      {"decfsz alone is not lane code", "\tdecfsz\tTEMP0, f\n\tclrc\n", {}, false},
      {"no label", "\tclrc\n\tclrf\tACC0\n", {}, true},
  };
  for (const Case& c : cases) {
    const ParseOutcome outcome = parse_instructions(c.text, kNames);
    ASSERT_TRUE(outcome.program) << c.name << ": " << outcome.error;
    std::vector<uint16_t> targets;
    for (const PicInstruction& in : outcome.program->instructions) {
      if (in.op == PicOp::kGoto) targets.push_back(in.operand);
    }
    EXPECT_EQ(targets, c.targets) << c.name;
    EXPECT_EQ(outcome.program->straight_line, c.straight_line) << c.name;
  }
}

TEST(LoopProgram, RefusesLabelsAndJumpsItCannotPlace) {
  struct Case {
    const char* name;
    const char* text;
    const char* error;
  };
  const Case cases[] = {
      {"label never placed", "\tgoto\tnowhere\n", "line 1: label \"nowhere\" is not placed"},
      {"address instead of label", "\tgoto\t$\n", "line 1: label \"$\" is not placed"},
      {"relative address", "\tgoto\t$-2\n", "line 1: label \"$-2\" is not placed"},
      {"label placed twice", "x\n\tclrc\nx\n",
       "line 3: label \"x\" names a declared byte or "
       "another label"},
      {"label names a byte", "ACC0\n\tclrc\n",
       "line 1: label \"ACC0\" names a declared byte or another label"},
      {"label with a colon", "loop:\n\tclrc\n", "line 1: not an instruction line (no leading tab)"},
      {"label starting with a digit", "1loop\n",
       "line 1: not an instruction line (no leading tab)"},
      {"mnemonic in the first column", "clrc\n",
       "line 1: not an instruction line (no leading tab)"},
      {"goto without a label", "\tgoto\n", "line 1: \"goto\" needs operands"},
  };
  for (const Case& c : cases) {
    const ParseOutcome outcome = parse_instructions(c.text, kNames);
    EXPECT_FALSE(outcome.program) << c.name;
    EXPECT_EQ(outcome.error, c.error) << c.name;
  }
}

TEST(LoopProgram, BlocksHoldLabelsAmongTheirInstructions) {
  const std::string block =
      "; comment\n\tcblock\n\tACC0\n\tTEMP0\n\tendc\n\n\tmovlw\t3\n\tmovwf\tTEMP0\n"
      "x_loop\n; a comment inside the loop\n\tincf\tACC0, f\n\tdecfsz\tTEMP0, f\n"
      "\tgoto\tx_loop\n";
  const ParseOutcome outcome = parse_generated_block(block);
  ASSERT_TRUE(outcome.program) << outcome.error;
  ASSERT_EQ(outcome.program->instructions.size(), 5u);
  EXPECT_EQ(outcome.program->instructions[4].op, PicOp::kGoto);
  EXPECT_EQ(outcome.program->instructions[4].operand, 2);
}

// One loop instruction on F0 (and W, C, Z), then "incf N0, f", which tells whether it skipped.
TEST(LoopProgram, LoopInstructionsGiveTheDocumentedResultAndFlags) {
  struct Case {
    const char* name;
    const char* line;
    uint8_t f, w;
    bool c, z;
    uint8_t f_out, w_out;
    bool c_out, z_out, skipped;
  };
  const Case cases[] = {
      {"decf", "\tdecf\tF0, f", 0x01, 0x00, 1, 0, 0x00, 0x00, 1, 1, 0},
      {"decf wraps, C untouched", "\tdecf\tF0, f", 0x00, 0x00, 0, 1, 0xFF, 0x00, 0, 0, 0},
      {"decf w", "\tdecf\tF0, w", 0x10, 0x00, 0, 1, 0x10, 0x0F, 0, 0, 0},
      {"decfsz f", "\tdecfsz\tF0, f", 0x02, 0x00, 1, 1, 0x01, 0x00, 1, 1, 0},
      {"decfsz f to zero skips", "\tdecfsz\tF0, f", 0x01, 0x00, 0, 0, 0x00, 0x00, 0, 0, 1},
      {"decfsz w", "\tdecfsz\tF0, w", 0x01, 0x33, 0, 0, 0x01, 0x00, 0, 0, 1},
      {"btfss bit set skips", "\tbtfss\tF0, 3", 0x08, 0x00, 0, 0, 0x08, 0x00, 0, 0, 1},
      {"btfss bit clear", "\tbtfss\tF0, 3", 0xF7, 0x00, 1, 1, 0xF7, 0x00, 1, 1, 0},
      {"bcf", "\tbcf\tF0, 7", 0xFF, 0x00, 1, 0, 0x7F, 0x00, 1, 0, 0},
      {"setc", "\tsetc", 0x00, 0x00, 0, 1, 0x00, 0x00, 1, 1, 0},
      {"andwf f", "\tandwf\tF0, f", 0xF0, 0x3C, 0, 1, 0x30, 0x3C, 0, 0, 0},
      {"andwf w zero", "\tandwf\tF0, w", 0xF0, 0x0F, 1, 0, 0xF0, 0x00, 1, 1, 0},
  };
  for (const Case& c : cases) {
    // Alone for the result and the flags, then before the incf for the skip.
    for (const bool with_incf : {false, true}) {
      const std::string text = std::string(c.line) + (with_incf ? "\n\tincf\tN0, f\n" : "\n");
      const ParseOutcome outcome = parse_instructions(text, {"F0", "N0"});
      ASSERT_TRUE(outcome.program) << c.name << ": " << outcome.error;
      PicMachine m(*outcome.program);
      m.set_byte("F0", c.f);
      m.set_byte("N0", 0x10);
      m.w = c.w;
      m.carry = c.c;
      m.zero = c.z;
      const RunStats stats = m.run();
      if (with_incf) {
        EXPECT_EQ(m.byte("N0"), c.skipped ? 0x10 : 0x11) << c.name;
        continue;
      }
      EXPECT_EQ(m.byte("F0"), c.f_out) << c.name;
      EXPECT_EQ(m.w, c.w_out) << c.name;
      EXPECT_EQ(m.carry, c.c_out) << c.name;
      EXPECT_EQ(m.zero, c.z_out) << c.name;
      EXPECT_EQ(stats.skipped_past_end, c.skipped) << c.name;
    }
  }
}

// Cycles counted by hand: a goto takes two, a skip taken two, everything else one.
TEST(LoopProgram, JumpsAndTakenSkipsCostTwoCycles) {
  struct Case {
    const char* name;
    const char* text;
    uint8_t start;
    long instructions;
    long cycles;
    uint8_t end;
  };
  const Case cases[] = {
      // movlw, movwf, then per pass incf, decfsz and goto, the last pass skipping the goto.
      {"three passes",
       "\tmovlw\t3\n\tmovwf\tTEMP0\nx\n\tincf\tACC0, f\n\tdecfsz\tTEMP0, f\n"
       "\tgoto\tx\n",
       0, 2 + 3 * 3 - 1, 2 + 3 * 4 - 1, 3},
      {"one pass",
       "\tmovlw\t1\n\tmovwf\tTEMP0\nx\n\tincf\tACC0, f\n\tdecfsz\tTEMP0, f\n"
       "\tgoto\tx\n",
       7, 4, 5, 8},
      {"a goto over an instruction", "\tgoto\tover\n\tclrf\tACC0\nover\n", 9, 1, 2, 9},
      {"a goto to the next line", "\tgoto\tnext\nnext\n\tincf\tACC0, f\n", 9, 2, 3, 10},
  };
  for (const Case& c : cases) {
    const ParseOutcome outcome = parse_instructions(c.text, kNames);
    ASSERT_TRUE(outcome.program) << c.name << ": " << outcome.error;
    PicMachine m(*outcome.program);
    m.set_byte("ACC0", c.start);
    const RunStats stats = m.run();
    EXPECT_EQ(stats.instructions, c.instructions) << c.name;
    EXPECT_EQ(stats.cycles, c.cycles) << c.name;
    EXPECT_EQ(m.byte("ACC0"), c.end) << c.name;
    EXPECT_FALSE(stats.cycle_limit_reached) << c.name;
  }
}

TEST(LoopProgram, ARoutineThatNeverEndsIsStoppedAtTheCycleLimit) {
  const ParseOutcome outcome = parse_instructions("x\n\tincf\tACC0, f\n\tgoto\tx\n", kNames);
  ASSERT_TRUE(outcome.program) << outcome.error;
  PicMachine m(*outcome.program);
  m.cycle_limit = 3000;
  const RunStats stats = m.run();
  EXPECT_TRUE(stats.cycle_limit_reached);
  EXPECT_GE(stats.cycles, 3000);
  EXPECT_LE(stats.cycles, 3002);
}

// floor(x / 10) for 8-bit x by counting: x in W, ACC0 counts from -1 while ten can be taken
// off. Passes: x / 10 + 1, five cycles each but the last, which takes four.
const char* const kCountingBlock =
    "; ACC = floor(ACC * 1/10)\n;\n; Routine: 7 words\n\n\n"
    "; Input:  ACC0\t(8 bits)\n; Output: ACC0\t(5 bits)\n\n"
    "\tcblock\n\tACC0\n\tendc\n\n"
    "\tmovf\tACC0, w\n\tclrf\tACC0\n\tdecf\tACC0, f\n"
    "div_count\n\tincf\tACC0, f\n\taddlw\tD'-10'\n\tskpnc\n\tgoto\tdiv_count\n";

TEST(LoopProgram, TheRoutineCheckRunsALoopOneInputAtATime) {
  const RoutineUnderCheck routine{kCountingBlock, "ACC", "TEMP", false, 8, 5};
  std::vector<uint64_t> inputs;
  for (uint64_t x = 0; x < 256; ++x) inputs.push_back(x);
  std::vector<uint64_t> seen;
  const CheckReport report =
      check_routine(routine, inputs, 3, [&](uint64_t x, uint64_t) { seen.push_back(x); });
  EXPECT_TRUE(report.passed) << report.failure;
  EXPECT_EQ(report.inputs_checked, 256);
  EXPECT_EQ(report.instructions, 7);
  EXPECT_EQ(report.fewest_cycles, 3 + 4);
  EXPECT_EQ(report.cycles, 3 + 25 * 5 + 4);
  EXPECT_EQ(seen, inputs);
}

TEST(LoopProgram, TheRoutineCheckReportsALoopThatGoesWrongOrNeverEnds) {
  struct Case {
    const char* name;
    // Replaces the counting loop's "addlw D'-10'".
    const char* step;
    const char* failure;
  };
  const Case cases[] = {
      {"divides by 9", "\taddlw\tD'-9'\n", "input 9: got 1, documented 0"},
      {"never leaves the loop", "\tsetc\n", "input 0: the routine does not end"},
  };
  for (const Case& c : cases) {
    std::string block = kCountingBlock;
    block.replace(block.find("\taddlw\tD'-10'\n"), 14, c.step);
    const RoutineUnderCheck routine{block, "ACC", "TEMP", false, 8, 5};
    std::vector<uint64_t> inputs;
    for (uint64_t x = 0; x < 256; ++x) inputs.push_back(x);
    const CheckReport report = check_routine(routine, inputs, 3);
    EXPECT_FALSE(report.passed) << c.name;
    EXPECT_EQ(report.failure, c.failure) << c.name;
  }
}

}  // namespace
}  // namespace tarvek
