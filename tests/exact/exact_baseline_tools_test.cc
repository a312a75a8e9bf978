// Routines of the baseline core held to the part's own instruction set and to gpsim, on the
// PIC10F200 (16 bytes of RAM from 0x10, 256 words) where a routine fits it and on the
// PIC12F508 (25 bytes from 0x07, 512 words) otherwise.
//
// Every line of every routine of a broad set of requests, exact and approximating, must be one
// of the baseline core's instructions (a list written here from the core's instruction set,
// not taken from our parser); gpasm, which knows that set for these parts, must assemble a
// sample that holds every line style without a message; and gpsim must leave the same bytes,
// W, STATUS and cycle count as our simulator on routines of every step the baseline core
// writes in its own way (a correction compared by the sign of r - d, or with d loaded), on
// routines whose temporary bytes share RAM, and on approximations, in both byte orders.
#include <gtest/gtest.h>

#include <iterator>
#include <map>
#include <random>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "exact_sweep.h"
#include "exact_tool_checks.h"
#include "gpsim/gpsim_harness.h"
#include "sim/pic_program.h"

namespace tarvek {
namespace {

// Baseline routines of every third constant of the family at widths from 1 to 32 bits:
// unsigned and signed exact results in every mode, the approximation at error 0, and both
// byte orders (those refused for a result that is always 0 left out).
const std::vector<Made>& baseline_routines() {
  static const std::vector<Made> made = [] {
    const auto family = exact_sweep_constants();
    std::vector<std::pair<std::string, std::string>> constants;
    for (std::size_t i = 0; i < family.size(); i += 3) constants.push_back(family[i]);
    std::vector<ExactSweepRequest> requests;
    const std::vector<int> widths = {1, 3, 8, 12, 16, 24, 32};
    for (const bool is_signed : {false, true}) {
      for (const ExactSweepRequest& request :
           exact_requests(constants, widths, is_signed, Core::kBaseline)) {
        requests.push_back(request);
      }
    }
    for (const ExactSweepRequest& request : exact_requests(constants, widths)) {
      if (request.result != "floor") continue;
      ExactSweepRequest approx = request;
      approx.result = "approx";
      approx.core = Core::kBaseline;
      requests.push_back(approx);
    }
    return generate_exact_blocks(requests);
  }();
  return made;
}

// The baseline core's instructions and the operand-less macros that stand for its bit
// operations on STATUS. No addlw, sublw, return or any enhanced instruction.
const std::set<std::string> kBaselineMnemonics = {
    "addwf",  "andwf", "clrf", "clrw",  "comf",  "decf",  "decfsz", "incf",
    "incfsz", "iorwf", "movf", "movwf", "rlf",   "rrf",   "subwf",  "swapf",
    "xorwf",  "bcf",   "bsf",  "btfsc", "btfss", "andlw", "iorlw",  "xorlw",
    "movlw",  "clrc",  "setc", "skpc",  "skpnc", "skpz",  "skpnz"};

TEST(ExactBaselineToolsTest, EveryInstructionIsTheBaselineCores) {
  long lines = 0;
  std::set<std::string> used;
  for (const Made& made : baseline_routines()) {
    for (const std::string& mnemonic : instruction_mnemonics(made.block)) {
      ++lines;
      used.insert(mnemonic);
      EXPECT_EQ(kBaselineMnemonics.count(mnemonic), 1u)
          << describe(made.request) << ": " << mnemonic;
    }
  }
  RecordProperty("lines", static_cast<int>(lines));
  // The sample reaches far into the routines: the correction's own instructions are there.
  for (const char* mnemonic : {"btfss", "subwf", "incfsz", "skpnz", "swapf", "andlw"}) {
    EXPECT_EQ(used.count(mnemonic), 1u) << "no routine writes " << mnemonic;
  }
}

TEST(ExactBaselineToolsTest, GpasmAssemblesEveryLineStyleForABaselinePart) {
  ASSERT_TRUE(gpsim_tools_available());
  std::set<std::string> covered;
  std::map<std::string, int> parts;
  for (const Made& made : baseline_routines()) {
    bool brings = false;
    for (const std::string& style : exact_styles(made.block, "ACC", "TEMP")) {
      brings |= covered.insert(style).second;
    }
    if (!brings) continue;
    const ParseOutcome parsed = parse_generated_block(made.block, PicCore::kBaseline);
    ASSERT_TRUE(parsed.program) << describe(made.request) << ": " << parsed.error;
    const GpsimTarget target = baseline_target_for(*parsed.program);
    const GpsimOutcome outcome = assemble_with_gpasm(routine_from_block(made.block), target);
    EXPECT_TRUE(outcome.ok && outcome.assembler_messages.empty())
        << describe(made.request) << " for the " << target.processor << ": " << outcome.error
        << outcome.assembler_messages;
    ++parts[target.processor];
  }
  for (const auto& [processor, count] : parts) RecordProperty(processor, count);
  RecordProperty("styles", static_cast<int>(covered.size()));
  EXPECT_GT(parts["10f200"], 0);
  EXPECT_EQ(covered.count("\tbtfss\tR, 7"), 1u) << "no routine tests the sign of r - d";
}

// The steps the baseline core writes in its own way, and what it shares with the others,
// recognised by a line pattern.
struct Step {
  const char* name;
  const char* pattern;
};

const Step kSteps[] = {
    {"sign of r - d", R"(\tsubwf\tTEMP[0-9]+, f\n\tbtfss\tTEMP[0-9]+, 7\n\tincf\tACC)"},
    {"d loaded", R"(\tmovlw\t[^\n]+\n\tsubwf\tTEMP[0-9]+, w\n\tskpnc\n\tincf\tACC)"},
    {"two corrections", R"(\tskpnc\n\tmovwf\tTEMP[0-9]+\n\tskpnc\n\tincf\tACC)"},
    {"sign put back", R"(\tmovf\tTEMP[0-9]+, w\n\txorwf\tACC[0-9]+, f\n)"},
    {"approximation", R"(; Error in constant approximation)"},
};

// Two routines of each step in each byte order, every seventh routine first so that the
// sample spreads over constants and widths, each run from the edge inputs and random ones.
TEST(ExactBaselineToolsTest, GpsimAgreesWithOurSimulator) {
  ASSERT_TRUE(gpsim_tools_available());
  std::vector<std::regex> patterns;
  for (const Step& step : kSteps) patterns.emplace_back(step.pattern);
  const std::vector<Made>& routines = baseline_routines();
  std::map<std::string, int> found;
  std::map<std::string, int> parts;
  const int wanted = 4 * static_cast<int>(std::size(kSteps));
  int taken = 0;
  std::mt19937 random(30);
  for (std::size_t pass = 0; pass < 7 && taken < wanted; ++pass) {
    for (std::size_t i = pass; i < routines.size() && taken < wanted; i += 7) {
      const Made& made = routines[i];
      const ParseOutcome parsed = parse_generated_block(made.block, PicCore::kBaseline);
      ASSERT_TRUE(parsed.program) << describe(made.request) << ": " << parsed.error;
      // The runs set the input in its bytes: a routine that leaves some alone, or has no
      // instruction at all (x * 1), has nothing to show there.
      bool declares_input = !parsed.program->instructions.empty();
      for (int k = 0; k < (made.request.bits + 7) / 8; ++k) {
        declares_input &= parsed.program->index_of("ACC" + std::to_string(k)) >= 0;
      }
      if (!declares_input) continue;
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
      ++parts[baseline_target_for(*parsed.program).processor];
      expect_gpsim_agrees(made.block, made.request.bits, made.request.little_endian,
                          made.request.is_signed, PicCore::kBaseline,
                          describe(made.request) + " (" + steps + ")", random);
    }
  }
  for (const auto& [processor, count] : parts) RecordProperty(processor, count);
  EXPECT_GT(parts["10f200"], 0);
  for (const Step& step : kSteps) {
    for (const char* order : {" BE", " LE"}) {
      EXPECT_EQ(found[std::string(step.name) + order], 2)
          << "no routine takes the step: " << step.name << order;
    }
  }
}

}  // namespace
}  // namespace tarvek
