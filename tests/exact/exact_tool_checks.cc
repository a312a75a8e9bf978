#include "exact_tool_checks.h"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <vector>

#include "gpsim/crosscheck_support.h"
#include "gpsim/gpsim_harness.h"

namespace tarvek {

std::string literal_shape(const std::string& style) {
  static const std::regex digit(R"(^(\t[a-z]+lw\t)[0-9]$)");
  static const std::regex decimal(R"(^(\t[a-z]+lw\t)D'(-?)[0-9]+'$)");
  if (std::regex_match(style, digit)) return std::regex_replace(style, digit, "$1N");
  return std::regex_replace(style, decimal, "$1D'$2N'");
}

std::set<std::string> exact_styles(const std::string& block, const std::string& acc_name,
                                   const std::string& temp_name) {
  std::set<std::string> styles;
  for (const std::string& style : line_styles(block, {acc_name, temp_name})) {
    styles.insert(literal_shape(style));
  }
  return styles;
}

GpsimTarget baseline_target_for(const PicProgram& program) {
  const GpsimTarget small = pic10f200_target();
  // The wrapper's nop and the two loops after the routine take three words below the vector.
  const bool fits = program.byte_names.size() <= static_cast<std::size_t>(small.bank_bytes) &&
                    program.instructions.size() + 3 <= static_cast<std::size_t>(small.reset_vector);
  return fits ? small : pic12f508_target();
}

std::vector<std::string> instruction_mnemonics(const std::string& block) {
  std::vector<std::string> found;
  std::istringstream in(block.substr(block.find("\tendc\n") + 6));
  std::string line;
  while (std::getline(in, line)) {
    if (line.size() < 2 || line[0] != '\t') continue;
    found.push_back(line.substr(1, line.find_first_of("\t ", 1) - 1));
  }
  return found;
}

void expect_gpsim_agrees(const std::string& block, int bits, bool little_endian, bool is_signed,
                         PicCore core, const std::string& what, std::mt19937& random) {
  const ParseOutcome parsed = parse_generated_block(block, core);
  ASSERT_TRUE(parsed.program) << what << ": " << parsed.error;
  const GpsimRoutine routine = routine_from_block(block);
  ASSERT_EQ(routine.declared, parsed.program->byte_names) << what;
  const uint64_t max = (uint64_t{1} << bits) - 1;
  std::vector<GpsimInput> inputs;
  for (const uint64_t x : {uint64_t{0}, uint64_t{1}, max, max - 1, max / 2, max / 2 + 1}) {
    inputs.push_back(
        starting_state(*parsed.program, "ACC", bits, little_endian, x & max, random, is_signed));
  }
  for (int k = 0; k < 3; ++k) {
    const uint64_t x = random() & max;
    inputs.push_back(
        starting_state(*parsed.program, "ACC", bits, little_endian, x, random, is_signed));
  }
  if (core == PicCore::kPic18) {
    // gpsim's PIC18 leaves OV apart and prints notes on the core's own registers: the
    // PIC18 cross-check knows both.
    const Pic18CrossCheck check = cross_check_pic18(routine, inputs);
    ASSERT_TRUE(check.ran) << what << ": " << check.error;
    for (const std::string& difference : check.differences)
      ADD_FAILURE() << what << ": " << difference;
    return;
  }
  const GpsimTarget target = core == PicCore::kEnhanced   ? enhanced_target()
                             : core == PicCore::kBaseline ? baseline_target_for(*parsed.program)
                                                          : GpsimTarget{};
  const GpsimOutcome theirs = run_in_gpsim(routine, inputs, target);
  ASSERT_TRUE(theirs.ok) << what << ": " << theirs.error;
  EXPECT_EQ(theirs.assembler_messages, "") << what;
  ASSERT_EQ(theirs.results.size(), inputs.size()) << what;
  for (std::size_t k = 0; k < inputs.size(); ++k) {
    const GpsimResult ours = run_ours(*parsed.program, inputs[k]);
    const std::string run = what + ", run " + std::to_string(k);
    EXPECT_EQ(run_difference(ours, theirs.results[k]), "") << run;
  }
}

}  // namespace tarvek
