// Exact routines of the enhanced core against the independent tools, on a PIC16F1823. gpasm
// must assemble, without a message, a sample that holds every line style of the enhanced exact
// routines of a broad set of requests; gpsim must leave the same bytes, W, STATUS and cycle
// count as our simulator on routines of every step the enhanced core writes in its own way
// (the carry chains of an offset, a correction, a rounding tail, the upper bytes added in
// place and the sign put back; the doublings with lslf and the shifted copies with lsrf), in
// both byte orders, each from several starting states.
#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <random>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "exact_sweep.h"
#include "gpsim/gpsim_harness.h"
#include "sim/pic_machine.h"
#include "sim/pic_program.h"

namespace tarvek {
namespace {

struct Made {
  ExactSweepRequest request;
  std::string block;
};

// Enhanced routines of every third constant of the family at widths from 1 to 32 bits,
// unsigned and signed, every mode and both byte orders (those refused for a result that is
// always 0 left out).
const std::vector<Made>& enhanced_routines() {
  static const std::vector<Made> made = [] {
    const auto family = exact_sweep_constants();
    std::vector<std::pair<std::string, std::string>> constants;
    for (std::size_t i = 0; i < family.size(); i += 3) constants.push_back(family[i]);
    std::vector<Made> routines;
    for (const bool is_signed : {false, true}) {
      for (const ExactSweepRequest& request :
           exact_requests(constants, {1, 3, 8, 12, 16, 24, 32}, is_signed, Core::kEnhanced)) {
        int refusal = 0;
        std::string block = generate_exact_block(request, refusal);
        if (refusal == 0) routines.push_back({request, std::move(block)});
      }
    }
    return routines;
  }();
  return made;
}

// The styles of a block's instruction lines: the mnemonic, the byte operands as R, the
// literals as the shape they have (a bare digit, D'n' or D'-n'), which gpasm reads each in
// its own way.
std::set<std::string> line_styles(const std::string& block) {
  static const std::regex byte(R"(\b(ACC|TEMP)[0-9]+)");
  static const std::regex digit(R"(^(\t[a-z]+lw\t)[0-9]$)");
  static const std::regex decimal(R"(^(\t[a-z]+lw\t)D'(-?)[0-9]+'$)");
  std::set<std::string> styles;
  const std::size_t code = block.find("\tendc\n");
  std::size_t start = code == std::string::npos ? block.size() : code + 6;
  while (start < block.size()) {
    std::size_t end = block.find('\n', start);
    if (end == std::string::npos) end = block.size();
    std::string line = std::regex_replace(block.substr(start, end - start), byte, "R");
    line = std::regex_replace(line, digit, "$1N");
    line = std::regex_replace(line, decimal, "$1D'$2N'");
    if (!line.empty()) styles.insert(line);
    start = end + 1;
  }
  return styles;
}

TEST(ExactEnhancedToolsTest, GpasmAssemblesEveryLineStyle) {
  ASSERT_TRUE(gpsim_tools_available());
  std::set<std::string> covered;
  int assembled = 0;
  for (const Made& made : enhanced_routines()) {
    bool brings = false;
    for (const std::string& style : line_styles(made.block)) brings |= covered.insert(style).second;
    if (!brings) continue;
    const GpsimOutcome outcome =
        assemble_with_gpasm(routine_from_block(made.block), enhanced_target());
    EXPECT_TRUE(outcome.ok && outcome.assembler_messages.empty())
        << describe(made.request) << ": " << outcome.error << outcome.assembler_messages;
    ++assembled;
  }
  RecordProperty("routines", assembled);
  RecordProperty("styles", static_cast<int>(covered.size()));
  // The enhanced core's own instructions are among them.
  for (const char* style : {"\taddwfc\tR, f", "\tlslf\tR, f", "\tlsrf\tR, f", "\tlsrf\tR, w"}) {
    EXPECT_EQ(covered.count(style), 1u) << "no routine writes \"" << style << "\"";
  }
}

// The steps the enhanced core writes in its own way, recognised by a line pattern.
struct Step {
  const char* name;
  const char* pattern;
};

const Step kSteps[] = {
    {"offset carried on",
     R"(\tmovlw\t[^\n]+\n\taddwf\tACC[0-9]+, f\n(\tmovlw\t[^\n]+\n)?\taddwfc\t)"},
    {"correction carried on", R"(\tsubwf\tTEMP[0-9]+, w\n\tmovlw\t0\n\taddwfc\tACC)"},
    {"two corrections", R"(\tskpnc\n\tmovwf\tTEMP[0-9]+\n\tmovlw\t0\n\taddwfc\tACC)"},
    {"doubling", R"(\tlslf\tTEMP[0-9]+, f\n)"},
    {"rounding tail", R"(\t(rrf|lsrf)\tACC[0-9]+, f\n\tmovlw\t0\n\taddwfc\tACC)"},
    {"upper bytes added",
     R"(\tmovf\tACC[0-9]+, w\n\taddwf\tACC[0-9]+, f\n\tmovf\tACC[0-9]+, w\n\taddwfc\t)"},
    {"sign put back", R"(\tmovf\tTEMP[0-9]+, w\n\taddwf\tACC[0-9]+, f\n\taddwfc\tACC)"},
    {"shifted copy", R"(\tlsrf\tACC[0-9]+, w\n\tmovwf\tTEMP)"},
};

// A starting state: input x (sign-extended through the input bytes when signed), arbitrary
// other bytes, W and flags.
GpsimInput starting_state(const PicProgram& program, const ExactSweepRequest& request, uint64_t x,
                          std::mt19937& random) {
  PicMachine machine(program);
  machine.fill(random());
  const int input_bytes = (request.bits + 7) / 8;
  const uint64_t sign = uint64_t{1} << (request.bits - 1);
  if (request.is_signed && (x & sign) != 0) x |= ~(2 * sign - 1);
  machine.write_value(program.value_indexes("ACC", input_bytes, request.little_endian), x);
  GpsimInput input;
  for (std::size_t i = 0; i < program.byte_names.size(); ++i) {
    input.bytes.push_back(machine.byte_at(static_cast<int>(i)));
  }
  input.w = static_cast<uint8_t>(random());
  input.carry = random() & 1;
  input.digit_carry = random() & 1;
  input.zero = random() & 1;
  return input;
}

// Our simulator's run from `input`, in gpsim's terms.
GpsimResult run_ours(const PicProgram& program, const GpsimInput& input) {
  PicMachine machine(program);
  for (std::size_t i = 0; i < input.bytes.size(); ++i) {
    machine.set_byte_at(static_cast<int>(i), input.bytes[i]);
  }
  machine.w = input.w;
  machine.carry = input.carry;
  machine.digit_carry = input.digit_carry;
  machine.zero = input.zero;
  const RunStats stats = machine.run();
  GpsimResult result;
  for (std::size_t i = 0; i < input.bytes.size(); ++i) {
    result.bytes.push_back(machine.byte_at(static_cast<int>(i)));
  }
  result.w = machine.w;
  result.status = machine.status();
  result.cycles = stats.cycles;
  result.skipped_past_end = stats.skipped_past_end;
  return result;
}

// Two routines of each step in each byte order, every seventh routine first so that the
// sample spreads over constants and widths, each run from six starting states (edge inputs
// and random ones).
TEST(ExactEnhancedToolsTest, GpsimAgreesWithOurSimulator) {
  ASSERT_TRUE(gpsim_tools_available());
  std::vector<std::regex> patterns;
  for (const Step& step : kSteps) patterns.emplace_back(step.pattern);
  const std::vector<Made>& routines = enhanced_routines();
  std::map<std::string, int> found;
  const int wanted = 4 * static_cast<int>(std::size(kSteps));
  int taken = 0;
  int run = 0;
  std::mt19937 random(18);
  for (std::size_t pass = 0; pass < 7 && taken < wanted; ++pass) {
    for (std::size_t i = pass; i < routines.size() && taken < wanted; i += 7) {
      const Made& made = routines[i];
      std::string steps;
      for (std::size_t p = 0; p < std::size(kSteps); ++p) {
        const std::string key =
            std::string(kSteps[p].name) + (made.request.little_endian ? " LE" : " BE");
        if (found[key] < 2 && std::regex_search(made.block, patterns[p])) {
          ++found[key];
          ++taken;
          steps += key + "; ";
        }
      }
      if (steps.empty()) continue;
      const std::string what = describe(made.request) + " (" + steps + ")";
      const ParseOutcome parsed = parse_generated_block(made.block, PicCore::kEnhanced);
      ASSERT_TRUE(parsed.program) << what << ": " << parsed.error;
      const uint64_t max = (uint64_t{1} << made.request.bits) - 1;
      std::vector<GpsimInput> inputs;
      for (const uint64_t x :
           {uint64_t{0}, max, max / 2, max / 2 + 1, uint64_t{random()}, uint64_t{random()}}) {
        inputs.push_back(starting_state(*parsed.program, made.request, x & max, random));
      }
      const GpsimOutcome theirs =
          run_in_gpsim(routine_from_block(made.block), inputs, enhanced_target());
      EXPECT_EQ(theirs.assembler_messages, "") << what;
      if (!theirs.ok || theirs.results.size() != inputs.size()) {
        ADD_FAILURE() << what << ": " << theirs.error;
        continue;
      }
      for (std::size_t k = 0; k < inputs.size(); ++k) {
        const GpsimResult ours = run_ours(*parsed.program, inputs[k]);
        const std::string at = what + ", run " + std::to_string(k);
        EXPECT_EQ(ours.bytes, theirs.results[k].bytes) << at;
        EXPECT_EQ(ours.w, theirs.results[k].w) << at;
        EXPECT_EQ(ours.status, theirs.results[k].status) << at;
        EXPECT_EQ(ours.cycles, theirs.results[k].cycles) << at;
        EXPECT_EQ(ours.skipped_past_end, theirs.results[k].skipped_past_end) << at;
      }
      ++run;
    }
  }
  RecordProperty("routines", run);
  for (const Step& step : kSteps) {
    for (const char* order : {" BE", " LE"}) {
      EXPECT_EQ(found[std::string(step.name) + order], 2)
          << "no routine takes the step: " << step.name << order;
    }
  }
}

}  // namespace
}  // namespace tarvek
