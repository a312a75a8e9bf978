#include "cli/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace tarvek {
namespace {

// The options as one text, so that a table row can state the whole expected outcome.
std::string summary(const CommandLine& command_line) {
  if (!command_line.options) return "usage error: " + command_line.usage_error;
  const CliOptions& o = *command_line.options;
  if (o.action == CliAction::kHelp) return "help";
  if (o.action == CliAction::kVersion) return "version";
  std::string text;
  if (o.const_text) text += "const=" + *o.const_text + " ";
  if (o.divisor_text) text += "divide-by=" + *o.divisor_text + " ";
  if (o.result_text) text += "result=" + *o.result_text + " ";
  return text + "bits=" + o.bits_text + " error=" + (o.error_text ? *o.error_text : "(none)") +
         " acc=" + o.acc_name + " temp=" + o.temp_name + (o.little_endian ? " little" : " big") +
         (o.core_text ? " core=" + *o.core_text : "") + (o.ram_text ? " ram=" + *o.ram_text : "") +
         (o.verify ? " verify" : "");
}

TEST(CommandLineTest, Table) {
  struct Case {
    const char* name;
    std::vector<std::string_view> args;
    std::string expected;
  };
  const Case cases[] = {
      {"defaults",
       {"--const", "10", "--bits", "8"},
       "const=10 bits=8 error=(none) acc=ACC temp=TEMP big"},
      {"values after =",
       {"--const=10", "--bits=8", "--error=0.5"},
       "const=10 bits=8 error=0.5 acc=ACC temp=TEMP big"},
      {"every option",
       {"--divide-by", "3", "--bits", "16", "--error", "1", "--acc", "SUM", "--temp", "T",
        "--little-endian", "--verify"},
       "divide-by=3 bits=16 error=1 acc=SUM temp=T little verify"},
      {"order does not matter",
       {"--verify", "--bits", "8", "--little-endian", "--const", "2"},
       "const=2 bits=8 error=(none) acc=ACC temp=TEMP little verify"},
      {"a value may begin with a dash",
       {"--const", "-3", "--bits", "--8"},
       "const=-3 bits=--8 error=(none) acc=ACC temp=TEMP big"},
      {"an empty value after =",
       {"--const=10", "--bits=8", "--acc="},
       "const=10 bits=8 error=(none) acc= temp=TEMP big"},
      {"an empty separate value",
       {"--const", "", "--bits", "8"},
       "const= bits=8 error=(none) acc=ACC temp=TEMP big"},
      {"= inside a value",
       {"--const=1=2", "--bits", "8"},
       "const=1=2 bits=8 error=(none) acc=ACC temp=TEMP big"},
      {"the last value counts",
       {"--const", "3", "--const", "5", "--bits", "8", "--bits", "9"},
       "const=5 bits=9 error=(none) acc=ACC temp=TEMP big"},
      {"the last byte order counts",
       {"--const", "3", "--bits", "8", "--little-endian", "--big-endian"},
       "const=3 bits=8 error=(none) acc=ACC temp=TEMP big"},
      {"register names are not checked here",
       {"--const", "3", "--bits", "8", "--acc", "1 <b>"},
       "const=3 bits=8 error=(none) acc=1 <b> temp=TEMP big"},
      {"-- at the end",
       {"--const", "3", "--bits", "8", "--"},
       "const=3 bits=8 error=(none) acc=ACC temp=TEMP big"},
      {"core",
       {"--const", "3", "--bits", "8", "--core", "enhanced"},
       "const=3 bits=8 error=(none) acc=ACC temp=TEMP big core=enhanced"},
      {"core values are checked later",
       {"--core=PIC18", "--const", "3", "--bits", "8"},
       "const=3 bits=8 error=(none) acc=ACC temp=TEMP big core=PIC18"},
      {"RAM address",
       {"--const", "3", "--bits", "8", "--ram", "0x20"},
       "const=3 bits=8 error=(none) acc=ACC temp=TEMP big ram=0x20"},
      {"RAM values are checked later",
       {"--const", "3", "--bits", "8", "--ram=bank 0"},
       "const=3 bits=8 error=(none) acc=ACC temp=TEMP big ram=bank 0"},
      {"missing RAM address",
       {"--const", "3", "--bits", "8", "--ram"},
       "usage error: option '--ram' needs a value"},
      {"missing core",
       {"--const", "3", "--bits", "8", "--core"},
       "usage error: option '--core' needs a value"},
      {"help", {"--help"}, "help"},
      {"help among other options", {"--const", "3", "--help", "--bogus"}, "help"},
      {"version", {"--version"}, "version"},
      {"a mistake before help", {"--bogus", "--help"}, "usage error: unknown option '--bogus'"},
      {"nothing", {}, "usage error: missing --const or --divide-by"},
      {"no bits", {"--const", "3"}, "usage error: missing --bits"},
      {"no constant", {"--bits", "8"}, "usage error: missing --const or --divide-by"},
      {"both constants: their quotient",
       {"--const", "5000", "--divide-by", "1023", "--bits", "10", "--result", "floor"},
       "const=5000 divide-by=1023 result=floor bits=10 error=(none) acc=ACC temp=TEMP big"},
      {"unknown option",
       {"--const", "3", "--bits", "8", "--fast"},
       "usage error: unknown option '--fast'"},
      {"unknown option with a value", {"--colour=red"}, "usage error: unknown option '--colour'"},
      {"no prefixes", {"--con", "3", "--bits", "8"}, "usage error: unknown option '--con'"},
      {"case matters", {"--Const", "3", "--bits", "8"}, "usage error: unknown option '--Const'"},
      {"short option", {"-h"}, "usage error: unknown option '-h'"},
      {"single dash long name", {"-const", "3"}, "usage error: unknown option '-const'"},
      {"operand",
       {"--const", "3", "--bits", "8", "extra"},
       "usage error: unexpected argument 'extra'"},
      {"lone dash", {"-"}, "usage error: unexpected argument '-'"},
      {"operand after --",
       {"--const", "3", "--bits", "8", "--", "x"},
       "usage error: unexpected argument 'x'"},
      {"missing value", {"--bits", "8", "--const"}, "usage error: option '--const' needs a value"},
      {"flag with a value",
       {"--const", "3", "--bits", "8", "--verify=yes"},
       "usage error: option '--verify' takes no value"},
      {"help with a value", {"--help=all"}, "usage error: option '--help' takes no value"},
      {"bare --=", {"--=3"}, "usage error: unknown option '--'"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(summary(parse_command_line(c.args)), c.expected) << c.name;
  }
}

TEST(CommandLineTest, ResultAsked) {
  struct Case {
    const char* name;
    std::vector<std::string_view> args;
    std::string result;
  };
  const Case cases[] = {
      {"a decimal constant", {"--const", "0.1", "--bits", "8"}, "approx"},
      {"an integer", {"--const", "10", "--bits", "8"}, "approx"},
      {"a divisor", {"--divide-by", "10", "--bits", "8"}, "floor"},
      {"a constant and a divisor", {"--const", "5", "--divide-by", "10", "--bits", "8"}, "floor"},
      {"a fraction", {"--const", "22/7", "--bits", "8"}, "floor"},
      {"a fraction with blanks", {"--const", " 22/7 ", "--bits", "8"}, "floor"},
      {"a signed division", {"--divide-by", "10", "--bits", "8", "--signed"}, "trunc"},
      {"a signed decimal", {"--const", "0.1", "--bits", "8", "--signed"}, "approx"},
      {"as asked", {"--divide-by", "10", "--bits", "8", "--result", "approx"}, "approx"},
      {"as asked, nearest", {"--const", "0.1", "--bits", "8", "--result", "nearest"}, "nearest"},
  };
  for (const Case& c : cases) {
    const CommandLine command_line = parse_command_line(c.args);
    ASSERT_TRUE(command_line.options) << c.name;
    EXPECT_EQ(result_asked(*command_line.options), c.result) << c.name;
  }
}

TEST(CommandLineTest, UsageNamesEveryOption) {
  const std::string usage = usage_text();
  EXPECT_EQ(usage.rfind("Usage: tarvek-asm ", 0), 0u);
  for (const char* option : {"--const", "--divide-by", "--bits", "--error", "--acc", "--temp",
                             "--ram", "--little-endian", "--core", "--verify", "--help"}) {
    EXPECT_NE(usage.find(option), std::string::npos) << option;
  }
}

TEST(CommandLineTest, HelpExplainsEveryOptionWithAnExample) {
  const std::string help = help_text();
  // Each option starts its own line of the option list and has an "e.g." line within the
  // lines before the next option.
  for (const char* option : {"--const", "--divide-by", "--bits", "--error", "--acc", "--temp",
                             "--ram", "--core", "--verify"}) {
    const std::size_t at = help.find(std::string("\n  ") + option + " ");
    ASSERT_NE(at, std::string::npos) << option;
    const std::size_t next = help.find("\n  --", at + 1);
    const std::size_t example = help.find("e.g.", at);
    EXPECT_LT(example, next) << option;
  }
  for (const char* option : {"--little-endian", "--big-endian", "--help", "--version"}) {
    EXPECT_NE(help.find(std::string("\n  ") + option + " "), std::string::npos) << option;
  }
  EXPECT_NE(help.find("Exit status"), std::string::npos);
}

TEST(CommandLineTest, Version) {
  EXPECT_EQ(version_text(), "tarvek-asm (tarvek) generator version March 21, 2000\n");
}

}  // namespace
}  // namespace tarvek
