// The packagings of a PIC18 routine, whole: a whole program and relocatable modules whose
// registers the linker keeps in access RAM (the MPASM include files are the mid-range ones
// with the PIC18's instructions). tests/packaging assembles every one with gpasm and gplink
// and runs it in gpsim.
#include <gtest/gtest.h>

#include <string>

#include "codegen/pic18_routine_for_tests.h"
#include "codegen/routine_packaging.h"

namespace tarvek {
namespace {

const std::string kHead =
    "; ACC = ACC * 6\n"
    ";\n"
    "; Input:  ACC1\t(8 bits)\n"
    "; Output: ACC0 .. ACC1\t(11 bits)\n"
    "; Core: PIC18 (PIC18Fxxx), registers in the access bank\n";

// The routine's instructions as every MPASM packaging prints them.
const std::string kInstructions =
    "\tmovf\tACC1, w\n"
    "\tmullw\t3\n"
    "\tmovf\tPRODL, w\n"
    "\tmovwf\tACC1\n"
    "\tmovf\tPRODH, w\n"
    "\tmovwf\tACC0\n"
    "\tclrc\n"
    "\trlcf\tACC1, f\n"
    "\trlcf\tACC0, f\n"
    "\tclrf\tWREG\n"
    "\taddwfc\tTEMP0, f\n"
    "\tskpc\n"
    "\tincf\tTEMP0, f\n";

const std::string kReservations =
    "ACC0\tres\t1\n"
    "ACC1\tres\t1\n"
    "TEMP0\tres\t1\n"
    "\n";

// Every register of the PIC18's own the routine names, given its address for a module.
const std::string kEquates =
    "\tifndef\tSTATUS\n"
    "STATUS\tequ\t0xFD8\n"
    "\tendif\n"
    "\tifndef\tPRODL\n"
    "PRODL\tequ\t0xFF3\n"
    "\tendif\n"
    "\tifndef\tPRODH\n"
    "PRODH\tequ\t0xFF4\n"
    "\tendif\n"
    "\tifndef\tWREG\n"
    "WREG\tequ\t0xFE8\n"
    "\tendif\n";

TEST(Pic18PackagingTest, PrintsEveryPackagingWhole) {
  struct Case {
    const char* name;
    Wrap wrap;
    Syntax syntax;
    int address;
    bool names_status;
    std::string text;
  };
  const Case cases[] = {
      {"a whole program from the start of access RAM", Wrap::kProgram, Syntax::kMpasm, 0, false,
       kHead +
           "; Routine: 13 instructions, 13 cycles, 3 bytes of RAM\n"
           "; A note.\n"
           "; Program: a whole program for the PIC18F452, to assemble as it stands (gpasm, or "
           "MPASM);\n"
           "; for another PIC18 part change its processor and include lines and keep the "
           "registers in\n"
           "; that part's access bank. From reset it runs times6 once on the input bytes as "
           "they are\n"
           "; (set them in a simulator or debugger) and then stays on its last line (bra $), "
           "the\n"
           "; result in the Output bytes.\n"
           "\n"
           "\tprocessor\t18f452\n"
           "\tinclude\t\"p18f452.inc\"\n"
           "\n"
           "\tcblock 0x00\n"
           "\tACC0\n"
           "\tACC1\n"
           "\tTEMP0\n"
           "\tendc\n"
           "\n"
           "\torg\t0\n"
           "times6\n" +
           kInstructions +
           "\tbra\t$\n"
           "\n"
           "\tend\n"},
      {"a module: access RAM, no bank selection", Wrap::kSubroutine, Syntax::kGpasmReloc, -1, true,
       kHead +
           "; Routine: 14 instructions, 14 cycles, 3 bytes of RAM\n"
           "; A note.\n"
           "; Relocatable module: assemble it with gpasm -c -p <your part> and link its object "
           "with\n"
           "; gplink. Its registers are in the udata_acs section times6_ram, in the access "
           "bank;\n"
           "; times6 and the input and result bytes are global, so another module declares "
           "them with\n"
           "; extern. Neither times6 nor its caller selects a bank for them.\n"
           "\n" +
           kEquates +
           "\tglobal\ttimes6\n"
           "\tglobal\tACC0, ACC1\n"
           "\n"
           "times6_ram\tudata_acs\n" +
           kReservations +
           "\tcode\n"
           "times6\n" +
           kInstructions +
           "\tbsf\tSTATUS, 0\n"
           "\treturn\n"
           "\n"
           "\tend\n"},
      {"a module's macro at an address", Wrap::kMacro, Syntax::kGpasmReloc, 0x20, true,
       kHead +
           "; Routine: 14 instructions, 14 cycles, 3 bytes of RAM\n"
           "; A note.\n"
           "; Include this file in a relocatable module before its code section: it declares "
           "the\n"
           "; registers in the udata_acs section times6_ram at 0x20, in the access bank (the "
           "input and\n"
           "; result bytes global), and defines the macro times6. Write it where the product is\n"
           "; needed, with any bank selected; each use is a copy of the routine.\n"
           "\n" +
           kEquates +
           "\tglobal\tACC0, ACC1\n"
           "\n"
           "times6_ram\tudata_acs\t0x20\n" +
           kReservations + "times6\tmacro\n" + kInstructions + "\tbsf\tSTATUS, 0\n\tendm\n\n"},
  };
  for (const Case& c : cases) {
    GeneratorRequest request;
    request.core = Core::kPic18;
    request.packaging = Packaging{c.wrap, c.syntax, "times6"};
    request.ram_address = c.address;
    request.notes = "; A note.\n";
    EXPECT_EQ(printed_routine(pic18_times_six(c.names_status), request), c.text) << c.name;
  }
}

// A module names only the registers of the core's own that its instructions use, each once,
// and a mid-range module still gives STATUS its mid-range address.
TEST(Pic18PackagingTest, AModuleEquatesWhatItsInstructionsName) {
  struct Case {
    const char* name;
    Core core;
    // How many of the sample's instructions the routine keeps.
    std::size_t kept;
    bool names_status;
    const char* equates;
  };
  const Case cases[] = {
      {"none", Core::kPic18, 2, false, ""},
      {"the product's low byte", Core::kPic18, 4, false,
       "\tifndef\tPRODL\nPRODL\tequ\t0xFF3\n\tendif\n"},
      {"both product bytes", Core::kPic18, 6, false,
       "\tifndef\tPRODL\nPRODL\tequ\t0xFF3\n\tendif\n\tifndef\tPRODH\nPRODH\tequ\t0xFF4\n\tendif"
       "\n"},
      {"a mid-range STATUS", Core::kMidrange, 0, true,
       "\tifndef\tSTATUS\nSTATUS\tequ\t0x03\n\tendif\n"},
  };
  for (const Case& c : cases) {
    FinishedRoutine routine = pic18_times_six(c.names_status);
    std::vector<Instruction>& instructions = routine.code.instructions();
    if (c.names_status) {
      // The STATUS operand alone.
      instructions.erase(instructions.begin(), instructions.end() - 1);
    } else {
      instructions.resize(c.kept);
    }
    GeneratorRequest request;
    request.core = c.core;
    request.packaging = Packaging{Wrap::kSubroutine, Syntax::kGpasmReloc, "times6"};
    const std::string text = printed_routine(routine, request);
    const std::size_t start = text.find("\n\n") + 2;
    const std::size_t end = text.find("\tglobal\t");
    ASSERT_NE(end, std::string::npos) << c.name;
    EXPECT_EQ(text.substr(start, end - start), c.equates) << c.name;
  }
}

}  // namespace
}  // namespace tarvek
