// Exact routines of the enhanced core against the independent tools, on a PIC16F1823. gpasm
// must assemble, without a message, a sample that holds every line style of the enhanced exact
// routines of a broad set of requests; gpsim must leave the same bytes, W, STATUS and cycle
// count as our simulator on routines of every step the enhanced core writes in its own way
// (the carry chains of an offset, a correction, a rounding tail, the upper bytes added in
// place and the sign put back; the doublings with lslf and the shifted copies with lsrf), in
// both byte orders, each from several starting states.
#include <gtest/gtest.h>

#include <iterator>
#include <map>
#include <random>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "exact_sweep.h"
#include "exact_tool_checks.h"
#include "gpsim/gpsim_harness.h"
#include "sim/pic_program.h"

namespace tarvek {
namespace {

// Enhanced routines of every third constant of the family at widths from 1 to 32 bits,
// unsigned and signed, every mode and both byte orders (those refused for a result that is
// always 0 left out).
const std::vector<Made>& enhanced_routines() {
  static const std::vector<Made> made = [] {
    const auto family = exact_sweep_constants();
    std::vector<std::pair<std::string, std::string>> constants;
    for (std::size_t i = 0; i < family.size(); i += 3) constants.push_back(family[i]);
    std::vector<ExactSweepRequest> requests;
    for (const bool is_signed : {false, true}) {
      for (const ExactSweepRequest& request :
           exact_requests(constants, {1, 3, 8, 12, 16, 24, 32}, is_signed, Core::kEnhanced)) {
        requests.push_back(request);
      }
    }
    return generate_exact_blocks(requests);
  }();
  return made;
}

TEST(ExactEnhancedToolsTest, GpasmAssemblesEveryLineStyle) {
  ASSERT_TRUE(gpsim_tools_available());
  std::set<std::string> covered;
  int assembled = 0;
  for (const Made& made : enhanced_routines()) {
    bool brings = false;
    for (const std::string& style : exact_styles(made.block, "ACC", "TEMP")) {
      brings |= covered.insert(style).second;
    }
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

// Two routines of each step in each byte order, every seventh routine first so that the
// sample spreads over constants and widths, each run from the edge inputs and random ones.
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
      expect_gpsim_agrees(made.block, made.request.bits, made.request.little_endian,
                          made.request.is_signed, PicCore::kEnhanced,
                          describe(made.request) + " (" + steps + ")", random);
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
