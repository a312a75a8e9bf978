#include "sim/routine_check.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "sim/pic_machine.h"
#include "sim/times_ten_block_for_tests.h"

namespace tarvek {
namespace {

std::string replaced(std::string_view text, std::string_view from, std::string_view to) {
  std::string result(text);
  const std::size_t at = result.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) result.replace(at, from.size(), to);
  return result;
}

RoutineUnderCheck ten(std::string_view block) {
  return {block, "ACC", "TEMP", false, 8, 12};
}

// A block of the given comment lines, declarations and instructions, for an 8-bit input.
std::string small_block(std::string_view terms, std::string_view output_line,
                        std::string_view declared, std::string_view code) {
  return "; ALGORITHM:\n" + std::string(terms) +
         ";\n; Input:  ACC0\t(8 bits)\n; Output: " + std::string(output_line) + "\n\n\tcblock\n" +
         std::string(declared) + "\tendc\n\n" + std::string(code) + "\n";
}

TEST(RoutineCheckTest, TheRoutineForTenKeepsItsPromiseForEveryInput) {
  const CheckReport report = check_routine(ten(kTimesTenBlock), sample_inputs(8, 12, 0, 0), 1);
  EXPECT_TRUE(report.passed) << report.failure;
  EXPECT_EQ(report.failure, "");
  EXPECT_EQ(report.inputs_checked, 256);
  EXPECT_EQ(report.instructions, 21);
  EXPECT_EQ(report.cycles, 21);
}

struct BrokenCase {
  const char* name;
  std::string block;
  bool little_endian;
  int output_bits;
  // The failure text starts with this.
  std::string failure;
};

TEST(RoutineCheckTest, EveryBrokenPromiseIsReported) {
  const BrokenCase cases[] = {
      {"a wrong byte in the addition",
       replaced(kTimesTenBlock, "\taddwf\tACC0, f", "\taddwf\tACC1, f"), false, 12,
       "input 26: got "},
      {"the other byte order", std::string(kTimesTenBlock), true, 12,
       "input 1: got 2560, documented 10"},
      {"a byte used but not declared", replaced(kTimesTenBlock, "\tTEMP1\n", ""), false, 12,
       "does not parse: line "},
      {"a byte of neither register", replaced(kTimesTenBlock, "\tTEMP1\n", "\tTEMP1\n\tOTHER0\n"),
       false, 12, "declares OTHER0, a byte of neither register"},
      {"an Output line for another width", std::string(kTimesTenBlock), false, 13,
       "the Output line does not name the 13-bit product"},
      {"a term that is no power of two", replaced(kTimesTenBlock, "input * 8", "input * 6"), false,
       12, "comment block: unreadable term line \"; Add input * 6 to accumulator\""},
      {"a term listed twice", replaced(kTimesTenBlock, "input * 8", "input * 2"), false, 12,
       "comment block: two terms of weight 2^1"},
      {"a promise of 9 times", replaced(kTimesTenBlock, "input * 2", "input * 1"), false, 12,
       "input 1: got 10, documented 9"},
      {"no Output line", replaced(kTimesTenBlock, "; Output: ", "; Result: "), false, 12,
       "comment block: no Input or no Output line"},
      {"an output byte above the input never written",
       small_block("; Add input * 2 to accumulator\n", "ACC0 .. ACC1\t(9 bits)", "\tACC0\n",
                   "\tclrc\n\trlf\tACC0, f"),
       false, 9, "output byte ACC1 is neither declared nor written by the routine"},
      {"a bit above the output width",
       small_block("; Add input * 1 to accumulator\n", "ACC0\t(8 bits)", "\tACC0\n",
                   "\tmovf\tACC0, w\n\tiorlw\tD'-128'\n\tmovwf\tACC0"),
       false, 8, "input 0: got 128, documented 0"},
      {"a skip past the end",
       small_block("; Add input * 1 to accumulator\n", "ACC0\t(8 bits)", "\tACC0\n",
                   "\tbtfsc\tACC0, 0"),
       false, 8, "input 0: the last instruction skips past the routine"},
  };
  for (const BrokenCase& c : cases) {
    const RoutineUnderCheck routine{c.block, "ACC", "TEMP", c.little_endian, 8, c.output_bits};
    const CheckReport report = check_routine(routine, sample_inputs(8, 12, 0, 0), 1);
    EXPECT_FALSE(report.passed) << c.name;
    EXPECT_TRUE(report.failure.starts_with(c.failure)) << c.name << ": " << report.failure;
  }
}

// The core line names the core the routine needs; it must be the request's, and the routine
// is parsed for it.
TEST(RoutineCheckTest, TheCoreLineMustNameTheRequestsCore) {
  const std::string core_line = "; Core: enhanced mid-range (PIC16F1xxx)\n";
  const std::string twice =
      small_block("; Add input * 2 to accumulator\n", "ACC0 .. ACC1\t(9 bits)", "\tACC0\n\tACC1\n",
                  "\tclrf\tACC1\n\tlslf\tACC0, f\n\trlf\tACC1, f");
  struct Case {
    const char* name;
    std::string block;
    PicCore core;
    // Empty when the routine passes; else the failure starts with this.
    std::string failure;
  };
  const Case cases[] = {
      {"enhanced, named", core_line + twice, PicCore::kEnhanced, ""},
      {"enhanced instruction, mid-range request", twice, PicCore::kMidrange,
       "does not parse: line 13: \"lslf\" is an enhanced mid-range instruction"},
      {"core line, mid-range request", core_line + twice, PicCore::kMidrange,
       "the comment block names the enhanced mid-range core, the request the mid-range one"},
      {"no core line, enhanced request", twice, PicCore::kEnhanced,
       "the comment block names the mid-range core, the request the enhanced mid-range one"},
      {"core line twice", core_line + core_line + twice, PicCore::kEnhanced,
       "comment block: unreadable or repeated line \"; Core: enhanced"},
      {"another core", "; Core: enhanced\n" + twice, PicCore::kEnhanced,
       "comment block: unreadable or repeated line \"; Core: enhanced\""},
  };
  for (const Case& c : cases) {
    const RoutineUnderCheck routine{c.block, "ACC", "TEMP", true, 8, 9, c.core};
    const CheckReport report = check_routine(routine, sample_inputs(8, 12, 0, 0), 1);
    EXPECT_EQ(report.passed, c.failure.empty()) << c.name << ": " << report.failure;
    EXPECT_TRUE(report.failure.starts_with(c.failure)) << c.name << ": " << report.failure;
  }
}

// A PIC18 routine names its core, multiplies in hardware and reads the product from PRODL and
// PRODH, which it does not declare; it has no RAM line, and runs on PicMachine.
TEST(RoutineCheckTest, APic18RoutineIsCheckedOnItsCore) {
  const std::string core_line = "; Core: PIC18 (PIC18Fxxx), registers in the access bank\n";
  const std::string code =
      "\tmovf\tACC0, w\n\tmullw\tD'10'\n\tmovf\tPRODL, w\n\tmovwf\tACC0\n\tclrf\tWREG\n"
      "\taddwf\tPRODH, w\n\tmovwf\tACC1";
  const auto block = [](const std::string& lines, const std::string& declared,
                        const std::string& instructions) {
    return lines + small_block("; Add input * 8 to accumulator\n; Add input * 2 to accumulator\n",
                               "ACC0 .. ACC1\t(12 bits)", declared, instructions);
  };
  const std::string bytes = "\tACC0\n\tACC1\n";
  struct Case {
    const char* name;
    std::string block;
    PicCore core;
    // Empty when the routine passes; else the failure starts with this.
    std::string failure;
  };
  const Case cases[] = {
      {"named", block(core_line, bytes, code), PicCore::kPic18, ""},
      {"a mid-range request", block(core_line, bytes, code), PicCore::kMidrange,
       "the comment block names the PIC18 core, the request the mid-range one"},
      {"no core line", block("", bytes, code), PicCore::kPic18,
       "the comment block names the mid-range core, the request the PIC18 one"},
      {"another multiplier", block(core_line, bytes, replaced(code, "D'10'", "D'11'")),
       PicCore::kPic18, "input 1: got 11, documented 10"},
      {"no product made", block(core_line, bytes, replaced(code, "\tmullw\tD'10'\n", "")),
       PicCore::kPic18, "input 0: got "},
      {"a mid-range rotate", block(core_line, bytes, code + "\n\trlf\tACC1, f"), PicCore::kPic18,
       "does not parse: line 21: \"rlf\" is a mid-range instruction, which a PIC18 part lacks"},
      {"the product declared", block(core_line, bytes + "\tPRODL\n", code), PicCore::kPic18,
       "does not parse: line 12: byte \"PRODL\" is a register of the PIC18 core"},
      {"a RAM line", block(core_line + "; RAM: 2 bytes (ACC0 .. ACC1)\n", bytes, code),
       PicCore::kPic18, "comment block: a RAM line belongs to a baseline routine"},
  };
  for (const Case& c : cases) {
    const RoutineUnderCheck routine{c.block, "ACC", "TEMP", true, 8, 12, c.core};
    const CheckReport report = check_routine(routine, sample_inputs(8, 12, 0, 0), 1);
    EXPECT_EQ(report.passed, c.failure.empty()) << c.name << ": " << report.failure;
    EXPECT_TRUE(report.failure.starts_with(c.failure)) << c.name << ": " << report.failure;
    if (c.failure.empty()) {
      EXPECT_EQ(report.inputs_checked, 256) << c.name;
      EXPECT_EQ(report.cycles, 7) << c.name;
      EXPECT_EQ(report.fewest_cycles, 7) << c.name;
    }
  }
}

// A baseline routine says how much RAM it takes: its RAM line must name exactly the bytes it
// declares, with those of its Input and Output lines, and only a baseline routine has one.
TEST(RoutineCheckTest, TheRamLineNamesTheBytesABaselineRoutineTakes) {
  const std::string core_line = "; Core: baseline (PIC10F, PIC12F5xx, PIC16F5x)\n";
  const std::string ram_line = "; RAM: 4 bytes (ACC0 .. ACC1, temporary TEMP0 .. TEMP1)\n";
  const auto with_lines = [](const std::string& lines) {
    return replaced(kTimesTenBlock, "(12 bits)\n", "(12 bits)\n" + lines);
  };
  struct Case {
    const char* name;
    std::string block;
    PicCore core;
    // Empty when the routine passes; else the failure starts with this.
    std::string failure;
  };
  const std::string unreadable = "comment block: unreadable or repeated line \"; RAM:";
  const std::string misnamed = "the RAM line does not name the 4 bytes the routine takes";
  const std::string belongs = "comment block: a RAM line belongs to a baseline routine";
  const Case cases[] = {
      {"named", with_lines(core_line + ram_line), PicCore::kBaseline, ""},
      {"a count that is not the sum",
       with_lines(core_line + "; RAM: 5 bytes (ACC0 .. ACC1, temporary TEMP0 .. TEMP1)\n"),
       PicCore::kBaseline, unreadable},
      {"a temporary byte left out",
       with_lines(core_line + "; RAM: 3 bytes (ACC0 .. ACC1, temporary TEMP0)\n"),
       PicCore::kBaseline, misnamed},
      {"no temporary bytes named", with_lines(core_line + "; RAM: 2 bytes (ACC0 .. ACC1)\n"),
       PicCore::kBaseline, misnamed},
      {"an input byte too many",
       with_lines(core_line + "; RAM: 5 bytes (ACC0 .. ACC2, temporary TEMP0 .. TEMP1)\n"),
       PicCore::kBaseline, misnamed},
      {"another register's name",
       with_lines(core_line + "; RAM: 4 bytes (ACC0 .. ACC1, temporary T0 .. T1)\n"),
       PicCore::kBaseline, unreadable},
      {"one byte is no bytes", with_lines(core_line + "; RAM: 1 bytes (ACC0)\n"),
       PicCore::kBaseline, unreadable},
      {"twice", with_lines(core_line + ram_line + ram_line), PicCore::kBaseline, unreadable},
      {"none on a baseline routine", with_lines(core_line), PicCore::kBaseline, belongs},
      {"one on a mid-range routine", with_lines(ram_line), PicCore::kMidrange, belongs},
      {"the baseline line, a mid-range request", with_lines(core_line + ram_line),
       PicCore::kMidrange,
       "the comment block names the baseline core, the request the mid-range one"},
      {"an instruction the baseline core lacks",
       replaced(with_lines(core_line + ram_line), "\tclrc\n\trlf\tACC1",
                "\tmovf\tACC1, w\n\taddlw\t0\n\tclrc\n\trlf\tACC1"),
       PicCore::kBaseline, "does not parse: line 28: \"addlw\" is a mid-range instruction"},
  };
  for (const Case& c : cases) {
    const RoutineUnderCheck routine{c.block, "ACC", "TEMP", false, 8, 12, c.core};
    const CheckReport report = check_routine(routine, sample_inputs(8, 12, 0, 0), 1);
    EXPECT_EQ(report.passed, c.failure.empty()) << c.name << ": " << report.failure;
    EXPECT_TRUE(report.failure.starts_with(c.failure)) << c.name << ": " << report.failure;
  }
  const PromiseOutcome read = read_promise(with_lines(core_line + ram_line), "ACC", "TEMP");
  ASSERT_TRUE(read.promise) << read.error;
  EXPECT_EQ(read.promise->core, PicCore::kBaseline);
  EXPECT_EQ(read.promise->ram_bytes, 4);
  EXPECT_EQ(read.promise->ram_acc_bytes, 2);
  EXPECT_EQ(read.promise->ram_temp_bytes, 2);
}

// The report names the first input whose run went wrong and counts those before it.
TEST(RoutineCheckTest, TheFirstFailingInputIsNamed) {
  const std::string wrong = replaced(kTimesTenBlock, "\taddwf\tACC0, f", "\taddwf\tACC1, f");
  const CheckReport report = check_routine(ten(wrong), sample_inputs(8, 12, 0, 0), 1);
  ASSERT_FALSE(report.passed);
  ASSERT_TRUE(report.failing_input.has_value());
  EXPECT_EQ(*report.failing_input, 26u) << report.failure;
  EXPECT_EQ(report.inputs_checked, 26);
}

// The bytes of the Input line that a routine never names are added for the run, also when
// its cblock section is the block's last text.
TEST(RoutineCheckTest, UndeclaredInputBytesAreAddedBeforeAFinalEndc) {
  const std::string block =
      "; Add input * 1 to accumulator\n; Input:  ACC0 .. ACC1\t(16 bits)\n"
      "; Output: ACC0 .. ACC1\t(16 bits)\n\tcblock\n\tendc";
  const CheckReport report =
      check_routine({block, "ACC", "TEMP", false, 16, 16}, sample_inputs(16, 0, 20, 1), 1);
  EXPECT_TRUE(report.passed) << report.failure;
}

// Constant 1: nothing to do, nothing declared; the input bytes keep the input.
TEST(RoutineCheckTest, AnEmptyRoutineLeavesTheInput) {
  const std::string block =
      small_block("; Add input * 1 to accumulator\n", "ACC0\t(8 bits)", "", "");
  const CheckReport report =
      check_routine({block, "ACC", "TEMP", true, 8, 8}, sample_inputs(8, 12, 0, 0), 5);
  EXPECT_TRUE(report.passed) << report.failure;
  EXPECT_EQ(report.instructions, 0);
}

// No term chosen: the promise is 0, which clearing the byte keeps and leaving it does not.
TEST(RoutineCheckTest, NoTermPromisesZero) {
  const std::string cleared =
      small_block("; WARNING:\n", "ACC0\t(1 bits)", "\tACC0\n", "\tclrf\tACC0");
  EXPECT_TRUE(check_routine({cleared, "ACC", "TEMP", false, 8, 1}, {0, 1, 255}, 3).passed);
  const std::string left = small_block("; WARNING:\n", "ACC0\t(1 bits)", "", "");
  const CheckReport report = check_routine({left, "ACC", "TEMP", false, 8, 1}, {0, 1, 255}, 3);
  EXPECT_EQ(report.failure, "input 1: got 1, documented 0");
}

TEST(RoutineCheckTest, InputsWiderThanTheRegisterAreRefused) {
  const CheckReport report = check_routine(ten(kTimesTenBlock), {3, 256}, 1);
  EXPECT_EQ(report.failure, "input 256: wider than the 8-bit input");
  EXPECT_EQ(report.inputs_checked, 1);
}

TEST(RoutineCheckTest, TheObserverSeesEveryMatchingResult) {
  uint64_t sum = 0;
  long calls = 0;
  const CheckReport report =
      check_routine(ten(kTimesTenBlock), {0, 1, 255}, 1, [&](uint64_t x, uint64_t y) {
        EXPECT_EQ(y, 10 * x);
        sum += y;
        ++calls;
      });
  EXPECT_TRUE(report.passed);
  EXPECT_EQ(calls, 3);
  EXPECT_EQ(sum, 2560u);
}

// x * 1 for a 16-bit big-endian input, with a fault: the high byte gains 1 where `condition`
// sets Z.
std::string one_with_fault(std::string_view condition) {
  return "; Add input * 1 to accumulator\n; Input:  ACC0 .. ACC1\t(16 bits)\n"
         "; Output: ACC0 .. ACC1\t(16 bits)\n\n\tcblock\n\tACC0\n\tACC1\n\tTEMP0\n\tendc\n\n" +
         std::string(condition) + "\tskpnz\n\tincf\tACC0, f\n";
}

// The first `count` inputs whose low byte is not 44, ascending.
std::vector<uint64_t> without_44(int count) {
  std::vector<uint64_t> inputs;
  for (uint64_t x = 0; static_cast<int>(inputs.size()) < count; ++x) {
    if ((x & 0xFF) != 44) inputs.push_back(x);
  }
  return inputs;
}

std::vector<uint64_t> joined(std::vector<uint64_t> a, const std::vector<uint64_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// The inputs run many at a time, yet the report is that of one run after the other: the
// first fault in input order, the inputs before it checked and observed in order, the cycles
// of the runs made.
TEST(RoutineCheckTest, TheReportFollowsInputOrderAcrossBatches) {
  // Fails where the low byte is 44: 300 gets 556.
  const std::string block = one_with_fault("\tmovf\tACC1, w\n\taddlw\tD'-44'\n");
  struct Case {
    const char* name;
    std::vector<uint64_t> inputs;
    // Empty when the check passes.
    std::string failure;
    long checked;
    long cycles;
  };
  // Batch boundaries: every kCheckBatchInputs inputs.
  const int batch = static_cast<int>(kCheckBatchInputs);
  const long b = batch;
  const Case cases[] = {
      {"three batches pass", without_44(2 * batch + 88), "", 2 * b + 88, 4},
      {"a run fault in the second batch", joined(without_44(batch + 44), {300, 44}),
       "input 300: got 556, documented 300", b + 44, 4},
      {"a fault in the last lane of a batch", joined(without_44(batch - 1), {44, 300}),
       "input 44: got 300, documented 44", b - 1, 4},
      {"a fault in the first lane of a batch", joined(without_44(batch), {44, 300}),
       "input 44: got 300, documented 44", b, 4},
      {"a wide input in the second batch", joined(without_44(batch + 34), {65536, 300}),
       "input 65536: wider than the 16-bit input", b + 34, 4},
      {"a run fault before a wide input", joined(without_44(batch + 14), {300, 65536}),
       "input 300: got 556, documented 300", b + 14, 4},
      {"a wide input opening a batch", joined(without_44(batch), {65536}),
       "input 65536: wider than the 16-bit input", b, 4},
      {"a wide input first: nothing runs",
       {65536, 1},
       "input 65536: wider than the 16-bit input",
       0,
       0},
      {"no input", {}, "", 0, 0},
  };
  for (const Case& c : cases) {
    std::vector<uint64_t> observed;
    const CheckReport report = check_routine({block, "ACC", "TEMP", false, 16, 16}, c.inputs, 7,
                                             [&](uint64_t x, uint64_t y) {
                                               EXPECT_EQ(x, y) << c.name;
                                               observed.push_back(x);
                                             });
    EXPECT_EQ(report.passed, c.failure.empty()) << c.name;
    EXPECT_EQ(report.failure, c.failure) << c.name;
    EXPECT_EQ(report.inputs_checked, c.checked) << c.name;
    EXPECT_EQ(report.cycles, c.cycles) << c.name;
    EXPECT_EQ(report.instructions, 4) << c.name;
    EXPECT_EQ(observed, std::vector<uint64_t>(c.inputs.begin(), c.inputs.begin() + c.checked))
        << c.name;
  }
}

// Run i starts from seed + i, also past the first batch: a routine that fails where its
// arbitrary TEMP0 starts at 0 fails at the first run whose starting state has it so.
TEST(RoutineCheckTest, EachRunStartsFromItsOwnSeed) {
  const std::string block = one_with_fault("\tmovf\tTEMP0, f\n");
  const ParseOutcome parsed = parse_generated_block(block);
  ASSERT_TRUE(parsed.program) << parsed.error;
  PicMachine machine(*parsed.program);
  const int temp = parsed.program->index_of("TEMP0");
  const int batch = static_cast<int>(kCheckBatchInputs);
  const std::vector<uint64_t> inputs = without_44(3 * batch);
  // The first seed whose first zero TEMP0 falls past the first batch, and that zero's run.
  uint64_t seed = 0;
  int first_zero = 0;
  while (first_zero <= batch || first_zero == 3 * batch) {
    ++seed;
    first_zero = 0;
    while (first_zero < 3 * batch) {
      machine.fill(seed + static_cast<uint64_t>(first_zero));
      if (machine.byte_at(temp) == 0) break;
      ++first_zero;
    }
  }
  ASSERT_LT(first_zero, 3 * batch);
  const CheckReport report = check_routine({block, "ACC", "TEMP", false, 16, 16}, inputs, seed);
  ASSERT_TRUE(report.failing_input.has_value()) << "seed " << seed;
  EXPECT_EQ(*report.failing_input, inputs[static_cast<std::size_t>(first_zero)]) << "seed " << seed;
  EXPECT_EQ(report.inputs_checked, first_zero) << "seed " << seed;
}

struct TermCase {
  const char* name;
  const char* line;
  int exponent;
  int sign;
};

TEST(RoutineCheckTest, TermLinesReadAsPowersOfTwo) {
  const TermCase cases[] = {
      {"units", "; Add input * 1 to accumulator", 0, 1},
      {"2^31", "; Add input * 2147483648 to accumulator", 31, 1},
      {"a half", "; Substract input / 2 from accumulator", -1, -1},
      {"2^-56 prints exactly", "; Add input / 72057594037927936 to accumulator", -56, 1},
      {"2^-64 prints rounded", "; Substract input / 18446744073709552000 from accumulator", -64,
       -1},
      {"2^-57 prints rounded", "; Add input / 144115188075855870 to accumulator", -57, 1},
  };
  for (const TermCase& c : cases) {
    const std::string block =
        std::string(c.line) + "\n; Input:  R0\t(8 bits)\n; Output: R0\t(8 bits)";
    const PromiseOutcome outcome = read_promise(block, "R");
    ASSERT_TRUE(outcome.promise.has_value()) << c.name << ": " << outcome.error;
    ASSERT_EQ(outcome.promise->terms.size(), 1u) << c.name;
    EXPECT_EQ(outcome.promise->terms[0].exponent, c.exponent) << c.name;
    EXPECT_EQ(outcome.promise->terms[0].sign, c.sign) << c.name;
  }
}

TEST(RoutineCheckTest, MalformedTermLinesAreRefused) {
  const char* lines[] = {
      "; Add input * 3 to accumulator",
      "; Add input * 4294967296 to accumulator",            // 2^32: no such multiplier
      "; Add input / 36893488147419103232 to accumulator",  // 2^65
      "; Add input * 08 to accumulator",
      "; Add input * 8 from accumulator",
      "; Substract input * 8 to accumulator",
      "; Add input x 8 to accumulator",
      "; Add input * to accumulator",
      "; Add input * 8 to accumulator ",
  };
  for (const char* line : lines) {
    const std::string block =
        std::string(line) + "\n; Input:  R0\t(8 bits)\n; Output: R0\t(8 bits)";
    EXPECT_FALSE(read_promise(block, "R").promise.has_value()) << line;
  }
}

// The promise is read from the lines that start with ';': a title line only as the block's
// first, a last line without a newline too, and nothing after a ';' within a line.
TEST(RoutineCheckTest, OnlyCommentLinesPromise) {
  const std::string lines = "; Input:  R0\t(8 bits)\n; Output: R0\t(9 bits)";
  const std::string title = "; R = floor(R * 3/2)\n";
  PromiseOutcome outcome = read_promise(title + lines, "R");
  ASSERT_TRUE(outcome.promise.has_value()) << outcome.error;
  ASSERT_TRUE(outcome.promise->exact.has_value());
  EXPECT_EQ(outcome.promise->exact->numerator, 3u);
  EXPECT_EQ(outcome.promise->output_bits, 9);

  outcome = read_promise(";\n" + title + lines, "R");
  ASSERT_TRUE(outcome.promise.has_value()) << outcome.error;
  EXPECT_FALSE(outcome.promise->exact.has_value());

  outcome = read_promise("\tclrf\tR0 ; Add input * 2 to accumulator\n" + lines, "R");
  ASSERT_TRUE(outcome.promise.has_value()) << outcome.error;
  EXPECT_TRUE(outcome.promise->terms.empty());

  EXPECT_EQ(read_promise(lines + "\n\tclrf\tR0\n; Input:  R0\t(8 bits)", "R").error,
            "unreadable or repeated line \"; Input:  R0\t(8 bits)\"");
  EXPECT_EQ(read_promise("; Input:  R0\t(8 bits)\n\tclrf\tR0", "R").error,
            "no Input or no Output line");
}

TEST(RoutineCheckTest, InputAndOutputLinesGiveBytesAndBits) {
  const PromiseOutcome outcome =
      read_promise("; Input:  R10 .. R12\t(20 bits)\n; Output: R10 .. R13\t(27 bits)", "R1");
  ASSERT_TRUE(outcome.promise.has_value()) << outcome.error;
  EXPECT_EQ(outcome.promise->input_bytes, 3);
  EXPECT_EQ(outcome.promise->input_bits, 20);
  EXPECT_EQ(outcome.promise->output_bytes, 4);
  EXPECT_EQ(outcome.promise->output_bits, 27);
  EXPECT_TRUE(outcome.promise->terms.empty());
}

TEST(RoutineCheckTest, SampledInputsAreExhaustiveOrHoldTheEdges) {
  EXPECT_EQ(sample_inputs(3, 3, 0, 1), (std::vector<uint64_t>{0, 1, 2, 3, 4, 5, 6, 7}));
  const std::vector<uint64_t> inputs = sample_inputs(20, 12, 50, 9);
  for (uint64_t x : {0ull, 1ull, 2ull, 3ull, 255ull, 256ull, 257ull, 65535ull, 0x80000ull,
                     0xFFFFFull, 0xFFFFEull, 0x55555ull, 0xAAAAAull}) {
    EXPECT_TRUE(std::binary_search(inputs.begin(), inputs.end(), x)) << x;
  }
  EXPECT_TRUE(std::is_sorted(inputs.begin(), inputs.end()));
  EXPECT_EQ(std::adjacent_find(inputs.begin(), inputs.end()), inputs.end());
  EXPECT_LT(inputs.back(), 1u << 20);
  EXPECT_GT(inputs.size(), 100u);
  EXPECT_EQ(sample_inputs(20, 12, 50, 9), inputs);
  EXPECT_NE(sample_inputs(20, 12, 50, 10), inputs);
  EXPECT_EQ(sample_inputs(1, 0, 4, 1), (std::vector<uint64_t>{0, 1}));
}

}  // namespace
}  // namespace tarvek
