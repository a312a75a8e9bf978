#include "codegen/portable_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codegen/generator.h"
#include "codegen/register.h"
#include "sim/pic_program.h"

namespace tarvek {
namespace {

// A Code of one instruction on ACC's byte 1.
Code one(Op op, int16_t value = 0, bool to_w = false) {
  Code code;
  const uint8_t acc = code.register_number("ACC");
  const bool file =
      operand_kind(op) != OperandKind::kLiteral && operand_kind(op) != OperandKind::kNone;
  code.push_back(
      Instruction{op, file ? acc : kNoFile, to_w, static_cast<int16_t>(file ? 1 : 0), value});
  return code;
}

TEST(PortableTextTest, SpellsEveryMacroAndLiteralForBothAssemblers) {
  struct Case {
    const char* name;
    Code code;
    const char* mpasm;
    const char* portable;
  };
  const Case cases[] = {
      {"clear carry", one(Op::kClrc), "\tclrc\n", "\tbcf\tSTATUS, 0\n"},
      {"set carry", one(Op::kSetc), "\tsetc\n", "\tbsf\tSTATUS, 0\n"},
      {"skip on carry", one(Op::kSkpc), "\tskpc\n", "\tbtfss\tSTATUS, 0\n"},
      {"skip on no carry", one(Op::kSkpnc), "\tskpnc\n", "\tbtfsc\tSTATUS, 0\n"},
      {"skip on zero", one(Op::kSkpz), "\tskpz\n", "\tbtfss\tSTATUS, 2\n"},
      {"skip on not zero", one(Op::kSkpnz), "\tskpnz\n", "\tbtfsc\tSTATUS, 2\n"},
      {"digit", one(Op::kMovlw, 9), "\tmovlw\t9\n", "\tmovlw\t9\n"},
      {"zero", one(Op::kAndlw, 0), "\tandlw\t0\n", "\tandlw\t0\n"},
      {"ten", one(Op::kAddlw, 10), "\taddlw\tD'10'\n", "\taddlw\t0x0A\n"},
      {"fifteen", one(Op::kAndlw, 15), "\tandlw\tD'15'\n", "\tandlw\t0x0F\n"},
      {"largest positive", one(Op::kIorlw, 127), "\tiorlw\tD'127'\n", "\tiorlw\t0x7F\n"},
      {"minus sixteen", one(Op::kAndlw, -16), "\tandlw\tD'-16'\n", "\tandlw\t0xF0\n"},
      {"minus one", one(Op::kXorlw, -1), "\txorlw\tD'-1'\n", "\txorlw\t0xFF\n"},
      {"most negative", one(Op::kSublw, -128), "\tsublw\tD'-128'\n", "\tsublw\t0x80\n"},
      {"file to w", one(Op::kMovf, 0, true), "\tmovf\tACC1, w\n", "\tmovf\tACC1, w\n"},
      {"file to f", one(Op::kAddwfc), "\taddwfc\tACC1, f\n", "\taddwfc\tACC1, f\n"},
      {"file bit", one(Op::kBtfsc, 7), "\tbtfsc\tACC1, 7\n", "\tbtfsc\tACC1, 7\n"},
      {"file alone", one(Op::kClrf), "\tclrf\tACC1\n", "\tclrf\tACC1\n"},
      {"no operand", one(Op::kClrw), "\tclrw\n", "\tclrw\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.code.text(), c.mpasm) << c.name;
    EXPECT_EQ(portable_text(c.code), c.portable) << c.name;
  }
}

TEST(PortableTextTest, StatusOperandsStayAsTheyAre) {
  Code code;
  code.push_back(Instruction{Op::kXorwf, kStatusFile, true, 0, 0});
  code.push_back(Instruction{Op::kMovwf, kStatusFile, false, 0, 0});
  EXPECT_EQ(portable_text(code), "\txorwf\tSTATUS, w\n\tmovwf\tSTATUS\n");
}

// The two texts of real routines read back, by the simulator's own parser, as the same
// instructions in the same order: a spelling never changes what runs.
TEST(PortableTextTest, RoutinesReadBackAsTheSameInstructions) {
  struct Case {
    const char* name;
    double constant;
    int input_bits;
    Core core;
  };
  const Case cases[] = {
      {"x * 10", 10, 8, Core::kMidrange},
      {"x * 0.1", 0.1, 16, Core::kMidrange},
      {"x * pi", 3.14159, 12, Core::kMidrange},
      {"x * 0.75", 0.75, 24, Core::kMidrange},
      {"x * 10, enhanced", 10, 16, Core::kEnhanced},
      {"x * 0.1, enhanced", 0.1, 16, Core::kEnhanced},
  };
  for (const Case& c : cases) {
    GeneratorRequest request;
    request.const_value = c.constant;
    request.output_bits = c.input_bits + (c.constant >= 1 ? 4 : 0);
    request.core = c.core;
    Register acc("ACC", c.input_bits, false);
    Register temp("TEMP", 0, false);
    const FinishedRoutine routine = finish_approximation(request, acc, temp);
    ASSERT_FALSE(routine.code.empty()) << c.name;
    const PicCore core = c.core == Core::kEnhanced ? PicCore::kEnhanced : PicCore::kMidrange;
    const ParseOutcome mpasm = parse_instructions(routine.code.text(), routine.registers, core);
    const ParseOutcome portable =
        parse_instructions(portable_text(routine.code), routine.registers, core);
    ASSERT_TRUE(mpasm.program) << c.name << ": " << mpasm.error;
    ASSERT_TRUE(portable.program) << c.name << ": " << portable.error;
    const std::vector<PicInstruction>& a = mpasm.program->instructions;
    const std::vector<PicInstruction>& b = portable.program->instructions;
    ASSERT_EQ(a.size(), b.size()) << c.name;
    for (std::size_t i = 0; i < a.size(); ++i) {
      EXPECT_EQ(a[i].op, b[i].op) << c.name << " instruction " << i;
      EXPECT_EQ(a[i].operand, b[i].operand) << c.name << " instruction " << i;
      EXPECT_EQ(a[i].bit, b[i].bit) << c.name << " instruction " << i;
    }
    EXPECT_EQ(portable_text(routine.code).find("D'"), std::string::npos) << c.name;
  }
}

}  // namespace
}  // namespace tarvek
