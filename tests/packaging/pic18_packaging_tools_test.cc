// Every packaging of a PIC18 routine through the real tools. gpasm assembles a whole program
// as it stands and each MPASM include file inside a PIC18F452 program that includes, calls or
// uses it; gpasm -c and gplink make a relocatable module and a main module one program, and
// a module's macro file part of a main module, with the processor include or without it. gpsim
// then runs every program from reset and the result bytes must hold the integer result:
// 6 x for the routine made by hand, the request's exact result for the generated ones.
//
// gpasm notes every special function register outside bank 0 (Message[302]) and every access
// bit it completes (Message[1301]) in PIC18 code, and gplink names the linker script it takes;
// any other line of theirs fails the test.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "codegen/pic18_routine_for_tests.h"
#include "codegen/register.h"
#include "codegen/routine_packaging.h"
#include "form/urlencoded.h"
#include "page/packaged_reading.h"
#include "page/routine_generation.h"
#include "page/routine_summary.h"
#include "page/validation.h"
#include "program_runner.h"

namespace tarvek {
namespace {

namespace fs = std::filesystem;

// A private folder for one build, removed with everything in it.
class Workspace {
 public:
  Workspace() {
    std::string pattern = (fs::temp_directory_path() / "tarvek-pic18-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~Workspace() {
    std::error_code ignored;
    if (!path_.empty()) fs::remove_all(path_, ignored);
  }
  Workspace(const Workspace&) = delete;
  Workspace& operator=(const Workspace&) = delete;

  bool ok() const { return !path_.empty(); }
  std::string path(const std::string& name) const { return (path_ / name).string(); }
  void write(const std::string& name, const std::string& text) const {
    std::ofstream(path(name), std::ios::binary) << text;
  }

 private:
  fs::path path_;
};

// What a tool printed that is none of the notes expected of PIC18 code, and its status.
struct ToolRun {
  int status = -1;
  std::string messages;
};

ToolRun run_tool(const std::string& tool, const std::vector<std::string>& args) {
  ProgramCall call;
  call.arguments = args;
  const ProgramRun run = run_program(tool, call);
  ToolRun result{run.status, {}};
  std::istringstream lines(run.out + run.err);
  for (std::string line; std::getline(lines, line);) {
    if (line.find("Message[302]") != std::string::npos ||
        line.find("Message[1301]") != std::string::npos ||
        line.starts_with("message: Using default linker script")) {
      continue;
    }
    result.messages += line + "\n";
  }
  return result;
}

bool tools_available() {
  for (const char* tool : {"/usr/bin/gpasm", "/usr/bin/gplink", "/usr/bin/gpsim"}) {
    if (!fs::exists(tool)) return false;
  }
  return true;
}

const std::string kProcessor = "\tprocessor\t18f452\n\tinclude\t\"p18f452.inc\"\n";

// The program that runs `text`, printed with `packaging`, once from reset and then stays on
// its last line: the text itself for a whole program; a program around an include file; a
// main module linked with a module, or holding a module's macro file (after the processor
// include when `include` is set, alone otherwise). The .cod file gpsim reads, or nullopt with
// what the tools said in `messages`.
std::optional<std::string> build(const Workspace& ws, const std::string& text,
                                 const Packaging& packaging, std::string& messages,
                                 bool include = true) {
  const std::string& name = packaging.name;
  const std::string stay = "\tbra\t$\n\tend\n";
  std::vector<std::string> objects;
  if (packaging.syntax == Syntax::kGpasmReloc) {
    std::string main = include ? "\tinclude\t\"p18f452.inc\"\n" : "";
    if (packaging.wrap == Wrap::kSubroutine) {
      ws.write("routine.asm", text);
      const ToolRun assembled =
          run_tool("/usr/bin/gpasm", {"-c", "-p", "18f452", ws.path("routine.asm")});
      messages += assembled.messages;
      if (assembled.status != 0) return std::nullopt;
      objects.push_back(ws.path("routine.o"));
      main += "\textern\t" + name + "\nreset_vector\tcode\t0\n\tcall\t" + name + "\n" + stay;
    } else {
      main += text + "reset_vector\tcode\t0\n\t" + name + "\n" + stay;
    }
    ws.write("main.asm", main);
    const ToolRun assembled =
        run_tool("/usr/bin/gpasm", {"-c", "-p", "18f452", ws.path("main.asm")});
    messages += assembled.messages;
    if (assembled.status != 0) return std::nullopt;
    objects.insert(objects.begin(), ws.path("main.o"));
    std::vector<std::string> link = {"-o", ws.path("program.hex")};
    link.insert(link.end(), objects.begin(), objects.end());
    const ToolRun linked = run_tool("/usr/bin/gplink", link);
    messages += linked.messages;
    if (linked.status != 0) return std::nullopt;
    return ws.path("program.cod");
  }
  // A bare cblock continues this one, from the start of access RAM.
  const std::string head = kProcessor + "\tcblock\t0x00\n\tendc\n";
  std::string source;
  switch (packaging.wrap) {
    case Wrap::kProgram:
      source = text;
      break;
    case Wrap::kInline:
      source = head + "\torg\t0\n" + text + stay;
      break;
    case Wrap::kSubroutine:
      source = head + "\torg\t0\n\tbra\tstart\n" + text + "start\n\tcall\t" + name + "\n" + stay;
      break;
    case Wrap::kMacro:
      source = head + text + "\torg\t0\n\t" + name + "\n" + stay;
      break;
  }
  ws.write("program.asm", source);
  const ToolRun assembled = run_tool("/usr/bin/gpasm", {ws.path("program.asm")});
  messages += assembled.messages;
  if (assembled.status != 0) return std::nullopt;
  return ws.path("program.cod");
}

// The registers `read` once the program of `cod` has run from reset with `set` in its
// registers, for long enough to reach its last line; a name gpsim did not print is missing.
// Every name set must be a symbol of the program (a module's global), or gpsim stops reading
// the script.
std::map<std::string, unsigned> run_from_reset(const Workspace& ws, const std::string& cod,
                                               const std::map<std::string, unsigned>& set,
                                               const std::vector<std::string>& read) {
  // BSR names a bank where no register of the routine lies: its instructions must reach them
  // in the access bank whatever BSR holds.
  std::string script = "bsr = 3\n";
  for (const auto& [name, value] : set) script += name + " = " + std::to_string(value) + "\n";
  // Straight-line routines of a few hundred instructions at most, then the branch to itself.
  script += "step 2000\n";
  for (const std::string& name : read) script += name + "\n";
  script += "quit\n";
  ws.write("run.stc", script);
  ProgramCall call;
  call.arguments = {"-i", "-S", "disable", "-s", cod, "-c", ws.path("run.stc")};
  const ProgramRun run = run_program("/usr/bin/gpsim", call);
  std::map<std::string, unsigned> values;
  for (const std::string& name : read) {
    // gpsim prints "NAME = 0x2b", at times after the source line it stopped on.
    const std::regex printed("(^|\\s)" + name + " = 0x([0-9a-fA-F]+)");
    for (std::sregex_iterator it(run.out.begin(), run.out.end(), printed), end; it != end; ++it) {
      values[name] = static_cast<unsigned>(std::stoul((*it)[2].str(), nullptr, 16));
    }
  }
  return values;
}

// The routine made by hand, in every PIC18 packaging, gives 6 x for inputs across its range.
TEST(Pic18PackagingToolsTest, EveryPackagingOfARoutineAssemblesLinksAndRuns) {
  if (!tools_available()) GTEST_SKIP() << "gpasm, gplink or gpsim is not installed";
  struct Case {
    const char* name;
    Wrap wrap;
    Syntax syntax;
    int address;
    // The main module of a macro file has no processor include of its own.
    bool include = true;
  };
  const Case cases[] = {
      {"a whole program", Wrap::kProgram, Syntax::kMpasm, 0},
      {"a whole program at 0x20", Wrap::kProgram, Syntax::kMpasm, 0x20},
      {"inline", Wrap::kInline, Syntax::kMpasm, -1},
      {"a subroutine", Wrap::kSubroutine, Syntax::kMpasm, -1},
      {"a macro at 0x40", Wrap::kMacro, Syntax::kMpasm, 0x40},
      {"a module", Wrap::kSubroutine, Syntax::kGpasmReloc, -1},
      {"a module at 0x7D", Wrap::kSubroutine, Syntax::kGpasmReloc, 0x7D},
      {"a module's macro", Wrap::kMacro, Syntax::kGpasmReloc, -1},
      {"a module's macro without the include", Wrap::kMacro, Syntax::kGpasmReloc, 0x10, false},
  };
  for (const Case& c : cases) {
    GeneratorRequest request;
    request.core = Core::kPic18;
    request.packaging = Packaging{c.wrap, c.syntax, "times6"};
    if (request.packaging.is_default()) request.packaging.name.clear();
    request.ram_address = c.address;
    // STATUS named too, so that a module gives every register of the core's own its address.
    const std::string text = printed_routine(pic18_times_six(true), request);
    Workspace ws;
    ASSERT_TRUE(ws.ok());
    std::string messages;
    const std::optional<std::string> cod = build(ws, text, request.packaging, messages, c.include);
    ASSERT_TRUE(cod) << c.name << ":\n" << messages << text;
    EXPECT_EQ(messages, "") << c.name << "\n" << text;
    for (const unsigned x : {0u, 1u, 43u, 170u, 255u}) {
      const std::map<std::string, unsigned> bytes =
          run_from_reset(ws, *cod, {{"ACC0", 0xA5}, {"ACC1", x}}, {"ACC0", "ACC1"});
      ASSERT_EQ(bytes.size(), 2u) << c.name << ", x = " << x;
      EXPECT_EQ(bytes.at("ACC0") * 256 + bytes.at("ACC1"), 6 * x) << c.name << ", x = " << x;
    }
  }
}

// The text the program prints for `query`, with what it needs to run it; nullopt when the
// request is refused.
struct Generated {
  std::string text;
  Packaging packaging;
  std::vector<std::string> output;
  int input_bits = 0;
  bool little_endian = false;
  bool is_signed = false;
  std::string acc;
};

std::optional<Generated> generate(const std::string& query, int& refused) {
  FormEntryList form;
  parse_urlencoded(form, query);
  const RequestFields fields = read_request_fields(form);
  const ValidatedRequest checked = validate_request(fields);
  refused = checked.error_code;
  if (refused != 0) return std::nullopt;
  Register acc(fields.acc_name, checked.input_bits, fields.little_endian);
  Register temp(fields.temp_name, 0, fields.little_endian);
  std::ostringstream out;
  refused = generate_routine(out, checked.request, acc, temp);
  if (refused != 0) return std::nullopt;
  Generated g{out.str(),          checked.request.packaging, {},
              checked.input_bits, fields.little_endian,      checked.request.is_signed,
              fields.acc_name};
  const std::optional<std::string> block = checkable_block(g.text, g.packaging);
  if (block) g.output = summarize_routine(*block, g.acc).output_bytes;
  return g;
}

// The request's result for input x, as integer arithmetic gives it.
struct Request {
  const char* name;
  std::string query;
  int64_t (*result)(int64_t x);
};

// PIC18 routines as the program prints them once they pass its check: x / 10 as C divides it,
// x * 10 (an approximation with no error), and C's signed x / 7, little-endian, in every
// packaging, each run from reset in gpsim for inputs across its range.
TEST(Pic18PackagingToolsTest, GeneratedRoutinesInEveryPackagingRun) {
  if (!tools_available()) GTEST_SKIP() << "gpasm, gplink or gpsim is not installed";
  const Request requests[] = {
      {"x / 10", "Const=1&DivideBy=10&Result=floor&Bits=16&Acc=ACC&Temp=TEMP&Core=pic18",
       [](int64_t x) { return x / 10; }},
      {"x * 10", "Const=10&Bits=8&Acc=Q&Temp=QT&Core=pic18", [](int64_t x) { return x * 10; }},
      {"signed x / 7",
       "Const=1&DivideBy=7&Result=trunc&Signed=1&Bits=12&Acc=S&Temp=ST&endian=little&Core=pic18",
       [](int64_t x) { return x / 7; }},
  };
  const std::pair<const char*, const char*> packagings[] = {
      {"inline", "mpasm"},  {"subroutine", "mpasm"},       {"macro", "mpasm"},
      {"program", "mpasm"}, {"subroutine", "gpasm-reloc"}, {"macro", "gpasm-reloc"},
  };
  for (const Request& r : requests) {
    for (const auto& [wrap, syntax] : packagings) {
      const std::string label = std::string(r.name) + ", " + wrap + " " + syntax;
      int refused = 0;
      const std::optional<Generated> g =
          generate(r.query + "&Wrap=" + wrap + "&Syntax=" + syntax, refused);
      ASSERT_TRUE(g) << label << ": refused with " << refused;
      ASSERT_FALSE(g->output.empty()) << label << "\n" << g->text;
      Workspace ws;
      ASSERT_TRUE(ws.ok());
      std::string messages;
      const std::optional<std::string> cod = build(ws, g->text, g->packaging, messages);
      ASSERT_TRUE(cod) << label << ":\n" << messages << g->text;
      EXPECT_EQ(messages, "") << label;
      const int input_bytes = (g->input_bits + 7) / 8;
      const int64_t top = int64_t{1} << g->input_bits;
      const int64_t low = g->is_signed ? -top / 2 : 0;
      const int64_t high = g->is_signed ? top / 2 - 1 : top - 1;
      for (const int64_t x : {low, low + 1, int64_t{-1}, int64_t{0}, int64_t{1}, int64_t{9},
                              int64_t{10}, high / 3, high - 1, high}) {
        if (x < low || x > high) continue;
        // The input's bits, sign-extended through its bytes; byte 0 is the most significant
        // big-endian, the least significant little-endian.
        std::map<std::string, unsigned> set;
        for (int k = 0; k < input_bytes; ++k) {
          const int shift = 8 * (g->little_endian ? k : input_bytes - 1 - k);
          set[g->acc + std::to_string(k)] = static_cast<unsigned>((x >> shift) & 0xFF);
        }
        const std::map<std::string, unsigned> bytes = run_from_reset(ws, *cod, set, g->output);
        ASSERT_EQ(bytes.size(), g->output.size()) << label << ", x = " << x;
        const int n = static_cast<int>(g->output.size());
        int64_t value = 0;
        for (int k = 0; k < n; ++k) {
          const int shift = 8 * (g->little_endian ? k : n - 1 - k);
          value |= static_cast<int64_t>(bytes.at(g->output[static_cast<std::size_t>(k)])) << shift;
        }
        if (g->is_signed && value >= int64_t{1} << (8 * n - 1)) value -= int64_t{1} << (8 * n);
        EXPECT_EQ(value, r.result(x)) << label << ", x = " << x;
      }
    }
  }
}

}  // namespace
}  // namespace tarvek
