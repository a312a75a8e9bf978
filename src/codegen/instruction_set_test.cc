#include "codegen/instruction_set.h"

#include <gtest/gtest.h>

#include <string>

namespace tarvek {
namespace {

// A routine in the shared operations with every one a core writes out its own way.
Code shared_routine() {
  Code code;
  const uint8_t acc = code.register_number("ACC");
  const uint8_t loop = code.label_number("L");
  code.push_back({Op::kLabel, kNoFile, false, 0, loop});
  code.push_back({Op::kRlf, acc, false, 0, 0});
  code.push_back({Op::kRrf, acc, true, 1, 0});
  code.push_back({Op::kClrw, kNoFile, false, 0, 0});
  code.push_back({Op::kAddwf, acc, false, 1, 0});
  code.push_back({Op::kGoto, kNoFile, false, 0, loop});
  return code;
}

// Each core prints the routine in forms it runs, one instruction for one, so counts and cycles
// stay what the generators priced.
TEST(InstructionSetTest, WrittenOutInTheCoresOwnFormsOneForOne) {
  struct Case {
    Core core;
    const char* text;
  };
  const Case cases[] = {
      {Core::kMidrange, "L\n\trlf\tACC0, f\n\trrf\tACC1, w\n\tclrw\n\taddwf\tACC1, f\n\tgoto\tL\n"},
      {Core::kEnhanced, "L\n\trlf\tACC0, f\n\trrf\tACC1, w\n\tclrw\n\taddwf\tACC1, f\n\tgoto\tL\n"},
      {Core::kPic18,
       "L\n\trlcf\tACC0, f\n\trrcf\tACC1, w\n\tclrf\tWREG\n\taddwf\tACC1, f\n\tbra\tL\n"},
  };
  const Code shared = shared_routine();
  for (const Case& c : cases) {
    const InstructionSet& set = instruction_set(c.core);
    const Code out = set.written_out(shared);
    EXPECT_EQ(out.text(), c.text);
    EXPECT_EQ(out.words(), shared.words());
    for (const Instruction& in : out.instructions()) {
      EXPECT_TRUE(set.runs(in.op)) << mnemonic(in.op);
    }
  }
}

// What the generators ask of each core.
TEST(InstructionSetTest, WhatEachCoreOffers) {
  struct Case {
    Core core;
    bool carry_arithmetic;
    bool literal_arithmetic;
    bool multiplier;
    bool midrange_flags;
  };
  const Case cases[] = {
      {Core::kMidrange, false, true, false, true},
      {Core::kEnhanced, true, true, false, true},
      {Core::kBaseline, false, false, false, true},
      {Core::kPic18, true, true, true, false},
  };
  for (const Case& c : cases) {
    const InstructionSet& set = instruction_set(c.core);
    EXPECT_EQ(set.core(), c.core);
    EXPECT_EQ(set.runs(Op::kAddwfc), c.carry_arithmetic);
    EXPECT_EQ(set.runs(Op::kAddlw), c.literal_arithmetic);
    EXPECT_EQ(set.has_multiplier(), c.multiplier);
    EXPECT_EQ(set.runs(Op::kMullw), c.multiplier);
    EXPECT_EQ(set.follows_midrange_flags(), c.midrange_flags);
    // Only the enhanced core shifts without the carry.
    EXPECT_EQ(set.runs(Op::kLslf), c.core == Core::kEnhanced);
  }
}

}  // namespace
}  // namespace tarvek
