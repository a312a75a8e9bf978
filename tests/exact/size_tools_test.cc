// Routines written for size against the independent tools: gpasm assembles routines with
// loops side by side in one source file without a message (the labels of routines for other
// requests never clash, with the same register names or others), and gpsim leaves the same
// bytes, W, STATUS and cycle count as our simulator on loops of every kind, in every form,
// byte order and core, from several starting states.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "exact_sweep.h"
#include "exact_tool_checks.h"
#include "gpsim/crosscheck_support.h"
#include "gpsim/gpsim_harness.h"

namespace tarvek {
namespace {

ExactSweepRequest size_request(const std::string& constant, const std::string& divide_by,
                               const std::string& result, int bits, bool little = false,
                               bool is_signed = false, Core core = Core::kMidrange) {
  return ExactSweepRequest{constant, divide_by, result, bits,
                           little,   is_signed, core,   Optimize::kSize};
}

// The instruction lines of a block (everything after its declarations).
std::string instructions_of(const std::string& block) {
  return block.substr(block.find("\tendc\n") + 6);
}

// The bytes a block declares, one "\tNAME" line each.
std::set<std::string> declared_of(const std::string& block) {
  const std::vector<std::string> declared = routine_from_block(block).declared;
  return std::set<std::string>(declared.begin(), declared.end());
}

TEST(SizeToolsTest, RoutinesForOtherRequestsShareOneSourceFile) {
  ASSERT_TRUE(gpsim_tools_available());
  struct Case {
    const char* name;
    std::vector<ExactSweepRequest> requests;
  };
  const Case cases[] = {
      {"the same names, other constants",
       {size_request("1", "10", "floor", 16), size_request("1", "3", "floor", 16),
        size_request("1", "1000", "floor", 32)}},
      {"the same constant, other widths",
       {size_request("1", "10", "floor", 8), size_request("1", "10", "floor", 16),
        size_request("1", "10", "floor", 32)}},
      {"the same constant, other roundings",
       {size_request("1", "10", "floor", 16), size_request("1", "10", "nearest", 16),
        size_request("1", "10", "trunc", 16, false, true)}},
      {"the same request, other labels",
       {[] {
          ExactSweepRequest r = size_request("1", "10", "floor", 16);
          r.label = "first_";
          return r;
        }(),
        [] {
          ExactSweepRequest r = size_request("1", "10", "floor", 16);
          r.label = "second_";
          return r;
        }()}},
  };
  for (const Case& c : cases) {
    // The registers are declared once, the union of what the routines need; the instructions
    // of one routine follow those of the other.
    std::set<std::string> declared;
    std::string code;
    int loops = 0;
    for (const ExactSweepRequest& request : c.requests) {
      int refusal = 0;
      const std::string block = generate_exact_block(request, refusal);
      ASSERT_EQ(refusal, 0) << c.name << ": " << describe(request);
      declared.merge(declared_of(block));
      code += instructions_of(block);
      loops += block.find("\tgoto\t") != std::string::npos;
    }
    EXPECT_EQ(loops, static_cast<int>(c.requests.size())) << c.name;
    const std::vector<std::string> names(declared.begin(), declared.end());
    const GpsimOutcome outcome = assemble_with_gpasm(routine_from_instructions(code, names));
    EXPECT_TRUE(outcome.ok) << c.name << ": " << outcome.error;
    EXPECT_EQ(outcome.assembler_messages, "") << c.name;
  }
}

TEST(SizeToolsTest, RoutinesWithTheirOwnRegistersShareOneSourceFile) {
  ASSERT_TRUE(gpsim_tools_available());
  std::string body;
  const ExactSweepRequest requests[] = {
      size_request("1", "10", "floor", 16), size_request("5000/1023", "", "floor", 10),
      size_request("1", "10", "nearest", 8), size_request("1", "7", "trunc", 12, true, true),
      size_request("0.6", "", "floor", 16, true)};
  for (std::size_t i = 0; i < std::size(requests); ++i) {
    int refusal = 0;
    std::string block =
        generate_exact_block(requests[i], refusal, batch_acc_name(i), batch_temp_name(i));
    ASSERT_EQ(refusal, 0) << describe(requests[i]);
    block.replace(block.find("\n\tcblock\n"), 9, "\n\tcblock 0x20\n");
    body += block;
  }
  const GpsimOutcome outcome = assemble_with_gpasm(GpsimRoutine{body, {}});
  EXPECT_TRUE(outcome.ok) << outcome.error;
  EXPECT_EQ(outcome.assembler_messages, "");
}

// Kinds of loop the gpsim sample must hold, recognised by the comment block's method lines.
struct LoopKindPattern {
  const char* name;
  const char* pattern;
};

const LoopKindPattern kKinds[] = {
    {"counting", R"(, by counting how often)"},
    {"division", R"(\n;   if r >= [0-9]+: r = r - )"},
    {"division with bits skipped", R"(never compared: a division by )"},
    {"dividend plus a constant", R"(\n; n = x \+ [0-9]+\n)"},
    {"product, then division", R"(\n; n = [0-9]+ [xu]( \+ [0-9]+)?(, by a loop|\n))"},
    {"multiply loop", R"(to the product's high part for each one)"},
    {"sign bit flipped", R"(\n; u = x \+ [0-9]+ \(its sign bit flipped\))"},
    {"magnitude and sign", R"(\n; s = the sign of x, u = \|x\|)"},
};

TEST(SizeToolsTest, GpsimAgreesOnLoopsOfEveryKind) {
  ASSERT_TRUE(gpsim_tools_available());
  std::vector<ExactSweepRequest> requests;
  for (const auto& [constant, divide_by] :
       std::vector<std::pair<std::string, std::string>>{{"1", "10"},
                                                        {"1", "3"},
                                                        {"1", "12"},
                                                        {"1", "1000"},
                                                        {"0.6", ""},
                                                        {"2/3", ""},
                                                        {"5000/1023", ""},
                                                        {"45", ""}}) {
    for (const int bits : {6, 8, 12, 16, 32}) {
      for (const Core core : {Core::kMidrange, Core::kEnhanced}) {
        for (const bool is_signed : {false, true}) {
          for (const ExactSweepRequest& r :
               exact_requests({{constant, divide_by}}, {bits}, is_signed, core, Optimize::kSize)) {
            requests.push_back(r);
          }
        }
      }
    }
  }
  std::map<std::string, int> found;
  std::mt19937 random(23);
  int runs = 0;
  for (const ExactSweepRequest& request : requests) {
    int refusal = 0;
    const std::string block = generate_exact_block(request, refusal);
    if (refusal != 0 || block.find("\tgoto\t") == std::string::npos) continue;
    std::string kinds;
    for (const LoopKindPattern& kind : kKinds) {
      const std::string key = std::string(kind.name) + (request.little_endian ? ", LE" : ", BE") +
                              (request.core == Core::kEnhanced ? ", enhanced" : "");
      if (found[key] < 1 && std::regex_search(block, std::regex(kind.pattern))) {
        ++found[key];
        kinds += key + "; ";
      }
    }
    if (kinds.empty()) continue;
    expect_gpsim_agrees(block, request.bits, request.little_endian, request.is_signed,
                        request.core == Core::kEnhanced ? PicCore::kEnhanced : PicCore::kMidrange,
                        describe(request) + " (" + kinds + ")", random);
    ++runs;
  }
  for (const LoopKindPattern& kind : kKinds) {
    for (const char* order : {", LE", ", BE"}) {
      for (const char* core : {"", ", enhanced"}) {
        const std::string key = std::string(kind.name) + order + core;
        EXPECT_EQ(found[key], 1) << "no routine of the kind: " << key;
      }
    }
  }
  RecordProperty("routines", runs);
}

}  // namespace
}  // namespace tarvek
