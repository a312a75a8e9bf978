#include "cli/cli.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/command_line.h"
#include "codegen/generator.h"
#include "codegen/register.h"

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

// The block generate_code writes for a request the caller knows to be valid.
std::string block_of(double constant, double error, int input_bits, int output_bits,
                     const std::string& acc_name, const std::string& temp_name, bool little_endian,
                     Core core = Core::kMidrange) {
  Register acc(acc_name, input_bits, little_endian);
  Register temp(temp_name, 0, little_endian);
  std::ostringstream out;
  GeneratorRequest request{constant, error, output_bits};
  request.core = core;
  generate_code(out, request, acc, temp);
  return out.str();
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
  const CliRun result = run({"--const=1.7", "--bits=12", "--error=2", "--acc", "X<&>", "--temp",
                             "Y\"", "--little-endian"});
  EXPECT_EQ(result.status, kExitOk);
  // Nothing escaped: the names come out as given.
  EXPECT_EQ(result.out, block_of(1.7, 2, 12, 13, "X<&>", "Y\"", true));
  EXPECT_NE(result.out.find("X<&>0"), std::string::npos);
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

TEST(RunCliTest, ValuesAreReadAsTheFormReadsThem) {
  const std::string expected = block_of(10, 0, 8, 12, "ACC", "TEMP", false);
  EXPECT_EQ(run({"--const", " 10.0abc", "--bits", "8bit", "--error", "none"}).out, expected);
  EXPECT_EQ(run({"--const", "1e1", "--bits", "+8"}).out, expected);
}

TEST(RunCliTest, DivideByUsesTheNearestDoubleToTheReciprocal) {
  const CliRun divided = run({"--divide-by", "3", "--bits", "16"});
  EXPECT_EQ(divided.status, kExitOk);
  // 0.3333333333333333 is the shortest text of the double nearest to 1/3.
  EXPECT_EQ(divided.out, run({"--const", "0.3333333333333333", "--bits", "16"}).out);
  EXPECT_EQ(divided.out.rfind("; ACC = ACC * 0.333333\n", 0), 0u);
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
  const std::string m13 = "#13 Error in input: Core must be midrange, enhanced or baseline.\n";
  const Case cases[] = {
      {"33 bits", {"--const", "10", "--bits", "33"}, m1},
      {"0 bits", {"--const", "10", "--bits", "0"}, m1},
      {"bits not a number", {"--const", "10", "--bits", "eight"}, m1},
      {"constant 0", {"--const", "0", "--bits", "8"}, m2},
      {"negative constant", {"--const", "-3", "--bits", "8"}, m2},
      {"constant of letters", {"--const", "ten", "--bits", "8"}, m2},
      {"hexadecimal is not read", {"--const", "0x10", "--bits", "8"}, m2},
      {"negative divisor", {"--divide-by", "-2", "--bits", "8"}, m2},
      {"divisor too large for a double", {"--divide-by", "1e400", "--bits", "8"}, m2},
      {"accumulator starts with a digit", {"--const", "10", "--bits", "8", "--acc", "1A"}, m3},
      {"empty accumulator", {"--const", "10", "--bits", "8", "--acc="}, m3},
      {"accumulator of 32 characters",
       {"--const", "10", "--bits", "8", "--acc", "ABCDEFGHIJKLMNOPQRSTUVWXYZABCDEF"},
       m3},
      {"temporary starts with _", {"--const", "10", "--bits", "8", "--temp", "_T"}, m4},
      {"temporary named as the accumulator",
       {"--const", "10", "--bits", "8", "--acc", "R", "--temp", "R"},
       m4},
      {"temporary bytes meet the accumulator's",
       {"--const", "10", "--bits", "8", "--acc", "X", "--temp", "X1"},
       m4},
      {"2^32", {"--const", "4294967296", "--bits", "8"}, m5},
      {"divide by 0", {"--divide-by", "0", "--bits", "8"}, m5},
      {"error above 50", {"--const", "10", "--bits", "8", "--error", "50.001"}, m6},
      {"negative error", {"--const", "10", "--bits", "8", "--error", "-1"}, m6},
      {"zero result", {"--const", "0.5", "--bits", "1"}, m7},
      {"divide to a zero result", {"--divide-by", "4", "--bits", "1"}, m7},
      {"the accumulator check counts last of the first seven",
       {"--const", "0", "--bits", "0", "--error", "99", "--acc", "", "--temp", ""},
       m3},
      {"another core", {"--const", "10", "--bits", "8", "--core", "pic18"}, m13},
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
  const CliRun result = run({"--divide-by", "10", "--bits", "8", "--verify"});
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
  };
  const Case cases[] = {
      {"largest constant", {"--const", "2147483648", "--bits", "1"}, ";   absolute 0 at input 0\n"},
      // 1/D rounds to 2^31 exactly.
      {"smallest divisor",
       {"--divide-by", "4.656612873077393e-10", "--bits", "1"},
       ";   absolute 0 at input 0\n"},
      {"largest divisor",
       {"--divide-by", "4294967295", "--bits", "32"},
       ";   absolute -1 at input 4294967295\n"},
  };
  for (const Case& c : cases) {
    std::vector<std::string_view> args = c.args;
    args.push_back("--verify");
    const CliRun result = run(args);
    EXPECT_EQ(result.status, kExitOk) << c.name;
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

}  // namespace
}  // namespace tarvek
