// The digits' and the remainders' routines against the independent tools: gpasm must assemble
// a sample of them without a message, on the part of their core, and gpsim must leave the same
// bytes, W, STATUS and cycle count as our simulator on them, each from several starting states.
// The sample spans bases, widths, forms, byte orders and both cores for the digits, and
// divisors, fractions, widths and the three modes with a remainder (floor of an unsigned and a
// signed input, trunc of a signed one).
#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <vector>

#include "digits_sweep.h"
#include "exact_sweep.h"
#include "exact_tool_checks.h"
#include "gpsim/gpsim_harness.h"

namespace tarvek {
namespace {

struct Sampled {
  std::string what;
  std::string block;
  int bits = 0;
  bool little_endian = false;
  bool is_signed = false;
  Core core = Core::kMidrange;
};

std::vector<Sampled> sample_routines() {
  std::vector<Sampled> sample;
  int turn = 0;
  for (const int base : {2, 3, 7, 10, 16, 60, 100, 200, 256}) {
    for (const int bits : {1, 5, 8, 12, 16, 17, 24, 32}) {
      for (const std::string& form : forms_of_base(base)) {
        const DigitsSweepRequest request{base, bits, form, turn % 2 == 1,
                                         turn % 3 == 2 ? Core::kEnhanced : Core::kMidrange};
        ++turn;
        int refusal = 0;
        std::string block = generate_digits_block(request, refusal);
        EXPECT_EQ(refusal, 0) << describe(request);
        sample.push_back(
            {describe(request), block, bits, request.little_endian, false, request.core});
      }
    }
  }
  struct Mode {
    const char* result;
    bool is_signed;
  };
  for (const auto& [constant, divide_by] :
       std::vector<std::pair<std::string, std::string>>{{"1", "10"},
                                                        {"1", "7"},
                                                        {"1", "60"},
                                                        {"1", "100"},
                                                        {"1", "1000"},
                                                        {"1", "3600"},
                                                        {"5/9", ""},
                                                        {"5000/1023", ""}}) {
    for (const int bits : {12, 16, 24, 32}) {
      for (const Mode mode : {Mode{"floor", false}, Mode{"floor", true}, Mode{"trunc", true}}) {
        ExactSweepRequest request{constant,
                                  divide_by,
                                  mode.result,
                                  bits,
                                  turn % 2 == 1,
                                  mode.is_signed,
                                  turn % 3 == 2 ? Core::kEnhanced : Core::kMidrange};
        request.remainder = true;
        ++turn;
        int refusal = 0;
        std::string block = generate_exact_block(request, refusal);
        // A quotient that is always 0 (x / 3600 of a 12-bit signed x) is refused with 7.
        EXPECT_TRUE(refusal == 0 || refusal == 7) << describe(request);
        if (refusal != 0) continue;
        sample.push_back(
            {describe(request), block, bits, request.little_endian, mode.is_signed, request.core});
      }
    }
  }
  return sample;
}

const std::vector<Sampled>& routines() {
  static const std::vector<Sampled> sampled = sample_routines();
  return sampled;
}

TEST(DigitsToolsTest, GpasmAssemblesTheSample) {
  ASSERT_TRUE(gpsim_tools_available());
  std::set<std::string> styles;
  for (const Sampled& routine : routines()) {
    const GpsimTarget target = routine.core == Core::kEnhanced ? enhanced_target() : GpsimTarget{};
    const GpsimOutcome outcome = assemble_with_gpasm(routine_from_block(routine.block), target);
    EXPECT_TRUE(outcome.ok) << routine.what << ": " << outcome.error;
    EXPECT_EQ(outcome.assembler_messages, "") << routine.what;
    styles.merge(exact_styles(routine.block, "ACC", "TEMP"));
  }
  // The comparisons' and the remainders' own lines are among them.
  for (const char* style : {"\tbtfss\tR, 0", "\taddlw\tD'-N'", "\trlf\tR, f", "\tmovwf\tR"}) {
    EXPECT_TRUE(styles.contains(style)) << style;
  }
  RecordProperty("routines", static_cast<int>(routines().size()));
}

TEST(DigitsToolsTest, GpsimAgreesWithOurSimulator) {
  ASSERT_TRUE(gpsim_tools_available());
  std::mt19937 random(21);
  int runs = 0;
  // Every second routine: both cores, every kind of request.
  for (std::size_t i = 0; i < routines().size(); i += 2) {
    const Sampled& routine = routines()[i];
    const PicCore core = routine.core == Core::kEnhanced ? PicCore::kEnhanced : PicCore::kMidrange;
    expect_gpsim_agrees(routine.block, routine.bits, routine.little_endian, routine.is_signed, core,
                        routine.what, random);
    ++runs;
  }
  RecordProperty("routines", runs);
}

}  // namespace
}  // namespace tarvek
