#include "gpsim/gpsim_harness.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cassert>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <sstream>

namespace tarvek {

namespace {

namespace fs = std::filesystem;

// Labels the wrapper adds; the leading underscore keeps them apart from register names.
constexpr const char* kEndLabel = "_tarvek_end";
constexpr const char* kPastLabel = "_tarvek_past";

// The PIC18 product bytes, PRODL and PRODH.
constexpr long kPic18Prodl = 0xFF3;
constexpr long kPic18Prodh = 0xFF4;

constexpr const char* kAssemblerSeconds = "30";
constexpr const char* kSimulatorSeconds = "120";
// gpsim's output is a few kilobytes per run; anything far beyond that is a runaway.
constexpr std::uintmax_t kMaxOutputBytes = 64u << 20;

// A private folder under the system's temporary directory, removed with its content.
class TempDir {
 public:
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "tarvek-gpsim-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~TempDir() {
    if (!path_.empty()) {
      std::error_code ignored;
      fs::remove_all(path_, ignored);
    }
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  bool ok() const { return !path_.empty(); }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

// Runs `args` under coreutils' timeout in `dir`, stdin from /dev/null, stdout and stderr into
// `output`. Returns the exit status, 124 on a timeout, -1 when it could not be run.
int run_limited(const std::vector<std::string>& args, const char* seconds, const fs::path& dir,
                const fs::path& output) {
  std::vector<std::string> full = {"timeout", "-k", "5", seconds};
  full.insert(full.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : full) argv.push_back(a.data());
  argv.push_back(nullptr);

  const pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    const int in = open("/dev/null", O_RDONLY);
    const int out = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (in < 0 || out < 0 || chdir(dir.c_str()) != 0) _exit(127);
    dup2(in, 0);
    dup2(out, 1);
    dup2(out, 2);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string read_file(const fs::path& path) {
  std::error_code error;
  const std::uintmax_t size = fs::file_size(path, error);
  if (error || size > kMaxOutputBytes) return {};
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string hex_byte(unsigned value) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02x", value & 0xFFu);
  return text;
}

// Symbol values from the symbol table at the end of a gpasm listing ("NAME   0000002A").
std::map<std::string, long> listing_symbols(const std::string& listing) {
  static const std::regex line_pattern(R"(^(\S+)\s+([0-9A-F]{8})\s*$)");
  std::map<std::string, long> symbols;
  std::istringstream in(listing);
  std::string line;
  std::smatch m;
  while (std::getline(in, line)) {
    if (std::regex_match(line, m, line_pattern)) {
      symbols.emplace(m[1].str(), std::stol(m[2].str(), nullptr, 16));
    }
  }
  return symbols;
}

// Lines of a routine's body that gpasm makes an instruction word of: those after its
// declarations that start with a tab.
size_t instruction_lines(const std::string& body) {
  size_t count = 0;
  bool code = false;
  std::istringstream in(body);
  std::string line;
  while (std::getline(in, line)) {
    if (code && line.size() > 1 && line[0] == '\t') ++count;
    if (line == "\tendc") code = true;
  }
  return count;
}

struct Assembled {
  GpsimOutcome outcome;
  std::map<std::string, long> symbols;
};

Assembled assemble_in(const TempDir& dir, const GpsimRoutine& routine, const GpsimTarget& target) {
  Assembled result;
  GpsimOutcome& outcome = result.outcome;
  if (routine.declared.size() > static_cast<size_t>(target.bank_bytes)) {
    outcome.error = "more declared bytes than the chip has in bank 0";
    return result;
  }
  // The wrapper's nop, the routine and the two loops at its end, below the reset vector.
  const size_t words = instruction_lines(routine.body) + 3;
  if (target.program_words > 0 &&
      words > static_cast<size_t>(target.reset_vector >= 0 ? target.reset_vector
                                                           : target.program_words)) {
    outcome.error = "more instructions than the chip has program memory";
    return result;
  }
  {
    std::ofstream source(dir.path() / "routine.asm");
    source << wrap_for_gpasm(routine, target);
    if (!source) {
      outcome.error = "cannot write the source file";
      return result;
    }
  }
  const int status = run_limited({"gpasm", "routine.asm"}, kAssemblerSeconds, dir.path(),
                                 dir.path() / "gpasm.out");
  outcome.assembler_messages = read_file(dir.path() / "gpasm.out");
  if (status != 0) {
    outcome.error = "gpasm failed (status " + std::to_string(status) + ")";
    if (!outcome.assembler_messages.empty()) outcome.error += ": " + outcome.assembler_messages;
    return result;
  }
  result.symbols = listing_symbols(read_file(dir.path() / "routine.lst"));
  outcome.ok = true;
  return result;
}

// A register's address, of any bank (0x120 is bank 2's first general-purpose byte).
std::string hex_address(long address) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%lx", static_cast<unsigned long>(address));
  return text;
}

// The registers a run sets and reads back: the declared bytes at `addresses`, then on PIC18 the
// product bytes.
std::vector<long> registers_of(const std::vector<long>& addresses, const GpsimTarget& target) {
  std::vector<long> registers = addresses;
  if (target.pic18) registers.insert(registers.end(), {kPic18Prodl, kPic18Prodh});
  return registers;
}

std::string run_script(const std::vector<GpsimInput>& inputs, const std::vector<long>& addresses,
                       const GpsimTarget& target) {
  const std::vector<long> registers = registers_of(addresses, target);
  std::string script;
  script += std::string("break e ") + kEndLabel + "\n";
  script += std::string("break e ") + kPastLabel + "\n";
  for (const GpsimInput& input : inputs) {
    assert(input.bytes.size() == addresses.size());
    std::vector<uint8_t> values = input.bytes;
    if (target.pic18) values.insert(values.end(), {input.prodl, input.prodh});
    // TO and PD are set while a PIC16 runs normally, with bank 0 selected; PIC18 has N and OV
    // there.
    const unsigned high_flags =
        target.pic18 ? (input.negative ? 0x10u : 0u) | (input.overflow ? 0x08u : 0u) : 0x18u;
    const unsigned status = high_flags | (input.zero ? 4u : 0u) | (input.digit_carry ? 2u : 0u) |
                            (input.carry ? 1u : 0u);
    script += "reset\n";
    script += "status = " + hex_byte(status) + "\n";
    script += "W = " + hex_byte(input.w) + "\n";
    for (size_t i = 0; i < registers.size(); ++i) {
      script += "reg(" + hex_address(registers[i]) + ") = " + hex_byte(values[i]) + "\n";
    }
    script += "cycles\nrun\npc\ncycles\nW\nstatus\n";
    for (const long address : registers) script += "reg(" + hex_address(address) + ")\n";
  }
  script += "quit\n";
  return script;
}

// Reads the values the script printed, one GpsimResult per run. gpsim prints "pc = 0x3",
// "W = 0x12", "status = 0x19", the cycle counter as "9 = 0x00000009" and a register read
// through reg() as "NAME[...($20)] = $55 = 0b01010101"; trace lines in between are ignored.
// A skip past the end stops one word after the end label.
std::optional<std::vector<GpsimResult>> parse_runs(std::string output, size_t runs,
                                                   const std::vector<long>& addresses,
                                                   long end_address, int leading_cycles,
                                                   const GpsimTarget& target, std::string& error) {
  const std::vector<long> registers = registers_of(addresses, target);
  const long word = target.pic18 ? 2 : 1;
  static const std::regex number_pattern(R"(^(\d+) = 0x[0-9a-fA-F]+$)");
  // When the last instruction before the breakpoint reads and writes no register, gpsim's
  // trace of it ("62: ") runs into the line that prints the pc.
  static const std::regex pc_pattern(R"(^(?:\d+: )?pc = 0x([0-9a-fA-F]+)$)");
  static const std::regex w_pattern(R"(^W = 0x([0-9a-fA-F]+)$)");
  static const std::regex status_pattern(R"(^status = 0x([0-9a-fA-F]+)$)");
  static const std::regex reg_pattern(R"(\(\$([0-9a-fA-F]+)\)\] = \$([0-9a-fA-F]+) = 0b[01]+$)");
  const std::string prompt = "**gpsim> ";
  for (size_t at; (at = output.find(prompt)) != std::string::npos;) output.erase(at, prompt.size());

  enum class Expect { kRun, kBreak, kPc, kCycles, kW, kStatus, kRegs };
  Expect expect = Expect::kRun;
  std::vector<GpsimResult> results;
  GpsimResult current;
  long cycles_before = -1;
  long pc = 0;
  std::istringstream in(output);
  std::string line;
  std::smatch m;
  auto hex = [&](int group) { return std::stol(m[group].str(), nullptr, 16); };
  while (std::getline(in, line) && results.size() < runs) {
    switch (expect) {
      case Expect::kRun:
        if (std::regex_match(line, m, number_pattern)) cycles_before = std::stol(m[1].str());
        if (line == "running...") expect = Expect::kBreak;
        break;
      case Expect::kBreak:
        if (line == "Hit a Breakpoint!") expect = Expect::kPc;
        break;
      case Expect::kPc:
        if (std::regex_match(line, m, pc_pattern)) {
          pc = hex(1);
          expect = Expect::kCycles;
        }
        break;
      case Expect::kCycles:
        if (std::regex_match(line, m, number_pattern)) {
          if (pc != end_address && pc != end_address + word) {
            error = "run " + std::to_string(results.size()) + " stopped at " + std::to_string(pc);
            return std::nullopt;
          }
          current.skipped_past_end = pc == end_address + word;
          // The wrapper's leading nops are not the routine's; neither is the cycle spent
          // skipping the instruction after the routine.
          current.cycles =
              std::stol(m[1].str()) - cycles_before - leading_cycles - current.skipped_past_end;
          expect = Expect::kW;
        }
        break;
      case Expect::kW:
        if (std::regex_match(line, m, w_pattern)) {
          current.w = static_cast<uint8_t>(hex(1));
          expect = Expect::kStatus;
        }
        break;
      case Expect::kStatus:
        if (std::regex_match(line, m, status_pattern)) {
          current.status = static_cast<uint8_t>(hex(1));
          expect = Expect::kRegs;
        }
        break;
      case Expect::kRegs:
        if (std::regex_search(line, m, reg_pattern)) {
          // gpsim prints some parts' registers by their address within the bank (the
          // PIC16F628A's 0x120 as $20, the PIC18F452's PRODL at 0xFF3 as $f3), others' in
          // full.
          const long address = registers[current.bytes.size()];
          if (hex(1) != address && hex(1) != (address & 0x7F) && hex(1) != (address & 0xFF)) {
            error = "register read back out of order: " + line;
            return std::nullopt;
          }
          current.bytes.push_back(static_cast<uint8_t>(hex(2)));
        }
        break;
    }
    if (expect == Expect::kRegs && current.bytes.size() == registers.size()) {
      if (target.pic18) {
        current.prodh = current.bytes.back();
        current.bytes.pop_back();
        current.prodl = current.bytes.back();
        current.bytes.pop_back();
      }
      results.push_back(current);
      current = GpsimResult{};
      cycles_before = -1;
      expect = Expect::kRun;
    }
  }
  if (results.size() != runs) {
    error = "gpsim reported " + std::to_string(results.size()) + " of " + std::to_string(runs) +
            " runs";
    return std::nullopt;
  }
  return results;
}

// The end label, where a run stops, and the label one word after it, where a skip on the
// routine's last instruction stops, each an endless loop. A PIC18 goto is two words, and
// skipping it costs a third cycle: the loops are bra there, one word as on PIC16.
std::string closing_loops(const GpsimTarget& target) {
  const std::string jump = target.pic18 ? "\n\tbra\t" : "\n\tgoto\t";
  return std::string(kEndLabel) + jump + kEndLabel + "\n" + kPastLabel + jump + kPastLabel + "\n";
}

}  // namespace

GpsimRoutine routine_from_instructions(const std::string& instructions,
                                       const std::vector<std::string>& declared) {
  GpsimRoutine routine;
  routine.declared = declared;
  routine.body = "\tcblock\n";
  for (const std::string& name : declared) routine.body += "\t" + name + "\n";
  routine.body += "\tendc\n" + instructions;
  return routine;
}

GpsimRoutine routine_from_block(const std::string& block) {
  GpsimRoutine routine;
  routine.body = block;
  std::istringstream in(block);
  std::string line;
  bool inside = false;
  while (std::getline(in, line)) {
    if (!inside) {
      // A block may give its cblock a start address ("\tcblock 0x20").
      inside = line == "\tcblock" || line.rfind("\tcblock ", 0) == 0;
    } else if (line == "\tendc") {
      break;
    } else if (line.size() > 1 && line[0] == '\t') {
      routine.declared.push_back(line.substr(1));
    }
  }
  return routine;
}

std::string wrap_for_gpasm(const GpsimRoutine& routine, const GpsimTarget& target) {
  std::string source;
  source += "\tprocessor " + target.processor + "\n";
  source += "\t#include <p" + target.processor + ".inc>\n";
  // An empty cblock with an address: the routine's own bare cblock continues from there.
  char start[16];
  std::snprintf(start, sizeof start, "0x%X", static_cast<unsigned>(target.cblock_start));
  source += std::string("\tcblock ") + start + "\n\tendc\n";
  // gpsim does not stop at a breakpoint on the very first instruction of a run, so the
  // routine starts one word later.
  source += "\torg 0\n\tnop\n";
  source += routine.body;
  if (!source.empty() && source.back() != '\n') source += "\n";
  source += closing_loops(target);
  if (target.reset_vector >= 0) {
    char vector[16];
    std::snprintf(vector, sizeof vector, "0x%X", static_cast<unsigned>(target.reset_vector));
    source += std::string("\torg ") + vector + "\n\tnop\n";
  }
  source += "\tend\n";
  return source;
}

GpsimOutcome assemble_with_gpasm(const GpsimRoutine& routine, const GpsimTarget& target) {
  const TempDir dir;
  if (!dir.ok()) return GpsimOutcome{false, "cannot create a temporary folder", {}, {}};
  return assemble_in(dir, routine, target).outcome;
}

GpsimOutcome run_in_gpsim(const GpsimRoutine& routine, const std::vector<GpsimInput>& inputs,
                          const GpsimTarget& target) {
  const TempDir dir;
  if (!dir.ok()) return GpsimOutcome{false, "cannot create a temporary folder", {}, {}};
  Assembled assembled = assemble_in(dir, routine, target);
  GpsimOutcome& outcome = assembled.outcome;
  if (!outcome.ok) return outcome;
  outcome.ok = false;

  std::vector<long> addresses;
  for (const std::string& name : routine.declared) {
    const auto found = assembled.symbols.find(name);
    if (found == assembled.symbols.end()) {
      outcome.error = "no address for " + name + " in the listing";
      return outcome;
    }
    addresses.push_back(found->second);
  }
  const auto end = assembled.symbols.find(kEndLabel);
  if (end == assembled.symbols.end()) {
    outcome.error = "no address for the end label in the listing";
    return outcome;
  }
  {
    std::ofstream script(dir.path() / "run.stc");
    script << run_script(inputs, addresses, target);
    if (!script) {
      outcome.error = "cannot write the gpsim script";
      return outcome;
    }
  }
  const int status =
      run_limited({"gpsim", "-i", "-S", "disable", "-s", "routine.cod", "-c", "run.stc"},
                  kSimulatorSeconds, dir.path(), dir.path() / "gpsim.out");
  if (status != 0) {
    outcome.error = "gpsim failed (status " + std::to_string(status) + ")";
    return outcome;
  }
  const int leading_cycles = target.reset_vector >= 0 ? 2 : 1;
  std::optional<std::vector<GpsimResult>> results =
      parse_runs(read_file(dir.path() / "gpsim.out"), inputs.size(), addresses, end->second,
                 leading_cycles, target, outcome.error);
  if (!results) return outcome;
  outcome.results = std::move(*results);
  outcome.ok = true;
  return outcome;
}

AssembledSource assemble_source(const std::string& source) {
  AssembledSource result;
  const TempDir dir;
  if (!dir.ok()) {
    result.messages = "cannot create a temporary folder";
    return result;
  }
  {
    std::ofstream file(dir.path() / "source.asm");
    file << source;
    if (!file) {
      result.messages = "cannot write the source file";
      return result;
    }
  }
  const int status =
      run_limited({"gpasm", "source.asm"}, kAssemblerSeconds, dir.path(), dir.path() / "gpasm.out");
  result.messages = read_file(dir.path() / "gpasm.out");
  if (status != 0) {
    result.messages += "gpasm failed (status " + std::to_string(status) + ")";
    return result;
  }
  result.symbols = listing_symbols(read_file(dir.path() / "source.lst"));
  result.hex = read_file(dir.path() / "source.hex");
  result.ok = true;
  return result;
}

std::string linked_main(const LinkedProject& project, const GpsimTarget& target) {
  // The processor comes from gpasm's command line; a processor line as well would draw a
  // warning.
  std::string source = "\t#include <p" + target.processor + ".inc>\n";
  source += project.head;
  if (!source.empty() && source.back() != '\n') source += "\n";
  // gpsim finds only global labels of a linked program for its breakpoints.
  source += std::string("\tglobal\t") + kEndLabel + ", " + kPastLabel + "\n";
  source += "_tarvek_reset\tcode\t0\n\tnop\n";
  source += project.code;
  if (!source.empty() && source.back() != '\n') source += "\n";
  source += closing_loops(target);
  source += "\tend\n";
  return source;
}

GpsimOutcome run_linked_in_gpsim(const LinkedProject& project,
                                 const std::vector<std::string>& declared,
                                 const std::vector<GpsimInput>& inputs, const GpsimTarget& target) {
  GpsimOutcome outcome;
  const TempDir dir;
  if (!dir.ok()) {
    outcome.error = "cannot create a temporary folder";
    return outcome;
  }
  std::vector<std::string> sources = project.modules;
  sources.push_back(linked_main(project, target));
  std::vector<std::string> link = {"gplink", "-m", "-o", "project.hex"};
  for (std::size_t i = 0; i < sources.size(); ++i) {
    const std::string name = "module" + std::to_string(i);
    {
      std::ofstream source(dir.path() / (name + ".asm"));
      source << sources[i];
      if (!source) {
        outcome.error = "cannot write " + name + ".asm";
        return outcome;
      }
    }
    const int status = run_limited({"gpasm", "-c", "-p", target.processor, name + ".asm"},
                                   kAssemblerSeconds, dir.path(), dir.path() / (name + ".out"));
    const std::string messages = read_file(dir.path() / (name + ".out"));
    outcome.assembler_messages += messages;
    if (status != 0) {
      outcome.error = "gpasm -c failed on " + name + ": " + messages;
      return outcome;
    }
    link.push_back(name + ".o");
  }
  const int linked = run_limited(link, kAssemblerSeconds, dir.path(), dir.path() / "gplink.out");
  const std::string link_messages = read_file(dir.path() / "gplink.out");
  if (linked != 0) {
    outcome.error = "gplink failed: " + link_messages;
    return outcome;
  }
  // "  NAME   0x000120   data   extern module0.asm" in the map's table of symbols.
  static const std::regex map_line(R"(^\s*(\S+)\s+0x([0-9a-fA-F]+)\s+(?:program|data)\s+\S+)");
  std::map<std::string, long> symbols;
  {
    std::istringstream map(read_file(dir.path() / "project.map"));
    std::string line;
    std::smatch m;
    while (std::getline(map, line)) {
      if (std::regex_search(line, m, map_line)) {
        symbols.emplace(m[1].str(), std::stol(m[2].str(), nullptr, 16));
      }
    }
  }
  std::vector<long> addresses;
  for (const std::string& name : declared) {
    const auto found = symbols.find(name);
    if (found == symbols.end()) {
      outcome.error = "no address for " + name + " in the map";
      return outcome;
    }
    addresses.push_back(found->second);
  }
  const auto end = symbols.find(kEndLabel);
  if (end == symbols.end()) {
    outcome.error = "no address for the end label in the map";
    return outcome;
  }
  {
    std::ofstream script(dir.path() / "run.stc");
    script << run_script(inputs, addresses, target);
  }
  const int status =
      run_limited({"gpsim", "-i", "-S", "disable", "-s", "project.cod", "-c", "run.stc"},
                  kSimulatorSeconds, dir.path(), dir.path() / "gpsim.out");
  if (status != 0) {
    outcome.error = "gpsim failed (status " + std::to_string(status) + ")";
    return outcome;
  }
  // The linked program starts at the reset vector with one nop before the project's code.
  constexpr int kLinkedLeadingCycles = 1;
  std::optional<std::vector<GpsimResult>> results =
      parse_runs(read_file(dir.path() / "gpsim.out"), inputs.size(), addresses, end->second,
                 kLinkedLeadingCycles, target, outcome.error);
  if (!results) return outcome;
  outcome.results = std::move(*results);
  outcome.ok = true;
  return outcome;
}

bool gpsim_tools_available() {
  const TempDir dir;
  if (!dir.ok()) return false;
  return run_limited({"gpasm", "-v"}, "10", dir.path(), dir.path() / "v.out") == 0 &&
         run_limited({"gpsim", "-v"}, "10", dir.path(), dir.path() / "v.out") == 0;
}

}  // namespace tarvek
