#include "codegen/routine_packaging.h"

#include <gtest/gtest.h>

#include <string>

namespace tarvek {
namespace {

// A small routine of every line style the printers treat apart: a macro the pic-as text spells
// as a bit instruction, a negative literal, and (on request) an operand naming STATUS.
FinishedRoutine sample_routine(bool names_status) {
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
  if (names_status) code.push_back({Op::kXorwf, kStatusFile, true, 0, 0});
  return routine;
}

// Whole texts, reviewed line by line against the assemblers' documentation (the sections
// routine_packaging.cc names for pic-as) and, for MPASM and gpasm-reloc, assembled by gpasm in
// tests/packaging.
TEST(RoutinePackagingTest, PrintsEveryPackagingWhole) {
  struct Case {
    const char* name;
    Wrap wrap;
    Syntax syntax;
    int address;
    const char* notes;
    bool names_status;
    ResultMode mode;
    const char* text;
  };
  const Case cases[] = {
      {"MPASM subroutine", Wrap::kSubroutine, Syntax::kMpasm, -1, "", false, ResultMode::kApprox,
       "; ACC = ACC * 10.000000\n"
       ";\n"
       "; Input:  ACC0\t(8 bits)\n"
       "; Output: ACC0 .. ACC1\t(12 bits)\n"
       "; Routine: 7 instructions, 7 cycles, 3 bytes of RAM\n"
       "; Subroutine: call times10; it returns with the result in the Output bytes. The call and\n"
       "; the return take 2 cycles each besides the routine's.\n"
       "\n"
       "\tcblock\n"
       "\tACC0\n"
       "\tACC1\n"
       "\tTEMP0\n"
       "\tendc\n"
       "\n"
       "times10\n"
       "\tmovf\tACC0, w\n"
       "\tmovwf\tTEMP0\n"
       "\tclrc\n"
       "\trlf\tTEMP0, f\n"
       "\tskpnc\n"
       "\taddlw\tD'-16'\n"
       "\tmovwf\tACC1\n"
       "\treturn\n"
       "\n"},
      {"MPASM macro at an address, after the request's notes", Wrap::kMacro, Syntax::kMpasm, 0x20,
       "; A note.\n", false, ResultMode::kApprox,
       "; ACC = ACC * 10.000000\n"
       ";\n"
       "; Input:  ACC0\t(8 bits)\n"
       "; Output: ACC0 .. ACC1\t(12 bits)\n"
       "; Routine: 7 instructions, 7 cycles, 3 bytes of RAM\n"
       "; A note.\n"
       "; Macro: write times10 on a line of its own where the product is needed; each use is a\n"
       "; copy of the routine, so a source may use it more than once.\n"
       "\n"
       "\tcblock 0x20\n"
       "\tACC0\n"
       "\tACC1\n"
       "\tTEMP0\n"
       "\tendc\n"
       "\n"
       "times10\tmacro\n"
       "\tmovf\tACC0, w\n"
       "\tmovwf\tTEMP0\n"
       "\tclrc\n"
       "\trlf\tTEMP0, f\n"
       "\tskpnc\n"
       "\taddlw\tD'-16'\n"
       "\tmovwf\tACC1\n"
       "\tendm\n"
       "\n"},
      {"gpasm-reloc subroutine", Wrap::kSubroutine, Syntax::kGpasmReloc, -1, "", false,
       ResultMode::kApprox,
       "; ACC = ACC * 10.000000\n"
       ";\n"
       "; Input:  ACC0\t(8 bits)\n"
       "; Output: ACC0 .. ACC1\t(12 bits)\n"
       "; Routine: 7 instructions, 7 cycles, 3 bytes of RAM\n"
       "; Relocatable module: assemble it with gpasm -c -p <your part> and link its object with\n"
       "; gplink. Its registers are in the udata section times10_ram; times10 and the input and\n"
       "; result bytes are global, so another module declares them with extern. times10 selects\n"
       "; their bank (banksel) and leaves it selected; select it too (banksel ACC0) to write the\n"
       "; input or read the result.\n"
       "\n"
       "\tglobal\ttimes10\n"
       "\tglobal\tACC0, ACC1\n"
       "\n"
       "times10_ram\tudata\n"
       "ACC0\tres\t1\n"
       "ACC1\tres\t1\n"
       "TEMP0\tres\t1\n"
       "\n"
       "\tcode\n"
       "times10\n"
       "\tbanksel\tACC0\n"
       "\tmovf\tACC0, w\n"
       "\tmovwf\tTEMP0\n"
       "\tclrc\n"
       "\trlf\tTEMP0, f\n"
       "\tskpnc\n"
       "\taddlw\tD'-16'\n"
       "\tmovwf\tACC1\n"
       "\treturn\n"
       "\n"
       "\tend\n"},
      {"gpasm-reloc macro at an address, naming STATUS", Wrap::kMacro, Syntax::kGpasmReloc, 0x20,
       "", true, ResultMode::kApprox,
       "; ACC = ACC * 10.000000\n"
       ";\n"
       "; Input:  ACC0\t(8 bits)\n"
       "; Output: ACC0 .. ACC1\t(12 bits)\n"
       "; Routine: 8 instructions, 8 cycles, 3 bytes of RAM\n"
       "; Include this file in a relocatable module before its code section: it declares the\n"
       "; registers in the udata section times10_ram at 0x20 (the input and result bytes global)\n"
       "; and defines the macro times10. Write it where the product is needed, with the bank of\n"
       "; ACC0 selected (banksel ACC0); each use is a copy of the routine.\n"
       "\n"
       "\tifndef\tSTATUS\n"
       "STATUS\tequ\t0x03\n"
       "\tendif\n"
       "\tglobal\tACC0, ACC1\n"
       "\n"
       "times10_ram\tudata\t0x20\n"
       "ACC0\tres\t1\n"
       "ACC1\tres\t1\n"
       "TEMP0\tres\t1\n"
       "\n"
       "times10\tmacro\n"
       "\tmovf\tACC0, w\n"
       "\tmovwf\tTEMP0\n"
       "\tclrc\n"
       "\trlf\tTEMP0, f\n"
       "\tskpnc\n"
       "\taddlw\tD'-16'\n"
       "\tmovwf\tACC1\n"
       "\txorwf\tSTATUS, w\n"
       "\tendm\n"
       "\n"},
      {"pic-as subroutine", Wrap::kSubroutine, Syntax::kPicAs, -1, "", false, ResultMode::kApprox,
       "; ACC = ACC * 10.000000\n"
       ";\n"
       "; Input:  ACC0\t(8 bits)\n"
       "; Output: ACC0 .. ACC1\t(12 bits)\n"
       "; Routine: 7 instructions, 7 cycles, 3 bytes of RAM\n"
       "; For the MPLAB XC8 PIC Assembler (pic-as). Add this file to the project as a module of\n"
       "; its own. Its registers are in PSECT udata_bank0; times10, the input and result bytes "
       "and\n"
       "; their C names are GLOBAL. times10 selects bank 0 (BANKSEL) and leaves it selected.\n"
       "; From C:\n"
       ";   extern volatile unsigned char ACC0, ACC1;\n"
       ";   extern void times10(void);\n"
       "\n"
       "#include <xc.inc>\n"
       "\n"
       "\tGLOBAL\tACC0, ACC1, _ACC0, _ACC1\n"
       "\tPSECT\tudata_bank0\n"
       "_ACC0:\n"
       "ACC0:\tDS\t1\n"
       "_ACC1:\n"
       "ACC1:\tDS\t1\n"
       "TEMP0:\tDS\t1\n"
       "\n"
       "\tGLOBAL\ttimes10, _times10\n"
       "\tPSECT\tcode\n"
       "_times10:\n"
       "times10:\n"
       "\tBANKSEL\tACC0\n"
       "\tmovf\tACC0, w\n"
       "\tmovwf\tTEMP0\n"
       "\tbcf\tSTATUS, 0\n"
       "\trlf\tTEMP0, f\n"
       "\tbtfsc\tSTATUS, 0\n"
       "\taddlw\t0xF0\n"
       "\tmovwf\tACC1\n"
       "\treturn\n"
       "\n"},
      {"pic-as macro", Wrap::kMacro, Syntax::kPicAs, -1, "", false, ResultMode::kApprox,
       "; ACC = ACC * 10.000000\n"
       ";\n"
       "; Input:  ACC0\t(8 bits)\n"
       "; Output: ACC0 .. ACC1\t(12 bits)\n"
       "; Routine: 7 instructions, 7 cycles, 3 bytes of RAM\n"
       "; For the MPLAB XC8 PIC Assembler (pic-as). #include this file in a .S module, after\n"
       "; <xc.inc> and before its first PSECT for code: it declares the registers in PSECT\n"
       "; udata_bank0 (the input and result bytes GLOBAL) and defines the macro times10. Write it\n"
       "; where the product is needed, with bank 0 selected (BANKSEL ACC0); each use is a copy of\n"
       "; the routine.\n"
       "\n"
       "\tGLOBAL\tACC0, ACC1\n"
       "\tPSECT\tudata_bank0\n"
       "ACC0:\tDS\t1\n"
       "ACC1:\tDS\t1\n"
       "TEMP0:\tDS\t1\n"
       "\n"
       "times10\tMACRO\n"
       "\tmovf\tACC0, w\n"
       "\tmovwf\tTEMP0\n"
       "\tbcf\tSTATUS, 0\n"
       "\trlf\tTEMP0, f\n"
       "\tbtfsc\tSTATUS, 0\n"
       "\taddlw\t0xF0\n"
       "\tmovwf\tACC1\n"
       "\tENDM\n"
       "\n"},
      {"pic-as inline", Wrap::kInline, Syntax::kPicAs, -1, "", false, ResultMode::kApprox,
       "; ACC = ACC * 10.000000\n"
       ";\n"
       "; Input:  ACC0\t(8 bits)\n"
       "; Output: ACC0 .. ACC1\t(12 bits)\n"
       "; Routine: 7 instructions, 7 cycles, 3 bytes of RAM\n"
       "; For the MPLAB XC8 PIC Assembler (pic-as). #include this file in a .S module, after\n"
       "; <xc.inc>, inside PSECT code where the routine runs. It declares its registers in PSECT\n"
       "; udata_bank0 and returns to PSECT code; run it with bank 0 selected (BANKSEL ACC0).\n"
       "\n"
       "\tGLOBAL\tACC0, ACC1\n"
       "\tPSECT\tudata_bank0\n"
       "ACC0:\tDS\t1\n"
       "ACC1:\tDS\t1\n"
       "TEMP0:\tDS\t1\n"
       "\tPSECT\tcode\n"
       "\n"
       "\tmovf\tACC0, w\n"
       "\tmovwf\tTEMP0\n"
       "\tbcf\tSTATUS, 0\n"
       "\trlf\tTEMP0, f\n"
       "\tbtfsc\tSTATUS, 0\n"
       "\taddlw\t0xF0\n"
       "\tmovwf\tACC1\n"
       "\n"},
      {"pic-as inline at an address", Wrap::kInline, Syntax::kPicAs, 0x20, "", false,
       ResultMode::kApprox,
       "; ACC = ACC * 10.000000\n"
       ";\n"
       "; Input:  ACC0\t(8 bits)\n"
       "; Output: ACC0 .. ACC1\t(12 bits)\n"
       "; Routine: 7 instructions, 7 cycles, 3 bytes of RAM\n"
       "; For the MPLAB XC8 PIC Assembler (pic-as). #include this file in a .S module, after\n"
       "; <xc.inc>, inside PSECT code where the routine runs. It declares its registers at 0x20\n"
       "; (DABS); run it with bank 0 selected (BANKSEL ACC0).\n"
       "\n"
       "\tGLOBAL\tACC0, ACC1\n"
       "\tDABS\t1, 0x20, 3\n"
       "ACC0\tEQU\t0x20\n"
       "ACC1\tEQU\t0x21\n"
       "TEMP0\tEQU\t0x22\n"
       "\n"
       "\tmovf\tACC0, w\n"
       "\tmovwf\tTEMP0\n"
       "\tbcf\tSTATUS, 0\n"
       "\trlf\tTEMP0, f\n"
       "\tbtfsc\tSTATUS, 0\n"
       "\taddlw\t0xF0\n"
       "\tmovwf\tACC1\n"
       "\n"},
      {"pic-as subroutine in common memory", Wrap::kSubroutine, Syntax::kPicAs, 0x70, "", false,
       ResultMode::kApprox,
       "; ACC = ACC * 10.000000\n"
       ";\n"
       "; Input:  ACC0\t(8 bits)\n"
       "; Output: ACC0 .. ACC1\t(12 bits)\n"
       "; Routine: 7 instructions, 7 cycles, 3 bytes of RAM\n"
       "; For the MPLAB XC8 PIC Assembler (pic-as). Add this file to the project as a module of\n"
       "; its own. Its registers are at 0x70 (DABS), in common memory; times10, the input and\n"
       "; result bytes and their C names are GLOBAL. times10 runs with any bank selected.\n"
       "; From C:\n"
       ";   extern volatile unsigned char ACC0, ACC1;\n"
       ";   extern void times10(void);\n"
       "\n"
       "#include <xc.inc>\n"
       "\n"
       "\tGLOBAL\tACC0, ACC1, _ACC0, _ACC1\n"
       "\tDABS\t1, 0x70, 3\n"
       "ACC0\tEQU\t0x70\n"
       "_ACC0\tEQU\t0x70\n"
       "ACC1\tEQU\t0x71\n"
       "_ACC1\tEQU\t0x71\n"
       "TEMP0\tEQU\t0x72\n"
       "\n"
       "\tGLOBAL\ttimes10, _times10\n"
       "\tPSECT\tcode\n"
       "_times10:\n"
       "times10:\n"
       "\tmovf\tACC0, w\n"
       "\tmovwf\tTEMP0\n"
       "\tbcf\tSTATUS, 0\n"
       "\trlf\tTEMP0, f\n"
       "\tbtfsc\tSTATUS, 0\n"
       "\taddlw\t0xF0\n"
       "\tmovwf\tACC1\n"
       "\treturn\n"
       "\n"},
      {"exact MPASM subroutine, its Routine line in its comment block", Wrap::kSubroutine,
       Syntax::kMpasm, -1, "", false, ResultMode::kFloor,
       "; ACC = ACC * 10.000000\n"
       ";\n"
       "; Input:  ACC0\t(8 bits)\n"
       "; Output: ACC0 .. ACC1\t(12 bits)\n"
       "; Subroutine: call times10; it returns with the result in the Output bytes. The call and\n"
       "; the return take 2 cycles each besides the routine's.\n"
       "\n"
       "\tcblock\n"
       "\tACC0\n"
       "\tACC1\n"
       "\tTEMP0\n"
       "\tendc\n"
       "\n"
       "times10\n"
       "\tmovf\tACC0, w\n"
       "\tmovwf\tTEMP0\n"
       "\tclrc\n"
       "\trlf\tTEMP0, f\n"
       "\tskpnc\n"
       "\taddlw\tD'-16'\n"
       "\tmovwf\tACC1\n"
       "\treturn\n"
       "\n"},
  };
  for (const Case& c : cases) {
    GeneratorRequest request;
    request.mode = c.mode;
    request.packaging = Packaging{c.wrap, c.syntax, "times10"};
    request.ram_address = c.address;
    request.notes = c.notes;
    EXPECT_EQ(printed_routine(sample_routine(c.names_status), request), c.text) << c.name;
  }
}

TEST(RoutinePackagingTest, InlineMpasmIsTheBlockItAlwaysWas) {
  for (const int address : {-1, 0x20, 0x1A0}) {
    GeneratorRequest request;
    request.ram_address = address;
    request.notes = "; A note.\n";
    request.packaging.name = "ignored";
    const FinishedRoutine routine = sample_routine(false);
    EXPECT_EQ(printed_routine(routine, request), inline_block(routine, cblock_opening(request)))
        << address;
  }
}

// Whatever wraps them, the instructions stand in one piece, exactly as the syntax spells them,
// after the line that opens them.
TEST(RoutinePackagingTest, TheInstructionsStandWholeAfterTheirOpeningLine) {
  struct Case {
    const char* name;
    Wrap wrap;
    Syntax syntax;
    const char* opening;
  };
  const Case cases[] = {
      {"MPASM subroutine", Wrap::kSubroutine, Syntax::kMpasm, "times10\n"},
      {"MPASM macro", Wrap::kMacro, Syntax::kMpasm, "times10\tmacro\n"},
      {"gpasm-reloc subroutine", Wrap::kSubroutine, Syntax::kGpasmReloc,
       "times10\n\tbanksel\tACC0\n"},
      {"gpasm-reloc macro", Wrap::kMacro, Syntax::kGpasmReloc, "times10\tmacro\n"},
      {"pic-as subroutine", Wrap::kSubroutine, Syntax::kPicAs, "times10:\n\tBANKSEL\tACC0\n"},
      {"pic-as macro", Wrap::kMacro, Syntax::kPicAs, "times10\tMACRO\n"},
      {"pic-as inline", Wrap::kInline, Syntax::kPicAs, "\tPSECT\tcode\n\n"},
  };
  for (const Case& c : cases) {
    GeneratorRequest request;
    request.packaging = Packaging{c.wrap, c.syntax, "times10"};
    const FinishedRoutine routine = sample_routine(true);
    const std::string text = printed_routine(routine, request);
    const std::string body = std::string(c.opening) + printed_instructions(routine, c.syntax);
    EXPECT_NE(text.find(body), std::string::npos) << c.name << "\n" << text;
  }
}

}  // namespace
}  // namespace tarvek
