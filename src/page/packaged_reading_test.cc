#include "page/packaged_reading.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "codegen/pic18_routine_for_tests.h"
#include "codegen/routine_packaging.h"
#include "sim/pic_program.h"

namespace tarvek {
namespace {

FinishedRoutine sample_routine() {
  FinishedRoutine routine;
  routine.comment =
      "; ACC = ACC * 10.000000\n;\n; Input:  ACC0\t(8 bits)\n; Output: ACC0 .. ACC1\t(12 bits)";
  routine.registers = {"ACC0", "ACC1", "TEMP0"};
  routine.result_registers = 2;
  Code& code = routine.code;
  const uint8_t acc = code.register_number("ACC");
  const uint8_t temp = code.register_number("TEMP");
  code.push_back({Op::kMovf, acc, true, 0, 0});
  code.push_back({Op::kMovwf, temp, false, 0, 0});
  code.push_back({Op::kClrc, kNoFile, false, 0, 0});
  code.push_back({Op::kRlf, temp, false, 0, 0});
  code.push_back({Op::kSkpnc, kNoFile, false, 0, 0});
  code.push_back({Op::kAddlw, kNoFile, false, 0, -16});
  code.push_back({Op::kMovwf, acc, false, 1, 0});
  code.push_back({Op::kXorwf, kStatusFile, true, 0, 0});
  return routine;
}

struct Printed {
  Packaging packaging;
  int address;
  std::string text;
};

Printed print(Wrap wrap, Syntax syntax, int address, const FinishedRoutine& routine) {
  GeneratorRequest request;
  request.packaging = Packaging{wrap, syntax, "times10"};
  request.ram_address = address;
  request.notes = "; A note.\n";
  return {request.packaging, address, printed_routine(routine, request)};
}

// Every packaging reads back as the routine's comment lines, its declared bytes and exactly
// its printed instructions, which the simulator's parser takes as the same instructions.
TEST(PackagedReadingTest, ReadsEveryPackagingBackAsTheRoutine) {
  struct Case {
    Wrap wrap;
    Syntax syntax;
    int address;
  };
  const Case cases[] = {
      {Wrap::kInline, Syntax::kMpasm, -1},       {Wrap::kSubroutine, Syntax::kMpasm, -1},
      {Wrap::kMacro, Syntax::kMpasm, 0x20},      {Wrap::kSubroutine, Syntax::kGpasmReloc, -1},
      {Wrap::kMacro, Syntax::kGpasmReloc, 0x20}, {Wrap::kSubroutine, Syntax::kPicAs, -1},
      {Wrap::kSubroutine, Syntax::kPicAs, 0x70}, {Wrap::kMacro, Syntax::kPicAs, -1},
      {Wrap::kMacro, Syntax::kPicAs, 0x20},      {Wrap::kInline, Syntax::kPicAs, -1},
      {Wrap::kInline, Syntax::kPicAs, 0x20},
  };
  const FinishedRoutine routine = sample_routine();
  const ParseOutcome expected =
      parse_instructions(routine.code.text(), routine.registers, PicCore::kMidrange);
  ASSERT_TRUE(expected.program) << expected.error;
  for (const Case& c : cases) {
    const Printed printed = print(c.wrap, c.syntax, c.address, routine);
    const std::string name = printed.text;
    const std::optional<std::string> block = checkable_block(printed.text, printed.packaging);
    ASSERT_TRUE(block) << name;
    EXPECT_TRUE(block->starts_with(routine.comment + "\n")) << *block;
    const std::string endc = printed.packaging.is_default() ? "\tendc\n\n" : "\tendc\n";
    EXPECT_NE(block->find("\tcblock\n\tACC0\n\tACC1\n\tTEMP0\n" + endc +
                          printed_instructions(routine, c.syntax)),
              std::string::npos)
        << *block;
    const ParseOutcome parsed = parse_generated_block(*block, PicCore::kMidrange);
    ASSERT_TRUE(parsed.program) << parsed.error << "\n" << *block;
    EXPECT_EQ(parsed.program->byte_names, expected.program->byte_names) << name;
    ASSERT_EQ(parsed.program->instructions.size(), expected.program->instructions.size()) << *block;
    for (std::size_t i = 0; i < expected.program->instructions.size(); ++i) {
      EXPECT_EQ(parsed.program->instructions[i].op, expected.program->instructions[i].op) << name;
      EXPECT_EQ(parsed.program->instructions[i].operand, expected.program->instructions[i].operand)
          << name;
    }
  }
}

// A line out of place is never passed over: the text is not read, and the check before
// printing refuses the routine.
TEST(PackagedReadingTest, RefusesALineOutOfPlace) {
  struct Case {
    const char* name;
    Wrap wrap;
    Syntax syntax;
    const char* find;
    const char* replace;
  };
  const Case cases[] = {
      {"a stray directive before the label", Wrap::kSubroutine, Syntax::kMpasm, "times10\n",
       "\torg\t0\ntimes10\n"},
      {"another label", Wrap::kSubroutine, Syntax::kMpasm, "times10\n", "times11\n"},
      {"no closing return", Wrap::kSubroutine, Syntax::kMpasm, "\treturn\n", ""},
      {"an instruction after the return", Wrap::kSubroutine, Syntax::kMpasm, "\treturn\n",
       "\treturn\n\tclrf\tACC0\n"},
      {"an instruction after end", Wrap::kSubroutine, Syntax::kGpasmReloc, "\tend\n",
       "\tend\n\tnop\n"},
      {"another section name", Wrap::kSubroutine, Syntax::kGpasmReloc, "times10_ram\tudata",
       "other_ram\tudata"},
      {"a macro of another name", Wrap::kMacro, Syntax::kGpasmReloc, "times10\tmacro",
       "times1\tmacro"},
      {"no ENDM", Wrap::kMacro, Syntax::kPicAs, "\tENDM\n", ""},
      {"the label without its colon", Wrap::kSubroutine, Syntax::kPicAs, "\ntimes10:\n",
       "\ntimes10\n"},
      {"an instruction before the label", Wrap::kSubroutine, Syntax::kPicAs, "\ntimes10:\n",
       "\n\tclrf\tACC0\ntimes10:\n"},
      {"a declaration of another size", Wrap::kMacro, Syntax::kPicAs, "TEMP0:\tDS\t1",
       "TEMP0:\tDS\t2"},
      {"a data directive", Wrap::kMacro, Syntax::kPicAs, "\tPSECT\tudata_bank0\n",
       "\tPSECT\tudata_bank0\n\tDB\t1\n"},
  };
  const FinishedRoutine routine = sample_routine();
  for (const Case& c : cases) {
    Printed printed = print(c.wrap, c.syntax, -1, routine);
    ASSERT_TRUE(checkable_block(printed.text, printed.packaging)) << c.name;
    const std::size_t at = printed.text.find(c.find);
    ASSERT_NE(at, std::string::npos) << c.name;
    printed.text.replace(at, std::string(c.find).size(), c.replace);
    const std::optional<std::string> block = checkable_block(printed.text, printed.packaging);
    // Read or not, the routine must not pass for the one printed: either nothing is read, or
    // what is read does not parse.
    EXPECT_TRUE(!block || !parse_generated_block(*block, PicCore::kMidrange).program)
        << c.name << "\n"
        << (block ? *block : "");
  }
}

Printed print_pic18(Wrap wrap, Syntax syntax, int address) {
  GeneratorRequest request;
  request.core = Core::kPic18;
  request.packaging = Packaging{wrap, syntax, "times6"};
  request.ram_address = address;
  request.notes = "; A note.\n";
  return {request.packaging, address, printed_routine(pic18_times_six(true), request)};
}

// A PIC18 routine's packagings read back as its comment lines, its declared bytes and its
// instructions exactly as printed: the processor, include and org lines of a whole program,
// the equates and the udata_acs section of a module are the packaging's.
TEST(PackagedReadingTest, ReadsThePic18PackagingsBack) {
  struct Case {
    Wrap wrap;
    Syntax syntax;
    int address;
  };
  const Case cases[] = {
      {Wrap::kProgram, Syntax::kMpasm, 0},          {Wrap::kProgram, Syntax::kMpasm, 0x20},
      {Wrap::kSubroutine, Syntax::kMpasm, -1},      {Wrap::kMacro, Syntax::kMpasm, 0x10},
      {Wrap::kSubroutine, Syntax::kGpasmReloc, -1}, {Wrap::kSubroutine, Syntax::kGpasmReloc, 0x7D},
      {Wrap::kMacro, Syntax::kGpasmReloc, 0x20},
  };
  const FinishedRoutine routine = pic18_times_six(true);
  for (const Case& c : cases) {
    const Printed printed = print_pic18(c.wrap, c.syntax, c.address);
    const std::optional<std::string> block = checkable_block(printed.text, printed.packaging);
    ASSERT_TRUE(block) << printed.text;
    EXPECT_TRUE(block->starts_with(routine.comment + "\n")) << *block;
    EXPECT_TRUE(
        block->ends_with("\tcblock\n\tACC0\n\tACC1\n\tTEMP0\n\tendc\n" + routine.code.text()))
        << *block;
  }
}

// What a whole program or a PIC18 module has around its instructions is read only where and
// as it is printed.
TEST(PackagedReadingTest, RefusesAPic18LineOutOfPlace) {
  struct Case {
    const char* name;
    Wrap wrap;
    Syntax syntax;
    const char* find;
    const char* replace;
  };
  const Case cases[] = {
      {"another part", Wrap::kProgram, Syntax::kMpasm, "\tprocessor\t18f452\n",
       "\tprocessor\t18f4520\n"},
      {"another include", Wrap::kProgram, Syntax::kMpasm, "p18f452.inc", "p18f4520.inc"},
      {"another origin", Wrap::kProgram, Syntax::kMpasm, "\torg\t0\n", "\torg\t8\n"},
      {"no branch to itself", Wrap::kProgram, Syntax::kMpasm, "\tbra\t$\n", ""},
      {"an instruction after end", Wrap::kProgram, Syntax::kMpasm, "\tend\n", "\tend\n\tnop\n"},
      {"an instruction after the branch", Wrap::kProgram, Syntax::kMpasm, "\tbra\t$\n",
       "\tbra\t$\n\tclrf\tACC0\n"},
      {"a program's lines in a subroutine", Wrap::kSubroutine, Syntax::kMpasm, "\tcblock\n",
       "\tprocessor\t18f452\n\tcblock\n"},
      {"a product byte at another address", Wrap::kSubroutine, Syntax::kGpasmReloc,
       "PRODL\tequ\t0xFF3", "PRODL\tequ\t0xFF4"},
      {"another section", Wrap::kSubroutine, Syntax::kGpasmReloc, "times6_ram\tudata_acs",
       "times6_ram\tudata_shr"},
  };
  for (const Case& c : cases) {
    Printed printed = print_pic18(c.wrap, c.syntax, c.wrap == Wrap::kProgram ? 0 : -1);
    ASSERT_TRUE(checkable_block(printed.text, printed.packaging)) << c.name;
    const std::size_t at = printed.text.find(c.find);
    ASSERT_NE(at, std::string::npos) << c.name;
    printed.text.replace(at, std::string(c.find).size(), c.replace);
    EXPECT_FALSE(checkable_block(printed.text, printed.packaging)) << c.name;
  }
}

TEST(PackagedReadingTest, InlineMpasmIsReadAsItStands) {
  const std::string text = "; ACC = ACC * 1\n\n\tcblock\n\tACC0\n\tendc\n\n";
  EXPECT_EQ(checkable_block(text, Packaging{}), text);
}

}  // namespace
}  // namespace tarvek
