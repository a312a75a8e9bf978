#include "cli/cli.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/command_line.h"
#include "codegen/generator.h"
#include "codegen/register.h"
#include "page/register_placement.h"

namespace tarvek {
namespace {

struct CliRun {
  int status = -1;
  std::string out;
  std::string err;
};

CliRun run(const std::vector<std::string_view>& args,
           const CodeGenerator& generate = generate_routine) {
  std::ostringstream out;
  std::ostringstream err;
  CliRun result;
  result.status = run_cli(args, out, err, generate);
  result.out = out.str();
  result.err = err.str();
  return result;
}

// The block generate_code writes for a request the caller knows to be valid, and whose
// approximation gives floor(x * K) for every input (so that it has no notes on that). The
// tool always says where the registers go: at `ram_address`, or -1 for none.
std::string block_of(double constant, double error, int input_bits, int output_bits,
                     const std::string& acc_name, const std::string& temp_name, bool little_endian,
                     Core core = Core::kMidrange, int ram_address = -1) {
  Register acc(acc_name, input_bits, little_endian);
  Register temp(temp_name, 0, little_endian);
  std::ostringstream out;
  GeneratorRequest request{constant, error, output_bits};
  request.core = core;
  request.ram_address = ram_address;
  request.notes = ram_notes(ram_address, core);
  generate_code(out, request, acc, temp);
  return out.str();
}

// The routine from its cblock on, without the comment block.
std::string code_part(const std::string& block) {
  const std::size_t at = block.find("\n\tcblock");
  return at == std::string::npos ? block : block.substr(at);
}

const std::string kTimesTenVerification =
    "; Verification on tarvek's PIC16 simulator, each run starting from\n"
    "; arbitrary values in every other byte, W and the flags:\n"
    "; Inputs checked: 256 (every 8-bit input)\n"
    "; Every result equals the documented computation.\n"
    "; Routine: 21 instructions, 21 cycles\n"
    "; Worst deviation from input * 10 (result minus exact value, truncation included):\n"
    ";   absolute 0 at input 0\n"
    ";   relative 0 % at input 1 (undefined at input 0, which is left out)\n";

TEST(RunCliTest, PrintsTheGeneratedBlockAsItIs) {
  const CliRun result = run({"--const", "10", "--bits", "8"});
  EXPECT_EQ(result.status, kExitOk);
  EXPECT_EQ(result.out, block_of(10, 0, 8, 12, "ACC", "TEMP", false));
  EXPECT_EQ(result.err, "");
}

TEST(RunCliTest, EveryFieldReachesTheGenerator) {
  const CliRun result = run({"--const=1.5", "--bits=12", "--error=2", "--acc", "X<&>", "--temp",
                             "Y\"", "--little-endian", "--ram", "0x30"});
  EXPECT_EQ(result.status, kExitOk);
  // Nothing escaped: the names come out as given.
  EXPECT_EQ(result.out, block_of(1.5, 2, 12, 13, "X<&>", "Y\"", true, Core::kMidrange, 0x30));
  EXPECT_NE(result.out.find("X<&>0"), std::string::npos);
  EXPECT_NE(result.out.find("\n\tcblock 0x30\n"), std::string::npos);
}

TEST(RunCliTest, TheCoreReachesTheGenerator) {
  const std::string enhanced = block_of(10, 0, 8, 12, "ACC", "TEMP", false, Core::kEnhanced);
  EXPECT_EQ(run({"--const", "10", "--bits", "8", "--core", "enhanced"}).out, enhanced);
  EXPECT_NE(enhanced, block_of(10, 0, 8, 12, "ACC", "TEMP", false));
  EXPECT_EQ(run({"--const", "10", "--bits", "8", "--core=midrange"}).out,
            block_of(10, 0, 8, 12, "ACC", "TEMP", false));
  // Checked on the simulator for the enhanced core, whose instructions it parses.
  const CliRun verified =
      run({"--const", "0.1", "--bits", "16", "--core", "enhanced", "--little-endian", "--verify"});
  EXPECT_EQ(verified.status, kExitOk) << verified.out;
  EXPECT_NE(verified.out.find("; Inputs checked: 65536 (every 16-bit input)\n"
                              "; Every result equals the documented computation.\n"),
            std::string::npos)
      << verified.out;
  // The exact modes too: the block names the core, and the check runs it on that core.
  const CliRun exact = run(
      {"--divide-by", "10", "--bits", "16", "--result", "floor", "--core", "enhanced", "--verify"});
  EXPECT_EQ(exact.status, kExitOk) << exact.out;
  EXPECT_NE(exact.out.find("\n; Core: enhanced mid-range (PIC16F1xxx)\n"), std::string::npos)
      << exact.out;
  EXPECT_NE(exact.out.find("\taddwfc\t"), std::string::npos) << exact.out;
  EXPECT_NE(exact.out.find("; Every result equals the documented computation.\n"),
            std::string::npos)
      << exact.out;
}

// A PIC18 request: its core line, the access bank in its notes, and the packagings that core
// has of its own. Their routines are printed once the pre-print check runs PIC18 code.
TEST(RunCliTest, Pic18RoutinesInTheirPackagings) {
  struct Case {
    const char* name;
    std::vector<std::string_view> args;
    std::vector<std::string> in_out;
  };
  const Case cases[] = {
      {"an exact routine",
       {"--divide-by", "10", "--bits", "16", "--core", "pic18"},
       {"\n; Core: PIC18 (PIC18Fxxx), registers in the access bank\n",
        "; Every register here must lie in the access bank (0x00 to 0x7F on a PIC18F452):\n"}},
      {"an approximation at an address",
       {"--const", "10", "--bits", "8", "--core", "pic18", "--ram", "0x10"},
       {"; Registers: they start at 0x10, in the access bank.\n", "\n\tcblock 0x10\n"}},
      {"a whole program",
       {"--divide-by", "10", "--bits", "16", "--core", "pic18", "--wrap", "program"},
       {"\n\tprocessor\t18f452\n\tinclude\t\"p18f452.inc\"\n\n\tcblock 0x00\n",
        "\n\torg\t0\nacc_div10_floor\n", "\tbra\t$\n\n\tend\n"}},
      {"a module",
       {"--divide-by", "10", "--bits", "16", "--core", "pic18", "--syntax", "gpasm-reloc"},
       {"\nacc_div10_floor_ram\tudata_acs\n", "\tcode\nacc_div10_floor\n\t"}},
  };
  for (const Case& c : cases) {
    const CliRun result = run(c.args);
    EXPECT_EQ(result.status, kExitOk) << c.name << "\n" << result.err;
    for (const std::string& part : c.in_out) {
      EXPECT_NE(result.out.find(part), std::string::npos) << c.name << "\n" << result.out;
    }
    // Nothing selects a bank on PIC18.
    EXPECT_EQ(result.out.find("banksel"), std::string::npos) << c.name;
  }
}

TEST(RunCliTest, OptimizeAndLabelReachTheGenerator) {
  // Without --optimize, or with speed, the straight-line routine as always.
  const std::string speed = run({"--divide-by", "10", "--bits", "8"}).out;
  EXPECT_EQ(run({"--divide-by", "10", "--bits", "8", "--optimize", "speed"}).out, speed);
  const CliRun size = run(
      {"--divide-by", "10", "--bits", "8", "--optimize", "size", "--label", "tens_", "--verify"});
  EXPECT_EQ(size.status, kExitOk) << size.out;
  EXPECT_NE(size.out, speed);
  EXPECT_NE(size.out.find("	goto	tens_"), std::string::npos) << size.out;
  EXPECT_NE(size.out.find("; Every result equals the documented computation.\n"
                          "; Routine: 7 words, 7 to 132 cycles (over the inputs checked)\n"),
            std::string::npos)
      << size.out;
  // Refusals name the field's message.
  EXPECT_EQ(run({"--divide-by", "10", "--bits", "8", "--optimize", "small"}).status, kExitRefused);
  EXPECT_EQ(run({"--divide-by", "10", "--bits", "8", "--optimize", "size", "--label", "9x"}).status,
            kExitRefused);
  EXPECT_EQ(run({"--const", "10", "--bits", "8", "--optimize", "size"}).err.substr(0, 3), "#31");
}

TEST(RunCliTest, RemainderAndDigitsReachTheGenerator) {
  struct Case {
    const char* name;
    std::vector<std::string_view> args;
    int status;
    const char* in_out;
  };
  const Case cases[] = {
      {"a remainder, verified",
       {"--divide-by", "10", "--bits", "16", "--remainder", "REM", "--verify"},
       kExitOk,
       "; Remainder: REM0\t(4 bits)\n"},
      {"digits need no constant, verified",
       {"--result", "digits", "--bits", "16", "--verify"},
       kExitOk,
       "; Every result equals the documented computation.\n; Routine: 95 instructions, 95 "
       "cycles\n"},
      {"ascii digits in base 8",
       {"--result", "digits", "--divide-by", "8", "--digit-form", "ascii", "--bits", "8"},
       kExitOk,
       "; Output: ACC0 .. ACC2\t(3 digits)\n"},
      {"digits as a relocatable macro, verified",
       {"--result", "digits", "--bits", "12", "--wrap", "macro", "--syntax", "gpasm-reloc",
        "--verify"},
       kExitOk,
       "; Every result equals the documented computation.\n"},
      {"a remainder of nearest",
       {"--divide-by", "10", "--bits", "8", "--result", "nearest", "--remainder", "REM"},
       kExitRefused,
       ""},
      {"packed digits in base 16",
       {"--result", "digits", "--divide-by", "16", "--digit-form", "packed", "--bits", "8"},
       kExitRefused,
       ""},
  };
  for (const Case& c : cases) {
    const CliRun result = run(c.args);
    EXPECT_EQ(result.status, c.status) << c.name << "\n" << result.out << result.err;
    EXPECT_NE(result.out.find(c.in_out), std::string::npos) << c.name << "\n" << result.out;
  }
}

TEST(RunCliTest, ValuesAreReadAsTheFormReadsThem) {
  const std::string expected = block_of(10, 0, 8, 12, "ACC", "TEMP", false);
  EXPECT_EQ(run({"--const", " 10.0 ", "--bits", "8", "--error", " 0"}).out, expected);
  EXPECT_EQ(run({"--const", "1e1", "--bits", "+8"}).out, expected);
  EXPECT_EQ(run({"--const", "10/1", "--bits", "8", "--result", "approx"}).out, expected);
}

// A value is one number and nothing else: the web form reads as far as a number goes, but a
// build script that wrote 10abc or 16abc has made a mistake it must hear of.
TEST(RunCliTest, TextAfterANumberIsAUsageError) {
  struct Case {
    const char* name;
    std::vector<std::string_view> args;
    std::string message;
  };
  const std::string not_a_number =
      "' is not a number: a decimal such as 0.75 or 3.3e-2, or a fraction such as 22/7\n";
  const Case cases[] = {
      {"letters after the constant",
       {"--const", "10abc", "--bits", "8"},
       "--const '10abc" + not_a_number},
      {"letters after the width",
       {"--const", "10", "--bits", "16abc"},
       "--bits '16abc' is not a whole number\n"},
      {"a decimal width",
       {"--const", "10", "--bits", "8.5"},
       "--bits '8.5' is not a whole number\n"},
      {"letters for the width",
       {"--const", "10", "--bits", "eight"},
       "--bits 'eight' is not a whole number\n"},
      {"letters after the divisor",
       {"--divide-by", "7/3x", "--bits", "8"},
       "--divide-by '7/3x" + not_a_number},
      {"a decimal over an integer",
       {"--const", "1.5/3", "--bits", "8"},
       "--const '1.5/3" + not_a_number},
      {"hexadecimal", {"--const", "0x10", "--bits", "8"}, "--const '0x10" + not_a_number},
      {"letters for the constant",
       {"--const", "ten", "--bits", "8"},
       "--const 'ten" + not_a_number},
      {"an empty constant", {"--const=", "--bits", "8"}, "--const '" + not_a_number},
      {"an exponent without digits",
       {"--const", "1e", "--bits", "8"},
       "--const '1e" + not_a_number},
      {"letters for the error",
       {"--const", "10", "--bits", "8", "--error", "none"},
       "--error 'none' is not a number\n"},
      {"a unit after the error",
       {"--const", "10", "--bits", "8", "--error", "1%"},
       "--error '1%' is not a number\n"},
      {"an error for a division that is exact by default",
       {"--divide-by", "3", "--bits", "8", "--error", "1"},
       "--error is the allowed error of an approximation, and a division gives C's exact result "
       "unless --result approx asks for one\n"},
      {"an error for a fraction that is exact by default",
       {"--const", "22/7", "--bits", "8", "--error", "0"},
       "--error is the allowed error of an approximation, and a division gives C's exact result "
       "unless --result approx asks for one\n"},
  };
  for (const Case& c : cases) {
    const CliRun result = run(c.args);
    EXPECT_EQ(result.status, kExitUsage) << c.name;
    EXPECT_EQ(result.out, "") << c.name;
    EXPECT_EQ(result.err, "tarvek-asm: " + c.message + usage_text()) << c.name;
  }
}

// A division means C's division unless the command says otherwise.
TEST(RunCliTest, ADivisionIsExactByDefault) {
  struct Case {
    const char* name;
    std::vector<std::string_view> args;
    // The first line of the routine.
    std::string title;
  };
  const Case cases[] = {
      {"a divisor", {"--divide-by", "3", "--bits", "8"}, "; ACC = floor(ACC * 1/3)"},
      {"a fraction", {"--const", "22/7", "--bits", "8"}, "; ACC = floor(ACC * 22/7)"},
      {"both", {"--const", "5", "--divide-by", "10", "--bits", "8"}, "; ACC = floor(ACC * 1/2)"},
      {"a signed input: C rounds toward zero",
       {"--divide-by", "10", "--bits", "8", "--signed"},
       "; ACC = trunc(ACC * 1/10), signed"},
      {"asked for the approximation",
       {"--divide-by", "3", "--bits", "8", "--result", "approx"},
       "; ACC = ACC * 0.333333"},
      {"an error with the approximation asked for",
       {"--divide-by", "3", "--bits", "8", "--result", "approx", "--error", "1"},
       "; ACC = ACC * 0.333333"},
      {"asked for another exact result",
       {"--divide-by", "3", "--bits", "8", "--result", "nearest"},
       "; ACC = round(ACC * 1/3)"},
      {"a decimal constant", {"--const", "0.5", "--bits", "8"}, "; ACC = ACC * 0.500000"},
      {"a decimal constant with an error",
       {"--const", "0.3", "--bits", "8", "--error", "1"},
       "; ACC = ACC * 0.300000"},
  };
  for (const Case& c : cases) {
    const CliRun result = run(c.args);
    EXPECT_EQ(result.status, kExitOk) << c.name << "\n" << result.err;
    EXPECT_EQ(result.out.substr(0, result.out.find('\n')), c.title) << c.name;
  }
}

TEST(RunCliTest, DivideByUsesTheNearestDoubleToTheReciprocal) {
  const CliRun divided = run({"--divide-by", "3", "--bits", "16", "--result", "approx"});
  EXPECT_EQ(divided.status, kExitOk);
  // 0.3333333333333333 is the shortest text of the double nearest to 1/3. The notes differ:
  // floor(3 * 1/3) is 1, floor(3 * 0.3333333333333333) is 0.
  EXPECT_EQ(code_part(divided.out),
            code_part(run({"--const", "0.3333333333333333", "--bits", "16"}).out));
  EXPECT_EQ(divided.out.rfind("; ACC = ACC * 0.333333\n", 0), 0u);
}

// An approximation that is not exact for every input says so, with the exact routine's cost.
TEST(RunCliTest, AnApproximationSaysWhereItIsNotExact) {
  const CliRun third = run({"--divide-by", "3", "--bits", "8", "--result", "approx"});
  EXPECT_EQ(third.status, kExitOk);
  const CliRun floor = run({"--divide-by", "3", "--bits", "8"});
  const std::size_t count_at = floor.out.find("; Routine: ");
  ASSERT_NE(count_at, std::string::npos);
  const std::string count =
      floor.out.substr(count_at + 11, floor.out.find(' ', count_at + 11) - count_at - 11);
  EXPECT_NE(third.out.find("\n; Not exact: input 3 gives 0 where floor(3 * 1/3) is 1.\n"
                           "; Exact floor: " +
                           count + " instructions (result floor).\n; Registers: "),
            std::string::npos)
      << third.out;
  // Exact for every input: nothing to say.
  EXPECT_EQ(run({"--const", "0.5", "--bits", "8"}).out.find("; Not exact"), std::string::npos);
}

// The error achieved above the error allowed: the routine is written, with its WARNING, and
// a build script sees the exit status.
TEST(RunCliTest, AnErrorAboveTheAllowedOneEndsWithStatus3) {
  const CliRun narrow =
      run({"--divide-by", "5000", "--bits", "13", "--error", "1", "--result", "approx"});
  EXPECT_EQ(narrow.status, kExitErrorExceeded);
  EXPECT_NE(narrow.out.find("; WARNING:\n"), std::string::npos);
  EXPECT_EQ(narrow.err,
            "tarvek-asm: warning: the approximation's error, 100 %, exceeds the allowed 1 %: a "
            "13-bit input is too narrow for the terms that would meet it (exit status 3)\n");
  // The same with the verification, which finds the routine as documented.
  EXPECT_EQ(
      run({"--divide-by", "5000", "--bits", "13", "--error", "1", "--result", "approx", "--verify"})
          .status,
      kExitErrorExceeded);
  // Met within the error: no warning.
  const CliRun wide =
      run({"--divide-by", "5000", "--bits", "24", "--error", "1", "--result", "approx"});
  EXPECT_EQ(wide.status, kExitOk);
  EXPECT_EQ(wide.err, "");
  // The exact result by default.
  EXPECT_EQ(run({"--divide-by", "5000", "--bits", "13"}).status, kExitOk);
}

TEST(RunCliTest, RefusedRequests) {
  struct Case {
    const char* name;
    std::vector<std::string_view> args;
    std::string expected_err;
  };
  const std::string m1 = "#1 Error in input: Input size out of range (1..32 bits).\n";
  const std::string m2 = "#2 Error in input: Constant value is negative, zero, or not a number.\n";
  const std::string m3 = "#3 Error in input: Enter input register(s) name.\n";
  const std::string m4 = "#4 Error in input: Enter temporary register(s) name.\n";
  const std::string m5 = "#5 Error in input: Too big constant, size over 32 bits.\n";
  const std::string m6 = "#6 Error in input: Constant error must be between 0 and 50%.\n";
  const std::string m7 =
      "#7 Error in input: Result is zero for this combination of input size and constant.\n";
  const std::string m13 =
      "#13 Error in input: Core must be midrange, enhanced, baseline or pic18.\n";
  const std::string m9 =
      "#9 Error in input: Divisor must be a positive decimal number or a fraction of two "
      "positive integers.\n";
  const std::string m16 =
      "#16 Error in input: RAM address must be a number from 0 to 0x1FF, hexadecimal as 0x20 or "
      "decimal as 32.\n";
  const Case cases[] = {
      {"33 bits", {"--const", "10", "--bits", "33"}, m1},
      {"0 bits", {"--const", "10", "--bits", "0"}, m1},
      {"constant 0", {"--const", "0", "--bits", "8"}, m2},
      {"negative constant", {"--const", "-3", "--bits", "8"}, m2},
      {"negative divisor", {"--divide-by", "-2", "--bits", "8", "--result", "approx"}, m2},
      {"divisor too large for a double",
       {"--divide-by", "1e400", "--bits", "8", "--result", "approx"},
       m2},
      {"negative divisor, exact", {"--divide-by", "-2", "--bits", "8"}, m9},
      {"divide by 0, exact", {"--divide-by", "0", "--bits", "8"}, m9},
      {"RAM beyond bank 3", {"--const", "10", "--bits", "8", "--ram", "0x200"}, m16},
      {"RAM of letters", {"--const", "10", "--bits", "8", "--ram", "bank0"}, m16},
      {"accumulator starts with a digit", {"--const", "10", "--bits", "8", "--acc", "1A"}, m3},
      {"empty accumulator", {"--const", "10", "--bits", "8", "--acc="}, m3},
      {"accumulator of 32 characters",
       {"--const", "10", "--bits", "8", "--acc", "ABCDEFGHIJKLMNOPQRSTUVWXYZABCDEF"},
       m3},
      {"temporary starts with _", {"--const", "10", "--bits", "8", "--temp", "_T"}, m4},
      {"temporary named as the accumulator",
       {"--const", "10", "--bits", "8", "--acc", "R", "--temp", "R"},
       "#4 Error in input: Input register R and temporary register R both have a byte named "
       "R0.\n"},
      {"temporary bytes meet the accumulator's",
       {"--const", "10", "--bits", "8", "--acc", "X", "--temp", "X1"},
       "#4 Error in input: Input register X and temporary register X1 both have a byte named "
       "X10.\n"},
      {"2^32", {"--const", "4294967296", "--bits", "8"}, m5},
      {"divide by 0", {"--divide-by", "0", "--bits", "8", "--result", "approx"}, m5},
      {"error above 50", {"--const", "10", "--bits", "8", "--error", "50.001"}, m6},
      {"negative error", {"--const", "10", "--bits", "8", "--error", "-1"}, m6},
      {"zero result", {"--const", "0.5", "--bits", "1"}, m7},
      {"divide to a zero result", {"--divide-by", "4", "--bits", "1", "--result", "approx"}, m7},
      {"divide to a zero result, exact", {"--divide-by", "4", "--bits", "1"}, m7},
      {"the accumulator check counts last of the first seven",
       {"--const", "0", "--bits", "0", "--error", "99", "--acc", "", "--temp", ""},
       m3},
      {"another core", {"--const", "10", "--bits", "8", "--core", "pic24"}, m13},
      {"a core named in capitals", {"--const", "10", "--bits", "8", "--core", "PIC18"}, m13},
      {"the core check counts last",
       {"--const", "0", "--bits", "0", "--acc", "", "--core", "Enhanced"},
       m13},
  };
  for (const Case& c : cases) {
    const CliRun result = run(c.args);
    EXPECT_EQ(result.status, kExitRefused) << c.name;
    EXPECT_EQ(result.err, c.expected_err) << c.name;
    EXPECT_EQ(result.out, "") << c.name;
  }
}

TEST(RunCliTest, UsageErrors) {
  const CliRun result = run({"--const", "10", "--bits", "8", "--frobnicate"});
  EXPECT_EQ(result.status, kExitUsage);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, "tarvek-asm: unknown option '--frobnicate'\n" + usage_text());
  EXPECT_EQ(run({}).status, kExitUsage);
  EXPECT_EQ(run({"--bits", "8"}).status, kExitUsage);
  EXPECT_EQ(run({"--const", "10"}).status, kExitUsage);
  EXPECT_EQ(run({"--const", "10", "--bits"}).status, kExitUsage);
  EXPECT_EQ(run({"--const", "10", "--bits", "8", "file.asm"}).status, kExitUsage);
}

TEST(RunCliTest, HelpAndVersion) {
  const CliRun help = run({"--help"});
  EXPECT_EQ(help.status, kExitOk);
  EXPECT_EQ(help.out, help_text());
  EXPECT_EQ(help.err, "");
  const CliRun version = run({"--version"});
  EXPECT_EQ(version.status, kExitOk);
  EXPECT_EQ(version.out, version_text());
  EXPECT_EQ(version.err, "");
}

TEST(RunCliTest, VerifyAppendsItsFindings) {
  const CliRun result = run({"--const", "10", "--bits", "8", "--verify"});
  EXPECT_EQ(result.status, kExitOk);
  EXPECT_EQ(result.out, block_of(10, 0, 8, 12, "ACC", "TEMP", false) + kTimesTenVerification);
  EXPECT_EQ(result.err, "");
}

TEST(RunCliTest, VerifyDivideByTen) {
  const CliRun result = run({"--divide-by", "10", "--bits", "8", "--result", "approx", "--verify"});
  EXPECT_EQ(result.status, kExitOk);
  const std::string tail =
      "; Every result equals the documented computation.\n"
      "; Routine: 109 instructions, 109 cycles\n"
      "; Worst deviation from input / 10 (result minus exact value, truncation included):\n"
      ";   absolute -0.9 at input 9\n"
      ";   relative -100 % at input 1 (undefined at input 0, which is left out)\n";
  ASSERT_GE(result.out.size(), tail.size());
  EXPECT_EQ(result.out.substr(result.out.size() - tail.size()), tail);
}

TEST(RunCliTest, VerifyOtherNamesAndByteOrder) {
  const CliRun result = run({"--const", "3.75", "--bits", "12", "--acc", "SUM", "--temp", "T",
                             "--little-endian", "--verify"});
  EXPECT_EQ(result.status, kExitOk) << result.out;
  EXPECT_NE(result.out.find("; Every result equals the documented computation.\n"),
            std::string::npos);
}

TEST(RunCliTest, VerifyAtTheEndsOfTheRange) {
  struct Case {
    const char* name;
    std::vector<std::string_view> args;
    std::string deviation;
    int status = kExitOk;
  };
  const Case cases[] = {
      {"largest constant", {"--const", "2147483648", "--bits", "1"}, ";   absolute 0 at input 0\n"},
      // 1/D rounds to 2^31 exactly.
      {"smallest divisor",
       {"--divide-by", "4.656612873077393e-10", "--bits", "1"},
       ";   absolute 0 at input 0\n"},
      // No term of 1/D is within reach of 32 bits: every result is 0, an error of 100 % where
      // none is allowed.
      {"largest divisor",
       {"--divide-by", "4294967295", "--bits", "32"},
       ";   absolute -1 at input 4294967295\n",
       kExitErrorExceeded},
  };
  for (const Case& c : cases) {
    std::vector<std::string_view> args = c.args;
    args.insert(args.end(), {"--result", "approx", "--verify"});
    const CliRun result = run(args);
    EXPECT_EQ(result.status, c.status) << c.name;
    EXPECT_NE(result.out.find("; Every result equals the documented computation.\n"),
              std::string::npos)
        << c.name;
    EXPECT_NE(result.out.find(c.deviation), std::string::npos) << c.name << "\n" << result.out;
  }
}

// Generates the real block and drops the routine's last instruction, the addition into the
// high byte: results from input 26 up (10 * 26 = 260) lose their high byte.
int generate_without_last_add(std::ostream& out, const GeneratorRequest& request, Register& acc,
                              Register& temp) {
  std::ostringstream block;
  generate_code(block, request, acc, temp);
  std::string text = block.str();
  const std::string last = "\taddwf\tACC0, f\n";
  const std::size_t at = text.rfind(last);
  EXPECT_NE(at, std::string::npos);
  if (at != std::string::npos) text.erase(at, last.size());
  out << text;
  return 0;
}

TEST(RunCliTest, VerifyCatchesASpoiledRoutine) {
  const CliRun result =
      run({"--const", "10", "--bits", "8", "--verify"}, generate_without_last_add);
  EXPECT_EQ(result.status, kExitMismatch);
  const std::string tail =
      "; Verification on tarvek's PIC16 simulator, each run starting from\n"
      "; arbitrary values in every other byte, W and the flags:\n"
      "; FAILED: input 26: got 4, documented 260\n"
      "; Inputs whose result matched before that: 26\n"
      "; Routine: 20 instructions\n"
      "; The routine does not compute what its comment block documents.\n";
  ASSERT_GE(result.out.size(), tail.size());
  EXPECT_EQ(result.out.substr(result.out.size() - tail.size()), tail);
  EXPECT_EQ(result.err, "");
}

TEST(RunCliTest, SpoiledRoutineWithoutVerifyIsNotChecked) {
  EXPECT_EQ(run({"--const", "10", "--bits", "8"}, generate_without_last_add).status, kExitOk);
}

// --wrap, --syntax and --name reach the form's fields: the same text as the CGI program's
// text answer for those fields, and the routine's RAM told; a packaging the form refuses is
// refused with its message.
TEST(RunCliTest, PackagingOptions) {
  struct Case {
    const char* name;
    std::vector<std::string_view> args;
    int status;
    const char* in_out;
    const char* in_err;
  };
  const Case cases[] = {
      {"subroutine",
       {"--divide-by", "10", "--bits", "8", "--wrap", "subroutine"},
       kExitOk,
       "\nacc_div10_floor\n",
       ""},
      {"named macro",
       {"--divide-by", "10", "--bits", "8", "--wrap=macro", "--name", "div10"},
       kExitOk,
       "\ndiv10\tmacro\n",
       ""},
      {"pic-as",
       {"--divide-by", "10", "--bits", "8", "--syntax", "pic-as", "--wrap", "subroutine"},
       kExitOk,
       "\nacc_div10_floor:\n\tBANKSEL\tACC0\n",
       ""},
      {"a module",
       {"--const", "10", "--bits", "8", "--syntax", "gpasm-reloc"},
       kExitOk,
       "; Routine: 21 instructions, 21 cycles, 4 bytes of RAM\n",
       ""},
      {"the RAM of an exact routine",
       {"--divide-by", "10", "--bits", "8"},
       kExitOk,
       "; Routine: 20 instructions, 20 cycles, 1 byte of RAM\n",
       ""},
      {"unknown wrap",
       {"--const", "10", "--bits", "8", "--wrap", "loop"},
       kExitRefused,
       "",
       "#40 Error in input: Wrap must be inline, subroutine or macro.\n"},
      {"unknown syntax",
       {"--const", "10", "--bits", "8", "--syntax", "xc8"},
       kExitRefused,
       "",
       "#41 Error in input: Syntax must be mpasm, pic-as or gpasm-reloc.\n"},
      {"a register byte's name",
       {"--const", "10", "--bits", "8", "--wrap", "macro", "--name", "ACC0"},
       kExitRefused,
       "",
       "#42 Error in input: Name ACC0 is also the name of a register byte of the "
       "routine.\n"},
      {"inline module",
       {"--const", "10", "--bits", "8", "--syntax", "gpasm-reloc", "--wrap", "inline"},
       kExitRefused,
       "",
       "#43 Error in input: A gpasm-reloc routine is a subroutine or a macro"},
      {"pic-as past bank 0",
       {"--const", "10", "--bits", "32", "--syntax", "pic-as", "--ram", "0x7C"},
       kExitRefused,
       "",
       "#44 Error in input: With Syntax pic-as"},
      // Counted once the routine is written: five bytes from 0x7C reach 0x80.
      {"PIC18 past the access bank",
       {"--const", "10", "--bits", "32", "--core", "pic18", "--ram", "0x7C"},
       kExitRefused,
       "",
       "#45 Error in input: With Core pic18 the registers must lie in the access bank"},
      {"PIC18 for pic-as",
       {"--const", "10", "--bits", "8", "--core", "pic18", "--syntax", "pic-as"},
       kExitRefused,
       "",
       "#46 Error in input: With Core pic18 the Syntax must be mpasm or gpasm-reloc"},
      {"PIC18 at an address past the access bank",
       {"--const", "10", "--bits", "8", "--core", "pic18", "--ram", "0x80"},
       kExitRefused,
       "",
       "#45 Error in input: With Core pic18 the registers must lie in the access bank"},
  };
  for (const Case& c : cases) {
    const CliRun result = run(c.args);
    EXPECT_EQ(result.status, c.status) << c.name << "\n" << result.err;
    EXPECT_NE(result.out.find(c.in_out), std::string::npos) << c.name << "\n" << result.out;
    EXPECT_NE(result.err.find(c.in_err), std::string::npos) << c.name << "\n" << result.err;
    if (c.status != kExitOk) {
      EXPECT_EQ(result.out, "") << c.name;
    }
  }
}

// --verify runs the instructions a packaged text holds, whatever wraps them.
TEST(RunCliTest, VerifyAPackagedRoutine) {
  for (const char* syntax : {"mpasm", "pic-as", "gpasm-reloc"}) {
    for (const char* wrap : {"subroutine", "macro"}) {
      const CliRun result = run({"--divide-by", "7", "--bits", "12", "--signed", "--syntax", syntax,
                                 "--wrap", wrap, "--verify"});
      EXPECT_EQ(result.status, kExitOk) << syntax << " " << wrap << "\n" << result.out;
      EXPECT_NE(result.out.find("; Inputs checked: 4096 (every 12-bit input)\n"
                                "; Every result equals the documented computation.\n"),
                std::string::npos)
          << syntax << " " << wrap << "\n"
          << result.out;
    }
  }
}

}  // namespace
}  // namespace tarvek
