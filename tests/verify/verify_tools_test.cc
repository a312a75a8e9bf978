// Generated routines against the independent tools: gpasm must assemble every style of
// routine the sweep produces without a message, and gpsim must leave the same machine state
// as our simulator for a sample of routines chosen to take every kind of path.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <map>
#include <random>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "gpsim/crosscheck_support.h"
#include "gpsim/gpsim_harness.h"
#include "sim/pic_program.h"
#include "verify_sweep.h"

namespace tarvek {
namespace {

// The requests the tools' samples are drawn from: the suite's whole sweep, for one core.
std::vector<RoutineRequest> candidate_requests(Core core) {
  return sweep_requests(sweep_constants(kSuiteRandomConstants, kSuiteSeed),
                        RequestPlan{0, {}, {core}});
}

// The part gpasm and gpsim are given for a core.
GpsimTarget target_for(Core core) {
  return core == Core::kEnhanced ? enhanced_target() : GpsimTarget{};
}

PicCore pic_core(Core core) {
  return core == Core::kEnhanced ? PicCore::kEnhanced : PicCore::kMidrange;
}

struct Chosen {
  RoutineRequest request;
  std::string why;
};

// Every routine that brings a new line style, then an even spread up to `total`; the styles
// seen are stored in `styles`.
std::vector<Chosen> gpasm_sample(std::size_t total, Core core, std::set<std::string>& styles) {
  const std::vector<RoutineRequest> requests = candidate_requests(core);
  std::vector<Chosen> chosen;
  std::set<std::string>& covered = styles;
  std::vector<bool> taken(requests.size(), false);
  for (std::size_t i = 0; i < requests.size(); ++i) {
    for (const std::string& style : line_styles(generate_block(requests[i]), {"ACC", "TEMP"})) {
      if (covered.insert(style).second) {
        if (!taken[i]) chosen.push_back({requests[i], "brings the style \"" + style + "\""});
        taken[i] = true;
      }
    }
  }
  const std::size_t styled = chosen.size();
  const std::size_t step = requests.size() / (total > styled ? total - styled : 1) + 1;
  for (std::size_t i = 0; i < requests.size() && chosen.size() < total; i += step) {
    if (!taken[i]) chosen.push_back({requests[i], "spread"});
  }
  return chosen;
}

std::string describe_routine(const std::vector<Chosen>& sample, std::size_t index) {
  return describe(sample[index].request) + ", registers " + batch_acc_name(index) + " and " +
         batch_temp_name(index) + " (" + sample[index].why + ")";
}

// gpasm with its default radix must read every routine as we do, for the part of its core; a
// batch of routines shares one source file, each with its own cblock at the start of the
// general-purpose bytes. Returns the line styles of the sample.
std::set<std::string> expect_gpasm_assembles(Core core, std::size_t total) {
  EXPECT_TRUE(gpsim_tools_available());
  std::set<std::string> styles;
  const std::vector<Chosen> sample = gpasm_sample(total, core, styles);
  EXPECT_GE(sample.size(), total - 10);
  const GpsimTarget target = target_for(core);
  std::string body;
  std::vector<std::size_t> members;
  long lines = 0;
  const auto assemble_batch = [&]() {
    const GpsimOutcome outcome = assemble_with_gpasm(GpsimRoutine{body, {}}, target);
    if (!outcome.ok || !outcome.assembler_messages.empty()) {
      // Name the routine at fault.
      for (std::size_t index : members) {
        const GpsimOutcome single = assemble_with_gpasm(
            routine_from_block(generate_block(sample[index].request, batch_acc_name(index),
                                              batch_temp_name(index))),
            target);
        EXPECT_TRUE(single.ok && single.assembler_messages.empty())
            << describe_routine(sample, index) << ": " << single.error << single.assembler_messages;
      }
      ADD_FAILURE() << "batch: " << outcome.error << outcome.assembler_messages;
    }
    body.clear();
    members.clear();
    lines = 0;
  };
  for (std::size_t index = 0; index < sample.size(); ++index) {
    std::string block =
        generate_block(sample[index].request, batch_acc_name(index), batch_temp_name(index));
    const std::size_t cblock = block.find("\n\tcblock\n");
    if (cblock == std::string::npos) {
      ADD_FAILURE() << describe_routine(sample, index);
      continue;
    }
    block.replace(cblock, 9, "\n\tcblock 0x20\n");
    lines += static_cast<long>(std::count(block.begin(), block.end(), '\n'));
    body += block;
    members.push_back(index);
    // The chip has 2048 words of program memory.
    if (lines > 1200) assemble_batch();
  }
  if (!members.empty()) assemble_batch();
  return styles;
}

TEST(VerifyToolsTest, GpasmAssemblesEveryRoutineStyle) {
  const std::set<std::string> styles = expect_gpasm_assembles(Core::kMidrange, 400);
  RecordProperty("styles", static_cast<int>(styles.size()));
}

// The enhanced routines on a PIC16F1823: every line style, among them each enhanced
// instruction form the generators write, in a sample of 200.
TEST(VerifyToolsTest, GpasmAssemblesEveryEnhancedRoutineStyle) {
  const std::set<std::string> styles = expect_gpasm_assembles(Core::kEnhanced, 200);
  RecordProperty("styles", static_cast<int>(styles.size()));
  for (const char* style : {"\taddwfc\tR, f", "\tsubwfb\tR, f", "\tlslf\tR, f", "\tlsrf\tR, f",
                            "\tlsrf\tR, w", "\tasrf\tR, f"}) {
    EXPECT_EQ(styles.count(style), 1u) << "no routine writes \"" << style << "\"";
  }
}

// Kinds of path a routine can take, recognised by a line pattern of its text.
struct PathKind {
  const char* name;
  const char* pattern;
  // A path of little-endian routines only.
  bool little_endian_only = false;
};

const PathKind kPathKinds[] = {
    {"negation", R"(\tcomf\tACC[0-9]+, f\n\t(comf|incf)\t)"},
    {"subtraction", R"(\tsubwf\t)"},
    {"sign extension", R"(\tbtfsc\tACC[0-9]+, 7\n\tcomf)"},
    {"signed bit shift with a carry", R"(\tmovlw\tD'-128'\n\taddwf)"},
    {"signed bit shift", R"(\trlf\tACC[0-9]+, w\n\trrf)"},
    {"nibble step", R"(\tswapf\tACC[0-9]+, w\n\tandlw\t)"},
    {"signed nibble step", R"(D'-16'\n\t(skpc|btfsc)|(skpc|btfsc[^\n]*)\n\tiorlw\tD'-16')"},
    {"carry taken in", R"(\tskpnc\n\t(bsf|iorlw)\t)"},
    {"carry flush", R"(\tclrf\t(ACC[0-9]+)\n\trlf\t\1, f)"},
    {"signed carry flush", R"(\tclrf\t(ACC[0-9]+)\n\tskpc\n\tcomf\t\1, f)"},
    {"seven-bit rotation", R"(\trlf\tACC[0-9]+, w\n\tmovwf\t)"},
    {"six-bit rotation", R"(\trlf\t(ACC[0-9]+), f\n\trlf\t(ACC[0-9]+), f\n\trlf\t\1, f)"},
    {"borrow ripple", R"(\tmovlw\t1\n\tskpc\n\tsubwf)"},
    {"left shift by nibbles", R"(\tswapf\tTEMP[0-9]+, w\n\tandlw\tD'15')"},
    {"no term", R"(; Clear accumulator\n; WARNING:)"},
};

// The paths of the enhanced core's own instructions, beside the core-independent ones.
const PathKind kEnhancedPathKinds[] = {
    {"carry chain", R"(\taddwfc\t)"},
    {"borrow chain", R"(\tsubwfb\tACC[0-9]+, f\n\tmovf)"},
    {"carry ripple", R"(\taddwfc?\tACC[0-9]+, f\n\tmovlw\t0\n\taddwfc)"},
    {"borrow ripple", R"(\tmovlw\t0\n\tsubwfb)"},
    {"left shift from zero", R"(\tlslf\t)"},
    {"right shift from zero", R"(\tlsrf\t[^\n]*, f)"},
    {"seven-bit left shift", R"(\tlsrf\t[^\n]*, w\n\tmovwf\t)", true},
    {"arithmetic shift", R"(\tasrf\t)"},
    {"signed bit shift with a carry", R"(\tmovlw\tD'-128'\n\taddwf)"},
    {"signed carry flush", R"(\tmovwf\t(ACC[0-9]+)\n\tsubwfb\t\1, f)"},
    {"negation", R"(\tcomf\tACC[0-9]+, f\n\t(comf|incf)\t)"},
    {"nibble step", R"(\tswapf\tACC[0-9]+, w\n\tandlw\t)"},
    {"no term", R"(; Clear accumulator\n; WARNING:)"},
};

// Two routines of each kind of path in each byte order, each run from eight starting states
// (edge inputs and random ones, random other bytes, W and flags), must leave every declared
// byte, W, STATUS and the cycle count as our simulator does; on a part of the routines' core.
// Returns the number of routines run.
template <std::size_t N>
int expect_gpsim_agrees(const PathKind (&kinds)[N], Core core) {
  EXPECT_TRUE(gpsim_tools_available());
  std::vector<std::regex> patterns;
  for (const PathKind& kind : kinds) patterns.emplace_back(kind.pattern);
  const std::vector<RoutineRequest> requests = candidate_requests(core);
  std::map<std::string, int> found;
  int routines = 0;
  std::mt19937 random(5);
  int wanted = 0;
  for (const PathKind& kind : kinds) wanted += kind.little_endian_only ? 2 : 4;
  int taken = 0;
  // Every seventh request first, so that the sample spreads over widths and constants.
  for (std::size_t pass = 0; pass < 7 && taken < wanted; ++pass) {
    for (std::size_t i = pass; i < requests.size() && taken < wanted; i += 7) {
      const RoutineRequest& request = requests[i];
      const std::string block = generate_block(request);
      std::string taken_kinds;
      for (std::size_t p = 0; p < N; ++p) {
        if (kinds[p].little_endian_only && !request.little_endian) continue;
        const std::string key =
            std::string(kinds[p].name) + (request.little_endian ? " LE" : " BE");
        if (found[key] < 2 && std::regex_search(block, patterns[p])) {
          ++found[key];
          ++taken;
          taken_kinds += key + "; ";
        }
      }
      if (taken_kinds.empty()) continue;
      const std::string what = describe(request) + " (" + taken_kinds + ")";
      const ParseOutcome parsed = parse_generated_block(block, pic_core(core));
      if (!parsed.program) {
        ADD_FAILURE() << what << ": " << parsed.error;
        continue;
      }
      const GpsimRoutine routine = routine_from_block(block);
      EXPECT_EQ(routine.declared, parsed.program->byte_names) << what;
      if (parsed.program->index_of("ACC0") < 0) continue;  // nothing to run
      const uint64_t max = (uint64_t{1} << request.bits) - 1;
      std::vector<GpsimInput> inputs;
      for (uint64_t x : {uint64_t{0}, uint64_t{1}, max, max - 1, max / 2 + 1}) {
        inputs.push_back(starting_state(*parsed.program, "ACC", request.bits, request.little_endian,
                                        x & max, random));
      }
      for (int k = 0; k < 3; ++k) {
        inputs.push_back(starting_state(*parsed.program, "ACC", request.bits, request.little_endian,
                                        random() & max, random));
      }
      const GpsimOutcome theirs = run_in_gpsim(routine, inputs, target_for(core));
      EXPECT_EQ(theirs.assembler_messages, "") << what;
      if (!theirs.ok || theirs.results.size() != inputs.size()) {
        ADD_FAILURE() << what << ": " << theirs.error;
        continue;
      }
      for (std::size_t k = 0; k < inputs.size(); ++k) {
        const GpsimResult ours = run_ours(*parsed.program, inputs[k]);
        const std::string run = what + ", run " + std::to_string(k);
        EXPECT_EQ(run_difference(ours, theirs.results[k]), "") << run;
      }
      ++routines;
    }
  }
  for (const PathKind& kind : kinds) {
    for (const char* order : {" BE", " LE"}) {
      if (kind.little_endian_only && std::string(order) == " BE") continue;
      const std::string key = std::string(kind.name) + order;
      EXPECT_EQ(found[key], 2) << "no routine takes the path: " << key;
    }
  }
  return routines;
}

TEST(VerifyToolsTest, GpsimAgreesWithOurSimulator) {
  RecordProperty("routines", expect_gpsim_agrees(kPathKinds, Core::kMidrange));
}

// The enhanced routines on a PIC16F1823.
TEST(VerifyToolsTest, GpsimAgreesWithOurSimulatorOnEnhancedRoutines) {
  RecordProperty("routines", expect_gpsim_agrees(kEnhancedPathKinds, Core::kEnhanced));
}

}  // namespace
}  // namespace tarvek
