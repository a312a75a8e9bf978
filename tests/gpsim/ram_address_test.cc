// A routine written with --ram needs nothing in front of it but the processor: its own cblock
// has the address, so gpasm places every register from there, in declaration order.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "gpsim/gpsim_harness.h"
#include "program_runner.h"

namespace tarvek {
namespace {

// The names the routine's cblock declares, in order.
std::vector<std::string> declared(const std::string& block) {
  std::vector<std::string> names;
  std::istringstream lines(block);
  std::string line;
  bool inside = false;
  while (std::getline(lines, line)) {
    if (!inside) {
      inside = line.rfind("\tcblock", 0) == 0;
    } else if (line == "\tendc") {
      break;
    } else {
      names.push_back(line.substr(1));
    }
  }
  return names;
}

TEST(RamAddressTest, ARoutineWithItsAddressAssemblesAlone) {
  if (!gpsim_tools_available()) GTEST_SKIP() << "gpasm or gpsim is not installed";
  struct Case {
    const char* name;
    std::vector<std::string> args;
    std::string processor;
    long address;
    // gpasm's notes on a register outside bank 0 are expected there, and only there.
    bool bank_zero;
  };
  const Case cases[] = {
      {"x * 10 at 0x20", {"--const", "10", "--bits", "8", "--ram", "0x20"}, "16f628a", 0x20, true},
      {"x / 10 exactly, little-endian, given in decimal",
       {"--divide-by", "10", "--bits", "16", "--little-endian", "--ram", "32"},
       "16f628a",
       0x20,
       true},
      {"an approximation with its notes",
       {"--divide-by", "3", "--bits", "16", "--result", "approx", "--ram", "0x20"},
       "16f628a",
       0x20,
       true},
      {"signed x / 7 on the enhanced core",
       {"--divide-by", "7", "--bits", "16", "--signed", "--core", "enhanced", "--ram", "0x20"},
       "16f1823",
       0x20,
       true},
      {"x * 10 in bank 1",
       {"--const", "10", "--bits", "16", "--ram", "0xA0"},
       "16f628a",
       0xA0,
       false},
  };
  for (const Case& c : cases) {
    ProgramCall call;
    call.arguments = c.args;
    const ProgramRun run = run_program(TARVEK_ASM, call);
    ASSERT_EQ(run.status, 0) << c.name << ": " << run.err;
    const std::vector<std::string> names = declared(run.out);
    ASSERT_FALSE(names.empty()) << c.name;
    const std::string source = "\tprocessor " + c.processor + "\n\t#include <p" + c.processor +
                               ".inc>\n" + run.out + "\tend\n";
    const AssembledSource assembled = assemble_source(source);
    ASSERT_TRUE(assembled.ok) << c.name << ": " << assembled.messages;
    if (c.bank_zero) {
      EXPECT_EQ(assembled.messages, "") << c.name;
    }
    for (std::size_t i = 0; i < names.size(); ++i) {
      const auto found = assembled.symbols.find(names[i]);
      ASSERT_NE(found, assembled.symbols.end()) << c.name << ": " << names[i];
      EXPECT_EQ(found->second, c.address + static_cast<long>(i)) << c.name << ": " << names[i];
    }
  }
}

}  // namespace
}  // namespace tarvek
