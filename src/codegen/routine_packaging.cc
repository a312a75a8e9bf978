#include "codegen/routine_packaging.h"

#include <algorithm>
#include <cassert>
#include <cstdio>
#include <initializer_list>
#include <string_view>

#include "codegen/portable_text.h"

namespace tarvek {
namespace {

std::string hex_byte(int value) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", static_cast<unsigned>(value));
  return text;
}

// Appended piece by piece: GCC 12 takes a chain of + on std::string for an overlapping copy
// (a false -Wrestrict).
void append(std::string& out, std::initializer_list<std::string_view> parts) {
  for (const std::string_view part : parts) out += part;
}

// `text` as comment lines of at most kCommentWidth characters, broken at blanks.
constexpr std::size_t kCommentWidth = 90;
std::string comment_paragraph(std::string_view text) {
  std::string lines;
  std::string line = ";";
  while (!text.empty()) {
    const std::size_t blank = text.find(' ');
    const std::string_view word = text.substr(0, blank);
    text.remove_prefix(blank == std::string_view::npos ? text.size() : blank + 1);
    if (line.size() > 1 && line.size() + 1 + word.size() > kCommentWidth) {
      append(lines, {line, "\n"});
      line.resize(1);  // the comment sign alone
    }
    append(line, {" ", word});
  }
  return lines + line + "\n";
}

// "A, B, C" of the first `count` names, each with `prefix` in front.
std::string name_list(const std::vector<std::string>& names, std::size_t count,
                      const std::string& prefix = "") {
  std::string list;
  for (std::size_t i = 0; i < count && i < names.size(); ++i) {
    if (i > 0) list += ", ";
    list += prefix + names[i];
  }
  return list;
}

// Straight-line code: every instruction is one cycle, a skipped one included (the skip
// takes the cycle the skipped instruction would have).
// Every packaged routine tells its bytes of RAM: here, or for the baseline core on the RAM line
// its core lines already hold.
std::string cost_line(const FinishedRoutine& routine, const GeneratorRequest& request) {
  const std::string count = std::to_string(routine.code.size());
  std::string line = "; Routine: " + count + " instructions, " + count + " cycles";
  if (request.core != Core::kBaseline) {
    const std::size_t bytes = routine.registers.size();
    append(line, {", ", std::to_string(bytes), bytes == 1 ? " byte" : " bytes", " of RAM"});
  }
  return line + "\n";
}

// The notes after the Output line: the approximating comment block has no Routine line of its
// own, so a packaged one gets one (an exact block has it already, with the RAM:
// request.counts_ram), then the request's notes and what the packaging asks of its user.
std::string notes(const FinishedRoutine& routine, const GeneratorRequest& request,
                  const std::string& usage) {
  const std::string cost = request.mode == ResultMode::kApprox ? cost_line(routine, request) : "";
  return cost + request.notes + usage;
}

// The comment block and every note, up to the blank line before the declarations.
std::string head(const FinishedRoutine& routine, const GeneratorRequest& request,
                 const std::string& usage) {
  return routine.comment + "\n" + notes(routine, request, usage) + "\n";
}

// The line after a macro's first that makes the labels of a routine with loops the macro's
// own, "\tlocal\tA, B\n" (`directive` as the assembler spells it), so that every use of the
// macro gets labels of its own; empty for straight-line code.
std::string local_line(const Code& code, std::string_view directive) {
  std::string labels;
  for (const Instruction& in : code.instructions()) {
    if (in.op != Op::kLabel) continue;
    if (!labels.empty()) labels += ", ";
    labels += code.label_name(static_cast<uint8_t>(in.value));
  }
  if (labels.empty()) return labels;
  std::string line = "\t";
  append(line, {directive, "\t", labels, "\n"});
  return line;
}

bool names_file(const Code& code, uint8_t file) {
  return std::any_of(code.instructions().begin(), code.instructions().end(),
                     [file](const Instruction& in) { return in.file == file; });
}

// The core's own registers that the instructions name, each given its address unless
// something before has: a module assembled on its own has no processor include to name them,
// and an include file may follow one that does.
std::string special_file_equates(const Code& code, Core core) {
  struct Named {
    uint8_t file;
    const char* name;
    int address;
  };
  // STATUS lies at 0x03 of every mid-range bank; the PIC18's registers at the top of its
  // access bank, where the routine's instructions reach them.
  constexpr Named kMidrange[] = {{kStatusFile, "STATUS", 0x03}};
  constexpr Named kPic18[] = {{kStatusFile, "STATUS", 0xFD8},
                              {kProdlFile, "PRODL", 0xFF3},
                              {kProdhFile, "PRODH", 0xFF4},
                              {kWregFile, "WREG", 0xFE8}};
  std::string text;
  const auto add = [&](const Named& named) {
    if (!names_file(code, named.file)) return;
    append(text, {"\tifndef\t", named.name, "\n", named.name, "\tequ\t", hex_byte(named.address),
                  "\n\tendif\n"});
  };
  if (core == Core::kPic18) {
    for (const Named& named : kPic18) add(named);
  } else {
    for (const Named& named : kMidrange) add(named);
  }
  return text;
}

// ---------------------------------------------------------------------------------------
// MPASM, the absolute-mode include file: the cblock section as inline has it.

std::string mpasm_text(const FinishedRoutine& routine, const GeneratorRequest& request) {
  const std::string& name = request.packaging.name;
  const bool subroutine = request.packaging.wrap == Wrap::kSubroutine;
  const std::string usage =
      subroutine ? comment_paragraph("Subroutine: call " + name +
                                     "; it returns with the result in the Output bytes. The "
                                     "call and the return take 2 cycles each besides the "
                                     "routine's.")
                 : comment_paragraph("Macro: write " + name +
                                     " on a line of its own where the product is needed; each "
                                     "use is a copy of the routine, so a source may use it more "
                                     "than once.");
  GeneratorRequest with_usage = request;
  with_usage.notes = notes(routine, request, usage);
  std::string text = routine.comment + cblock_opening(with_usage);
  for (const std::string& byte : routine.registers) append(text, {"\t", byte, "\n"});
  text += "\tendc\n\n";
  if (subroutine) {
    append(text, {name, "\n", routine.code.text(), "\treturn\n\n"});
  } else {
    append(text, {name, "\tmacro\n", local_line(routine.code, "local"), routine.code.text(),
                  "\tendm\n\n"});
  }
  return text;
}

// ---------------------------------------------------------------------------------------
// gpasm-reloc: a relocatable gputils module, MPASM syntax with sections. gpasm keeps every
// section of an object in one piece, so the registers' udata section is named after the
// routine (an including module's own unnamed udata section stays apart from it), and a
// module ends with end, without which gpasm refuses it.

std::string reloc_usage(const FinishedRoutine& routine, const GeneratorRequest& request) {
  const std::string& name = request.packaging.name;
  const std::string first = routine.registers.empty() ? "" : routine.registers[0];
  const std::string section =
      name + "_ram" + (request.ram_address >= 0 ? " at " + hex_byte(request.ram_address) : "");
  std::string usage;
  if (request.core == Core::kPic18) {
    // PIC18 instructions reach the access bank whatever BSR holds: no bank to select.
    if (request.packaging.wrap == Wrap::kSubroutine) {
      append(usage, {"Relocatable module: assemble it with gpasm -c -p <your part> and link its "
                     "object with gplink. Its registers are in the udata_acs section ",
                     section, ", in the access bank; ", name,
                     " and the input and result bytes are global, so another module declares "
                     "them with extern. Neither ",
                     name, " nor its caller selects a bank for them."});
    } else {
      append(usage, {"Include this file in a relocatable module before its code section: it "
                     "declares the registers in the udata_acs section ",
                     section,
                     ", in the access bank (the input and result bytes global), and "
                     "defines the macro ",
                     name,
                     ". Write it where the product is needed, with any bank selected; "
                     "each use is a copy of the routine."});
    }
    return comment_paragraph(usage);
  }
  if (request.packaging.wrap == Wrap::kSubroutine) {
    append(usage,
           {"Relocatable module: assemble it with gpasm -c -p <your part> and link its "
            "object with gplink. Its registers are in the udata section ",
            section, "; ", name,
            " and the input and result bytes are global, so another module declares "
            "them with extern. ",
            name, " selects their bank (banksel) and leaves it selected; select it too (banksel ",
            first, ") to write the input or read the result."});
  } else {
    append(usage, {"Include this file in a relocatable module before its code section: it "
                   "declares the registers in the udata section ",
                   section, " (the input and result bytes global) and defines the macro ", name,
                   ". Write it where the product is needed, with the bank of ", first,
                   " selected (banksel ", first, "); each use is a copy of the routine."});
  }
  return comment_paragraph(usage);
}

std::string reloc_text(const FinishedRoutine& routine, const GeneratorRequest& request) {
  assert(request.packaging.wrap != Wrap::kInline);
  const std::string& name = request.packaging.name;
  const bool subroutine = request.packaging.wrap == Wrap::kSubroutine;
  const std::string results = name_list(routine.registers, routine.result_registers);
  const bool pic18 = request.core == Core::kPic18;
  std::string text = head(routine, request, reloc_usage(routine, request));
  text += special_file_equates(routine.code, request.core);
  if (subroutine) append(text, {"\tglobal\t", name, "\n"});
  if (!results.empty()) append(text, {"\tglobal\t", results, "\n"});
  // gplink puts a udata_acs section in access RAM, where a PIC18 routine's instructions
  // address its registers.
  append(text, {"\n", name, pic18 ? "_ram\tudata_acs" : "_ram\tudata"});
  if (request.ram_address >= 0) append(text, {"\t", hex_byte(request.ram_address)});
  text += "\n";
  for (const std::string& byte : routine.registers) append(text, {byte, "\tres\t1\n"});
  text += "\n";
  if (!subroutine) {
    append(text, {name, "\tmacro\n", local_line(routine.code, "local"), routine.code.text(),
                  "\tendm\n\n"});
    return text;
  }
  append(text, {"\tcode\n", name, "\n"});
  if (!routine.registers.empty() && !pic18) {
    append(text, {"\tbanksel\t", routine.registers[0], "\n"});
  }
  append(text, {routine.code.text(), "\treturn\n\n\tend\n"});
  return text;
}

// ---------------------------------------------------------------------------------------
// A whole PIC18 program in MPASM syntax, which gpasm assembles as it stands: the processor
// and its include (which names STATUS, PRODL, PRODH and WREG), the registers in access RAM,
// and the routine at the reset vector, as the firmware example's program starts. Nothing
// enables an interrupt, so the routine may run on over the interrupt vectors.

std::string program_usage(const GeneratorRequest& request) {
  const std::string& name = request.packaging.name;
  std::string usage;
  append(usage, {"Program: a whole program for the PIC18F452, to assemble as it stands (gpasm, or "
                 "MPASM); for another PIC18 part change its processor and include lines and "
                 "keep the registers in that part's access bank. From reset it runs ",
                 name,
                 " once on the input bytes as they are (set them in a simulator or debugger) "
                 "and then stays on its last line (bra $), the result in the Output bytes."});
  return comment_paragraph(usage);
}

std::string program_text(const FinishedRoutine& routine, const GeneratorRequest& request) {
  assert(request.core == Core::kPic18 && request.ram_address >= 0 &&
         request.ram_address + static_cast<int>(routine.registers.size()) <= kAccessRamEnd);
  const std::string& name = request.packaging.name;
  std::string text = head(routine, request, program_usage(request));
  append(text, {"\tprocessor\t", kPic18ProgramPart, "\n\tinclude\t\"p", kPic18ProgramPart,
                ".inc\"\n\n\tcblock ", hex_byte(request.ram_address), "\n"});
  for (const std::string& byte : routine.registers) append(text, {"\t", byte, "\n"});
  append(text, {"\tendc\n\n\torg\t0\n", name, "\n", routine.code.text(), "\tbra\t$\n\n\tend\n"});
  return text;
}

// ---------------------------------------------------------------------------------------
// pic-as, the MPLAB XC8 PIC Assembler. What is written here follows these sections of its
// documentation, and nothing else of it:
//   MPLAB XC8 PIC Assembler User's Guide
//     4.1.1 Destination And Access Operands: ",w" and ",f" as destinations;
//     4.1.2 Bank And Page Selection: BANKSEL with the symbol of an object in data memory;
//     4.6.4 Accessing SFRs: <xc.inc> equates STATUS to its address;
//     4.9 Assembler Directives: DABS (memory space 1, address, bytes), DS, GLOBAL (a symbol
//       defined here is made public), MACRO and ENDM, EQU; END is optional and left out,
//       since even a blank line after it is an error;
//     5.2 Assembler-provided Psects: code and udata_bankn, predefined once <xc.inc> is
//       included.
//   MPASM to MPLAB XC8 PIC Assembler Migration Guide
//     3.1 Constants and Radices: a bare number is decimal, 0x.. hexadecimal, and there is
//       no D'..' form (so portable_text writes a digit or 0x..);
//     3.2 Labels: a label is an identifier followed by a colon;
//     4 Assembler Directives: CBLOCK has no equivalent (DS instead), nor ENDC;
//     4.39 Local Directive: LOCAL and the labels, separated by commas, makes them a macro's
//       own, as MPASM's local does (the labels of a routine with loops);
//     4.51 Res Directive: a label, then DS, in a psect such as udata_bank0;
//     4.1.4 Movfw Pseudo Instruction (User's Guide): MPASM's pseudo-instructions are not
//       implemented, so the carry and zero tests are written as the bit instructions they
//       stand for (portable_text.h).
//   MPLAB XC8 C Compiler User's Guide, 5.12.3.1 Writing Stand-alone Assembly Routines and
//     5.12.3.3 Equivalent Assembly Symbols: C reaches an assembly symbol through its name
//     with a leading underscore, which must be GLOBAL; a routine selects the bank of its
//     variables itself.
// Operands carry no BANKMASK: every register lies below 0x80, in bank 0 or common memory,
// where an address is its own offset in the bank.

struct PicAsPlace {
  // The Ram address, or -1 for PSECT udata_bank0.
  int address = -1;
  // Every byte lies in common memory, reachable from any bank.
  bool common = false;
};

std::string pic_as_usage(const FinishedRoutine& routine, const GeneratorRequest& request,
                         const PicAsPlace& place) {
  const std::string& name = request.packaging.name;
  const std::string first = routine.registers.empty() ? "" : routine.registers[0];
  const std::string where = place.address < 0 ? "in PSECT udata_bank0"
                                              : "at " + hex_byte(place.address) + " (DABS)" +
                                                    (place.common ? ", in common memory" : "");
  const std::string bank = place.common ? "any bank selected (they lie in common memory)"
                                        : "bank 0 selected (BANKSEL " + first + ")";
  std::string usage = "For the MPLAB XC8 PIC Assembler (pic-as). ";
  switch (request.packaging.wrap) {
    case Wrap::kSubroutine: {
      append(usage,
             {"Add this file to the project as a module of its own. Its registers are ", where,
              "; ", name, ", the input and result bytes and their C names are GLOBAL."});
      if (place.common) {
        append(usage, {" ", name, " runs with any bank selected."});
      } else {
        append(usage, {" ", name, " selects bank 0 (BANKSEL) and leaves it selected."});
      }
      std::string text = comment_paragraph(usage);
      append(text, {"; From C:\n;   extern volatile unsigned char ",
                    name_list(routine.registers, routine.result_registers), ";\n;   extern void ",
                    name, "(void);\n"});
      return text;
    }
    case Wrap::kMacro:
      append(usage, {"#include this file in a .S module, after <xc.inc> and before its first "
                     "PSECT for code: it declares the registers ",
                     where, " (the input and result bytes GLOBAL) and defines the macro ", name,
                     ". Write it where the product is needed, with ", bank,
                     "; each use is a copy of the routine."});
      break;
    case Wrap::kInline:
    case Wrap::kProgram:
      append(usage, {"#include this file in a .S module, after <xc.inc>, inside PSECT code "
                     "where the routine runs. It declares its registers ",
                     where, place.address < 0 ? " and returns to PSECT code" : "", "; run it with ",
                     bank, "."});
      break;
  }
  return comment_paragraph(usage);
}

std::string pic_as_declarations(const FinishedRoutine& routine, const PicAsPlace& place,
                                bool c_names) {
  const std::vector<std::string>& bytes = routine.registers;
  const std::size_t results = routine.result_registers;
  std::string text;
  std::string globals = name_list(bytes, results);
  if (c_names && results > 0) append(globals, {", ", name_list(bytes, results, "_")});
  if (!globals.empty()) append(text, {"\tGLOBAL\t", globals, "\n"});
  if (place.address < 0) {
    text += "\tPSECT\tudata_bank0\n";
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      if (c_names && i < results) append(text, {"_", bytes[i], ":\n"});
      append(text, {bytes[i], ":\tDS\t1\n"});
    }
    return text;
  }
  append(text, {"\tDABS\t1, ", hex_byte(place.address), ", ", std::to_string(bytes.size()), "\n"});
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const std::string address = hex_byte(place.address + static_cast<int>(i));
    append(text, {bytes[i], "\tEQU\t", address, "\n"});
    if (c_names && i < results) append(text, {"_", bytes[i], "\tEQU\t", address, "\n"});
  }
  return text;
}

std::string pic_as_text(const FinishedRoutine& routine, const GeneratorRequest& request) {
  // A whole program is MPASM's alone.
  assert(request.packaging.wrap != Wrap::kProgram);
  const int bytes = static_cast<int>(routine.registers.size());
  PicAsPlace place;
  place.address = request.ram_address;
  place.common = place.address >= kCommonRamStart && place.address + bytes <= kPicAsRamEnd;
  assert(place.address < 0 || place.address + bytes <= kPicAsRamEnd);
  const std::string& name = request.packaging.name;
  const Wrap wrap = request.packaging.wrap;
  std::string text = head(routine, request, pic_as_usage(routine, request, place));
  if (wrap == Wrap::kSubroutine) text += "#include <xc.inc>\n\n";
  text += pic_as_declarations(routine, place, wrap == Wrap::kSubroutine);
  const std::string body = portable_text(routine.code);
  switch (wrap) {
    case Wrap::kSubroutine:
      append(text,
             {"\n\tGLOBAL\t", name, ", _", name, "\n\tPSECT\tcode\n_", name, ":\n", name, ":\n"});
      if (!place.common && bytes > 0) {
        append(text, {"\tBANKSEL\t", routine.registers[0], "\n"});
      }
      append(text, {body, "\treturn\n"});
      break;
    case Wrap::kMacro:
      append(text, {"\n", name, "\tMACRO\n", local_line(routine.code, "LOCAL"), body, "\tENDM\n"});
      break;
    case Wrap::kInline:
    case Wrap::kProgram:
      if (place.address < 0) text += "\tPSECT\tcode\n";
      append(text, {"\n", body});
      break;
  }
  return text + "\n";
}

}  // namespace

std::string printed_instructions(const FinishedRoutine& routine, Syntax syntax) {
  return syntax == Syntax::kPicAs ? portable_text(routine.code) : routine.code.text();
}

std::string printed_routine(const FinishedRoutine& routine, const GeneratorRequest& request) {
  const Packaging& packaging = request.packaging;
  if (packaging.is_default()) return inline_block(routine, cblock_opening(request));
  assert(!packaging.name.empty());
  switch (packaging.syntax) {
    case Syntax::kMpasm:
      return packaging.wrap == Wrap::kProgram ? program_text(routine, request)
                                              : mpasm_text(routine, request);
    case Syntax::kGpasmReloc:
      return reloc_text(routine, request);
    case Syntax::kPicAs:
      break;
  }
  return pic_as_text(routine, request);
}

}  // namespace tarvek
