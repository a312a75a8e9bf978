// Exact routines against the independent tools. gpasm must assemble, without a message, a
// sample of the exact sweep's routines that holds every line style the sweep's routines have;
// gpsim must leave the same bytes, W, STATUS and cycle count as our simulator on routines of
// every method (correction steps, guard bits, offsets, factors, exact products, plain
// truncating walks) and every form of a signed routine, in every mode and byte order, each from
// several starting states.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <map>
#include <random>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "exact/exact_generator.h"
#include "exact/search.h"
#include "exact_sweep.h"
#include "exact_tool_checks.h"
#include "gpsim/crosscheck_support.h"
#include "gpsim/gpsim_harness.h"
#include "sim/pic_program.h"

namespace tarvek {
namespace {

struct FamilyRoutine {
  ExactSweepRequest request;
  std::string block;
};

// Every routine of the sweep's constants at every width, byte order and mode, unsigned
// (floor, nearest) and signed (floor, nearest, trunc), with registers ACC and TEMP (the
// requests refused for a result that is always 0 left out).
const std::vector<FamilyRoutine>& family_routines() {
  static const std::vector<FamilyRoutine> routines = [] {
    std::vector<int> widths;
    for (int bits = 1; bits <= 32; ++bits) widths.push_back(bits);
    std::vector<FamilyRoutine> made;
    for (const bool is_signed : {false, true}) {
      for (const ExactSweepRequest& request :
           exact_requests(exact_sweep_constants(), widths, is_signed)) {
        int refusal = 0;
        std::string block = generate_exact_block(request, refusal);
        if (refusal == 0) made.push_back({request, std::move(block)});
      }
    }
    return made;
  }();
  return routines;
}

std::set<std::string> family_styles() {
  std::set<std::string> styles;
  for (const FamilyRoutine& routine : family_routines()) {
    styles.merge(exact_styles(routine.block, "ACC", "TEMP"));
  }
  return styles;
}

TEST(ExactToolsTest, LiteralShapes) {
  struct Case {
    const char* name;
    const char* style;
    const char* shape;
  };
  const Case cases[] = {
      {"digit", "\tmovlw\t7", "\tmovlw\tN"},
      {"decimal", "\tandlw\tD'15'", "\tandlw\tD'N'"},
      {"negative", "\tiorlw\tD'-16'", "\tiorlw\tD'-N'"},
      {"register", "\taddwf\tR, f", "\taddwf\tR, f"},
      {"bit", "\tbtfsc\tR, 7", "\tbtfsc\tR, 7"},
      {"no operand", "\tclrc", "\tclrc"},
  };
  for (const Case& c : cases) EXPECT_EQ(literal_shape(c.style), c.shape) << c.name;
}

// Every routine that brings a style not yet chosen, then an even spread of the rest up to
// `total`; each routine's registers get the names of its place in the sample.
std::vector<const FamilyRoutine*> gpasm_sample(std::size_t total) {
  const std::vector<FamilyRoutine>& routines = family_routines();
  std::vector<const FamilyRoutine*> chosen;
  std::vector<bool> taken(routines.size(), false);
  std::set<std::string> covered;
  for (std::size_t i = 0; i < routines.size(); ++i) {
    for (const std::string& style : exact_styles(routines[i].block, "ACC", "TEMP")) {
      if (covered.insert(style).second && !taken[i]) {
        chosen.push_back(&routines[i]);
        taken[i] = true;
      }
    }
  }
  const std::size_t step = routines.size() / (total > chosen.size() ? total - chosen.size() : 1);
  for (std::size_t i = 0; i < routines.size() && chosen.size() < total; i += step + 1) {
    if (!taken[i]) chosen.push_back(&routines[i]);
  }
  return chosen;
}

// gpasm with its default radix must read every routine as we do; a batch of routines shares
// one source file, each with its own cblock at the start of the general-purpose bytes, and the
// lines it assembled must hold every style of the whole family.
TEST(ExactToolsTest, GpasmAssemblesEveryLineStyle) {
  ASSERT_TRUE(gpsim_tools_available());
  const std::set<std::string> wanted = family_styles();
  const std::vector<const FamilyRoutine*> sample = gpasm_sample(300);
  RecordProperty("styles", static_cast<int>(wanted.size()));
  RecordProperty("routines", static_cast<int>(sample.size()));
  ASSERT_GE(sample.size(), 290u);
  std::set<std::string> assembled;
  std::string body;
  std::vector<std::size_t> members;
  long lines = 0;
  const auto block_of = [&](std::size_t index) {
    int refusal = 0;
    const std::string block = generate_exact_block(sample[index]->request, refusal,
                                                   batch_acc_name(index), batch_temp_name(index));
    EXPECT_EQ(refusal, 0) << describe(sample[index]->request);
    return block;
  };
  const auto assemble_batch = [&]() {
    const GpsimOutcome outcome = assemble_with_gpasm(GpsimRoutine{body, {}});
    if (outcome.ok && outcome.assembler_messages.empty()) {
      for (const std::size_t index : members) {
        assembled.merge(
            exact_styles(block_of(index), batch_acc_name(index), batch_temp_name(index)));
      }
    } else {
      // Name the routine at fault.
      for (const std::size_t index : members) {
        const GpsimOutcome single = assemble_with_gpasm(routine_from_block(block_of(index)));
        EXPECT_TRUE(single.ok && single.assembler_messages.empty())
            << describe(sample[index]->request) << ": " << single.error
            << single.assembler_messages;
      }
      ADD_FAILURE() << "batch: " << outcome.error << outcome.assembler_messages;
    }
    body.clear();
    members.clear();
    lines = 0;
  };
  for (std::size_t index = 0; index < sample.size(); ++index) {
    std::string block = block_of(index);
    const std::size_t cblock = block.find("\n\tcblock\n");
    ASSERT_NE(cblock, std::string::npos) << describe(sample[index]->request);
    block.replace(cblock, 9, "\n\tcblock 0x20\n");
    const long block_lines = static_cast<long>(std::count(block.begin(), block.end(), '\n'));
    // The chip has 2048 words of program memory.
    if (lines + block_lines > 1500 && !members.empty()) assemble_batch();
    lines += block_lines;
    body += block;
    members.push_back(index);
  }
  if (!members.empty()) assemble_batch();
  for (const std::string& style : wanted) {
    EXPECT_TRUE(assembled.contains(style)) << "never assembled: \"" << style << "\"";
  }
}

// Kinds of routine the gpsim sample must hold, recognised by the comment block's method lines:
// the unsigned routine's methods, required of unsigned floor and nearest routines, and the
// forms a signed routine takes around an unsigned one.
struct MethodKind {
  const char* name;
  const char* pattern;
  bool is_signed = false;
  // The modes a routine of the kind is required in.
  std::vector<std::string> modes = {"floor", "nearest"};
};

const MethodKind kMethodKinds[] = {
    {"correction steps", R"(\n; r = .* then [0-9]+ corrections?:\n)"},
    {"guard bits", R"(\n; q = floor\(v / 2\^[0-9]+\)\n)"},
    {"offset", R"(\n; v = v \+ [0-9]+\n)"},
    {"factor 1 + 2^-k", R"(\n; v = v \+ floor\(v / 2\^[0-9]+\)\n)"},
    {"factor 2^k + 1", R"(\n; v = v \+ v \* 2\^[0-9]+\n)"},
    {"exact product", R"(, by shifts and adds, exactly\n)"},
    {"truncating walk", R"(, by shifts and adds truncating at each right shift\n)"},
    {"32-bit input", R"(exact for every 32-bit input x\n)"},
    {"sign bit flipped", R"(\n; u = x \+ [0-9]+ \(its sign bit flipped\))", true},
    {"magnitude and sign", R"(\n; s = the sign of x, u = \|x\|)", true, {"trunc"}},
};

// The patterns of kMethodKinds, compiled once.
const std::vector<std::regex>& method_patterns() {
  static const std::vector<std::regex> patterns = [] {
    std::vector<std::regex> compiled;
    for (const MethodKind& kind : kMethodKinds) compiled.emplace_back(kind.pattern);
    return compiled;
  }();
  return patterns;
}

// Two routines of each method kind in each mode and byte order, then routines that bring a
// line style the sample lacks, until the sample holds every style of the family.
TEST(ExactToolsTest, GpsimAgreesWithOurSimulator) {
  ASSERT_TRUE(gpsim_tools_available());
  const std::vector<FamilyRoutine>& routines = family_routines();
  const std::set<std::string> wanted = family_styles();
  std::map<std::string, int> found;
  std::set<std::string> covered;
  std::mt19937 random(13);
  int runs = 0;
  const auto check = [&](const FamilyRoutine& routine, const std::string& why) {
    covered.merge(exact_styles(routine.block, "ACC", "TEMP"));
    expect_gpsim_agrees(routine.block, routine.request.bits, routine.request.little_endian,
                        routine.request.is_signed, PicCore::kMidrange,
                        describe(routine.request) + " (" + why + ")", random);
    ++runs;
  };
  // Every seventh routine first, so that the sample spreads over widths and constants.
  for (std::size_t pass = 0; pass < 7; ++pass) {
    for (std::size_t i = pass; i < routines.size(); i += 7) {
      const FamilyRoutine& routine = routines[i];
      std::string kinds;
      for (std::size_t k = 0; k < std::size(kMethodKinds); ++k) {
        if (kMethodKinds[k].is_signed != routine.request.is_signed) continue;
        const std::string key = std::string(kMethodKinds[k].name) + ", " + routine.request.result +
                                (routine.request.little_endian ? ", LE" : ", BE");
        if (found[key] < 2 && std::regex_search(routine.block, method_patterns()[k])) {
          ++found[key];
          kinds += key + "; ";
        }
      }
      if (!kinds.empty()) check(routine, kinds);
    }
  }
  for (const FamilyRoutine& routine : routines) {
    const std::set<std::string> styles = exact_styles(routine.block, "ACC", "TEMP");
    if (std::any_of(styles.begin(), styles.end(),
                    [&](const std::string& style) { return !covered.contains(style); })) {
      check(routine, "a new line style");
    }
  }
  for (const MethodKind& kind : kMethodKinds) {
    for (const std::string& mode : kind.modes) {
      for (const char* order : {", BE", ", LE"}) {
        const std::string key = std::string(kind.name) + ", " + mode + order;
        EXPECT_EQ(found[key], 2) << "no routine of the kind: " << key;
      }
    }
  }
  EXPECT_EQ(covered, wanted);
  RecordProperty("routines", runs);
}

// The search keeps at most one correction step for the sweep's constants, so a second one,
// whose first step stores the reduced remainder right after a skip, is taken from the
// candidates it passes over: the first proven candidate with two steps for a few targets.
TEST(ExactToolsTest, GpsimAgreesOnTwoCorrectionSteps) {
  ASSERT_TRUE(gpsim_tools_available());
  struct Case {
    uint64_t p;
    uint64_t q;
    ResultMode mode;
    int bits;
  };
  const Case cases[] = {
      {1, 3, ResultMode::kFloor, 12},
      {1, 10, ResultMode::kNearest, 16},
      {2, 3, ResultMode::kNearest, 9},
      {1, 7, ResultMode::kFloor, 8},
  };
  std::mt19937 random(17);
  for (const Case& c : cases) {
    const ResultTarget target = make_target(
        Fraction::of(BigInt::from_unsigned(c.p), BigInt::from_unsigned(c.q)), c.mode, c.bits);
    const std::string what = std::to_string(c.p) + "/" + std::to_string(c.q) + " " +
                             (c.mode == ResultMode::kFloor ? "floor" : "nearest") + ", " +
                             std::to_string(c.bits) + " bits";
    bool seen = false;
    for (const Candidate& made : make_candidates(target)) {
      if (made.corrections != 2) continue;
      const std::optional<Candidate> candidate = with_offset(made, target);
      if (!candidate) continue;
      const ProofOutcome proof = prove(*candidate, target);
      if (!proof.holds) continue;
      for (const bool little : {false, true}) {
        const RoutineNames names{"ACC", "TEMP", little};
        // The block as the generator would print it for an unsigned input.
        const EmittedRoutine routine = emit_candidate(*candidate, target, names);
        const ExactSpec spec = make_spec(target.constant, target.mode, target.input_bits, false);
        const SpecResult found{Form{FormKind::kDirect, target, 0},
                               SearchResult{*candidate, proof, routine}, routine};
        const std::string block = exact_block(spec, found, names);
        // The step that stores the remainder after a skip is there.
        ASSERT_TRUE(std::regex_search(block, std::regex(R"(\tskpnc\n\tmovwf\tTEMP[0-9]+\n)")))
            << what << "\n"
            << block;
        expect_gpsim_agrees(block, c.bits, little, false, PicCore::kMidrange,
                            what + ", " + describe(*candidate) + (little ? ", LE" : ", BE"),
                            random);
      }
      seen = true;
      break;
    }
    EXPECT_TRUE(seen) << what << ": no proven candidate with two correction steps";
  }
}

}  // namespace
}  // namespace tarvek
